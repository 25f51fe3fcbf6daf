// Turning a prepared logo into the dot planes that the raster packets carry: by its colour table
// (NV graphics downloads), by exactly black pixels (NV bit images), or from the preview picture on
// screen (printing a new logo). A set bit is a dot; bit 7 of a byte is the leftmost (or topmost) of
// its 8 dots.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "image/picture_box.h"
#include "imglib/color_table.h"
#include "platform/dib.h"
#include "shared/bytes.h"

namespace zelta {

// The three plane rows of one row, plane index 0, 1, 2 (planes 1, 2, 3).
using PlaneRow = std::array<Bytes, 3>;

// Reads the colour table file named by a preview's Tag from AppFolder. On failure shows the message
// (through ShowMessage) and returns false: an empty Tag is a missing file, a file that cannot be opened
// or holds no valid table is named in the message.
bool ReadLogoColorTable(const std::string& preview_tag, ColorTable& table);

// Colour-table conversion of one prepared bitmap, row by row, so that the caller can yield and send
// between rows. The bitmap and table must outlive the converter.
class ColorTableConverter {
 public:
  // Sets up the conversion of prepared with table in colour mode colour_code (1 two colours, 3 colour,
  // any other black and white). False, with error set, when the table is empty.
  bool Start(const Dib& prepared, const ColorTable& table, int32_t colour_code, std::string& error);

  // Row y (0 = top) into the three plane rows. False, with error set, when in black and white or two
  // colours a pixel's nearest entry lies beyond the three planes.
  bool ConvertRow(int y, PlaneRow& planes, std::string& error);

  int width() const { return width_; }
  int height() const { return height_; }
  // Plane indices of the first, second and third colour (colour bytes 49, 50, 51); -1 when unused.
  int first() const { return first_; }
  int second() const { return second_; }
  int third() const { return third_; }
  // The number of planes sent: 1, 2 or 3.
  int plane_count() const { return third_ >= 0 ? 3 : second_ >= 0 ? 2 : 1; }

 private:
  int Nearest(uint8_t r, uint8_t g, uint8_t b);

  const Dib* prepared_ = nullptr;
  const ColorTable* table_ = nullptr;
  bool colour_mode_ = false;
  int width_ = 0, height_ = 0;
  int first_ = -1, second_ = -1, third_ = -1;
  std::vector<uint8_t> row_;
  // Last colours looked up: prepared pictures hold few colours.
  static constexpr int kCacheSize = 64;
  std::array<uint32_t, kCacheSize> cache_key_{};
  std::array<int16_t, kCacheSize> cache_index_{};
  uint32_t last_key_ = 0;  // 0 never matches: keys have bit 24 set
  int last_index_ = 0;
};

// Converts every row; planes[p] receives the rows of plane index p. False with error as above.
bool ConvertWithColorTable(const Dib& prepared, const ColorTable& table, int32_t colour_code,
                           std::array<std::vector<Bytes>, 3>& planes, std::string& error);

// Black-dot conversion: column x (0 = left) of prepared, ((H - 1) div 8) + 1 bytes, a dot for each
// pixel that is exactly black. Columns at or beyond the width are zero bytes (padding columns).
Bytes BlackDotColumn(const Dib& prepared, int x);

// Preview conversion: row y of the preview picture, one byte per 8 dots of its inner width, a dot for
// each pixel whose colour is exactly colour (0xRRGGBB: 0 black, 0xFF0000 red). A preview with nothing
// drawn reads as paper.
Bytes PreviewRow(const PictureBox& preview, int y, uint32_t colour);

}  // namespace zelta
