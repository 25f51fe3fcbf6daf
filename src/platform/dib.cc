#include "platform/dib.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/dib_pixels.h"
#include "platform/linear_light.h"

namespace zelta {

using dib_internal::IndexAt;
using dib_internal::SetIndexAt;
using dib_internal::StoreColor;

namespace {

bool SupportedDepth(int bit_count) {
  switch (bit_count) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

inline uint8_t Expand5(int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

// Pixel memory: large buffers are aligned to and advised for huge pages, which spares the thousands
// of page faults that reading a large picture into fresh memory would otherwise take.
constexpr size_t kHugePage = size_t{2} << 20;

uint8_t* AllocateBits(size_t bytes, bool clear) {
  void* p = nullptr;
  if (bytes >= kHugePage / 4) {
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    p = std::aligned_alloc(kHugePage, rounded);
    if (p) madvise(p, rounded, MADV_HUGEPAGE);
    if (p && clear) std::memset(p, 0, bytes);
  } else {
    p = clear ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
  }
  return static_cast<uint8_t*>(p);
}

}  // namespace

void Dib::FreeBits::operator()(uint8_t* p) const { std::free(p); }

uint64_t DibStride(int64_t width, int64_t bit_count) {
  if (width <= 0 || bit_count <= 0) return 0;
  const uint64_t stride = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bit_count) + 31) / 32 * 4;
  return stride > 0xFFFFFFFFull ? 0 : stride;
}

HBitmap CreateDIBSection(const BitmapInfoHeader& header, const RgbQuad* colors, size_t color_count,
                         bool clear) {
  if (header.biCompression != 0 || !SupportedDepth(header.biBitCount)) return nullptr;
  if (header.biWidth <= 0 || header.biHeight <= 0) return nullptr;
  const uint64_t stride = DibStride(header.biWidth, header.biBitCount);
  if (stride == 0 || stride * static_cast<uint64_t>(header.biHeight) > kMaxDibBytes) return nullptr;
  HBitmap dib(new Dib());
  dib->header_ = header;
  dib->header_.biSize = 40;
  dib->header_.biSizeImage = static_cast<uint32_t>(stride * header.biHeight);
  dib->stride_ = static_cast<size_t>(stride);
  if (header.biBitCount <= 8) {
    const size_t entries = size_t{1} << header.biBitCount;
    dib->colors_.assign(entries, RgbQuad{});
    std::copy_n(colors, std::min(color_count, entries), dib->colors_.begin());
    // The counts of used and important entries stay as given, within the table.
    dib->header_.biClrUsed = header.biClrUsed <= entries ? header.biClrUsed : 0;
    dib->header_.biClrImportant = header.biClrImportant <= entries ? header.biClrImportant : 0;
  } else {
    dib->header_.biClrUsed = 0;
    dib->header_.biClrImportant = 0;
  }
  const size_t bytes = dib->size();
  dib->bits_.reset(AllocateBits(bytes, clear));
  if (!dib->bits_) return nullptr;
  return dib;
}

HBitmap CreateDib24(int width, int height) {
  BitmapInfoHeader h;
  h.biWidth = width;
  h.biHeight = height;
  h.biBitCount = 24;
  return CreateDIBSection(h, nullptr, 0, true);
}

bool SetDIBits(Dib& dib, const uint8_t* bits, size_t size) {
  if (size != dib.size()) return false;
  if (size > 0) std::memcpy(dib.bits(), bits, size);
  return true;
}

void ScanLineTo24(const Dib& dib, int s, uint8_t* out) {
  const uint8_t* line = dib.ScanLine(s);
  const int w = dib.width();
  switch (dib.bit_count()) {
    case 24:
      std::memcpy(out, line, 3 * static_cast<size_t>(w));
      return;
    case 32:
      for (int x = 0; x < w; ++x) std::memcpy(out + 3 * x, line + 4 * x, 3);
      return;
    case 16:
      for (int x = 0; x < w; ++x) {
        const int v = line[2 * x] | (line[2 * x + 1] << 8);
        out[3 * x] = Expand5(v & 31);
        out[3 * x + 1] = Expand5((v >> 5) & 31);
        out[3 * x + 2] = Expand5((v >> 10) & 31);
      }
      return;
    default:
      for (int x = 0; x < w; ++x) {
        const RgbQuad& q = dib.colors()[IndexAt(line, x, dib.bit_count())];
        out[3 * x] = q.rgbBlue;
        out[3 * x + 1] = q.rgbGreen;
        out[3 * x + 2] = q.rgbRed;
      }
  }
}

void GetDIBits24(const Dib& dib, std::vector<uint8_t>& out) {
  const size_t stride = static_cast<size_t>(DibStride(dib.width(), 24));
  out.assign(stride * dib.height(), 0);
  for (int s = 0; s < dib.height(); ++s) ScanLineTo24(dib, s, out.data() + stride * s);
}

void BitBlt(Dib& dst, int dx, int dy, int w, int h, const Dib& src, int sx, int sy) {
  // Clip the rectangle to both bitmaps.
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  if (dx < 0) {
    sx -= dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    h += dy;
    dy = 0;
  }
  w = std::min({w, src.width() - sx, dst.width() - dx});
  h = std::min({h, src.height() - sy, dst.height() - dy});
  if (w <= 0 || h <= 0) return;
  const int bc = dst.bit_count();
  if (bc == src.bit_count() && bc >= 8) {
    const size_t px = static_cast<size_t>(bc / 8);
    for (int y = 0; y < h; ++y) {
      std::memcpy(dst.Row(dy + y) + px * dx, src.Row(sy + y) + px * sx, px * static_cast<size_t>(w));
    }
    return;
  }
  if (bc == src.bit_count()) {  // 1 or 4 bits: copy the indices, then the table if it differs
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x)
        SetIndexAt(dst.Row(dy + y), dx + x, bc, IndexAt(src.Row(sy + y), sx + x, bc));
    }
    return;
  }
  std::vector<uint8_t> row(3 * static_cast<size_t>(src.width()));
  for (int y = 0; y < h; ++y) {
    ScanLineTo24(src, src.height() - 1 - (sy + y), row.data());
    for (int x = 0; x < w; ++x) StoreColor(dst, dst.Row(dy + y), dx + x, &row[3 * (sx + x)], 0.5f);
  }
}

void FillDib(Dib& dib, uint8_t red, uint8_t green, uint8_t blue) {
  const int px = dib.bit_count() / 8;
  if (px != 3 && px != 4) return;
  for (int s = 0; s < dib.height(); ++s) {
    uint8_t* line = dib.ScanLine(s);
    for (int x = 0; x < dib.width(); ++x) {
      line[px * x] = blue;
      line[px * x + 1] = green;
      line[px * x + 2] = red;
    }
  }
}

int GetNearestPaletteIndex(const std::vector<RgbQuad>& palette, uint8_t red, uint8_t green, uint8_t blue) {
  int best = -1;
  int best_d = 0;
  for (size_t i = 0; i < palette.size(); ++i) {
    const int dr = palette[i].rgbRed - red, dg = palette[i].rgbGreen - green, db = palette[i].rgbBlue - blue;
    const int d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < best_d) {
      best = static_cast<int>(i);
      best_d = d;
      if (d == 0) break;
    }
  }
  return best;
}

namespace dib_internal {

// Writes one colour (blue, green, red) to pixel x of a scan line. For a bitmap with a colour table,
// threshold (0..1) chooses between the two entries of a two-entry table; otherwise the nearest entry.
void StoreColor(Dib& dst, uint8_t* line, int x, const uint8_t* bgr, float threshold) {
  switch (dst.bit_count()) {
    case 24:
      std::memcpy(line + 3 * x, bgr, 3);
      return;
    case 32:
      std::memcpy(line + 4 * x, bgr, 3);
      line[4 * x + 3] = 0;
      return;
    case 16: {
      const int v = ((bgr[2] >> 3) << 10) | ((bgr[1] >> 3) << 5) | (bgr[0] >> 3);
      line[2 * x] = static_cast<uint8_t>(v & 0xFF);
      line[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      return;
    }
    default:
      break;
  }
  const std::vector<RgbQuad>& pal = dst.colors();
  int index = 0;
  const size_t entries = size_t{1} << dst.bit_count();
  if (entries == 2) {
    // Position of the colour on the line from entry 0 to entry 1, in linear light.
    const LinearLight& ll = Linear();
    float num = 0, den = 0;
    const uint8_t e0[3] = {pal[0].rgbBlue, pal[0].rgbGreen, pal[0].rgbRed};
    const uint8_t e1[3] = {pal[1].rgbBlue, pal[1].rgbGreen, pal[1].rgbRed};
    for (int c = 0; c < 3; ++c) {
      const float d = ll.to_linear[e1[c]] - ll.to_linear[e0[c]];
      num += (ll.to_linear[bgr[c]] - ll.to_linear[e0[c]]) * d;
      den += d * d;
    }
    index = (den > 0 && num / den > threshold) ? 1 : 0;
  } else {
    index = std::max(0, GetNearestPaletteIndex(pal, bgr[2], bgr[1], bgr[0]));
  }
  SetIndexAt(line, x, dst.bit_count(), index);
}

}  // namespace dib_internal

}  // namespace zelta
