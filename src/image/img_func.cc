#include "image/img_func.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imglib/zelta_img.h"
#include "link/forms.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

constexpr char kCrLf[] = "\r\n";

// Nearest integer, halves to even, clamped to the int range.
int Nearest(double v) {
  if (!(v == v)) return 0;  // NaN
  return static_cast<int>(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

// Largest integer not above v, clamped to the int range.
int Int(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::floor(v), -2147483648.0, 2147483647.0));
}

const Dib* SourcePixels(int16_t slot, const PictureBox& source) {
  if (source.picture) return source.picture.get();
  return LoadedBitmaps.Has(slot) ? LoadedBitmaps(slot).get() : nullptr;
}

}  // namespace

TargetGeometry ComputeTargetGeometry(int ws, int hs, float& w, int32_t fit_mode, int dest_inner_h) {
  TargetGeometry g;
  if (ws <= 0 || hs <= 0) {
    g.D = fit_mode == 0 ? dest_inner_h : 0;
    return g;
  }
  switch (fit_mode) {
    case 0: {
      double r = std::min(static_cast<double>(w) / ws, static_cast<double>(dest_inner_h) / hs);
      if (r >= 1) r = 1;  // never enlarged
      g.W = Nearest(ws * r);
      g.H = Nearest(hs * r);
      g.X = Int((static_cast<double>(w) - g.W) / 2);
      g.Y = Int((static_cast<double>(dest_inner_h) - g.H) / 2);
      g.D = dest_inner_h;
      break;
    }
    case 2:
      if (ws < w) w = static_cast<float>(ws);
      g.W = Nearest(w);
      g.H = hs;
      g.D = g.H;
      break;
    default:
      g.W = Nearest(w);
      g.H = Nearest(static_cast<double>(w) / ws * hs);
      g.D = g.H;
      break;
  }
  return g;
}

bool PrepareLogoImage(int16_t slot, PictureBox& source, PictureBox& destination, float& width,
                      int32_t fit_mode, int32_t color_code, int16_t diffusion) {
  destination.auto_redraw = true;
  Cls(destination);
  const int border = destination.border;
  const int ws = source.inner_w, hs = source.inner_h;
  const TargetGeometry g = ComputeTargetGeometry(ws, hs, width, fit_mode, destination.inner_h);
  const int outer_w = border + Nearest(width), outer_h = border + g.D;

  if (color_code == 0) {
    ResizeOuter(destination, outer_w, outer_h);
    const Dib* pixels = SourcePixels(slot, source);
    if (pixels && destination.picture) {
      StretchBltHalftone(*destination.picture, g.X, g.Y, g.W, g.H, *pixels, 0, 0, ws, hs);
    }
    ++destination.drawn;
    return true;
  }
  if (color_code < 0 || color_code > 3) return true;

  // The loaded bitmap redrawn at the target size, in its own format and colour table.
  const Dib* loaded = LoadedBitmaps.Has(slot) ? LoadedBitmaps(slot).get() : nullptr;
  HBitmap target;
  if (loaded) {
    BitmapInfo info;
    info.bmiHeader = loaded->header();
    if (loaded->bit_count() != 24 && loaded->bit_count() <= 8) {
      const uint32_t important = loaded->header().biClrImportant;
      const size_t n = important ? important : (size_t{1} << loaded->bit_count());
      info.bmiColors.assign(
          loaded->colors().begin(),
          loaded->colors().begin() + static_cast<long>(std::min(n, loaded->colors().size())));
    }
    info.bmiHeader.biWidth = g.W;
    info.bmiHeader.biHeight = g.H;
    // When the source size is the loaded bitmap's, every pixel of the target is drawn below.
    const bool covered = ws == loaded->width() && hs == loaded->height();
    target = CreateDIBSection(info.bmiHeader, info.bmiColors.data(), info.bmiColors.size(), !covered);
  }
  if (!target) {
    ShowMessage(std::string("Raise error on read/write bytes image of current Logo.") + kCrLf +
                "The image funtions are not avaible for the current logo.");
    return false;
  }
  if (fit_mode == 2) {
    BitBlt(*target, 0, 0, g.W, g.H, *loaded, 0, 0);
  } else {
    StretchBltHalftone(*target, 0, 0, g.W, g.H, *loaded, 0, 0, ws, hs);
  }

  std::string text(256, ' ');
  PreparedBitmaps(slot).reset();
  // The target's rows, in the format of its header and colour table, go to the library as they are.
  BitmapInfo target_info{target->header(), target->colors()};
  HBitmap picture24 = ConvertTo24Bpp(target_info, target->bits());
  target.reset();

  SetDiffusionMode(1);
  int32_t text_length = 0;
  if (picture24) PreparedBitmaps(slot) = ProcessImg(*picture24, diffusion, color_code, text, text_length);
  if (!PreparedBitmaps(slot)) {
    ShowMessage(std::string("Raise error on get the preview image of current logo") + kCrLf +
                "Please check the application component(s) and verify the color table files.");
    return false;
  }
  picture24.reset();
  destination.tag = text.substr(0, static_cast<size_t>(std::clamp<int32_t>(text_length, 0, 256)));
  ResizeOuter(destination, outer_w, outer_h);
  if (destination.picture) BitBlt(*destination.picture, g.X, g.Y, g.W, g.H, *PreparedBitmaps(slot), 0, 0);
  ++destination.drawn;
  return true;
}

}  // namespace zelta
