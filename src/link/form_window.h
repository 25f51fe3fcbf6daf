// A top-level window that status texts and close requests reach: a main window with the status panels
// "Info", "Program status" and a progress bar, registered as an open Form while it exists.
#pragma once

#include <QMainWindow>
#include <string>
#include <vector>

#include "link/forms.h"

class QLabel;
class QProgressBar;

namespace zelta {

// Gives window a status bar "StatusBar" with the panels "Info" and "Program status" (object names
// StatusPanel1 and 2, each named for accessibility by its text) and returns them.
std::vector<QLabel*> AddStatusPanels(QMainWindow* window);

class FormWindow : public QMainWindow, public Form {
  Q_OBJECT
 public:
  // name: the window's Name (its object name), e.g. "LogoForm".
  FormWindow(const std::string& name, QWidget* parent = nullptr);
  ~FormWindow() override;

  std::string Name() const override;
  void SetStatusPanelText(int panel, const std::string& text) override;
  std::string StatusPanelText(int panel) const override;
  bool EndReq() const override { return end_req_; }
  void SetEndReq(bool value) override { end_req_ = value; }
  bool Busy() const override { return busy_; }
  void SetBusy(bool value) override;

  QProgressBar* ProgressBar() const { return progress_bar_; }
  QLabel* StatusPanel(int panel) const;

 private:
  std::vector<QLabel*> panels_;
  QProgressBar* progress_bar_;
  bool end_req_ = false;
  bool busy_ = false;
};

}  // namespace zelta
