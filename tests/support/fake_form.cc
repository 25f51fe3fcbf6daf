#include "support/fake_form.h"

namespace zelta::test {

FakeForm::FakeForm(std::string name) : name_(std::move(name)) { RegisterForm(this); }

FakeForm::~FakeForm() { UnregisterForm(this); }

void FakeForm::SetStatusPanelText(int panel, const std::string& text) {
  panels_[panel] = text;
  history.emplace_back(panel, text);
}

std::string FakeForm::StatusPanelText(int panel) const {
  auto it = panels_.find(panel);
  return it == panels_.end() ? std::string() : it->second;
}

std::vector<std::string> FakeForm::PanelHistory(int panel) const {
  std::vector<std::string> out;
  for (const auto& [p, text] : history) {
    if (p == panel) out.push_back(text);
  }
  return out;
}

}  // namespace zelta::test
