// Plain records of the controls that the logo window's operations read and change. The Qt window
// draws them and forwards its events; the operations and their tests work on the records alone.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/dib.h"

namespace zelta {

// System colour numbers of the thumbnail frames' selection state.
constexpr int kColorButtonFace = 15;
constexpr int kColorButtonText = 18;
constexpr int kColorHighlight = 13;
constexpr int kColorHighlightText = 14;

struct PictureBox {
  int left = 0;
  int top = 0;
  int inner_w = 0;  // scale width and height, pixels
  int inner_h = 0;
  int border = 0;  // outer height minus inner height; added to both outer dimensions on a resize
  std::string tag;
  // What is drawn on the box: 24-bit, inner_w × inner_h, or empty when nothing is drawn.
  HBitmap picture;
  uint32_t paper = 0xFFFFFF;  // colour of a cleared box, 0xRRGGBB
  int back_color = kColorButtonFace;
  int fore_color = kColorButtonText;
  bool visible = false;
  bool enabled = true;
  bool auto_redraw = false;  // keeps what is drawn
  uint64_t drawn = 0;        // counts the drawings, so that a window redraws only what changed

  int outer_w() const { return inner_w + border; }
  int outer_h() const { return inner_h + border; }
};

// Clears the drawing: a picture of the inner size filled with the paper colour (none when the inner
// size is empty). Counts as a drawing.
void Cls(PictureBox& box);
// Sets the outer size; the inner size follows (never below 0) and the drawing is cleared.
void ResizeOuter(PictureBox& box, int outer_w, int outer_h);

struct ListBox {
  std::vector<std::pair<std::string, int32_t>> items;  // text, ItemData
  int selected = -1;                                   // ListIndex; -1 = none
  // ItemData of the selected entry; 0 when none is selected.
  int32_t SelectedData() const {
    return selected >= 0 && selected < static_cast<int>(items.size()) ? items[selected].second : 0;
  }
};

struct ScrollBar {
  int value = 0;
  int max = 0;
  int small_change = 1;
  int large_change = 1;
  bool visible = false;
};

}  // namespace zelta
