// BMP files made byte by byte for the tests, independent of the program's own writer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zelta::test {

struct BmpSpec {
  int width = 1;
  int height = 1;
  int bit_count = 24;
  uint32_t compression = 0;
  // Colour entries as 0xRRGGBB, written blue, green, red, 0.
  std::vector<uint32_t> colors = {};
  // Pixel-data offset; 0 = right after the colour table.
  int64_t offset = 0;
  // The stored value of pixel (x, y), y counted from the top: a colour index, a 5-5-5 value, or
  // 0xRRGGBB for 24 and 32 bits.
  std::function<uint32_t(int x, int y)> pixel = [](int, int) { return 0u; };
};

// The bytes of a BMP file with the given fields.
std::string MakeBmp(const BmpSpec& spec);

}  // namespace zelta::test
