// Colour table files: a comma-separated text (line ends also separate fields, text fields may be
// quoted) of entries of 8 fields each: label, red, green, blue, label, plane 1 flag, plane 2 flag,
// plane 3 flag. Entry k is palette entry k. The image library names the file it used for a logo; the
// download reads the same file to turn the logo into dot planes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dib.h"

namespace zelta {

// A palette holds at most this many entries.
constexpr size_t kMaxColorTableEntries = 125;

struct ColorTable {
  std::vector<RgbQuad> palette;                     // red, green, blue of each entry; flags 0
  std::vector<std::array<uint8_t, 3>> plane_flags;  // fields 6, 7 and 8 of each entry
};

enum class ColorTableStatus {
  kOk,
  kCannotOpen,  // the file does not exist or cannot be read
  kInvalid,     // no entries, more than kMaxColorTableEntries, or a field that is not a byte
};

// Parses the text of a colour table file. On kInvalid, error says what is wrong and table is empty.
ColorTableStatus ParseColorTable(std::string_view text, ColorTable& table, std::string& error);

// Reads and parses the file at path.
ColorTableStatus LoadColorTableFile(const std::string& path, ColorTable& table, std::string& error);

}  // namespace zelta
