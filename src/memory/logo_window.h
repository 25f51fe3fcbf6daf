// The logo window without its widgets: the record its operations work on, registered as the open form
// "LogoForm" so that status texts, EndReq and the busy pointer reach it; its opening, close request and
// unload. The Qt window (logo_form.h) draws the record; tests drive it without a screen.
#pragma once

#include <string>

#include "image/logo_window_state.h"
#include "link/forms.h"

namespace zelta {

inline constexpr char kLogoFormName[] = "LogoForm";

class LogoWindow : public Form {
 public:
  // Opens the window for PrinterObj and PrinterModelId: EndReq and LogoCount cleared, CurrentFormName set
  // to "LogoForm", the slots and shared bitmap arrays reset, the gallery laid out, the caption made of
  // the program's title and the model name, and the hourglass set until the start-up sequence has run.
  // view (not owned, may be null) is told of every change.
  explicit LogoWindow(LogoWindowView* view = nullptr);
  ~LogoWindow() override;
  LogoWindow(const LogoWindow&) = delete;
  LogoWindow& operator=(const LogoWindow&) = delete;

  LogoWindowState state;

  std::string Name() const override { return kLogoFormName; }
  void SetStatusPanelText(int panel, const std::string& text) override;
  std::string StatusPanelText(int panel) const override;
  bool EndReq() const override { return state.EndReq; }
  void SetEndReq(bool value) override { state.EndReq = value; }
  bool Busy() const override { return state.busy; }
  void SetBusy(bool value) override { SetHourglass(state, value); }
};

// A request to close the window (the Close button or any other way). Refused while an operation runs:
// EndReq is set and the operation closes the window when it ends. Otherwise the window unloads. True
// when it unloaded.
bool QueryUnload(LogoWindowState& state);

// The unload: every slot's bitmaps deleted, the slots above the first removed with their tabs, and in
// the logo utility (variant "LOGO") PrinterObj dropped and the browser window shown again as the
// current form. The view is told that the window has gone. Does nothing the second time.
void UnloadLogoWindow(LogoWindowState& state);

// The error paths' way out: normal pointer, then close.
void CloseLogoWindow(LogoWindowState& state);

}  // namespace zelta
