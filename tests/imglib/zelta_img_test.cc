#include "imglib/zelta_img.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "imglib/color_table.h"
#include "imglib/dither.h"
#include "platform/linear_light.h"

namespace zelta {
namespace {

class ZeltaImgTest : public ::testing::Test {
 protected:
  ZeltaImgTest() {
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
  }

  // Every distinct colour of a 24-bit bitmap as 0xRRGGBB.
  static std::set<uint32_t> Colours(const Dib& d) {
    std::set<uint32_t> out;
    for (int y = 0; y < d.height(); ++y) {
      for (int x = 0; x < d.width(); ++x) {
        const uint8_t* p = d.Row(y) + 3 * x;
        out.insert((p[2] << 16) | (p[1] << 8) | p[0]);
      }
    }
    return out;
  }
  // A 120 × 80 picture: a horizontal grey ramp above, a red-to-blue ramp below.
  static HBitmap Ramps() {
    HBitmap d = CreateDib24(120, 80);
    for (int y = 0; y < 80; ++y) {
      for (int x = 0; x < 120; ++x) {
        uint8_t* p = d->Row(y) + 3 * x;
        const uint8_t v = static_cast<uint8_t>(x * 255 / 119);
        if (y < 40) {
          p[0] = p[1] = p[2] = v;
        } else {
          p[2] = static_cast<uint8_t>(255 - v);
          p[1] = 0;
          p[0] = v;
        }
      }
    }
    return d;
  }
};

TEST_F(ZeltaImgTest, OutputHoldsOnlyTheTableColoursAndNamesTheTable) {
  HBitmap pic = Ramps();
  struct Case {
    int32_t code;
    const char* file;
    size_t max_colours;
  };
  for (Case c :
       {Case{1, kColorTableTwoColors, 3}, Case{2, kColorTableBlackWhite, 2}, Case{3, kColorTableColor, 8}}) {
    for (int32_t diffusion : {0, 1}) {
      std::string text(256, ' ');
      int32_t length = -1;
      HBitmap out = ProcessImg(*pic, diffusion, c.code, text, length);
      ASSERT_TRUE(out);
      EXPECT_EQ(out->width(), 120);
      EXPECT_EQ(out->height(), 80);
      EXPECT_EQ(text.substr(0, static_cast<size_t>(length)), c.file);
      ColorTable table;
      std::string error;
      ASSERT_EQ(LoadColorTableFile(std::string(ZELTA_TEST_DATA) + c.file, table, error),
                ColorTableStatus::kOk);
      const std::set<uint32_t> colours = Colours(*out);
      EXPECT_LE(colours.size(), c.max_colours);
      for (uint32_t col : colours) {
        bool found = false;
        for (const RgbQuad& q : table.palette) {
          found |= static_cast<uint32_t>((q.rgbRed << 16) | (q.rgbGreen << 8) | q.rgbBlue) == col;
        }
        EXPECT_TRUE(found) << std::hex << col;
      }
    }
  }
}

TEST_F(ZeltaImgTest, RefusesUnknownCodesAndMissingTables) {
  HBitmap pic = Ramps();
  std::string text = "unchanged";
  int32_t length = 0;
  EXPECT_FALSE(ProcessImg(*pic, 1, 0, text, length));
  EXPECT_FALSE(ProcessImg(*pic, 1, 4, text, length));
  SetCurrentPath("/nonexistent/", 13);
  EXPECT_FALSE(ProcessImg(*pic, 1, 2, text, length));
  EXPECT_EQ(text, "unchanged");
}

TEST_F(ZeltaImgTest, DiffusionKeepsTheLightOfEveryArea) {
  // A flat grey of half the light becomes half paper, half dots; a quarter becomes a quarter.
  for (int level : {188, 137, 54}) {
    HBitmap pic = CreateDib24(64, 64);
    FillDib(*pic, static_cast<uint8_t>(level), static_cast<uint8_t>(level), static_cast<uint8_t>(level));
    std::vector<uint8_t> classes;
    DitherToInks(*pic, InkSet::kBlackWhite, DitherOptions{}, classes);
    double paper = 0;
    for (uint8_t c : classes) paper += c;
    EXPECT_NEAR(paper / classes.size(), SrgbToLinear(level / 255.0), 0.01) << level;
  }
}

TEST_F(ZeltaImgTest, TwoColoursPutRedOnRedAndGreyOnBlackAndWhite) {
  HBitmap pic = CreateDib24(32, 32);
  FillDib(*pic, 200, 20, 20);
  std::vector<uint8_t> classes;
  DitherToInks(*pic, InkSet::kBlackRedWhite, DitherOptions{}, classes);
  int red = 0, white = 0;
  for (uint8_t c : classes) {
    red += c == 1;
    white += c == 2;
  }
  EXPECT_GT(red, 1024 * 0.45);
  EXPECT_LT(white, 1024 * 0.05);
  FillDib(*pic, 128, 128, 128);
  DitherToInks(*pic, InkSet::kBlackRedWhite, DitherOptions{}, classes);
  for (uint8_t c : classes) ASSERT_NE(c, 1) << "no red in a grey";
}

TEST_F(ZeltaImgTest, ThresholdCutsBetweenInkAndPaper) {
  // Dark grey strokes on light grey paper: Otsu cuts between them, so both survive as they are.
  HBitmap pic = CreateDib24(40, 10);
  FillDib(*pic, 200, 200, 200);
  for (int y = 0; y < 10; ++y) std::fill_n(pic->Row(y), 3 * 10, 90);
  std::vector<uint8_t> classes;
  DitherOptions plain;
  plain.diffusion = false;
  DitherToInks(*pic, InkSet::kBlackWhite, plain, classes);
  EXPECT_EQ(classes[5], 0);
  EXPECT_EQ(classes[25], 1);
  uint32_t histogram[256] = {};
  histogram[90] = 100;
  histogram[200] = 300;
  const int cut = OtsuThreshold(histogram);
  EXPECT_GE(cut, 90);
  EXPECT_LT(cut, 200);
  uint32_t flat[256] = {};
  flat[77] = 10;
  EXPECT_EQ(OtsuThreshold(flat), 128);
}

TEST_F(ZeltaImgTest, ConvertTo24BppTakesEveryDepth) {
  BitmapInfo info;
  info.bmiHeader.biWidth = 3;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biBitCount = 8;
  info.bmiColors = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  const uint8_t bits[8] = {1, 0, 1, 0, 0, 1, 0, 0};
  HBitmap out = ConvertTo24Bpp(info, bits);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->bit_count(), 24);
  EXPECT_EQ(out->ScanLine(0)[0], 40);
  EXPECT_EQ(out->ScanLine(0)[3], 10);
  EXPECT_EQ(out->ScanLine(1)[3 * 1 + 2], 60);
  info.bmiHeader.biBitCount = 7;
  EXPECT_FALSE(ConvertTo24Bpp(info, bits));
}

TEST_F(ZeltaImgTest, SerpentineModeIsTheDefaultAndCanBeTurnedOff) {
  EXPECT_EQ(SetDiffusionMode(0), 1);
  EXPECT_EQ(SetDiffusionMode(1), 0);
}

}  // namespace
}  // namespace zelta
