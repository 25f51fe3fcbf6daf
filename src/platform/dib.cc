#include "platform/dib.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/linear_light.h"

namespace zelta {
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

inline uint8_t Expand5(int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }

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

// 8 × 8 ordered-dither thresholds in (0, 1).
float BayerThreshold(int x, int y) {
  static constexpr uint8_t kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                           {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                           {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                           {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
  return (kBayer[y & 7][x & 7] + 0.5f) / 64.0f;
}

// One axis of an area-averaging stretch: destination pixel d covers source pixels first[d] ..
// first[d] + count[d] - 1 with the given weights (summing to 1).
struct AxisMap {
  std::vector<int> first, count;
  std::vector<size_t> offset;
  std::vector<float> weight;
};

AxisMap MapAxis(int src_len, int dst_len) {
  AxisMap m;
  m.first.resize(dst_len);
  m.count.resize(dst_len);
  m.offset.resize(dst_len);
  const double scale = static_cast<double>(src_len) / dst_len;
  for (int d = 0; d < dst_len; ++d) {
    const double a = d * scale, b = (d + 1) * scale;
    int s0 = static_cast<int>(a);
    int s1 = std::min(src_len, static_cast<int>(b + 0.999999));  // exclusive
    if (s1 <= s0) s1 = std::min(src_len, s0 + 1);
    m.first[d] = s0;
    m.count[d] = s1 - s0;
    m.offset[d] = m.weight.size();
    for (int s = s0; s < s1; ++s) {
      const double cover = std::min<double>(b, s + 1) - std::max<double>(a, s);
      m.weight.push_back(static_cast<float>(std::max(0.0, cover) / scale));
    }
  }
  return m;
}

// Linear light of a byte value. The transfer curve is a polynomial fitted so that every byte value
// comes back unchanged through the exact inverse (and most closely in the darks), which vectorises where
// a table look-up cannot.
[[gnu::always_inline]] inline float LinearOf(uint8_t byte) {
  constexpr float c1 = 0.062626662f, c2 = 0.202130308f, c3 = 2.110402063f, c4 = -3.396045998f,
                  c5 = 3.148314615f, c6 = -1.130716206f;
  const float s = static_cast<float>(byte) * (1.0f / 255.0f);
  const float curve = s * (c1 + s * (c2 + s * (c3 + s * (c4 + s * (c5 + s * c6)))));
  // Near black the exact curve is a straight line; a mask rather than a branch keeps loops vectorised.
  const float straight = s * (1.0f / 12.92f);
  const float beyond = static_cast<float>(s > 0.04045f);
  return straight + beyond * (curve - straight);
}

// A cheaper curve for reductions, where every output averages several pixels: within one level of the
// exact curve for every byte value.
[[gnu::always_inline]] inline float LinearOfForAverage(uint8_t byte) {
  constexpr float c1 = 0.06009682f, c2 = 0.28914425f, c3 = 1.41039407f, c4 = -1.29218994f, c5 = 0.53798585f;
  const float s = static_cast<float>(byte) * (1.0f / 255.0f);
  return s * (c1 + s * (c2 + s * (c3 + s * (c4 + s * c5))));
}

// out[i] = linear light of src[i], for n values.
__attribute__((target_clones("arch=x86-64-v3", "default"))) void LinearRow(float* __restrict out,
                                                                           const uint8_t* __restrict src,
                                                                           size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = LinearOf(src[i]);
}

// acc[i] = w × v[i] (first) or acc[i] += w × v[i], for n values.
__attribute__((target_clones("arch=x86-64-v3", "default"))) void Accumulate(float* __restrict acc,
                                                                            const float* __restrict v,
                                                                            size_t n, float w, bool first) {
  if (first) {
    for (size_t i = 0; i < n; ++i) acc[i] = w * v[i];
  } else {
    for (size_t i = 0; i < n; ++i) acc[i] += w * v[i];
  }
}

// One source row into one or two destination rows at once: acc gets w × linear light (set when first,
// else added); when next is not null, next is set to w_next × linear light.
__attribute__((target_clones("arch=x86-64-v3", "default"))) void AccumulateLinear(
    float* __restrict acc, float w, bool first, float* __restrict next, float w_next,
    const uint8_t* __restrict src, size_t n) {
  if (first && next) {
    for (size_t i = 0; i < n; ++i) {
      const float v = LinearOfForAverage(src[i]);
      acc[i] = w * v;
      next[i] = w_next * v;
    }
  } else if (next) {
    for (size_t i = 0; i < n; ++i) {
      const float v = LinearOfForAverage(src[i]);
      acc[i] += w * v;
      next[i] = w_next * v;
    }
  } else if (first) {
    for (size_t i = 0; i < n; ++i) acc[i] = w * LinearOfForAverage(src[i]);
  } else {
    for (size_t i = 0; i < n; ++i) acc[i] += w * LinearOfForAverage(src[i]);
  }
}

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
    dib->header_.biClrUsed = 0;
    dib->header_.biClrImportant = 0;
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

void StretchBltHalftone(Dib& dst, int dx, int dy, int dw, int dh, const Dib& src, int sx, int sy, int sw,
                        int sh) {
  if (dw <= 0 || dh <= 0) return;
  // Clip the source rectangle to the source; the mapping keeps the requested scale.
  sx = std::clamp(sx, 0, src.width());
  sy = std::clamp(sy, 0, src.height());
  sw = std::min(sw, src.width() - sx);
  sh = std::min(sh, src.height() - sy);
  if (sw <= 0 || sh <= 0) return;
  if (sw == dw && sh == dh && dst.bit_count() == src.bit_count()) {  // nothing to average
    BitBlt(dst, dx, dy, dw, dh, src, sx, sy);
    return;
  }
  const LinearLight& ll = Linear();
  const AxisMap hx = MapAxis(sw, dw);
  const AxisMap vy = MapAxis(sh, dh);
  const bool direct = src.bit_count() == 24;
  std::vector<uint8_t> convert(direct ? 0 : 3 * static_cast<size_t>(src.width()));
  const size_t n = 3 * static_cast<size_t>(sw);
  std::vector<float> buffers(2 * n);
  float* acc = buffers.data();
  float* acc_next = acc + n;
  std::vector<float> linear;  // a converted source row, when rows are enlarged
  int linear_row = -1;
  // When every destination row covers two or more source rows, each source row feeds at most two
  // destination rows and is converted once, straight into both.
  const bool reducing = sh >= 2 * dh;
  bool started = false;  // acc already holds this destination row's first source row
  auto source_line = [&](int s) -> const uint8_t* {
    if (direct) return src.ScanLine(s) + 3 * static_cast<size_t>(sx);
    ScanLineTo24(src, s, convert.data());
    return convert.data() + 3 * static_cast<size_t>(sx);
  };
  std::vector<uint8_t> out(3 * static_cast<size_t>(dw));
  for (int y = 0; y < dh; ++y) {
    const int ty = dy + y;
    const int count = vy.count[y];
    if (reducing) {
      bool next_started = false;
      for (int k = started ? 1 : 0; k < count; ++k) {
        const int row = vy.first[y] + k;
        const bool shared = k == count - 1 && y + 1 < dh && vy.first[y + 1] == row;
        AccumulateLinear(acc, vy.weight[vy.offset[y] + k], k == 0, shared ? acc_next : nullptr,
                         shared ? vy.weight[vy.offset[y + 1]] : 0.0f,
                         source_line(src.height() - 1 - (sy + row)), n);
        next_started = shared;
      }
      started = next_started;
    } else {
      if (ty < 0 || ty >= dst.height()) continue;
      linear.resize(n);
      for (int k = 0; k < count; ++k) {
        const int s = src.height() - 1 - (sy + vy.first[y] + k);
        // A source row shared by several destination rows is converted once.
        if (s != linear_row) {
          LinearRow(linear.data(), source_line(s), n);
          linear_row = s;
        }
        Accumulate(acc, linear.data(), n, vy.weight[vy.offset[y] + k], k == 0);
      }
    }
    if (ty < 0 || ty >= dst.height()) {
      if (reducing) std::swap(acc, acc_next);
      continue;
    }
    for (int x = 0; x < dw; ++x) {
      float b = 0, g = 0, r = 0;
      const float* wx = &hx.weight[hx.offset[x]];
      const float* a = &acc[3 * static_cast<size_t>(hx.first[x])];
      for (int k = 0; k < hx.count[x]; ++k) {
        b += wx[k] * a[3 * k];
        g += wx[k] * a[3 * k + 1];
        r += wx[k] * a[3 * k + 2];
      }
      out[3 * x] = ll.ToSrgb(b);
      out[3 * x + 1] = ll.ToSrgb(g);
      out[3 * x + 2] = ll.ToSrgb(r);
    }
    if (reducing) std::swap(acc, acc_next);
    uint8_t* line = dst.Row(ty);
    if (dst.bit_count() == 24 && dx >= 0 && dx + dw <= dst.width()) {
      std::memcpy(line + 3 * static_cast<size_t>(dx), out.data(), out.size());
      continue;
    }
    for (int x = 0; x < dw; ++x) {
      const int tx = dx + x;
      if (tx < 0 || tx >= dst.width()) continue;
      StoreColor(dst, line, tx, &out[3 * x], BayerThreshold(tx, ty));
    }
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

}  // namespace zelta
