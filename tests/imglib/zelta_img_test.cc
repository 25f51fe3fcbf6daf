#include "imglib/zelta_img.h"

#include <gtest/gtest.h>

#include <set>

#include "imglib/color_table.h"
#include "imglib/dither.h"
#include "platform/linear_light.h"

namespace zelta {
namespace {

TEST(ZeltaImg, OutputHoldsOnlyTheTableColoursAndNamesTheTable) {
  SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
  // A horizontal grey ramp above a red-to-blue ramp.
  HBitmap pic = CreateDib24(120, 80);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 120; ++x) {
      uint8_t* p = pic->Row(y) + 3 * x;
      p[0] = static_cast<uint8_t>(x * 255 / 119);
      p[1] = y < 40 ? p[0] : 0;
      p[2] = y < 40 ? p[0] : static_cast<uint8_t>(255 - p[0]);
    }
  }
  for (auto [code, file, most] :
       {std::tuple{1, kColorTableTwoColors, 3u}, std::tuple{2, kColorTableBlackWhite, 2u},
        std::tuple{3, kColorTableColor, 8u}}) {
    ColorTable table;
    std::string error;
    ASSERT_EQ(LoadColorTableFile(ZELTA_TEST_DATA + std::string(file), table, error), ColorTableStatus::kOk);
    std::set<uint32_t> palette;
    for (const RgbQuad& q : table.palette) palette.insert((q.rgbRed << 16) | (q.rgbGreen << 8) | q.rgbBlue);
    for (int32_t diffusion : {0, 1}) {
      std::string text(256, ' ');
      int32_t length = -1;
      HBitmap out = ProcessImg(*pic, diffusion, code, text, length);
      ASSERT_TRUE(out);
      EXPECT_EQ(std::pair(out->width(), out->height()), std::pair(120, 80));
      EXPECT_EQ(text.substr(0, static_cast<size_t>(length)), file);
      std::set<uint32_t> colours;
      for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 120; ++x) {
          const uint8_t* p = out->Row(y) + 3 * x;
          colours.insert((p[2] << 16) | (p[1] << 8) | p[0]);
        }
      }
      EXPECT_LE(colours.size(), most) << code;
      EXPECT_TRUE(std::includes(palette.begin(), palette.end(), colours.begin(), colours.end())) << code;
    }
  }
  std::string text = "unchanged";
  int32_t length = 0;
  EXPECT_FALSE(ProcessImg(*pic, 1, 0, text, length));
  EXPECT_FALSE(ProcessImg(*pic, 1, 4, text, length));
  SetCurrentPath("/nonexistent/", 13);
  EXPECT_FALSE(ProcessImg(*pic, 1, 2, text, length)) << "no colour table";
  EXPECT_EQ(text, "unchanged");
}

// Flat colours diffused to inks: each ink takes its share of the light.
TEST(ZeltaImg, DiffusionKeepsTheLightOfEveryArea) {
  const struct {
    uint8_t r, g, b;
    InkSet inks;
    uint8_t ink;
    double share, within;
  } cases[] = {
      {188, 188, 188, InkSet::kBlackWhite, 1, SrgbToLinear(188 / 255.0), 0.01},  // half the light: half paper
      {137, 137, 137, InkSet::kBlackWhite, 1, SrgbToLinear(137 / 255.0), 0.01},  // a quarter
      {54, 54, 54, InkSet::kBlackWhite, 1, SrgbToLinear(54 / 255.0), 0.01},
      {200, 20, 20, InkSet::kBlackRedWhite, 1, 0.725, 0.275},  // red: red ink on at least 45 %
      {200, 20, 20, InkSet::kBlackRedWhite, 2, 0.025, 0.025},  // and hardly any paper
      {128, 128, 128, InkSet::kBlackRedWhite, 1, 0, 0},        // no red in a grey
  };
  for (const auto& c : cases) {
    HBitmap pic = CreateDib24(64, 64);
    FillDib(*pic, c.r, c.g, c.b);
    std::vector<uint8_t> classes;
    DitherToInks(*pic, c.inks, DitherOptions{}, classes);
    const double share =
        static_cast<double>(std::count(classes.begin(), classes.end(), c.ink)) / classes.size();
    EXPECT_NEAR(share, c.share, c.within)
        << int(c.r) << "," << int(c.g) << "," << int(c.b) << " ink " << int(c.ink);
  }
}

TEST(ZeltaImg, ThresholdCutsBetweenInkAndPaper) {
  // Dark grey strokes on light grey paper: Otsu cuts between them, so both survive as they are.
  HBitmap pic = CreateDib24(40, 10);
  FillDib(*pic, 200, 200, 200);
  for (int y = 0; y < 10; ++y) std::fill_n(pic->Row(y), 3 * 10, 90);
  std::vector<uint8_t> classes;
  DitherToInks(*pic, InkSet::kBlackWhite, DitherOptions{.diffusion = false}, classes);
  EXPECT_EQ(std::tuple(classes[5], classes[25]), std::tuple(0, 1));
  uint32_t histogram[256] = {};
  histogram[90] = 100;
  histogram[200] = 300;
  EXPECT_GE(OtsuThreshold(histogram), 90);
  EXPECT_LT(OtsuThreshold(histogram), 200);
  uint32_t flat[256] = {};
  flat[77] = 10;
  EXPECT_EQ(OtsuThreshold(flat), 128) << "one grey only: the middle";
}

TEST(ZeltaImg, ConvertTo24BppTakesEveryDepth) {
  BitmapInfo info;
  info.bmiHeader.biWidth = 3;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biBitCount = 8;
  info.bmiColors = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  const uint8_t bits[8] = {1, 0, 1, 0, 0, 1, 0, 0};
  HBitmap out = ConvertTo24Bpp(info, bits);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->bit_count(), 24);
  EXPECT_EQ(std::tuple(out->ScanLine(0)[0], out->ScanLine(0)[3], out->ScanLine(1)[5]),
            std::tuple(40, 10, 60));
  info.bmiHeader.biBitCount = 7;
  EXPECT_FALSE(ConvertTo24Bpp(info, bits));
}

}  // namespace
}  // namespace zelta
