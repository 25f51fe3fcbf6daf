#include "image/img_func.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "image/bmp_test_files.h"
#include "image/fit_handler.h"
#include "image/logo_slots.h"
#include "image/read_bmp_file.h"
#include "imglib/zelta_img.h"
#include "shared/bytes.h"
#include "shared/pubblic_var.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta {
namespace {

TEST(TargetGeometry, ScaleCropOrFitInside) {
  const struct {
    int ws, hs;
    float w;
    int32_t fit;
    int dest_h;
    TargetGeometry want;
    float w_after;
  } cases[] = {
      // Scaled to the width (1), halves to even: 5 × 2.5 = 12.5 to 12, 7 × 2.5 = 17.5 to 18; small ones grow.
      {4, 5, 10, 1, 0, {.W = 10, .H = 12, .D = 12}, 10},
      {4, 7, 10, 1, 0, {.W = 10, .H = 18, .D = 18}, 10},
      // Cropped (2): the size kept, the width lowered to a narrower picture's.
      {300, 100, 560, 2, 0, {.W = 300, .H = 100, .D = 100}, 300},
      {300, 100, 200, 2, 0, {.W = 200, .H = 100, .D = 100}, 200},
      // Fitted inside (0), centred (one that is not enlarged: the unconverted view below).
      {800, 300, 200, 0, 150, {.W = 200, .H = 75, .X = 0, .Y = 37, .D = 150}, 200},
      {0, 300, 200, 0, 150, {.D = 150}, 200},
  };
  for (const auto& c : cases) {
    float w = c.w;
    const TargetGeometry g = ComputeTargetGeometry(c.ws, c.hs, w, c.fit, c.dest_h);
    EXPECT_EQ(std::tuple(g.W, g.H, g.X, g.Y, g.D, w),
              std::tuple(c.want.W, c.want.H, c.want.X, c.want.Y, c.want.D, c.w_after))
        << c.ws << "x" << c.hs << " to " << c.w << ", mode " << c.fit;
  }
}

class PrepareLogoImageTest : public ::testing::Test {
 protected:
  PrepareLogoImageTest() {
    InitLogoWindowState(state);
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
    slot = AllocateLogoSlot(state);
  }
  ~PrepareLogoImageTest() override { ResetPubblicVar(); }

  // A w × h picture file: black left half, white right half, in the given depth.
  std::string Picture(int w, int h, int bits = 24) {
    test::BmpSpec bmp{.width = w, .height = h, .bit_count = bits};
    if (bits <= 8) bmp.colors = {0x000000, 0xFFFFFF};
    const uint32_t white = bits <= 8 ? 1u : 0xFFFFFFu;
    bmp.pixel = [w, white](int x, int) { return x < w / 2 ? 0u : white; };
    return dir.Write("in.bmp", test::MakeBmp(bmp));
  }
  void Load(int w, int h, int bits = 24) {
    LoadedBitmaps(slot) = ReadBmpFile(Picture(w, h, bits));
    S().picLoad.inner_w = w;
    S().picLoad.inner_h = h;
  }
  // The zelta-logo-tool program's exit status; what it wrote to stderr is in the file "err".
  int RunTool(const std::string& args) {
    const int status =
        std::system((std::string(ZELTA_LOGO_TOOL) + " prepare " + args + " 2>" + dir.File("err")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool Prepare(float w, int32_t fit, int32_t code, int16_t diffusion = 0) {
    return PrepareLogoImage(slot, S().picLoad, S().picPreview, w, fit, code, diffusion);
  }
  // Width, height and the channels of pixel (x, y) of the prepared bitmap.
  std::tuple<int, int, int> Prepared(int x, int y) {
    const Dib& d = *PreparedBitmaps(slot);
    const uint8_t* p = d.Row(y) + 3 * x;
    return {d.width(), d.height(), p[0] + p[1] + p[2]};
  }
  LogoSlot& S() { return state.Slot(slot); }
  test::ScriptedUi ui;
  test::TempDir dir;
  LogoWindowState state;
  int16_t slot = 0;
};

TEST_F(PrepareLogoImageTest, EveryColourCodeAndDepthMakesATargetSizedBitmapAndNamesItsTable) {
  Load(300, 100);
  const char* tables[] = {"", kColorTableTwoColors, kColorTableBlackWhite, kColorTableColor};
  for (int code : {1, 2, 3}) {
    for (int16_t diffusion : {0, 1}) {
      ASSERT_TRUE(Prepare(560, 1, code, diffusion));
      EXPECT_EQ(S().picPreview.tag, tables[code]);
      EXPECT_EQ(std::pair(S().picPreview.inner_w, S().picPreview.inner_h), std::pair(560, 187));
      // The left half is black dots, the right half paper.
      EXPECT_EQ(Prepared(10, 90), std::tuple(560, 187, 0));
      EXPECT_EQ(Prepared(500, 90), std::tuple(560, 187, 3 * 255));
    }
  }
  EXPECT_TRUE(ui.messages.empty());
  for (int bits : {1, 8, 24}) {  // cropping cuts the left columns of any depth
    Load(700, 40, bits);
    ASSERT_TRUE(Prepare(390, 2, 2));
    EXPECT_EQ(Prepared(349, 0), std::tuple(390, 40, 0)) << bits << ": column 349 is in the black half";
    EXPECT_EQ(Prepared(389, 0), std::tuple(390, 40, 3 * 255));
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
  EXPECT_EQ(std::pair(view.outer_w(), view.inner_h), std::pair(204, 150));
  ASSERT_TRUE(view.picture);
  EXPECT_EQ(view.picture->Row(49)[3 * 50], 255) << "above the picture: cleared";
  EXPECT_EQ(view.picture->Row(50)[3 * 50], 0) << "top-left of the picture: black";
  EXPECT_EQ(view.picture->Row(99)[3 * 149], 255) << "right half: white";
  EXPECT_EQ(view.picture->Row(100)[3 * 50], 255) << "below the picture";
}

TEST_F(PrepareLogoImageTest, FailuresShowTheirMessageAndOtherCodesDoNothing) {
  Load(30, 10);
  EXPECT_TRUE(Prepare(60, 1, 4));
  EXPECT_TRUE(Prepare(60, 1, -1));
  EXPECT_FALSE(PreparedBitmaps(slot));
  ASSERT_TRUE(Prepare(60, 1, 2));
  const Dib* before = PreparedBitmaps(slot).get();
  EXPECT_FALSE(Prepare(0, 1, 2)) << "a zero-width target cannot be made";
  EXPECT_EQ(PreparedBitmaps(slot).get(), before);
  SetCurrentPath("/nonexistent/", 13);
  EXPECT_FALSE(Prepare(60, 1, 2));
  EXPECT_FALSE(PreparedBitmaps(slot)) << "no colour table, no prepared bitmap";
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "Raise error on read/write bytes image of current Logo.\r\nThe image funtions are not "
                "avaible for the current logo.",
                "Raise error on get the preview image of current logo\r\nPlease check the application "
                "component(s) and verify the color table files."}));
}

TEST(ModelLists, PaperWidthsAndColoursByModel) {
  EXPECT_EQ(PaperWidths(32)[2].second, 390);
  EXPECT_TRUE(PaperWidths(99).empty());
  EXPECT_EQ(PaperWidths(161).size(), 1u);
  EXPECT_EQ(ColorModes(161).size(), 1u) << "black and white only";
}

TEST_F(PrepareLogoImageTest, TheToolPreparesAFileWritesItsDefinitionPacketAndRefusesBadInput) {
  ASSERT_EQ(RunTool(Picture(300, 100) + " --width 560 --fit --color two --diffusion --out " +
                    dir.File("out.bmp") + " --packet " + dir.File("packet.bin") + " --key 0A"),
            0)
      << dir.Read("err");
  EXPECT_TRUE(ReadBmpFile(dir.File("out.bmp"))) << "the prepared picture is written";
  const std::string bytes = dir.Read("packet.bin");
  const uint32_t n = 2 * (70 * 187 + 1) + 10;
  ASSERT_EQ(bytes.size(), 7 + n);
  EXPECT_EQ(bytes.substr(10, 3), std::string("0A\x02", 3));
  EXPECT_EQ(static_cast<uint8_t>(bytes[18]), 0xFF) << "the left of the first row is black dots";
  const std::string out = " --out " + dir.File("out.bmp");
  EXPECT_EQ(RunTool("/nonexistent/x.bmp --width 100" + out), 1);
  EXPECT_NE(dir.Read("err").find("The new logo </nonexistent/x.bmp> is not loaded."), std::string::npos);
  const std::string broken = dir.Write("broken.bmp", "BM not a bitmap");
  EXPECT_EQ(RunTool(broken + " --width 0" + out), 2);
  EXPECT_EQ(RunTool(broken + " --width 10" + out + " --packet p.bin"), 2) << "no key code";
}

// The byte strings packets such as the one above are built of, and numbers as messages show them.
TEST(Bytes, BuildingKeepsEveryByteHexDumpsCutAndNumbersGetALeadingBlankUnlessNegative) {
  Bytes b = B({29, 0, 255, 128});
  EXPECT_EQ(b, std::string("\x1d\0\xff\x80", 4));
  AppendLe16(b, 0x1234);
  AppendLe32(b, 0x89ABCDEF);
  EXPECT_EQ(b.substr(4), B({0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}));
  EXPECT_EQ(ToHex(B({0x1D, 0x28, 0x0A})), "1D 28 0A");
  EXPECT_EQ(ToHex(B({1, 2, 3}), 2), "01 02 ...");
  EXPECT_EQ(ToHex(""), "");
  for (auto [n, text] :
       {std::pair{0LL, " 0"}, {3072LL, " 3072"}, {-5LL, "-5"}, {-2147221399LL, "-2147221399"}})
    EXPECT_EQ(Str(n), text);
}

}  // namespace
}  // namespace zelta
