#include "image/picture_box.h"

#include <algorithm>

namespace zelta {

void Cls(PictureBox& box) {
  ++box.drawn;
  const bool same_size =
      box.picture && box.picture->width() == box.inner_w && box.picture->height() == box.inner_h;
  if (!same_size) {
    box.picture = (box.inner_w > 0 && box.inner_h > 0) ? CreateDib24(box.inner_w, box.inner_h) : nullptr;
  }
  if (box.picture) {
    FillDib(*box.picture, static_cast<uint8_t>(box.paper >> 16), static_cast<uint8_t>(box.paper >> 8),
            static_cast<uint8_t>(box.paper));
  }
}

void ResizeOuter(PictureBox& box, int outer_w, int outer_h) {
  box.inner_w = std::max(0, outer_w - box.border);
  box.inner_h = std::max(0, outer_h - box.border);
  Cls(box);
}

}  // namespace zelta
