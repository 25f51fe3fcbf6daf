// Reduction of a picture to the printer's inks, with or without error diffusion.
//
// Diffusion works in linear light, so that the average light of every area of dots matches the
// picture's, and scans serpentine (alternate rows run right to left), which avoids the diagonal
// "worms" of a raster scan. A pixel's value plus the error handed down from the row above is clamped
// to half a dot beyond black and white, so error piled up by a large area does not spill far into a
// thin line or small text next to it. Without diffusion the picture is cut at a threshold chosen from its own
// histogram (Otsu's method on the luma), which puts the cut between ink and paper for the two-tone
// pictures that logos mostly are.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dib.h"

namespace zelta {

enum class InkSet {
  kBlackWhite,     // classes: 0 black dot, 1 paper
  kBlackRedWhite,  // classes: 0 black dot, 1 red dot, 2 paper
  kColor,          // classes: red bit 4, green bit 2, blue bit 1 of the cube corner nearest in light
};

struct DitherOptions {
  bool diffusion = true;
  bool serpentine = true;
  // Strength of the edge emphasis applied before diffusion (0 = none): the picture plus this much of
  // its difference from a 3 × 3 mean, which keeps thin lines and small text crisp.
  float sharpen = 0.0f;
};

// One class per pixel of pic (any depth), rows from the top: classes[y * width + x].
void DitherToInks(const Dib& pic, InkSet inks, const DitherOptions& options, std::vector<uint8_t>& classes);

// The luma threshold (0..255) that Otsu's method picks for a luma histogram of 256 bins; 128 when
// the histogram holds a single level.
int OtsuThreshold(const uint32_t histogram[256]);

}  // namespace zelta
