// Pixel access shared by the bitmap routines (dib.cc, dib_stretch.cc); not for other callers.
#pragma once

#include <cstdint>

#include "platform/dib.h"

namespace zelta::dib_internal {

// Colour index of pixel x in a scan line of a bitmap with a colour table.
inline int IndexAt(const uint8_t* line, int x, int bit_count) {
  switch (bit_count) {
    case 1:
      return (line[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (line[x >> 1] & 0x0F) : (line[x >> 1] >> 4);
    default:
      return line[x];
  }
}

inline void SetIndexAt(uint8_t* line, int x, int bit_count, int index) {
  switch (bit_count) {
    case 1: {
      const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
      line[x >> 3] = static_cast<uint8_t>(index ? (line[x >> 3] | mask) : (line[x >> 3] & ~mask));
      break;
    }
    case 4:
      if (x & 1) {
        line[x >> 1] = static_cast<uint8_t>((line[x >> 1] & 0xF0) | (index & 0x0F));
      } else {
        line[x >> 1] = static_cast<uint8_t>((line[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
      }
      break;
    default:
      line[x] = static_cast<uint8_t>(index);
  }
}

// Writes one colour (blue, green, red) to pixel x of a scan line. For a bitmap with a colour table,
// threshold (0..1) chooses between the two entries of a two-entry table; otherwise the nearest entry.
void StoreColor(Dib& dst, uint8_t* line, int x, const uint8_t* bgr, float threshold);

}  // namespace zelta::dib_internal
