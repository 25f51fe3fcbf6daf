// ImgFunc: preparing a logo slot's picture for the printer through the image library.
#pragma once

#include <cstdint>

#include "image/picture_box.h"

namespace zelta {

// Where and how large a prepared picture is drawn.
struct TargetGeometry {
  int W = 0, H = 0;  // target size, pixels (dots)
  int X = 0, Y = 0;  // placement in the destination
  int D = 0;         // destination height
};

// The target geometry for a source of ws × hs pixels, destination width w and fit mode: 0 fits inside
// w × dest_inner_h without enlarging, centred; 1 scales to width w keeping the aspect ratio; 2 keeps
// the size and cuts at width w (w is lowered to ws when the source is narrower). Other fit modes act
// as 1. Sizes round to the nearest integer, halves to even. An empty source gives an empty target.
TargetGeometry ComputeTargetGeometry(int ws, int hs, float& w, int32_t fit_mode, int dest_inner_h);

// Prepares slot's picture. The source size is source's inner size; the pixels come from source's
// picture, or from LoadedBitmaps(slot) when source has none drawn.
// color_code 0 draws the picture scaled into destination without conversion; 1 (two colours),
// 2 (black and white) and 3 (colour) have the image library make a new PreparedBitmaps(slot) of the
// target size (the previous one is deleted first), draw it into destination and set destination's Tag
// to the library's colour table file name. Other codes do nothing. destination is resized to its
// border plus width × D.
// Returns false after showing the message when the target bitmap cannot be made (PreparedBitmaps(slot)
// unchanged) or the library fails (PreparedBitmaps(slot) empty); destination is left cleared.
// Precondition: 1 <= slot <= LoadedBitmaps.UBound() for codes 1 to 3.
bool PrepareLogoImage(int16_t slot, PictureBox& source, PictureBox& destination, float& width,
                      int32_t fit_mode, int32_t color_code, int16_t diffusion);

}  // namespace zelta
