// The half-tone stretch: area averaging in linear light.
#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/dib.h"
#include "platform/dib_pixels.h"
#include "platform/linear_light.h"

namespace zelta {
namespace {

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

}  // namespace

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
  const size_t n = 3 * static_cast<size_t>(sw);
  // When every destination row covers two or more source rows, each source row feeds at most two
  // destination rows and is converted once, straight into both.
  const bool reducing = sh >= 2 * dh;

  // Destination rows [y_begin, y_end), with buffers of their own: two bands of rows run at once.
  auto rows = [&](int y_begin, int y_end) {
    std::vector<uint8_t> convert(direct ? 0 : 3 * static_cast<size_t>(src.width()));
    std::vector<float> buffers(2 * n);
    float* acc = buffers.data();
    float* acc_next = acc + n;
    std::vector<float> linear;  // a converted source row, when rows are enlarged
    int linear_row = -1;
    bool started = false;  // acc already holds this destination row's first source row
    auto source_line = [&](int s) -> const uint8_t* {
      if (direct) return src.ScanLine(s) + 3 * static_cast<size_t>(sx);
      ScanLineTo24(src, s, convert.data());
      return convert.data() + 3 * static_cast<size_t>(sx);
    };
    std::vector<uint8_t> out(3 * static_cast<size_t>(dw));
    for (int y = y_begin; y < y_end; ++y) {
      const int ty = dy + y;
      const int count = vy.count[y];
      if (reducing) {
        bool next_started = false;
        for (int k = started ? 1 : 0; k < count; ++k) {
          const int row = vy.first[y] + k;
          const bool shared = k == count - 1 && y + 1 < y_end && vy.first[y + 1] == row;
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
        dib_internal::StoreColor(dst, line, tx, &out[3 * x], BayerThreshold(tx, ty));
      }
    }
  };

  // Large pictures are worth a second thread: the bands write different rows and only read the source.
  // Packed destinations below 8 bits share bytes between neighbouring pixels but never between rows.
  constexpr size_t kThreadedPixels = size_t{1} << 20;
  if (static_cast<size_t>(sw) * static_cast<size_t>(sh) >= kThreadedPixels && dh >= 16 &&
      std::thread::hardware_concurrency() >= 2) {
    const int half = dh / 2;
    std::thread second;
    try {
      second = std::thread(rows, half, dh);
    } catch (...) {
      rows(half, dh);  // no thread to be had: do it here
    }
    rows(0, half);
    if (second.joinable()) second.join();
    return;
  }
  rows(0, dh);
}

}  // namespace zelta
