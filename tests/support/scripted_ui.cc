#include "support/scripted_ui.h"

namespace zelta::test {

ScriptedUi::ScriptedUi() { InstallUiHooks(this); }

ScriptedUi::~ScriptedUi() { InstallUiHooks(nullptr); }

MsgBoxResult ScriptedUi::MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                                const std::string& title) {
  prompts.push_back({text, buttons, icon, title});
  if (answers.empty()) {
    ++unexpected_prompts;
    return buttons == MsgBoxButtons::kOk ? MsgBoxResult::kOk : MsgBoxResult::kCancel;
  }
  MsgBoxResult r = answers.front();
  answers.pop_front();
  return r;
}

void ScriptedUi::ShowMessageWindow(const std::string& text, Form*) { messages.push_back(text); }

bool ScriptedUi::OpenFiles(const std::string& title, const std::string&, std::vector<std::string>& files) {
  open_titles.push_back(title);
  files.clear();
  if (open_results.empty()) return false;
  files = open_results.front();
  open_results.pop_front();
  return !files.empty();
}

void ScriptedUi::DoEvents() {
  ++do_events;
  now += step;
  if (on_do_events) on_do_events();
}

std::vector<std::string> ScriptedUi::PromptTexts() const {
  std::vector<std::string> out;
  for (const auto& p : prompts) out.push_back(p.text);
  return out;
}

}  // namespace zelta::test
