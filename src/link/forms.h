// The open windows that status texts and close requests refer to. A window registers itself while it
// is open; FindCurrentForm looks it up by the shared CurrentFormName.
#pragma once

#include <functional>
#include <string>

namespace zelta {

class Form {
 public:
  virtual ~Form() = default;
  virtual std::string Name() const = 0;
  // Status panels are numbered from 1.
  virtual void SetStatusPanelText(int panel, const std::string& text) = 0;
  virtual std::string StatusPanelText(int panel) const = 0;
  // Set when the user asked to close the window during an operation; waiting loops end on it.
  virtual bool EndReq() const = 0;
  virtual void SetEndReq(bool value) = 0;
  // The busy pointer (hourglass): set while a long operation runs.
  virtual bool Busy() const = 0;
  virtual void SetBusy(bool value) = 0;
};

// Open windows, in the order they are enumerated (the order they were registered in).
void RegisterForm(Form* form);
void UnregisterForm(Form* form);

// The first open window whose Name equals CurrentFormName; null when none matches.
Form* FindCurrentForm();

// Sets the text of a status panel of the current window; does nothing when there is none.
void SetStatusText(int16_t panel, const std::string& text);

// Shows text in a new modal message window owned by the current window; returns when it is closed.
void ShowMessage(const std::string& text);

// True when the current window asks for the running operation to end.
bool CurrentEndReq();

// How the browser window is shown again (created when it is not loaded) once the logo window has
// gone. The program installs it at start; without one ShowStartForm only records the request.
void SetStartFormShower(std::function<void()> show);
void ShowStartForm();
// How many times ShowStartForm ran since the shower was last set (for tests and diagnostics).
int StartFormShowCount();

}  // namespace zelta
