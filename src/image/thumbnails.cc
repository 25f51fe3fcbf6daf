#include "image/thumbnails.h"

#include <algorithm>
#include <cmath>

#include "image/gallery.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

int Nearest(double v) { return static_cast<int>(std::nearbyint(std::clamp(v, -1e9, 1e9))); }

const Dib* PicturePixels(const LogoWindowState& state, int16_t i) {
  const PictureBox& load = state.Slot(i).picLoad;
  if (load.picture) return load.picture.get();
  return LoadedBitmaps.Has(i) ? LoadedBitmaps(i).get() : nullptr;
}

}  // namespace

int GalleryColumns(int gallery_width, int cell_width) {
  return std::max(1, (gallery_width + 2) / std::max(1, cell_width + 2));
}

void DrawThumbnail(LogoWindowState& state, int16_t i) {
  LogoSlot& slot = state.Slot(i);
  const PictureBox& frame = slot.picThumbFrame;
  PictureBox& thumb = slot.picThumb;
  const PictureBox& load = slot.picLoad;
  const double lw = load.outer_w(), lh = load.outer_h();
  const int text_h = state.caption_text_height;

  double rx = lw > 0 ? (frame.inner_w - 8.0 - thumb.border) / lw : 1.0;
  double ry = lh > 0 ? (frame.inner_h - 8.0 - text_h - thumb.border) / lh : 1.0;
  rx = std::min(rx, 1.0);
  ry = std::min(ry, 1.0);
  const double r = std::max(0.0, std::min(rx, ry));
  const double outer_w = lw * r + thumb.border, outer_h = lh * r + thumb.border;
  thumb.left = Nearest((frame.inner_w - outer_w) / 2);
  thumb.top = Nearest((frame.inner_h - outer_h - text_h - 8) / 2 + 4);
  ResizeOuter(thumb, Nearest(outer_w), Nearest(outer_h));
  const Dib* pixels = PicturePixels(state, i);
  if (pixels && thumb.picture) {
    StretchBltHalftone(*thumb.picture, 0, 0, thumb.inner_w, thumb.inner_h, *pixels, 0, 0, pixels->width(),
                       pixels->height());
  }
  ++thumb.drawn;
  state.Changed();
}

void ArrangeThumbnails(LogoWindowState& state, int32_t scroll_to_top) {
  const PictureBox& cell = state.Slot(1).picThumbFrame;
  const int w = cell.outer_w(), h = cell.outer_h();
  const int visible_h = state.picFrameAll.inner_h;
  int width = state.picFrameAll.inner_w;
  auto grid = [&](int a, int& columns) {
    columns = GalleryColumns(a, w);
    // Int() of a negative fraction is its floor: no logo gives no row.
    const int rows = state.LogoCount > 0 ? (state.LogoCount - 1) / columns + 1 : 0;
    return std::max(0, (h + 2) * rows - 2);
  };
  int columns = 1;
  int canvas_h = grid(width, columns);
  if (canvas_h > visible_h) {
    width = std::max(0, width - state.vsbSlideAll_width);
    canvas_h = grid(width, columns);
  }
  state.picSlideAll.inner_w = width;
  state.picSlideAll.inner_h = canvas_h;

  ScrollBar& bar = state.vsbSlideAll;
  const int excess = canvas_h - visible_h;
  if (excess < 0) {
    bar.value = bar.max = 0;
    bar.visible = false;
  } else {
    bar.visible = true;
    bar.small_change = h / 2;
    bar.large_change = std::min(visible_h, 32767);
    bar.max = std::min(excess, 32767);
    bar.value = scroll_to_top == 0 ? bar.max : 0;
  }
  state.picSlideAll.top = -bar.value;

  int stored = 0;
  for (const LogoSlot& s : state.slots) {
    if (s.picThumbFrame.visible && !IsNewLogoCaption(s.picThumbFrame.tag)) ++stored;
  }
  int k = 0;
  for (LogoSlot& s : state.slots) {
    PictureBox& frame = s.picThumbFrame;
    if (!frame.visible) continue;
    int p;
    if (!IsNewLogoCaption(frame.tag)) {
      p = k++;
    } else {
      const auto tab = std::find_if(state.tabs.begin(), state.tabs.end(),
                                    [&](const Tab& t) { return t.key == frame.tag; });
      if (tab == state.tabs.end()) continue;  // a new logo always has its tab
      p = static_cast<int>(tab - state.tabs.begin()) - 1 + stored;
    }
    const int row = p / columns, column = p - row * columns;
    frame.left = (w + 2) * column;
    frame.top = (h + 2) * row;
  }
  state.Changed();
}

void vsbSlideAll_Change(LogoWindowState& state, int value) {
  state.vsbSlideAll.value = std::clamp(value, 0, state.vsbSlideAll.max);
  state.picSlideAll.top = -state.vsbSlideAll.value;
  state.Changed();
}

}  // namespace zelta
