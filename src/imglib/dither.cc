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

// Floyd–Steinberg error diffusion of N-channel values, one row at a time: fill(y, row) writes the
// N × w values of row y, quantize(value, vertex) returns the class of a corrected value and writes the
// value of the chosen ink to vertex. The error for the next pixel of the row stays in a register.
template <int N, typename Fill, typename Quantize>
void Diffuse(int w, int h, bool serpentine, Fill fill, Quantize quantize, std::vector<uint8_t>& classes) {
  const size_t row_len = N * static_cast<size_t>(w + 2);
  std::vector<float> buffer(2 * row_len + N * static_cast<size_t>(w), 0.0f);
  float* cur = buffer.data();
  float* next = cur + row_len;
  float* row = next + row_len;
  for (int y = 0; y < h; ++y) {
    fill(y, row);
    const bool reverse = serpentine && (y & 1);
    const int step = reverse ? -1 : 1;
    uint8_t* out = &classes[static_cast<size_t>(y) * w];
    float carry[N] = {};
    int x = reverse ? w - 1 : 0;
    for (int i = 0; i < w; ++i, x += step) {
      float v[N], vertex[N];
      const float* e = &cur[N * static_cast<size_t>(x + 1)];
      // The error from the row above is clamped off the critical path; the carry from the previous
      // pixel is added last.
      for (int c = 0; c < N; ++c)
        v[c] = std::clamp(row[N * x + c] + e[c], -kErrorLimit, 1.0f + kErrorLimit) + carry[c];
      out[x] = quantize(v, vertex);
      float* below_behind = &next[N * static_cast<size_t>(x + 1 - step)];
      float* below = below_behind + N * step;
      float* below_ahead = below + N * step;
      for (int c = 0; c < N; ++c) {
        const float err = v[c] - vertex[c];
        carry[c] = v[c] * (7.0f / 16) - vertex[c] * (7.0f / 16);
        below_behind[c] += err * (3.0f / 16);
        below[c] += err * (5.0f / 16);
        below_ahead[c] += err * (1.0f / 16);
      }
    }
    std::swap(cur, next);
    std::fill(next, next + row_len, 0.0f);
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
          [](const float* v, float* vertex) -> uint8_t {
            const bool paper = v[0] >= 0.5f;
            vertex[0] = static_cast<float>(paper);
            return static_cast<uint8_t>(paper);
          },
          classes);
      break;
    case InkSet::kBlackRedWhite:
      Diffuse<2>(
          w, h, options.serpentine, fill,
          [](const float* v, float* vertex) -> uint8_t {
            // White when it outweighs red and black (2 white + red >= 1), else red when red
            // outweighs black (white + 2 red > 1), else black.
            const bool is_white = (2.0f * v[0] + v[1] >= 1.0f) & (v[0] >= v[1]);
            const bool is_red = !is_white & (v[0] + 2.0f * v[1] > 1.0f);
            vertex[0] = static_cast<float>(is_white);
            vertex[1] = static_cast<float>(is_red);
            return static_cast<uint8_t>(2 * is_white + is_red);
          },
          classes);
      break;
    case InkSet::kColor:
      Diffuse<3>(
          w, h, options.serpentine, fill,
          [](const float* v, float* vertex) -> uint8_t {
            int cls = 0;
            for (int c = 0; c < 3; ++c) {
              const bool on = v[c] >= 0.5f;
              vertex[c] = static_cast<float>(on);
              cls = (cls << 1) | static_cast<int>(on);
            }
            return static_cast<uint8_t>(cls);
          },
          classes);
      break;
  }
}

}  // namespace zelta
