#include "image/bmp_test_files.h"

#include <algorithm>
#include <cstdlib>

namespace zelta::test {

std::string MakeBmp(const BmpSpec& spec) {
  const int64_t stride = (static_cast<int64_t>(spec.bit_count) * spec.width + 31) / 32 * 4;
  const int64_t natural = 54 + 4 * static_cast<int64_t>(spec.colors.size());
  const int64_t offset = spec.offset ? spec.offset : natural;
  const int rows = std::abs(spec.height);
  std::string s = "BM";
  auto le = [&s](uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  };
  // File size, reserved, pixel offset; header size, width, height, planes and depth, compression.
  for (int64_t v : {offset + stride * rows, int64_t{0}, offset, int64_t{40}, int64_t{spec.width},
                    int64_t{spec.height}, int64_t{1} | spec.bit_count << 16, int64_t{spec.compression}})
    le(static_cast<uint32_t>(v));
  s.append(20, '\0');
  for (uint32_t c : spec.colors) le(c & 0xFFFFFF);
  if (offset > natural) s.append(static_cast<size_t>(offset - natural), '\0');
  const int px = spec.bit_count / 8;
  for (int y = rows - 1; y >= 0; --y) {  // bottom row first
    const size_t row = s.size();
    s.append(static_cast<size_t>(stride), '\0');
    for (int x = 0; x < spec.width; ++x) {
      const uint32_t v = spec.pixel(x, y);
      if (spec.bit_count == 1) {
        s[row + x / 8] = static_cast<char>(s[row + x / 8] | (v ? 0x80 >> (x % 8) : 0));
      } else if (spec.bit_count == 4) {
        s[row + x / 2] = static_cast<char>(s[row + x / 2] | ((x % 2) ? (v & 15) : ((v & 15) << 4)));
      } else {
        for (int b = 0; b < std::min(px, 3); ++b) s[row + px * x + b] = static_cast<char>(v >> (8 * b));
      }
    }
  }
  return s;
}

}  // namespace zelta::test
