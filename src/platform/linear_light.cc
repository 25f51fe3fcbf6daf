#include "platform/linear_light.h"

#include <cmath>

namespace zelta {

double SrgbToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

double LinearToSrgb(double v) { return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055; }

const LinearLight& Linear() {
  static const LinearLight tables = [] {
    LinearLight t{};
    for (int i = 0; i < 256; ++i) t.to_linear[i] = static_cast<float>(SrgbToLinear(i / 255.0));
    // Step k encodes to byte b when k / steps lies between the light of b - 0.5 and of b + 0.5, so the
    // table is filled from the 255 boundaries rather than by encoding every step.
    int b = 0;
    for (int k = 0; k <= LinearLight::kEncodeSteps; ++k) {
      const double v = static_cast<double>(k) / LinearLight::kEncodeSteps;
      while (b < 255 && v >= SrgbToLinear((b + 0.5) / 255.0)) ++b;
      t.to_srgb[k] = static_cast<uint8_t>(b);
    }
    return t;
  }();
  return tables;
}

}  // namespace zelta
