#include "image/logo_window_state.h"

#include "shared/pubblic_var.h"

namespace zelta {
namespace {

// Design-time geometry of a logo's page, pixels.
constexpr int kPageWidth = 660;
constexpr int kPageHeight = 470;
constexpr int kSlideWidth = kPageWidth;  // the scroll range is measured against the page
constexpr int kSlideHeight = 360;
constexpr int kMargin = 12;  // left and top margin of the panes on the canvas
constexpr int kViewWidth = 280;
constexpr int kViewHeight = 180;
constexpr int kPaneBorder = 4;
constexpr int kCaptionHeight = 20;
constexpr int kThumbFrameSize = 120;
constexpr int kThumbSize = 96;

PictureBox Box(int left, int top, int inner_w, int inner_h, int border) {
  PictureBox b;
  b.left = left;
  b.top = top;
  b.inner_w = inner_w;
  b.inner_h = inner_h;
  b.border = border;
  return b;
}

}  // namespace

bool IsSelected(const LogoSlot& slot) {
  return slot.picThumbFrame.back_color == kColorHighlight &&
         slot.picThumbFrame.fore_color == kColorHighlightText;
}

void SetSelected(LogoSlot& slot, bool selected) {
  slot.picThumbFrame.back_color = selected ? kColorHighlight : kColorButtonFace;
  slot.picThumbFrame.fore_color = selected ? kColorHighlightText : kColorButtonText;
}

LogoSlot DesignSlot() {
  LogoSlot s;
  s.picThumbFrame = Box(0, 0, kThumbFrameSize, kThumbFrameSize, 2);
  s.picThumb = Box(12, 4, kThumbSize, kThumbSize, 0);
  s.picFrame = Box(0, 0, kPageWidth, kPageHeight, 0);
  s.picLoad = Box(0, 0, 0, 0, 0);
  s.picFrameSlide = Box(0, 100, kSlideWidth, kSlideHeight, 0);
  s.picSlide = Box(0, 0, kSlideWidth, kSlideHeight, 0);
  s.picView = Box(kMargin, kMargin + kCaptionHeight, kViewWidth, kViewHeight, kPaneBorder);
  s.picPreview = Box(kMargin, kMargin + 2 * kCaptionHeight + kViewHeight + kPaneBorder + kMargin, kViewWidth,
                     kViewHeight, kPaneBorder);
  s.picView.auto_redraw = s.picPreview.auto_redraw = true;
  return s;
}

void InitLogoWindowState(LogoWindowState& state) {
  state = LogoWindowState{};
  state.slots.push_back(DesignSlot());
  state.tabs.push_back(Tab{"All logos", "All logos", 0});
  LoadedBitmaps.ReDimPreserve(1);
  PreparedBitmaps.ReDimPreserve(1);
  LoadedBitmaps.DeleteAll();
  PreparedBitmaps.DeleteAll();
}

}  // namespace zelta
