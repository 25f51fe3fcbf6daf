// UI hooks for tests: prompts are answered from a queue and recorded with their buttons and icon,
// message-window texts are recorded, and a fake clock moves forward on every DoEvents.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui_hooks.h"

namespace zelta::test {

class ScriptedUi : public UiHooks {
 public:
  struct Prompt {
    std::string text;
    MsgBoxButtons buttons;
    MsgBoxIcon icon;
    std::string title;
  };

  // Installs itself; the destructor puts the default hooks back.
  ScriptedUi();
  ~ScriptedUi() override;

  std::deque<MsgBoxResult> answers;                   // answers to MsgBox, in order
  std::vector<Prompt> prompts;                        // every MsgBox shown
  std::vector<std::string> messages;                  // every message window shown
  std::deque<std::vector<std::string>> open_results;  // answers to OpenFiles; empty list = cancelled
  std::vector<std::string> open_titles;
  int unexpected_prompts = 0;  // prompts with no queued answer (answered Cancel)

  double now = 1000.0;  // the seconds clock
  double step = 0.01;   // seconds the clock moves on each DoEvents
  int do_events = 0;    // DoEvents calls so far
  // Called on every DoEvents after the clock moved; a test injects events here.
  std::function<void()> on_do_events;

  MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                      const std::string& title) override;
  void ShowMessageWindow(const std::string& text, Form* owner) override;
  bool OpenFiles(const std::string& title, const std::string& filter,
                 std::vector<std::string>& files) override;
  void DoEvents() override;
  double Timer() override { return now; }
  uint32_t GetTickCount() override { return static_cast<uint32_t>(now * 1000.0); }

  // The texts of all prompts, in order.
  std::vector<std::string> PromptTexts() const;
};

}  // namespace zelta::test
