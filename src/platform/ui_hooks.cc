#include "platform/ui_hooks.h"

#include <chrono>
#include <thread>

namespace zelta {
namespace {

// Used when no hooks are installed: no user to ask, so every question is cancelled.
class SilentHooks : public UiHooks {
 public:
  MsgBoxResult MsgBox(const std::string&, MsgBoxButtons buttons, MsgBoxIcon, const std::string&) override {
    switch (buttons) {
      case MsgBoxButtons::kOk:
        return MsgBoxResult::kOk;
      case MsgBoxButtons::kYesNo:
        return MsgBoxResult::kNo;
      case MsgBoxButtons::kAbortRetryIgnore:
        return MsgBoxResult::kAbort;
      default:
        return MsgBoxResult::kCancel;
    }
  }
  void ShowMessageWindow(const std::string&, Form*) override {}
  bool OpenFiles(const std::string&, const std::string&, std::vector<std::string>&) override { return false; }
  void DoEvents() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
  double Timer() override { return MonotonicSeconds(); }
  uint32_t GetTickCount() override { return MonotonicMilliseconds(); }
};

SilentHooks silent_hooks;
UiHooks* installed = &silent_hooks;

}  // namespace

UiHooks& Ui() { return *installed; }

void InstallUiHooks(UiHooks* hooks) { installed = hooks ? hooks : &silent_hooks; }

double MonotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

uint32_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace zelta
