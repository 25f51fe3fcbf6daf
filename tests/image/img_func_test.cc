#include "image/img_func.h"

#include <gtest/gtest.h>

#include "image/fit_handler.h"
#include "image/logo_slots.h"
#include "imglib/zelta_img.h"
#include "shared/pubblic_var.h"
#include "support/scripted_ui.h"

namespace zelta {
namespace {

TEST(TargetGeometry, ScaleToWidthRoundsHalvesToEven) {
  float w = 560;
  TargetGeometry g = ComputeTargetGeometry(300, 100, w, 1, 0);
  EXPECT_EQ(g.W, 560);
  EXPECT_EQ(g.H, 187);
  EXPECT_EQ(g.D, 187);
  EXPECT_EQ(g.X, 0);
  // 5 × 2.5 = 12.5 rounds to 12, 7 × 2.5 = 17.5 to 18.
  w = 10;
  EXPECT_EQ(ComputeTargetGeometry(4, 5, w, 1, 0).H, 12);
  EXPECT_EQ(ComputeTargetGeometry(4, 7, w, 1, 0).H, 18);
  w = 200;
  EXPECT_EQ(ComputeTargetGeometry(200, 50, w, 1, 0).W, 200);
  w = 560;
  EXPECT_EQ(ComputeTargetGeometry(200, 50, w, 1, 0).H, 140) << "a 200-pixel picture fitted to 560 grows";
}

TEST(TargetGeometry, CropKeepsSizeAndLowersTheWidth) {
  float w = 560;
  TargetGeometry g = ComputeTargetGeometry(300, 100, w, 2, 0);
  EXPECT_EQ(w, 300.0f);
  EXPECT_EQ(g.W, 300);
  EXPECT_EQ(g.H, 100);
  w = 200;
  g = ComputeTargetGeometry(300, 100, w, 2, 0);
  EXPECT_EQ(w, 200.0f);
  EXPECT_EQ(g.W, 200);
  EXPECT_EQ(g.H, 100);
  w = 390;
  g = ComputeTargetGeometry(700, 90, w, 2, 0);
  EXPECT_EQ(g.W, 390);
  EXPECT_EQ(g.H, 90);
}

TEST(TargetGeometry, FitInsideNeverEnlargesAndCentres) {
  float w = 200;
  TargetGeometry g = ComputeTargetGeometry(100, 50, w, 0, 150);
  EXPECT_EQ(g.W, 100);
  EXPECT_EQ(g.H, 50);
  EXPECT_EQ(g.X, 50);
  EXPECT_EQ(g.Y, 50);
  EXPECT_EQ(g.D, 150);
  g = ComputeTargetGeometry(800, 300, w, 0, 150);
  EXPECT_EQ(g.W, 200);
  EXPECT_EQ(g.H, 75);
  EXPECT_EQ(g.X, 0);
  EXPECT_EQ(g.Y, 37);
  g = ComputeTargetGeometry(0, 300, w, 0, 150);
  EXPECT_EQ(g.W, 0);
}

class PrepareLogoImageTest : public ::testing::Test {
 protected:
  PrepareLogoImageTest() {
    InitLogoWindowState(state);
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
    slot = AllocateLogoSlot(state);
  }
  ~PrepareLogoImageTest() override { ResetPubblicVar(); }

  // A w × h picture: black left half, white right half, in the given depth.
  void Load(int w, int h, int bits = 24) {
    BitmapInfoHeader hd;
    hd.biWidth = w;
    hd.biHeight = h;
    hd.biBitCount = static_cast<uint16_t>(bits);
    const RgbQuad colors[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    HBitmap dib = CreateDIBSection(hd, colors, 2);
    HBitmap rgb = CreateDib24(w, h);
    FillDib(*rgb, 255, 255, 255);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w / 2; ++x) std::fill_n(rgb->Row(y) + 3 * x, 3, 0);
    }
    BitBlt(*dib, 0, 0, w, h, *rgb, 0, 0);
    LoadedBitmaps(slot) = std::move(dib);
    state.Slot(slot).picLoad.inner_w = w;
    state.Slot(slot).picLoad.inner_h = h;
  }
  LogoSlot& S() { return state.Slot(slot); }

  test::ScriptedUi ui;
  LogoWindowState state;
  int16_t slot = 0;
};

TEST_F(PrepareLogoImageTest, EveryColourCodeMakesATargetSizedBitmapAndNamesItsTable) {
  Load(300, 100);
  const char* tables[] = {"", kColorTableTwoColors, kColorTableBlackWhite, kColorTableColor};
  for (int code : {1, 2, 3}) {
    for (int16_t diffusion : {0, 1}) {
      float w = 560;
      ASSERT_TRUE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 1, code, diffusion));
      ASSERT_TRUE(PreparedBitmaps(slot));
      EXPECT_EQ(PreparedBitmaps(slot)->width(), 560);
      EXPECT_EQ(PreparedBitmaps(slot)->height(), 187);
      EXPECT_EQ(S().picPreview.tag, tables[code]);
      EXPECT_EQ(S().picPreview.inner_w, 560);
      EXPECT_EQ(S().picPreview.inner_h, 187);
      // The left half is black dots, the right half paper.
      const uint8_t* row = PreparedBitmaps(slot)->Row(90);
      EXPECT_EQ(row[3 * 10] + row[3 * 10 + 1] + row[3 * 10 + 2], 0);
      EXPECT_EQ(row[3 * 500] + row[3 * 500 + 1] + row[3 * 500 + 2], 3 * 255);
    }
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PrepareLogoImageTest, CropCutsTheLeftColumnsOfAnyDepth) {
  for (int bits : {1, 8, 24}) {
    Load(700, 40, bits);
    float w = 390;
    ASSERT_TRUE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 2, 2, 0));
    EXPECT_EQ(PreparedBitmaps(slot)->width(), 390);
    EXPECT_EQ(PreparedBitmaps(slot)->height(), 40);
    EXPECT_EQ(PreparedBitmaps(slot)->Row(0)[3 * 349], 0) << "column 349 is in the black half";
    EXPECT_EQ(PreparedBitmaps(slot)->Row(0)[3 * 389], 255);
  }
}

TEST_F(PrepareLogoImageTest, UnconvertedViewIsCentredAndLeavesThePreparedBitmap) {
  Load(100, 50);
  PictureBox& view = S().picView;
  view.inner_w = 200;
  view.inner_h = 150;
  view.border = 4;
  float w = 200;
  ASSERT_TRUE(PrepareLogoImage(slot, S().picLoad, view, w, 0, 0, 0));
  EXPECT_FALSE(PreparedBitmaps(slot));
  EXPECT_EQ(view.outer_w(), 204);
  EXPECT_EQ(view.inner_h, 150);
  ASSERT_TRUE(view.picture);
  EXPECT_EQ(view.picture->Row(49)[3 * 50], 255) << "above the picture: cleared";
  EXPECT_EQ(view.picture->Row(50)[3 * 50], 0) << "top-left of the picture: black";
  EXPECT_EQ(view.picture->Row(99)[3 * 149], 255) << "right half: white";
  EXPECT_EQ(view.picture->Row(100)[3 * 50], 255) << "below the picture";
}

TEST_F(PrepareLogoImageTest, MissingColourTableFailsAndLeavesNoPreparedBitmap) {
  Load(30, 10);
  float w = 60;
  ASSERT_TRUE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 1, 2, 0));
  SetCurrentPath("/nonexistent/", 13);
  EXPECT_FALSE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 1, 2, 0));
  EXPECT_FALSE(PreparedBitmaps(slot));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      ui.messages[0],
      "Raise error on get the preview image of current logo\r\nPlease check the application component(s) "
      "and verify the color table files.");
}

TEST_F(PrepareLogoImageTest, TargetThatCannotBeMadeKeepsThePreparedBitmap) {
  Load(30, 10);
  float w = 60;
  ASSERT_TRUE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 1, 2, 0));
  const Dib* before = PreparedBitmaps(slot).get();
  w = 0;  // a zero-width target
  EXPECT_FALSE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 1, 2, 0));
  EXPECT_EQ(PreparedBitmaps(slot).get(), before);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      ui.messages[0],
      "Raise error on read/write bytes image of current Logo.\r\nThe image funtions are not avaible for "
      "the current logo.");
}

TEST_F(PrepareLogoImageTest, OtherColourCodesDoNothing) {
  Load(30, 10);
  float w = 60;
  EXPECT_TRUE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 1, 4, 0));
  EXPECT_TRUE(PrepareLogoImage(slot, S().picLoad, S().picPreview, w, 1, -1, 0));
  EXPECT_FALSE(PreparedBitmaps(slot));
}

TEST_F(PrepareLogoImageTest, FitHandlerTurnsTheSettingsIntoAPreparation) {
  Load(200, 50);
  S().cmbPaperWidth.items = PaperWidths(46);
  S().cmbPaperWidth.selected = 0;
  S().cmbColor.items = {{"Black & white", 2}};
  S().cmbColor.selected = 0;
  chkFit_Click(state, slot);
  EXPECT_EQ(PreparedBitmaps(slot)->width(), 200) << "fit cleared keeps a narrow picture's size";
  S().chkFit = 1;
  chkFit_Click(state, slot);
  EXPECT_EQ(PreparedBitmaps(slot)->width(), 560);
  EXPECT_EQ(PreparedBitmaps(slot)->height(), 140);
  EXPECT_TRUE(S().hsbSlide.visible == (S().picSlide.outer_w() > S().picFrame.outer_w()));
  EXPECT_EQ(S().vsbSlide.value, 0);
  EXPECT_FALSE(state.busy);
  S().chkFit = 0;
  chkFit_Click(state, slot);
  EXPECT_EQ(PreparedBitmaps(slot)->width(), 200) << "the same result each time";

  state.busy = true;  // another operation runs: nothing happens
  S().chkFit = 1;
  chkFit_Click(state, slot);
  EXPECT_EQ(PreparedBitmaps(slot)->width(), 200);
}

TEST_F(PrepareLogoImageTest, FailedPreparationDisablesTheThumbnailFrame) {
  Load(20, 10);
  S().cmbPaperWidth.items = PaperWidths(36);
  S().cmbPaperWidth.selected = 0;
  S().cmbColor.items = {{"Black & white", 2}};
  S().cmbColor.selected = 0;
  S().chkFit = 1;
  SetCurrentPath("/nonexistent/", 13);
  chkFit_Click(state, slot);
  EXPECT_FALSE(S().picThumbFrame.enabled);
  EXPECT_FALSE(S().hsbSlide.visible);
  EXPECT_EQ(S().hsbSlide.max, 0);
  EXPECT_FALSE(state.busy);
}

TEST(PaperWidths, ByModel) {
  EXPECT_EQ(PaperWidths(36).front(), (std::pair<std::string, int32_t>{"82.5 mm", 426}));
  EXPECT_EQ(PaperWidths(161).size(), 1u);
  EXPECT_EQ(PaperWidths(32)[2].second, 390);
  EXPECT_TRUE(PaperWidths(99).empty());
}

}  // namespace
}  // namespace zelta
