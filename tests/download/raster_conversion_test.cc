#include "download/raster_conversion.h"

#include <gtest/gtest.h>

#include <fstream>

#include "shared/pubblic_var.h"
#include "support/scripted_ui.h"

namespace zelta {
namespace {

HBitmap Picture(int w, int h, uint32_t colour) {
  HBitmap d = CreateDib24(w, h);
  FillDib(*d, colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
  return d;
}

void Put(Dib& d, int x, int y, uint32_t colour) {
  uint8_t* p = d.Row(y) + 3 * x;
  p[0] = colour & 0xFF;
  p[1] = (colour >> 8) & 0xFF;
  p[2] = colour >> 16;
}

ColorTable Table(const char* text) {
  ColorTable t;
  std::string error;
  EXPECT_EQ(ParseColorTable(text, t, error), ColorTableStatus::kOk) << error;
  return t;
}

const char kTwoColours[] =
    "\"Black\",0,0,0,\"Dot\",1,0,0\r\n\"Red\",255,0,0,\"Red\",0,1,0\r\n"
    "\"White\",255,255,255,\"Paper\",0,0,0\r\n";

TEST(ColorTableConversion, TwoColoursSortDarkRedAndGrey) {
  const ColorTable t = Table(kTwoColours);
  HBitmap pic = Picture(10, 2, 0xFFFFFF);
  Put(*pic, 0, 0, 0x000000);
  Put(*pic, 1, 0, 0xC81414);  // dark red (200, 20, 20)
  Put(*pic, 2, 0, 0xDCDCDC);  // light grey
  Put(*pic, 9, 1, 0x101010);
  std::array<std::vector<Bytes>, 3> planes;
  std::string error;
  ASSERT_TRUE(ConvertWithColorTable(*pic, t, 1, planes, error)) << error;
  ColorTableConverter c;
  ASSERT_TRUE(c.Start(*pic, t, 1, error));
  EXPECT_EQ(c.first(), 0);
  EXPECT_EQ(c.second(), 1);
  EXPECT_EQ(c.plane_count(), 2);
  EXPECT_EQ(planes[0][0], B({0x80, 0x00}));
  EXPECT_EQ(planes[1][0], B({0x40, 0x00}));
  EXPECT_EQ(At(planes[2][0], 0) & 0x20, 0x20) << "grey lands on paper";
  EXPECT_EQ(planes[0][1], B({0x00, 0x40})) << "dot 9 is bit 6 of the second byte";
}

TEST(ColorTableConversion, ColourFlagsChooseThePlanes) {
  const ColorTable t =
      Table("\"W\",255,255,255,\"\",0,0,0\n\"P\",255,0,255,\"1+3\",1,0,1\n\"G\",0,255,0,\"2\",0,1,0\n");
  HBitmap pic = Picture(3, 1, 0xFFFFFF);
  Put(*pic, 0, 0, 0xFF00FF);
  Put(*pic, 2, 0, 0x00FF00);
  std::array<std::vector<Bytes>, 3> planes;
  std::string error;
  ASSERT_TRUE(ConvertWithColorTable(*pic, t, 3, planes, error));
  EXPECT_EQ(planes[0][0], B({0x80}));
  EXPECT_EQ(planes[1][0], B({0x20}));
  EXPECT_EQ(planes[2][0], B({0x80}));
  ColorTableConverter c;
  ASSERT_TRUE(c.Start(*pic, t, 3, error));
  EXPECT_EQ(c.first(), 2) << "plane 3 is sent first";
  EXPECT_EQ(c.third(), 0);
}

TEST(ColorTableConversion, UnprintableEntriesFailInsteadOfCrashing) {
  const ColorTable four = Table(
      "\"B\",0,0,0,\"\",1,0,0\n\"R\",255,0,0,\"\",0,1,0\n\"W\",255,255,255,\"\",0,0,0\n"
      "\"Y\",255,255,0,\"\",0,0,0\n");
  HBitmap pic = Picture(4, 1, 0xFFFF00);
  std::array<std::vector<Bytes>, 3> planes;
  for (const ColorTable& t : {four, ColorTable{}}) {
    std::string error;
    EXPECT_FALSE(ConvertWithColorTable(*pic, t, 2, planes, error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(ColorTableFile, FieldsAndLimits) {
  ColorTable t;
  std::string error;
  for (const char* bad : {"", "\"B\",0,0,0,\"\",1,0", "\"B\",0,0,256,\"\",1,0,0", "\"B\",0,-1,0,\"\",1,0,0",
                          "\"B\",0,x,0,\"\",1,0,0"})
    EXPECT_EQ(ParseColorTable(bad, t, error), ColorTableStatus::kInvalid) << bad;
  EXPECT_EQ(ParseColorTable("\"a, b\",1,2,3,plain,4,5,6\n\n", t, error), ColorTableStatus::kOk) << error;
  ASSERT_EQ(t.palette.size(), 1u);
  EXPECT_EQ(t.palette[0].rgbRed, 1);
  EXPECT_EQ(t.palette[0].rgbBlue, 3);
  EXPECT_EQ(t.plane_flags[0][2], 6);
  std::string many;
  for (int i = 0; i < 126; ++i) many += "\"e\",1,2,3,\"f\",0,0,0\n";
  EXPECT_EQ(ParseColorTable(many, t, error), ColorTableStatus::kInvalid);
  many.erase(many.rfind("\"e\""));
  EXPECT_EQ(ParseColorTable(many, t, error), ColorTableStatus::kOk);
  EXPECT_EQ(t.palette.size(), 125u);
}

TEST(ReadLogoColorTable, MessagesForMissingAndBadFiles) {
  test::ScriptedUi ui;
  AppFolder = ::testing::TempDir();
  ColorTable t;
  EXPECT_FALSE(ReadLogoColorTable("", t));
  EXPECT_FALSE(ReadLogoColorTable("missing.txt", t));
  std::ofstream(AppFolder + "bad.txt") << "\"B\",0,0,0\n";
  EXPECT_FALSE(ReadLogoColorTable("bad.txt", t));
  std::ofstream(AppFolder + "good.txt") << kTwoColours;
  EXPECT_TRUE(ReadLogoColorTable("good.txt", t));
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0],
            "Raise file error.\r\nMissing color table file(s). Please check the files and their paths.");
  EXPECT_EQ(ui.messages[1],
            "Raise error on read color table file <missing.txt>\r\nCheck the file and the path.");
  EXPECT_EQ(ui.messages[2].rfind("Raise error on read color table file <bad.txt>\r\n", 0), 0u);
  ResetPubblicVar();
}

TEST(BlackDotConversion, OnlyExactBlackAndPaddedColumns) {
  HBitmap pic = Picture(3, 10, 0xFFFFFF);
  Put(*pic, 0, 0, 0x000000);
  Put(*pic, 0, 9, 0x000000);
  Put(*pic, 1, 0, 0x010000);  // (1, 0, 0) is not black
  Put(*pic, 2, 8, 0x000000);
  EXPECT_EQ(BlackDotColumn(*pic, 0), B({0x80, 0x40}));
  EXPECT_EQ(BlackDotColumn(*pic, 1), B({0, 0}));
  EXPECT_EQ(BlackDotColumn(*pic, 2), B({0, 0x80}));
  EXPECT_EQ(BlackDotColumn(*pic, 5), B({0, 0}));
}

TEST(PreviewConversion, ExactColoursOfTheDrawnPicture) {
  PictureBox preview;
  preview.inner_w = 10;
  preview.inner_h = 2;
  Cls(preview);
  Put(*preview.picture, 0, 0, 0x000000);
  Put(*preview.picture, 8, 0, 0xFF0000);
  Put(*preview.picture, 9, 0, 0xFE0000);
  EXPECT_EQ(PreviewRow(preview, 0, 0x000000), B({0x80, 0}));
  EXPECT_EQ(PreviewRow(preview, 0, 0xFF0000), B({0, 0x80}));
  EXPECT_EQ(PreviewRow(preview, 1, 0x000000), B({0, 0}));
  preview.picture.reset();
  EXPECT_EQ(PreviewRow(preview, 0, 0x000000), B({0, 0})) << "nothing drawn reads as paper";
}

}  // namespace
}  // namespace zelta
