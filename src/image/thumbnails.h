// The thumbnail gallery of the "All logos" page: drawing one thumbnail and laying out the grid of the
// visible ones with its vertical scroll bar.
#pragma once

#include <cstdint>

#include "image/logo_window_state.h"

namespace zelta {

// Draws slot i's thumbnail: picThumb is sized to picLoad's picture scaled to fit the frame above the
// caption (never enlarged), centred, and the picture is stretched into it with the half-tone mode. The
// pixels come from picLoad's picture or, when it has none, LoadedBitmaps(i); a slot without either (a
// logo read from the printer) shows an empty area. The caption is the frame's Tag, drawn by the window
// below the picture. Precondition: 1 <= i <= state.slot_count().
void DrawThumbnail(LogoWindowState& state, int16_t i);

// Places every visible thumbnail frame on the gallery canvas: logos read from the printer first, in slot
// order, then new logos in the order of their tabs; cells of the first frame's size 2 pixels apart. Sets
// up vsbSlideAll: hidden when everything fits, else the canvas narrows by the bar's width and the bar
// shows the last row (scroll_to_top 0) or the first (otherwise).
void ArrangeThumbnails(LogoWindowState& state, int32_t scroll_to_top);

// The gallery's scroll bar moved: the canvas follows.
void vsbSlideAll_Change(LogoWindowState& state, int value);

// Number of grid columns for a gallery inner width and a cell (frame) width: at least 1.
int GalleryColumns(int gallery_width, int cell_width);

}  // namespace zelta
