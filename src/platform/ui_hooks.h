// The seam between the routines and the user: message boxes, the message window, the Open dialog,
// yielding to the event loop and the clocks. The desktop program installs the Qt hooks; tests install
// scripted ones that answer from a queue and move a fake clock on each yield.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelta {

class Form;

enum class MsgBoxButtons { kOk, kOkCancel, kAbortRetryIgnore, kYesNoCancel, kYesNo, kRetryCancel };
enum class MsgBoxIcon { kNone, kCritical, kQuestion, kExclamation, kInformation };
enum class MsgBoxResult { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };

class UiHooks {
 public:
  virtual ~UiHooks() = default;
  // A modal message box. An empty title stands for the program's title.
  virtual MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                              const std::string& title) = 0;
  // The modal message window with text, owned by owner (may be null); returns when it is closed.
  virtual void ShowMessageWindow(const std::string& text, Form* owner) = 0;
  // The Open dialog with multiple selection. filter is "Description|*.ext|..."; returns false when the
  // user cancelled, else the chosen paths in files.
  virtual bool OpenFiles(const std::string& title, const std::string& filter,
                         std::vector<std::string>& files) = 0;
  // Lets the event loop run pending events, then returns.
  virtual void DoEvents() = 0;
  // Seconds on a monotonic clock (the waits' "seconds clock"), with sub-second resolution.
  virtual double Timer() = 0;
  // Milliseconds on a monotonic clock.
  virtual uint32_t GetTickCount() = 0;
};

// The installed hooks. Before any is installed, a silent default answers Cancel to every prompt and
// runs on the real clock.
UiHooks& Ui();
// Installs hooks (not owned; must outlive their use); null puts the silent default back.
void InstallUiHooks(UiHooks* hooks);

// Shorthands for the installed hooks.
inline MsgBoxResult MsgBox(const std::string& text, MsgBoxButtons buttons, MsgBoxIcon icon,
                           const std::string& title = "") {
  return Ui().MsgBox(text, buttons, icon, title);
}
inline void DoEvents() { Ui().DoEvents(); }
inline double Timer() { return Ui().Timer(); }
inline uint32_t GetTickCount() { return Ui().GetTickCount(); }

// Real monotonic clocks, shared by the default and the Qt hooks.
double MonotonicSeconds();
uint32_t MonotonicMilliseconds();

}  // namespace zelta
