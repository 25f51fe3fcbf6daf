#include "imglib/zelta_img.h"

#include <array>
#include <cstring>

#include "imglib/color_table.h"
#include "imglib/dither.h"

namespace zelta {
namespace {

std::string g_current_path;
int32_t g_diffusion_mode = 1;

// The palette entry for each ink class of inks.
std::vector<RgbQuad> InkColors(const ColorTable& table, InkSet inks) {
  auto nearest = [&](uint8_t r, uint8_t g, uint8_t b) {
    return table.palette[static_cast<size_t>(GetNearestPaletteIndex(table.palette, r, g, b))];
  };
  switch (inks) {
    case InkSet::kBlackWhite:
      return {nearest(0, 0, 0), nearest(255, 255, 255)};
    case InkSet::kBlackRedWhite:
      return {nearest(0, 0, 0), nearest(255, 0, 0), nearest(255, 255, 255)};
    case InkSet::kColor: {
      std::vector<RgbQuad> corners;
      for (int cls = 0; cls < 8; ++cls) {
        corners.push_back(nearest(cls & 4 ? 255 : 0, cls & 2 ? 255 : 0, cls & 1 ? 255 : 0));
      }
      return corners;
    }
  }
  return {};
}

}  // namespace

int32_t SetCurrentPath(const std::string& path, int32_t length) {
  g_current_path = path.substr(0, static_cast<size_t>(std::max<int32_t>(0, length)));
  return 1;
}

int32_t SetDiffusionMode(int32_t mode) {
  const int32_t previous = g_diffusion_mode;
  g_diffusion_mode = mode;
  return previous;
}

HBitmap ConvertTo24Bpp(const BitmapInfo& info, const uint8_t* bits) {
  HBitmap source = CreateDIBSection(info.bmiHeader, info.bmiColors.data(), info.bmiColors.size(), false);
  if (!source || !bits) return nullptr;
  std::memcpy(source->bits(), bits, source->size());
  if (source->bit_count() == 24) return source;
  HBitmap out = CreateDib24(source->width(), source->height());
  if (!out) return nullptr;
  for (int s = 0; s < source->height(); ++s) ScanLineTo24(*source, s, out->ScanLine(s));
  return out;
}

HBitmap ProcessImg(const Dib& bitmap, int32_t diffusion, int32_t color, std::string& text,
                   int32_t& text_length) {
  InkSet inks;
  const char* file;
  switch (color) {
    case 1:
      inks = InkSet::kBlackRedWhite;
      file = kColorTableTwoColors;
      break;
    case 2:
      inks = InkSet::kBlackWhite;
      file = kColorTableBlackWhite;
      break;
    case 3:
      inks = InkSet::kColor;
      file = kColorTableColor;
      break;
    default:
      return nullptr;
  }
  ColorTable table;
  std::string error;
  if (LoadColorTableFile(g_current_path + file, table, error) != ColorTableStatus::kOk) return nullptr;
  const std::vector<RgbQuad> colors = InkColors(table, inks);

  DitherOptions options;
  options.diffusion = diffusion != 0;
  options.serpentine = g_diffusion_mode != 0;
  std::vector<uint8_t> classes;
  DitherToInks(bitmap, inks, options, classes);

  HBitmap out = CreateDib24(bitmap.width(), bitmap.height());
  if (!out) return nullptr;
  const int w = bitmap.width();
  for (int y = 0; y < bitmap.height(); ++y) {
    uint8_t* row = out->Row(y);
    const uint8_t* cls = &classes[static_cast<size_t>(y) * w];
    for (int x = 0; x < w; ++x) {
      const RgbQuad& q = colors[cls[x]];
      row[3 * x] = q.rgbBlue;
      row[3 * x + 1] = q.rgbGreen;
      row[3 * x + 2] = q.rgbRed;
    }
  }
  const size_t n = std::strlen(file);
  if (text.size() < 256) text.resize(256, ' ');
  text.replace(0, n, file);
  text_length = static_cast<int32_t>(n);
  return out;
}

}  // namespace zelta
