#include "memory/logo_window.h"

#include "browser/configuration.h"
#include "image/thumbnails.h"
#include "shared/pubblic_var.h"

namespace zelta {

LogoWindow::LogoWindow(LogoWindowView* view) {
  state.view = view;
  InitLogoWindowState(state);
  CurrentFormName = kLogoFormName;
  ArrangeThumbnails(state, 1);
  std::string brand;
  state.caption = std::string(kProgramTitle) + " " + GetPrinterModel(PrinterModelId, brand);
  RegisterForm(this);
  SetHourglass(state, true);
}

LogoWindow::~LogoWindow() { UnregisterForm(this); }

void LogoWindow::SetStatusPanelText(int panel, const std::string& text) {
  if (panel < 1 || panel > 2) return;
  state.panels[panel - 1] = text;
  state.Changed();
}

std::string LogoWindow::StatusPanelText(int panel) const {
  return panel >= 1 && panel <= 2 ? state.panels[panel - 1] : std::string();
}

bool QueryUnload(LogoWindowState& state) {
  if (state.unloaded) return true;
  if (state.busy) {
    state.EndReq = true;
    return false;
  }
  SetHourglass(state, true);
  UnloadLogoWindow(state);
  return true;
}

void UnloadLogoWindow(LogoWindowState& state) {
  if (state.unloaded) return;
  state.unloaded = true;
  LoadedBitmaps.DeleteAll();
  PreparedBitmaps.DeleteAll();
  if (state.slot_count() > 1) state.slots.resize(1);
  if (state.tabs.size() > 1) state.tabs.resize(1);
  state.selected_tab = 0;
  if (ProgramVariant() == "LOGO") {
    PrinterObj.reset();
    CurrentFormName = "StartForm";
    ShowStartForm();
  }
  if (state.view) state.view->WindowUnloaded();
}

void CloseLogoWindow(LogoWindowState& state) {
  SetHourglass(state, false);
  QueryUnload(state);
}

}  // namespace zelta
