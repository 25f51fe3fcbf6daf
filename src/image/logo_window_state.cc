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
// Thumbnail frame, thumbnail picture and the empty source picture of a stored logo.
constexpr int kThumbFrameWidth = 73;
constexpr int kThumbFrameHeight = 97;
constexpr int kThumbWidth = 43;
constexpr int kThumbHeight = 57;
constexpr int kEmptyPictureSize = 80;
// The visible area of the gallery.
constexpr int kGalleryWidth = kPageWidth;
constexpr int kGalleryHeight = kPageHeight;

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
  s.picThumbFrame = Box(0, 0, kThumbFrameWidth, kThumbFrameHeight, 0);
  s.picThumb = Box(16, 8, kThumbWidth, kThumbHeight, 0);
  s.picFrame = Box(0, 0, kPageWidth, kPageHeight, 0);
  s.picLoad = Box(0, 0, kEmptyPictureSize, kEmptyPictureSize, 0);
  s.picFrameSlide = Box(0, 100, kSlideWidth, kSlideHeight, 0);
  s.picSlide = Box(0, 0, kSlideWidth, kSlideHeight, 0);
  s.picView = Box(kMargin, kMargin + kCaptionHeight, kViewWidth, kViewHeight, kPaneBorder);
  s.picPreview = Box(kMargin, kMargin + 2 * kCaptionHeight + kViewHeight + kPaneBorder + kMargin, kViewWidth,
                     kViewHeight, kPaneBorder);
  s.picView.auto_redraw = s.picPreview.auto_redraw = true;
  // Inside their hidden containers these show as soon as the containers do.
  for (PictureBox* b : {&s.picThumb, &s.picFrameSlide, &s.picSlide, &s.picView, &s.picPreview})
    b->visible = true;
  return s;
}

void SetHourglass(LogoWindowState& state, bool on) {
  state.busy = on;
  state.Changed();
}

void InitLogoWindowState(LogoWindowState& state) {
  LogoWindowView* view = state.view;
  state = LogoWindowState{};
  state.view = view;
  state.slots.push_back(DesignSlot());
  state.tabs.push_back(Tab{"ALL", "All logos", 0});
  state.picFrameAll = Box(0, 0, kGalleryWidth, kGalleryHeight, 0);
  state.picSlideAll = Box(0, 0, kGalleryWidth, 0, 0);
  state.picFrameAll.visible = state.picSlideAll.visible = true;
  // Until the printer has been read only closing and clearing are offered.
  for (Control* c : {&state.cmdAddLogo, &state.cmdDwldLogo, &state.cmdDelLogo, &state.cmdPrintLogo,
                     &state.cmdPrintMemLogos, &state.cmdSelectAll, &state.cmdSelectNone})
    c->enabled = false;
  LoadedBitmaps.ReDimPreserve(1);
  PreparedBitmaps.ReDimPreserve(1);
  LoadedBitmaps.DeleteAll();
  PreparedBitmaps.DeleteAll();
}

}  // namespace zelta
