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
  // Lets pending events run. After a clock was read (a waiting loop) it also sleeps half a millisecond,
  // so that waits do not spin.
  void DoEvents() override;
  double Timer() override {
    clock_read_ = true;
    return MonotonicSeconds();
  }
  uint32_t GetTickCount() override {
    clock_read_ = true;
    return MonotonicMilliseconds();
  }

 private:
  bool clock_read_ = false;
};

}  // namespace zelta
