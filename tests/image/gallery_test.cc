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
    return dir.Write(
        name, MakeBmp({.width = w, .height = h, .pixel = [](int x, int) { return x % 2 * 0xFFFFFFu; }}));
  }
  std::string Buttons() const {  // delete, download, print
    return std::string(state.cmdDelLogo.enabled ? "D" : "-") + (state.cmdDwldLogo.enabled ? "W" : "-") +
           (state.cmdPrintLogo.enabled ? "P" : "-");
  }
  std::pair<int, int> PreparedSize(int16_t i) const {
    return PreparedBitmaps(i) ? std::pair(PreparedBitmaps(i)->width(), PreparedBitmaps(i)->height())
                              : std::pair(0, 0);
  }
  PictureBox& Frame(int16_t i) { return state.Slot(i).picThumbFrame; }
  bool Selected(int16_t i) const { return IsSelected(state.Slot(i)); }
  std::pair<int, int> Cell(int16_t i) { return {Frame(i).left, Frame(i).top}; }

  ScriptedUi ui;
  TempDir dir;
  LogoWindowState state;
};

TEST_F(GalleryTest, SlotsAreReusedOnceHiddenAndNewKeyCodesFillGapsInUpperCaseHex) {
  EXPECT_EQ(Add("00", false), 1);  // the design slot
  EXPECT_EQ(Add("01", false), 2);
  LoadedBitmaps(1) = CreateDib24(2, 2);
  const int16_t k02 = Add(ChooseNewKeyCode(state), true);
  EXPECT_EQ(std::pair(k02, state.Slot(k02).picThumb.tag), std::pair(int16_t{3}, std::string("02")));
  EXPECT_TRUE(LoadedBitmaps(1)) << "growing keeps the bitmaps";
  EXPECT_EQ((std::pair<int, int>(PreparedBitmaps.UBound(), state.LogoCount)), std::pair(3, 3));
  // New elements: thumbnail and panes shown; page, source and scroll bars hidden.
  const LogoSlot& s = state.Slot(k02);
  EXPECT_TRUE(s.picThumb.visible && s.picView.visible && s.picPreview.visible);
  EXPECT_FALSE(s.picFrame.visible || s.picLoad.visible || s.vsbSlide.visible);
  EXPECT_EQ(ChooseNewKeyCode(state), "03");
  Frame(k02).visible = false;  // deleted
  --state.LogoCount;
  EXPECT_EQ(ChooseNewKeyCode(state), "02");
  for (int k = 2; k < 10; ++k) Add(ChooseNewKeyCode(state), true);
  EXPECT_EQ(state.Slot(k02).picThumb.tag, "02") << "the hidden slot is taken first";
  EXPECT_EQ((std::pair<int, int>(state.slot_count(), state.LogoCount)), std::pair(10, 10));
  EXPECT_EQ(ChooseNewKeyCode(state), "0A");
  // Keys found out of order still count; a lower-case stored key does not block "0B".
  Add("0b", false);
  Add("0C", false);
  EXPECT_EQ(ChooseNewKeyCode(state), "0A");
  Add("0A", true);
  EXPECT_EQ(ChooseNewKeyCode(state), "0B");
}

TEST_F(GalleryTest, ThumbnailFitsAboveItsCaptionWithoutGrowing) {
  const struct {
    int pic_w, pic_h, w, h, left, top;
  } cases[] = {
      {325, 65, 65, 13, 4, 36},  // r = 0.2; top 35.5 rounds to even
      {20, 20, 20, 20, 26, 32},  // never enlarged
      {80, 80, 65, 65, 4, 10},   // the empty picture of a stored logo; 9.5 to even
      {40, 400, 8, 76, 33, 4},   // the height decides: 7.6 wide at 32.7
  };
  LogoSlot& s = state.Slot(Add("00", false));
  s.picThumbFrame.inner_w = 73;
  s.picThumbFrame.inner_h = 97;
  for (const auto& c : cases) {
    s.picLoad.inner_w = c.pic_w;
    s.picLoad.inner_h = c.pic_h;
    DrawThumbnail(state, 1);
    EXPECT_EQ(std::tuple(s.picThumb.inner_w, s.picThumb.inner_h, s.picThumb.left, s.picThumb.top),
              std::tuple(c.w, c.h, c.left, c.top))
        << c.pic_w << "x" << c.pic_h;
  }
}

TEST_F(GalleryTest, GridPutsStoredLogosFirstThenNewOnesAndScrollsWhenRowsOverflow) {
  state.picFrameAll.inner_w = 445;  // (445 + 2) / (73 + 2) = 5 columns
  state.picFrameAll.inner_h = 150;
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(state.picSlideAll.inner_h, 0) << "no logo, no negative canvas";
  const int16_t n1 = Add("05", true), s1 = Add("00", false), n2 = Add("06", true), s2 = Add("01", false),
                n3 = Add("07", true);
  std::swap(state.tabs[1], state.tabs[3]);  // tab order: New(07), New(06), New(05)
  ArrangeThumbnails(state, 0);
  EXPECT_EQ((std::vector{Cell(s1), Cell(s2), Cell(n3), Cell(n2), Cell(n1)}),
            (std::vector<std::pair<int, int>>{{0, 0}, {75, 0}, {150, 0}, {225, 0}, {300, 0}}));
  EXPECT_FALSE(state.vsbSlideAll.visible);
  EXPECT_EQ(state.picSlideAll.inner_h, 97);
  // A sixth logo starts the second row: 445 - 17 = 428 wide, (430 / 75) = 5 columns still, 97 + 2 + 97 high.
  const int16_t s3 = Add("02", false);
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(std::tuple(Cell(s3), Cell(n1)), std::tuple(std::pair(150, 0), std::pair(0, 99)));
  const ScrollBar& bar = state.vsbSlideAll;
  EXPECT_TRUE(bar.visible);
  EXPECT_EQ(state.picSlideAll.inner_w, 428);
  EXPECT_EQ(std::tuple(bar.max, bar.value, bar.small_change, bar.large_change), std::tuple(46, 46, 48, 150));
  EXPECT_EQ(state.picSlideAll.top, -46);
  ArrangeThumbnails(state, 1);
  EXPECT_EQ(bar.value, 0);
  vsbSlideAll_Change(state, 30);
  EXPECT_EQ(state.picSlideAll.top, -30);
  // Narrowing by the bar can cost a column: 452 / 75 = 6 columns; with the bar 435 / 75 = 5.
  state.picFrameAll.inner_w = 450;
  state.picFrameAll.inner_h = 90;
  for (int k = 0; k < 6; ++k) Add("1" + std::to_string(k), false);
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(state.picSlideAll.inner_h, 3 * 99 - 2);
}

TEST_F(GalleryTest, SelectionDecidesTheButtons) {
  state.picFrameAll.inner_h = 150;
  const int16_t stored = Add("00", false), fresh = Add("01", true), below = Add("02", false);
  ArrangeThumbnails(state, 1);
  Frame(below).top = 200;  // partly below the visible 150 pixels
  state.vsbSlideAll.max = 1000;
  EXPECT_EQ(Buttons(), "---");
  for (auto [click, buttons] : {std::pair{stored, "D-P"}, {fresh, "DWP"}, {stored, "DW-"}, {fresh, "---"}}) {
    picThumbFrame_Click(state, click);
    EXPECT_EQ(Buttons(), buttons);
  }
  auto colours = [&](int16_t i) { return std::tuple(Frame(i).back_color, Frame(i).fore_color); };
  EXPECT_EQ(colours(stored), std::tuple(kColorButtonFace, kColorButtonText));
  picThumbFrame_Click(state, below);
  EXPECT_EQ(colours(below), std::tuple(kColorHighlight, kColorHighlightText)) << "selected";
  EXPECT_EQ(state.vsbSlideAll.value, 200 + 97 - 150) << "scrolled just far enough to show its bottom";
  EXPECT_EQ(state.picSlideAll.top, -147);
  picThumbFrame_Click(state, stored);
  EXPECT_EQ(state.vsbSlideAll.value, 0) << "scrolled up to its top";

  cmdSelectNone_Click(state);
  Frame(stored).visible = false;  // deleted: ignored by every rule
  SetSelected(state.Slot(stored), true);
  UpdateActionButtons(state);
  EXPECT_EQ(Buttons(), "---");
  picThumbFrame_Click(state, stored);
  EXPECT_TRUE(Selected(stored)) << "a hidden frame ignores clicks";
  cmdSelectAll_Click(state);
  EXPECT_TRUE(Selected(fresh) && Selected(below));
  EXPECT_EQ(Buttons(), "DWP");
  state.busy = true;
  cmdSelectNone_Click(state);
  EXPECT_TRUE(Selected(fresh)) << "refused while busy";
  picThumbFrame_Click(state, fresh);
  EXPECT_FALSE(Selected(fresh)) << "a thumbnail click works while busy";
}

TEST_F(GalleryTest, TabsShowALogosPageAndAreRefusedWhileBusy) {
  const int16_t a = Add("00", true), b = Add("01", true);
  state.Slot(a).cmbColor.items = ColorModes(46);
  state.Slot(b).cmbColor.items = ColorModes(36);
  state.Slot(a).cmbColor.selected = state.Slot(b).cmbColor.selected = 1;  // "Two colors", "Color"
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
  const std::string broken = dir.Write("broken.bmp", MakeBmp({}).substr(0, 40));
  std::filesystem::create_directory(dir.File("folder.bmp"));
  ui.open_results.push_back({Bmp("one.bmp", 300, 100), dir.Write("notes.txt", "x"), broken,
                             dir.Write("rle.bmp", MakeBmp({.compression = 1})), Bmp("TWO.BMP", 20, 10),
                             dir.File("folder.bmp")});
  std::vector<int> progress;
  ui.on_do_events = [&] {
    if (state.progress.visible && (progress.empty() || progress.back() != state.progress.value))
      progress.push_back(state.progress.value);
  };
  cmdAddLogo_Click(state);
  EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5})) << "one step per file";
  EXPECT_EQ(state.progress.max, 6);
  EXPECT_FALSE(state.progress.visible || state.panel3_visible || state.busy);
  EXPECT_EQ(state.LogoCount, 2);
  ASSERT_EQ(state.tabs.size(), 3u);
  EXPECT_EQ(std::tuple(state.tabs[1].caption, state.tabs[1].tag), std::tuple("New(00)", 1));
  EXPECT_EQ(std::tuple(state.tabs[2].caption, state.tabs[2].tag), std::tuple("New(01)", 2));
  const std::string not_loaded = "Raise error on load the current picture.\r\nThe new logo <";
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "The selected file notes.txt is not valid.\r\nPlease select a valid BMP file.",
                "Raise error for open the file " + broken +
                    ".\r\nExtended error description: The file is shorter than the headers of a bitmap.",
                not_loaded + "broken.bmp> is not loaded.",
                not_loaded + "rle.bmp> is not loaded.",
                "Raise error for open the file " + dir.File("folder.bmp") +
                    ".\r\nExtended error description: Is a directory",
                not_loaded + "folder.bmp> is not loaded.",
            }));

  // The first logo: the model's lists with black and white chosen, its view, thumbnail and preview.
  const LogoSlot& s = state.Slot(1);
  EXPECT_EQ(std::tuple(s.cmbPaperWidth.items, s.cmbPaperWidth.selected, s.cmbColor.items,
                       s.cmbColor.SelectedData()),
            std::tuple(PaperWidths(46), 0, ColorModes(46), 2));
  EXPECT_EQ(PreparedSize(1), std::pair(300, 100));
  EXPECT_TRUE(s.picView.picture && s.picThumb.picture && s.picThumbFrame.enabled);
}

TEST_F(GalleryTest, AddingStopsAtTwoHundredLogosWithOneMessage) {
  PrinterModelId = 36;
  for (int k = 0; k < 199; ++k) Add("x", false);
  const std::string bmp = Bmp("a.bmp", 700, 30);
  ui.open_results.push_back({bmp, bmp, bmp});
  cmdAddLogo_Click(state);
  EXPECT_EQ(state.LogoCount, 200);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Too many logos."});
  EXPECT_EQ(PreparedSize(200), std::pair(426, 30)) << "cut at the first paper width, 82.5 mm";
  ui.open_results.push_back({});  // cancelled
  cmdAddLogo_Click(state);
  EXPECT_FALSE(state.busy);
}

// The settings of a logo's page: each prepares the logo again; the colour also decides printing.
TEST_F(GalleryTest, EverySettingPreparesAgainAndTheColourDecidesPrinting) {
  PrinterModelId = 36;
  ui.open_results.push_back({Bmp("a.bmp", 50, 40)});
  cmdAddLogo_Click(state);
  LogoSlot& s = state.Slot(1);
  auto set = [&](auto& setting, int value, auto click) {
    setting = value;
    click(state, 1);
  };
  set(s.cmbColor.selected, 1, cmbColor_Click);  // "Color"
  EXPECT_FALSE(state.cmdPrintLogo.enabled);
  const uint64_t drawn = s.picPreview.drawn;
  set(s.cmbColor.selected, 0, cmbColor_Click);
  EXPECT_TRUE(state.cmdPrintLogo.enabled);
  set(s.chkErrorDiffusion, 1, chkErrorDiffusion_Click);
  set(s.chkFit, 1, cmbPaperWidth_Click);
  EXPECT_GT(s.picPreview.drawn, drawn);
  EXPECT_EQ(PreparedSize(1), std::pair(426, 341)) << "fitted to the paper";
  EXPECT_EQ(s.vsbSlide.value, 0);
  set(s.chkFit, 0, chkFit_Click);
  EXPECT_EQ(PreparedSize(1), std::pair(50, 40)) << "the same result each time";
  state.busy = true;  // another operation runs: nothing happens
  set(s.cmbColor.selected, 1, cmbColor_Click);
  EXPECT_TRUE(state.cmdPrintLogo.enabled);
  set(s.chkFit, 1, chkFit_Click);
  EXPECT_EQ(PreparedSize(1), std::pair(50, 40));
  state.busy = false;
  SetCurrentPath("/nonexistent/", 13);
  chkFit_Click(state, 1);
  EXPECT_FALSE(s.picThumbFrame.enabled) << "a failed preparation disables the thumbnail";
  EXPECT_FALSE(state.busy);
}

}  // namespace
}  // namespace zelta::test
