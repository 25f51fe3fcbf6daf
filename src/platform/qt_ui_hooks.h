// The UI hooks of the desktop program: Qt message boxes and dialogs, the Qt event loop, real clocks.
#pragma once

#include "platform/ui_hooks.h"

namespace zelta {

class QtUiHooks : public UiHooks {
 public:
  MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                      const std::string& title) override;
  void ShowMessageWindow(const std::string& text, Form* owner) override;
  bool OpenFiles(const std::string& title, const std::string& filter,
                 std::vector<std::string>& files) override;
  void DoEvents() override;
  double Timer() override { return MonotonicSeconds(); }
  uint32_t GetTickCount() override { return MonotonicMilliseconds(); }
};

}  // namespace zelta
