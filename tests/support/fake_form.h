// A registered window without a screen: remembers every status text set on it.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "link/forms.h"

namespace zelta::test {

class FakeForm : public Form {
 public:
  explicit FakeForm(std::string name);  // registers itself
  ~FakeForm() override;                 // unregisters itself

  std::string Name() const override { return name_; }
  void SetStatusPanelText(int panel, const std::string& text) override;
  std::string StatusPanelText(int panel) const override;
  bool EndReq() const override { return end_req_; }
  void SetEndReq(bool value) override { end_req_ = value; }
  bool Busy() const override { return busy_; }
  void SetBusy(bool value) override { busy_ = value; }

  // Every (panel, text) set, in order.
  std::vector<std::pair<int, std::string>> history;
  // The texts set on one panel, in order.
  std::vector<std::string> PanelHistory(int panel) const;

 private:
  std::string name_;
  std::map<int, std::string> panels_;
  bool end_req_ = false;
  bool busy_ = false;
};

}  // namespace zelta::test
