// Conversions between sRGB byte values and linear light (0 = black, 1 = full intensity), shared by the
// half-tone stretch and the image library.
#pragma once

#include <algorithm>
#include <cstdint>

namespace zelta {

struct LinearLight {
  static constexpr int kEncodeSteps = 16384;
  float to_linear[256];               // sRGB byte -> linear light
  uint8_t to_srgb[kEncodeSteps + 1];  // linear light quantised to kEncodeSteps -> sRGB byte

  // The sRGB byte nearest to linear value v (clamped to 0..1).
  uint8_t ToSrgb(float v) const {
    // min and max rather than a clamp: they compile to two instructions without branches.
    const int k = static_cast<int>(std::min(std::max(v, 0.0f), 1.0f) * kEncodeSteps + 0.5f);
    return to_srgb[k];
  }
};

// The tables, built on first use.
const LinearLight& Linear();

// Exact sRGB transfer functions on 0..1.
double SrgbToLinear(double v);
double LinearToSrgb(double v);

}  // namespace zelta
