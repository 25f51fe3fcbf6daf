#include "image/gallery.h"

#include <algorithm>

namespace zelta {

bool IsNewLogoCaption(const std::string& caption) { return caption.rfind("New", 0) == 0; }

void UpdateActionButtons(LogoWindowState& state) {
  state.cmdDelLogo.enabled = state.cmdDwldLogo.enabled = state.cmdPrintLogo.enabled = false;
  for (const LogoSlot& s : state.slots) {
    if (!s.picThumbFrame.visible || !IsSelected(s)) continue;
    state.cmdDelLogo.enabled = true;
    if (IsNewLogoCaption(s.picThumbFrame.tag)) {
      state.cmdDwldLogo.enabled = true;
    } else {
      state.cmdPrintLogo.enabled = true;
    }
  }
  state.Changed();
}

void picThumbFrame_Click(LogoWindowState& state, int16_t i) {
  if (i < 1 || i > state.slot_count()) return;
  LogoSlot& slot = state.Slot(i);
  const PictureBox& frame = slot.picThumbFrame;
  if (!frame.visible) return;
  ScrollBar& bar = state.vsbSlideAll;
  const int view_h = state.picFrameAll.inner_h;
  int value = bar.value;
  if (frame.top < value) {
    value = frame.top;
  } else if (frame.top + frame.outer_h() > value + view_h) {
    value = frame.top + frame.outer_h() - view_h;
  }
  if (value != bar.value) {
    bar.value = std::clamp(value, 0, std::max(bar.max, 0));
    state.picSlideAll.top = -bar.value;
  }
  SetSelected(slot, !IsSelected(slot));
  ++slot.picThumbFrame.drawn;
  UpdateActionButtons(state);
}

namespace {

void SelectEvery(LogoWindowState& state, bool selected) {
  if (state.busy) return;
  for (LogoSlot& s : state.slots) {
    if (s.picThumbFrame.visible && IsSelected(s) != selected) {
      SetSelected(s, selected);
      ++s.picThumbFrame.drawn;
    }
  }
  UpdateActionButtons(state);
}

}  // namespace

void cmdSelectAll_Click(LogoWindowState& state) { SelectEvery(state, true); }
void cmdSelectNone_Click(LogoWindowState& state) { SelectEvery(state, false); }

bool TabStrip_BeforeClick(const LogoWindowState& state) { return state.busy; }

void TabStrip_Click(LogoWindowState& state) {
  if (state.busy) return;
  SetHourglass(state, true);
  const int s = state.selected_tab;
  if (s >= 1 && s < static_cast<int>(state.tabs.size())) {
    state.cmdSelectAll.enabled = state.cmdSelectNone.enabled = state.cmdAddLogo.enabled = false;
    state.cmdDelLogo.enabled = true;
    state.cmdDwldLogo.enabled = false;
    const int i = state.tabs[static_cast<size_t>(s)].tag;
    if (i >= 1 && i <= state.slot_count()) {
      const int32_t code = state.Slot(i).cmbColor.SelectedData();
      if (code == 1 || code == 2) state.cmdPrintLogo.enabled = true;
    }
    for (int k = 1; k <= state.slot_count(); ++k) state.Slot(k).picFrame.visible = k == i;
  } else {
    state.cmdSelectAll.enabled = state.cmdSelectNone.enabled = state.cmdAddLogo.enabled = true;
    UpdateActionButtons(state);
    for (LogoSlot& slot : state.slots) slot.picFrame.visible = false;
  }
  SetHourglass(state, false);
}

bool SelectTab(LogoWindowState& state, int index) {
  if (index < 0 || index >= static_cast<int>(state.tabs.size()) || index == state.selected_tab) return false;
  if (TabStrip_BeforeClick(state)) return false;
  state.selected_tab = index;
  TabStrip_Click(state);
  return true;
}

void hsbSlide_Change(LogoWindowState& state, int16_t i, int value) {
  LogoSlot& slot = state.Slot(i);
  slot.hsbSlide.value = std::clamp(value, 0, slot.hsbSlide.max);
  slot.picSlide.left = -slot.hsbSlide.value;
  state.Changed();
}

void vsbSlide_Change(LogoWindowState& state, int16_t i, int value) {
  LogoSlot& slot = state.Slot(i);
  slot.vsbSlide.value = std::clamp(value, 0, slot.vsbSlide.max);
  slot.picSlide.top = -slot.vsbSlide.value;
  state.Changed();
}

}  // namespace zelta
