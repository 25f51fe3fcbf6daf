#include "imglib/dither.h"

#include <algorithm>
#include <cstring>

#include "platform/linear_light.h"

namespace zelta {
namespace {

constexpr float kLumR = 0.2126f, kLumG = 0.7152f, kLumB = 0.0722f;
constexpr float kErrorLimit = 0.5f;  // how far beyond an ink's value the diffused value may run

// Rows of a picture as 24-bit pixels, whatever its depth.
class RowReader {
 public:
  explicit RowReader(const Dib& pic) : pic_(pic) {
    if (pic.bit_count() != 24) buf_.resize(3 * static_cast<size_t>(pic.width()));
  }
  const uint8_t* Row(int y) {
    if (buf_.empty()) return pic_.Row(y);
    ScanLineTo24(pic_, pic_.height() - 1 - y, buf_.data());
    return buf_.data();
  }

 private:
  const Dib& pic_;
  std::vector<uint8_t> buf_;
};

// Adds sharpen × (v − mean of its 3 × 3 neighbourhood) to each value of a w × h plane of N-channel
// pixels, clamped to 0..1.
template <int N>
void Sharpen(std::vector<float>& v, int w, int h, float amount) {
  if (amount <= 0) return;
  const std::vector<float> src = v;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < N; ++c) {
        float sum = 0;
        int n = 0;
        for (int yy = std::max(0, y - 1); yy <= std::min(h - 1, y + 1); ++yy) {
          for (int xx = std::max(0, x - 1); xx <= std::min(w - 1, x + 1); ++xx) {
            sum += src[(static_cast<size_t>(yy) * w + xx) * N + c];
            ++n;
          }
        }
        float& p = v[(static_cast<size_t>(y) * w + x) * N + c];
        p = std::clamp(p + amount * (p - sum / n), 0.0f, 1.0f);
      }
    }
  }
}

// Fixed point of the diffusion: 1.0 (full light) is kOne. Integer arithmetic keeps the chain from
// one pixel to the next short, and the error is shared out exactly (nothing lost to rounding).
constexpr int32_t kOne = 1 << 16;
constexpr int32_t kHalf = kOne / 2;
constexpr int32_t kLow = -static_cast<int32_t>(kErrorLimit * kOne);
constexpr int32_t kHigh = kOne + static_cast<int32_t>(kErrorLimit * kOne);

// Floyd–Steinberg error diffusion of N-channel values, one row at a time: fill(y, row) writes the
// N × w values of row y (0..1), quantize(value, vertex) returns the class of a corrected value (fixed
// point) and writes the value of the chosen ink (0 or kOne) to vertex.
template <int N, typename Fill, typename Quantize>
void Diffuse(int w, int h, bool serpentine, Fill fill, Quantize quantize, std::vector<uint8_t>& classes) {
  const size_t row_len = N * static_cast<size_t>(w + 2);
  std::vector<int32_t> buffer(2 * row_len + N * static_cast<size_t>(w), 0);
  std::vector<float> values(N * static_cast<size_t>(w));
  int32_t* cur = buffer.data();
  int32_t* next = cur + row_len;
  int32_t* row = next + row_len;
  for (int y = 0; y < h; ++y) {
    fill(y, values.data());
    for (size_t i = 0; i < values.size(); ++i) row[i] = static_cast<int32_t>(values[i] * kOne + 0.5f);
    const bool reverse = serpentine && (y & 1);
    const int step = reverse ? -1 : 1;
    uint8_t* out = &classes[static_cast<size_t>(y) * w];
    int32_t carry[N] = {};
    int x = reverse ? w - 1 : 0;
    for (int i = 0; i < w; ++i, x += step) {
      int32_t v[N], vertex[N];
      const int32_t* e = &cur[N * static_cast<size_t>(x + 1)];
      // The error from the row above is clamped off the critical path; the carry from the previous
      // pixel is added last.
      for (int c = 0; c < N; ++c) v[c] = std::clamp(row[N * x + c] + e[c], kLow, kHigh) + carry[c];
      out[x] = quantize(v, vertex);
      int32_t* below_behind = &next[N * static_cast<size_t>(x + 1 - step)];
      int32_t* below = below_behind + N * step;
      int32_t* below_ahead = below + N * step;
      for (int c = 0; c < N; ++c) {
        const int32_t err = v[c] - vertex[c];
        const int32_t e7 = (err * 7) >> 4, e3 = (err * 3) >> 4, e5 = (err * 5) >> 4;
        carry[c] = e7;
        below_behind[c] += e3;
        below[c] += e5;
        below_ahead[c] += err - e7 - e3 - e5;
      }
    }
    std::swap(cur, next);
    std::fill(next, next + row_len, 0);
  }
}

// Luma (gamma-encoded, 0..255) of a 24-bit pixel: the measure the no-diffusion threshold cuts.
inline int Luma(const uint8_t* bgr) { return (54 * bgr[2] + 183 * bgr[1] + 19 * bgr[0] + 128) >> 8; }

// Redness of a pixel in linear light for the black/red/white inks: the white share w and the red share
// r, with w + r <= 1 and the black share 1 − w − r. The light of the three shares equals the pixel's.
inline void RedShares(const float* lin_bgr, float& white, float& red) {
  const float b = lin_bgr[0], g = lin_bgr[1], r = lin_bgr[2];
  red = std::clamp(r - std::max(g, b), 0.0f, 1.0f);
  const float lum = kLumR * r + kLumG * g + kLumB * b;
  white = std::clamp(lum - kLumR * red, 0.0f, 1.0f - red);
}

void Threshold(const Dib& pic, InkSet inks, std::vector<uint8_t>& classes) {
  const int w = pic.width(), h = pic.height();
  RowReader reader(pic);
  uint32_t histogram[256] = {};
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = reader.Row(y);
    for (int x = 0; x < w; ++x) ++histogram[Luma(row + 3 * x)];
  }
  const int cut = OtsuThreshold(histogram);
  const LinearLight& ll = Linear();
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = reader.Row(y);
    uint8_t* out = &classes[static_cast<size_t>(y) * w];
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = row + 3 * x;
      const uint8_t paper = inks == InkSet::kBlackWhite ? 1 : 2;
      uint8_t cls = Luma(p) > cut ? paper : 0;
      if (inks == InkSet::kBlackRedWhite) {
        const float lin[3] = {ll.to_linear[p[0]], ll.to_linear[p[1]], ll.to_linear[p[2]]};
        float white, red;
        RedShares(lin, white, red);
        if (red > white && red > 1.0f - white - red) cls = 1;
      } else if (inks == InkSet::kColor) {
        cls = static_cast<uint8_t>(((p[2] >= 128) << 2) | ((p[1] >= 128) << 1) | (p[0] >= 128));
      }
      out[x] = cls;
    }
  }
}

}  // namespace

int OtsuThreshold(const uint32_t histogram[256]) {
  double total = 0, weighted = 0;
  for (int i = 0; i < 256; ++i) {
    total += histogram[i];
    weighted += static_cast<double>(i) * histogram[i];
  }
  double below = 0, below_weighted = 0, best = -1;
  int cut = 128;
  for (int t = 0; t < 255; ++t) {
    below += histogram[t];
    below_weighted += static_cast<double>(t) * histogram[t];
    const double above = total - below;
    if (below == 0 || above == 0) continue;
    const double m0 = below_weighted / below, m1 = (weighted - below_weighted) / above;
    const double between = below * above * (m0 - m1) * (m0 - m1);
    if (between > best) {
      best = between;
      cut = t;
    }
  }
  return cut;
}

// Built for current processors too (fused multiply-add shortens the chain from pixel to pixel).
__attribute__((target_clones("arch=x86-64-v3", "default"))) void DitherToInks(const Dib& pic, InkSet inks,
                                                                              const DitherOptions& options,
                                                                              std::vector<uint8_t>& classes) {
  const int w = pic.width(), h = pic.height();
  classes.resize(static_cast<size_t>(w) * h);
  if (!options.diffusion) {
    Threshold(pic, inks, classes);
    return;
  }
  const LinearLight& ll = Linear();
  RowReader reader(pic);
  const int channels = inks == InkSet::kBlackWhite ? 1 : inks == InkSet::kBlackRedWhite ? 2 : 3;
  // The values of one row, straight from the picture.
  auto values_of = [&](int y, float* v) {
    const uint8_t* row = reader.Row(y);
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = row + 3 * x;
      const float lin[3] = {ll.to_linear[p[0]], ll.to_linear[p[1]], ll.to_linear[p[2]]};
      switch (inks) {
        case InkSet::kBlackWhite:
          v[x] = kLumR * lin[2] + kLumG * lin[1] + kLumB * lin[0];
          break;
        case InkSet::kBlackRedWhite:
          RedShares(lin, v[2 * x], v[2 * x + 1]);
          break;
        case InkSet::kColor:
          v[3 * x] = lin[2];
          v[3 * x + 1] = lin[1];
          v[3 * x + 2] = lin[0];
          break;
      }
    }
  };
  // With edge emphasis the whole picture is needed first.
  std::vector<float> all;
  if (options.sharpen > 0) {
    all.resize(static_cast<size_t>(w) * h * channels);
    for (int y = 0; y < h; ++y) values_of(y, &all[static_cast<size_t>(y) * w * channels]);
    if (channels == 1) Sharpen<1>(all, w, h, options.sharpen);
    if (channels == 2) Sharpen<2>(all, w, h, options.sharpen);
    if (channels == 3) Sharpen<3>(all, w, h, options.sharpen);
  }
  auto fill = [&](int y, float* v) {
    if (all.empty()) {
      values_of(y, v);
    } else {
      std::copy_n(&all[static_cast<size_t>(y) * w * channels], static_cast<size_t>(w) * channels, v);
    }
  };
  switch (inks) {
    case InkSet::kBlackWhite:
      Diffuse<1>(
          w, h, options.serpentine, fill,
          [](const int32_t* v, int32_t* vertex) -> uint8_t {
            const bool paper = v[0] >= kHalf;
            vertex[0] = paper ? kOne : 0;
            return static_cast<uint8_t>(paper);
          },
          classes);
      break;
    case InkSet::kBlackRedWhite:
      Diffuse<2>(
          w, h, options.serpentine, fill,
          [](const int32_t* v, int32_t* vertex) -> uint8_t {
            // White when it outweighs red and black (2 white + red >= 1), else red when red
            // outweighs black (white + 2 red > 1), else black.
            const bool is_white = (2 * v[0] + v[1] >= kOne) & (v[0] >= v[1]);
            const bool is_red = !is_white & (v[0] + 2 * v[1] > kOne);
            vertex[0] = is_white ? kOne : 0;
            vertex[1] = is_red ? kOne : 0;
            return static_cast<uint8_t>(2 * is_white + is_red);
          },
          classes);
      break;
    case InkSet::kColor:
      Diffuse<3>(
          w, h, options.serpentine, fill,
          [](const int32_t* v, int32_t* vertex) -> uint8_t {
            int cls = 0;
            for (int c = 0; c < 3; ++c) {
              const bool on = v[c] >= kHalf;
              vertex[c] = on ? kOne : 0;
              cls = (cls << 1) | static_cast<int>(on);
            }
            return static_cast<uint8_t>(cls);
          },
          classes);
      break;
  }
}

}  // namespace zelta
