#include "link/forms.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/ui_hooks.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

struct StartFormShower {
  std::function<void()> show;
  int count = 0;
};

StartFormShower& Shower() {
  static StartFormShower shower;
  return shower;
}

std::vector<Form*>& OpenForms() {
  static std::vector<Form*> forms;
  return forms;
}

}  // namespace

void RegisterForm(Form* form) {
  auto& forms = OpenForms();
  if (form && std::find(forms.begin(), forms.end(), form) == forms.end()) forms.push_back(form);
}

void UnregisterForm(Form* form) {
  auto& forms = OpenForms();
  forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}

Form* FindCurrentForm() {
  for (Form* form : OpenForms()) {
    if (form->Name() == CurrentFormName) return form;
  }
  return nullptr;
}

void SetStatusText(int16_t panel, const std::string& text) {
  if (Form* form = FindCurrentForm()) form->SetStatusPanelText(panel, text);
}

void ShowMessage(const std::string& text) { Ui().ShowMessageWindow(text, FindCurrentForm()); }

bool CurrentEndReq() {
  Form* form = FindCurrentForm();
  return form && form->EndReq();
}

void SetStartFormShower(std::function<void()> show) {
  Shower().show = std::move(show);
  Shower().count = 0;
}

void ShowStartForm() {
  ++Shower().count;
  if (Shower().show) Shower().show();
}

int StartFormShowCount() { return Shower().count; }

}  // namespace zelta
