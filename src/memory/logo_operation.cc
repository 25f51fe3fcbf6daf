#include "memory/logo_operation.h"

#include <algorithm>

#include "download/send_wait.h"
#include "image/gallery.h"
#include "link/forms.h"
#include "link/public_func.h"
#include "link/status_texts.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {

bool ClaimPrinterOrTell() {
  const int32_t result = PrinterObj ? PrinterObj->ClaimPrinter() : kResultNoPrinter;
  if (result == kResultOk) return true;
  SetStatusText(kPanelInfo, kTextPrinterError);
  PrinterErrorInfo info = LastPrinterError();
  if (info.Number == kResultOk) info.Number = result;
  ShowMessage(RaisedErrorMessage(info));
  return false;
}

bool ClaimForOperation(LogoWindowState& state) {
  if (!ClaimPrinterOrTell()) {
    SetStatusText(kPanelProgram, kTextReady);
    SetHourglass(state, false);
    return false;
  }
  SetStatusText(kPanelInfo, kTextPrinterReady);
  return true;
}

bool SendLogoData(const Bytes& data, bool wait_on_timeout) {
  int32_t result = kResultOk;
  SendGraphicsData(data, wait_on_timeout, result);
  return result == kResultOk;
}

void ShowProgress(LogoWindowState& state, int max) {
  state.panel3_visible = state.progress.visible = true;
  state.progress.value = 0;
  state.progress.max = max;
  state.Changed();
}

void SetProgress(LogoWindowState& state, int value) {
  state.progress.value = value;
  state.Changed();
}

void HideProgress(LogoWindowState& state) {
  state.panel3_visible = state.progress.visible = false;
  state.Changed();
}

std::vector<int16_t> SelectedSlots(const LogoWindowState& state, bool new_logos) {
  std::vector<int16_t> out;
  for (int i = 1; i <= state.slot_count(); ++i) {
    const LogoSlot& s = state.Slot(i);
    if (s.picThumbFrame.visible && IsSelected(s) && IsNewLogoCaption(s.picThumbFrame.tag) == new_logos) {
      out.push_back(static_cast<int16_t>(i));
    }
  }
  return out;
}

void RemoveTab(LogoWindowState& state, const std::string& key) {
  const auto tab =
      std::find_if(state.tabs.begin() + 1, state.tabs.end(), [&](const Tab& t) { return t.key == key; });
  if (tab == state.tabs.end()) return;
  const int index = static_cast<int>(tab - state.tabs.begin());
  state.tabs.erase(tab);
  // A page that goes away gives way to the gallery.
  if (state.selected_tab == index) {
    state.selected_tab = 0;
  } else if (state.selected_tab > index) {
    --state.selected_tab;
  }
  state.Changed();
}

void ClearSlot(LogoWindowState& state, int16_t i) {
  state.Slot(i).picThumbFrame.visible = false;
  state.Slot(i).picFrame.visible = false;
  if (LoadedBitmaps.Has(i)) LoadedBitmaps(i).reset();
  if (PreparedBitmaps.Has(i)) PreparedBitmaps(i).reset();
  state.Changed();
}

}  // namespace zelta
