#include "image/logo_slots.h"

#include <cstdio>

#include "shared/pubblic_var.h"

namespace zelta {

int16_t AllocateLogoSlot(LogoWindowState& state) {
  int free_index = 0;
  for (int i = 1; i <= state.slot_count(); ++i) {
    if (!state.Slot(i).picThumbFrame.visible) {
      free_index = i;
      break;
    }
  }
  ++state.LogoCount;
  if (free_index) return static_cast<int16_t>(free_index);

  const int index = state.slot_count() + 1;
  LoadedBitmaps.ReDimPreserve(index);
  PreparedBitmaps.ReDimPreserve(index);
  LogoSlot s = DesignSlot();
  // New elements show at once, except the frame (shown when the slot comes into use), the page (shown
  // with its tab), the hidden source picture and the scroll bars (shown by the layout).
  for (PictureBox* b : {&s.picThumb, &s.picFrameSlide, &s.picSlide, &s.picView, &s.picPreview})
    b->visible = true;
  state.slots.push_back(std::move(s));
  return static_cast<int16_t>(index);
}

std::string ChooseNewKeyCode(const LogoWindowState& state) {
  int candidate = 0;
  auto text = [](int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X", v);
    return std::string(buf);
  };
  for (int i = 1; i <= state.slot_count(); ++i) {
    const LogoSlot& s = state.Slot(i);
    if (s.picThumbFrame.visible && s.picThumb.tag == text(candidate)) {
      ++candidate;
      i = 0;  // walk again from the lowest index
    }
  }
  return text(candidate);
}

}  // namespace zelta
