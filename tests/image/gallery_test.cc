#include "image/gallery.h"

#include <gtest/gtest.h>

#include "image/add_logo.h"
#include "image/bmp_test_files.h"
#include "image/fit_handler.h"
#include "image/logo_slots.h"
#include "image/thumbnails.h"
#include "imglib/zelta_img.h"
#include "shared/pubblic_var.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

class GalleryTest : public ::testing::Test {
 protected:
  GalleryTest() {
    ResetPubblicVar();
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
    InitLogoWindowState(state);
    state.cmdAddLogo.enabled = state.cmdSelectAll.enabled = state.cmdSelectNone.enabled = true;
  }
  ~GalleryTest() override { ResetPubblicVar(); }

  // A logo as the stored-logo list ("Logo(") or the add operation ("New(", with its tab) makes it.
  int16_t Add(const std::string& key, bool is_new) {
    const int16_t i = AllocateLogoSlot(state);
    LogoSlot& s = state.Slot(i);
    s.picThumb.tag = key;
    s.picThumbFrame.tag = (is_new ? "New(" : "Logo(") + key + ")";
    s.picThumbFrame.visible = true;
    if (is_new) state.tabs.push_back(Tab{s.picThumbFrame.tag, s.picThumbFrame.tag, i});
    return i;
  }
  std::string Bmp(const std::string& name, int w, int h) {
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.pixel = [](int x, int) { return x % 2 ? 0xFFFFFFu : 0u; };
    return dir.Write(name, MakeBmp(spec));
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (const LogoSlot& s : state.slots)
      if (s.picThumbFrame.visible) out.push_back(s.picThumbFrame.tag);
    return out;
  }
  std::string Buttons() const {  // delete, download, print
    return std::string(state.cmdDelLogo.enabled ? "D" : "-") + (state.cmdDwldLogo.enabled ? "W" : "-") +
           (state.cmdPrintLogo.enabled ? "P" : "-");
  }

  ScriptedUi ui;
  TempDir dir;
  LogoWindowState state;
};

TEST_F(GalleryTest, ThumbnailFitsAboveItsCaptionWithoutGrowing) {
  const struct {
    int frame_w, frame_h, pic_w, pic_h;
    int w, h, left, top;
  } cases[] = {
      {73, 97, 325, 65, 65, 13, 4, 36},  // r = 0.2; top 35.5 rounds to even
      {73, 97, 20, 20, 20, 20, 26, 32},  // never enlarged
      {73, 97, 80, 80, 65, 65, 4, 10},   // the empty picture of a stored logo; 9.5 to even
      {73, 97, 40, 400, 8, 76, 33, 4},   // the height decides: 7.6 wide at 32.7
  };
  const int16_t i = Add("00", false);
  for (const auto& c : cases) {
    LogoSlot& s = state.Slot(i);
    s.picThumbFrame.inner_w = c.frame_w;
    s.picThumbFrame.inner_h = c.frame_h;
    s.picLoad.inner_w = c.pic_w;
    s.picLoad.inner_h = c.pic_h;
    DrawThumbnail(state, i);
    EXPECT_EQ(s.picThumb.inner_w, c.w) << c.pic_w << "x" << c.pic_h;
    EXPECT_EQ(s.picThumb.inner_h, c.h);
    EXPECT_EQ(s.picThumb.left, c.left);
    EXPECT_EQ(s.picThumb.top, c.top);
  }
}

TEST_F(GalleryTest, GridPutsStoredLogosFirstThenNewOnesInTabOrder) {
  state.picFrameAll.inner_w = 445;  // (445 + 2) / (73 + 2) = 5 columns
  state.picFrameAll.inner_h = 1000;
  const int16_t n1 = Add("05", true);
  const int16_t s1 = Add("00", false);
  const int16_t n2 = Add("06", true);
  const int16_t s2 = Add("01", false);
  const int16_t n3 = Add("07", true);
  std::swap(state.tabs[1], state.tabs[3]);  // tab order: New(07), New(06), New(05)
  ArrangeThumbnails(state, 0);
  auto cell = [&](int16_t i) {
    return std::make_pair(state.Slot(i).picThumbFrame.left, state.Slot(i).picThumbFrame.top);
  };
  EXPECT_EQ(cell(s1), std::make_pair(0, 0));
  EXPECT_EQ(cell(s2), std::make_pair(75, 0));
  EXPECT_EQ(cell(n3), std::make_pair(150, 0));
  EXPECT_EQ(cell(n2), std::make_pair(225, 0));
  EXPECT_EQ(cell(n1), std::make_pair(300, 0));
  EXPECT_FALSE(state.vsbSlideAll.visible);
  EXPECT_EQ(state.picSlideAll.inner_h, 97);

  // A sixth logo starts the second row.
  const int16_t s3 = Add("02", false);
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(cell(s3), std::make_pair(150, 0));
  EXPECT_EQ(cell(n1), std::make_pair(0, 99));
}

TEST_F(GalleryTest, ScrollBarAppearsWhenRowsOverflowAndShowsLastOrFirstRow) {
  state.picFrameAll.inner_w = 445;
  state.picFrameAll.inner_h = 150;
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(state.picSlideAll.inner_h, 0) << "no logo, no negative canvas";
  for (int k = 0; k < 6; ++k) Add("0" + std::to_string(k), false);
  ArrangeThumbnails(state, 0);
  // 445 - 17 = 428 wide: (430 / 75) = 5 columns still, two rows of 97 + 2 + 97.
  EXPECT_TRUE(state.vsbSlideAll.visible);
  EXPECT_EQ(state.picSlideAll.inner_w, 428);
  EXPECT_EQ(state.vsbSlideAll.max, 196 - 150);
  EXPECT_EQ(state.vsbSlideAll.value, 46);
  EXPECT_EQ(state.picSlideAll.top, -46);
  EXPECT_EQ(state.vsbSlideAll.small_change, 48);
  EXPECT_EQ(state.vsbSlideAll.large_change, 150);
  ArrangeThumbnails(state, 1);
  EXPECT_EQ(state.vsbSlideAll.value, 0);
  vsbSlideAll_Change(state, 30);
  EXPECT_EQ(state.picSlideAll.top, -30);
  // Narrowing by the bar can cost a column.
  state.picFrameAll.inner_w = 450;  // 452 / 75 = 6 columns; with the bar 435 / 75 = 5
  state.picFrameAll.inner_h = 90;
  for (int k = 0; k < 6; ++k) Add("1" + std::to_string(k), false);
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(state.picSlideAll.inner_h, 3 * 99 - 2);
}

TEST_F(GalleryTest, SelectionDecidesTheButtons) {
  state.picFrameAll.inner_h = 150;
  const int16_t stored = Add("00", false);
  const int16_t fresh = Add("01", true);
  const int16_t below = Add("02", false);
  ArrangeThumbnails(state, 1);
  state.Slot(below).picThumbFrame.top = 200;  // partly below the visible 150 pixels
  state.vsbSlideAll.max = 1000;
  EXPECT_EQ(Buttons(), "---");
  picThumbFrame_Click(state, stored);
  EXPECT_EQ(Buttons(), "D-P");
  picThumbFrame_Click(state, fresh);
  EXPECT_EQ(Buttons(), "DWP");
  picThumbFrame_Click(state, stored);
  EXPECT_EQ(Buttons(), "DW-");
  picThumbFrame_Click(state, fresh);
  EXPECT_EQ(Buttons(), "---");

  picThumbFrame_Click(state, below);
  EXPECT_EQ(state.vsbSlideAll.value, 200 + 97 - 150) << "scrolled just far enough to show its bottom";
  EXPECT_EQ(state.picSlideAll.top, -147);
  picThumbFrame_Click(state, stored);
  EXPECT_EQ(state.vsbSlideAll.value, 0) << "scrolled up to its top";

  cmdSelectNone_Click(state);
  EXPECT_EQ(Buttons(), "---");
  state.Slot(stored).picThumbFrame.visible = false;  // deleted: ignored by every rule
  SetSelected(state.Slot(stored), true);
  UpdateActionButtons(state);
  EXPECT_EQ(Buttons(), "---");
  picThumbFrame_Click(state, stored);
  EXPECT_TRUE(IsSelected(state.Slot(stored))) << "a hidden frame ignores clicks";
  cmdSelectAll_Click(state);
  EXPECT_TRUE(IsSelected(state.Slot(fresh)) && IsSelected(state.Slot(below)));
  EXPECT_EQ(Buttons(), "DWP");
  state.busy = true;
  cmdSelectNone_Click(state);
  EXPECT_TRUE(IsSelected(state.Slot(fresh))) << "refused while busy";
  picThumbFrame_Click(state, fresh);
  EXPECT_FALSE(IsSelected(state.Slot(fresh))) << "a thumbnail click works while busy";
}

TEST_F(GalleryTest, TabsShowALogosPageAndAreRefusedWhileBusy) {
  const int16_t a = Add("00", true);
  const int16_t b = Add("01", true);
  state.Slot(a).cmbColor.items = ColorModes(46);
  state.Slot(a).cmbColor.selected = 1;  // "Two colors"
  state.Slot(b).cmbColor.items = ColorModes(36);
  state.Slot(b).cmbColor.selected = 1;  // "Color"
  ASSERT_TRUE(SelectTab(state, 1));
  EXPECT_TRUE(state.Slot(a).picFrame.visible);
  EXPECT_FALSE(state.Slot(b).picFrame.visible);
  EXPECT_EQ(Buttons(), "D-P");
  EXPECT_FALSE(state.cmdAddLogo.enabled || state.cmdSelectAll.enabled || state.cmdSelectNone.enabled);
  state.cmdPrintLogo.enabled = false;
  ASSERT_TRUE(SelectTab(state, 2));
  EXPECT_EQ(Buttons(), "D--") << "colour cannot be printed";
  EXPECT_FALSE(state.Slot(a).picFrame.visible);

  state.busy = true;
  EXPECT_FALSE(SelectTab(state, 0));
  EXPECT_EQ(state.selected_tab, 2);
  state.busy = false;
  ASSERT_TRUE(SelectTab(state, 0));
  EXPECT_EQ(Buttons(), "---");
  EXPECT_TRUE(state.cmdAddLogo.enabled && state.cmdSelectAll.enabled);
  EXPECT_FALSE(state.Slot(a).picFrame.visible || state.Slot(b).picFrame.visible);
}

TEST_F(GalleryTest, AddingTakesGoodFilesInOrderAndRefusesTheOthers) {
  PrinterModelId = 46;
  const std::string good = Bmp("one.bmp", 300, 100);
  const std::string upper = Bmp("TWO.BMP", 20, 10);
  const std::string text = dir.Write("notes.txt", "x");
  const std::string broken = dir.Write("broken.bmp", MakeBmp(BmpSpec()).substr(0, 40));
  const std::string compressed = [&] {
    BmpSpec spec;
    spec.compression = 1;
    return dir.Write("rle.bmp", MakeBmp(spec));
  }();
  ui.open_results.push_back({good, text, broken, compressed, upper, dir.path() + "/folder.bmp"});
  std::filesystem::create_directory(dir.path() + "/folder.bmp");
  std::vector<int> progress;
  ui.on_do_events = [&] {
    if (state.progress.visible && (progress.empty() || progress.back() != state.progress.value))
      progress.push_back(state.progress.value);
  };
  cmdAddLogo_Click(state);
  EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5})) << "one step per file";
  EXPECT_EQ(state.progress.max, 6);
  EXPECT_FALSE(state.progress.visible || state.panel3_visible);
  ASSERT_EQ(ui.open_titles, std::vector<std::string>{"Select one or more files"});
  EXPECT_EQ(Captions(), (std::vector<std::string>{"New(00)", "New(01)"}));
  ASSERT_EQ(state.tabs.size(), 3u);
  EXPECT_EQ(state.tabs[2].caption, "New(01)");
  EXPECT_EQ(state.tabs[2].tag, 2);
  const std::vector<std::string> expected{
      "The selected file notes.txt is not valid.\r\nPlease select a valid BMP file.",
      "Raise error for open the file " + broken +
          ".\r\nExtended error description: The file is shorter than "
          "the headers of a bitmap.",
      "Raise error on load the current picture.\r\nThe new logo <broken.bmp> is not loaded.",
      "Raise error on load the current picture.\r\nThe new logo <rle.bmp> is not loaded.",
      "Raise error for open the file " + dir.path() +
          "/folder.bmp.\r\nExtended error description: Is a directory",
      "Raise error on load the current picture.\r\nThe new logo <folder.bmp> is not loaded.",
  };
  EXPECT_EQ(ui.messages, expected);
  EXPECT_FALSE(state.busy);

  // The first logo: its lists, its unconverted view and a black and white preview, cut at 560 dots.
  const LogoSlot& s = state.Slot(1);
  EXPECT_EQ(s.cmbPaperWidth.items, PaperWidths(46));
  EXPECT_EQ(s.cmbPaperWidth.selected, 0);
  EXPECT_EQ(s.cmbColor.items, ColorModes(46));
  EXPECT_EQ(s.cmbColor.SelectedData(), 2);
  EXPECT_EQ(s.chkFit, 0);
  EXPECT_EQ(s.picLoad.inner_w, 300);
  ASSERT_TRUE(PreparedBitmaps(1));
  EXPECT_EQ(PreparedBitmaps(1)->width(), 300);
  EXPECT_EQ(PreparedBitmaps(1)->height(), 100);
  EXPECT_FALSE(s.picPreview.tag.empty());
  EXPECT_TRUE(s.picView.picture);
  EXPECT_TRUE(s.picThumb.picture);
  EXPECT_TRUE(s.picThumbFrame.enabled);
}

TEST_F(GalleryTest, AddingStopsAtTwoHundredLogosWithOneMessage) {
  PrinterModelId = 36;
  for (int k = 0; k < 199; ++k) Add("x", false);
  const std::string bmp = Bmp("a.bmp", 700, 30);
  ui.open_results.push_back({bmp, bmp, bmp});
  cmdAddLogo_Click(state);
  EXPECT_EQ(state.LogoCount, 200);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Too many logos."});
  const LogoSlot& s = state.Slot(200);
  EXPECT_EQ(s.cmbPaperWidth.items.front().first, "82.5 mm");
  ASSERT_TRUE(PreparedBitmaps(200));
  EXPECT_EQ(PreparedBitmaps(200)->width(), 426) << "cut at the first paper width";

  ui.open_results.push_back({});  // cancelled
  cmdAddLogo_Click(state);
  EXPECT_FALSE(state.busy);
  EXPECT_EQ(state.LogoCount, 200);
}

TEST_F(GalleryTest, ColourListOffersPrintingOnlyForBlackAndTwoColours) {
  EXPECT_EQ(ColorModes(46),
            (std::vector<std::pair<std::string, int32_t>>{{"Black & white", 2}, {"Two colors", 1}}));
  EXPECT_EQ(ColorModes(36),
            (std::vector<std::pair<std::string, int32_t>>{{"Black & white", 2}, {"Color", 3}}));
  EXPECT_EQ(ColorModes(161).size(), 1u);
  PrinterModelId = 36;
  ui.open_results.push_back({Bmp("a.bmp", 50, 40)});
  cmdAddLogo_Click(state);
  LogoSlot& s = state.Slot(1);
  s.cmbColor.selected = 1;
  cmbColor_Click(state, 1);
  EXPECT_FALSE(state.cmdPrintLogo.enabled);
  const uint64_t drawn = s.picPreview.drawn;
  s.cmbColor.selected = 0;
  cmbColor_Click(state, 1);
  EXPECT_TRUE(state.cmdPrintLogo.enabled);
  s.chkErrorDiffusion = 1;
  chkErrorDiffusion_Click(state, 1);
  s.chkFit = 1;
  cmbPaperWidth_Click(state, 1);
  EXPECT_GT(s.picPreview.drawn, drawn);
  EXPECT_EQ(PreparedBitmaps(1)->width(), 426) << "fitted to the paper";
  EXPECT_EQ(PreparedBitmaps(1)->height(), 341);
  state.busy = true;
  s.cmbColor.selected = 1;
  cmbColor_Click(state, 1);
  EXPECT_TRUE(state.cmdPrintLogo.enabled) << "nothing while busy";
}

}  // namespace
}  // namespace zelta::test
