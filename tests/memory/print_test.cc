// "Print all logos" and "Print logo" on the logo window's record with a scripted printer: the whole
// byte stream for each model, and every way out releasing the printer.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "browser/configuration.h"
#include "download/print_logo.h"
#include "memory/logo_window.h"
#include "memory/print_stored.h"
#include "scripted_window_fixture.h"

namespace zelta::test {
namespace {

constexpr int kW = 20;  // preview width: three bytes per row, four padding bits
Bytes Le16(int v) { return B({v & 0xFF, (v >> 8) & 0xFF}); }
Bytes Le32(int v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
const Bytes kKeyList = B({29, 40, 76, 4, 0, 48, 64, 'K', 'C'});
const Bytes kCut = B({29, 'V', 'B', 15}), kNineLf(9, '\n'), kModelQuery = B({29, 'I', 1});
const Bytes kFn50 = B({29, 40, 76, 2, 0, 48, 50});
Bytes Logo(const std::string& k) {
  return "Logo " + k + "\n" + B({29, 40, 76, 6, 0, 48, 69}) + k + B({1, 1});
}
Bytes Band(int c, int rows) {
  return B({29, '8', 'L'}) + Le32(3 * rows + 10) + B({48, 112, 48, 1, 1, c, kW, 0}) + Le16(rows);
}
Bytes GsV0(int h) { return B({29, 'v', '0', 0, 3, 0}) + Le16(h); }
// Row y: black in dots 0..7 and 16 + y % 4, red in dots 8..15 and 16 + (y + 2) % 4.
Bytes Row(int y, bool red) {
  return red ? B({0, 0xFF, 0x80 >> ((y + 2) % 4)}) : B({0xFF, 0, 0x80 >> (y % 4)});
}
Bytes Rows(int from, int n, bool red) {
  Bytes out;
  for (int y = from; y < from + n; ++y) out += Row(y, red);
  return out;
}
Bytes Bands(int h, bool two) {
  Bytes out;
  for (int s = 0; s < h; s += 470) {
    const int r = std::min(470, h - s);
    out +=
        Band(49, r) + Rows(s, r, false) + (two ? Band(50, r) + Rows(s, r, true) : "") + kModelQuery + kFn50;
  }
  return out;
}
std::string Raised(int32_t n) {
  return "Raised error " + std::to_string(n) +
         " by ScriptedPrinter\rExtended error description: Scripted failure";
}

struct ProgressSpy : LogoWindowView {
  LogoWindowState* s = nullptr;
  int max = 0, peak = 0;
  void StateChanged() override {
    if (s && s->progress.visible && s->panel3_visible)
      max = s->progress.max, peak = std::max(peak, s->progress.value);
  }
  void WindowUnloaded() override {}
};

class PrintTest : public ScriptedWindowTest {
 protected:
  // The window on a printer of model that answers GS I 1 with its model ID.
  LogoWindowState& Open(uint8_t model) {
    NewPrinter();
    PrinterModelId = model;
    printer->on_write = [this, model](const Bytes& b, int32_t mode) {
      if (answer_id && mode == kWriteRealTime && b == kModelQuery) printer->QueueByte(model);
      if (close_on_write) window->state.EndReq = true;
    };
    window.reset();
    spy = ProgressSpy();
    window = std::make_unique<LogoWindow>(&spy);
    spy.s = &window->state;
    SetHourglass(window->state, false);
    return window->state;
  }
  // A new logo's page, selected, with the preview of Row().
  void NewLogo(LogoWindowState& s, int h, int32_t colour_code) {
    const int16_t i = AllocateLogoSlot(s);
    LogoSlot& slot = s.Slot(i);
    slot.picThumbFrame.tag = "New(00)";
    slot.picThumbFrame.visible = true;
    slot.picPreview.inner_w = kW;
    slot.picPreview.inner_h = h;
    slot.picPreview.picture = CreateDib24(kW, h);
    FillDib(*slot.picPreview.picture, 255, 255, 255);
    for (int y = 0; y < h; ++y) {
      uint8_t* p = slot.picPreview.picture->Row(y);
      for (int x = 0; x < 16; ++x) p[3 * x + 2] = x < 8 ? 0 : 255, p[3 * x + 1] = p[3 * x] = 0;
      std::fill_n(p + 3 * (16 + y % 4), 3, 0);
      p[3 * (16 + (y + 2) % 4) + 1] = p[3 * (16 + (y + 2) % 4)] = 0;
    }
    slot.cmbColor.items = {{"Two colours", 1}, {"Black and white", 2}};
    slot.cmbColor.selected = colour_code == 1 ? 0 : 1;
    s.tabs.push_back(Tab{"New(00)", "New(00)", i});
    s.selected_tab = static_cast<int>(s.tabs.size()) - 1;
  }
  // Ready, idle and released after one claim.
  void ExpectIdleAndReleased(const LogoWindowState& s) {
    EXPECT_EQ(s.panels[1], "Ready...");
    EXPECT_TRUE(printer->Count("ReleasePrinter") == 1 && printer->claims == 1);
    EXPECT_FALSE(s.busy || s.progress.visible || s.panel3_visible);
  }

  ProgressSpy spy;
  bool answer_id = true, close_on_write = false;
};

// "Print logo" on the gallery prints its visible selected stored logos: A1 and D4 of the gallery below.
TEST_F(PrintTest, PrintAllAndPrintLogoOnTheGallerySendStoredLogosUnderTheirCaptions) {
  enum Click { kAll, kGallery, kGalleryNoneSelected };
  Bytes fs_p;
  for (int n = 1; n <= 255; ++n) fs_p += B({28, 'p', n, 0});
  const Bytes three = B({27, '!', 0}) + Logo("A1") + "\n" + Logo("B2") + "\n" + Logo("C3");
  const Bytes two = B({27, '!', 0}) + Logo("A1") + "\n" + Logo("D4");
  const struct {
    uint8_t model;
    Click click;
    std::vector<Bytes> replies;
    Bytes expected;
    int jobs;
  } cases[] = {
      {46, kAll, {KeyBlock(0x40, "A1B2C3")}, kKeyList + three + kCut, 3},
      {161, kAll, {KeyBlock(0x40, "A1B2C3")}, kKeyList + three + kNineLf, 3},
      {36, kAll, {KeyBlock(0x41, "A1B2"), KeyBlock(0x40, "C3")}, kKeyList + three + kCut, 3},
      {176, kAll, {KeyBlock(0x40, "A1B")}, kKeyList + B({27, '!', 0}) + Logo("A1") + kCut, 1},
      {46, kAll, {KeyBlock(0x40, "")}, kKeyList, 0},
      {46, kAll, {}, kKeyList, 0},  // no list: the time-out prompt is cancelled
      {32, kAll, {}, fs_p + kCut, 1},
      {10, kAll, {}, fs_p + kNineLf, 1},
      {46, kGallery, {}, two + kCut, 3},
      {161, kGallery, {}, two + kNineLf, 3},
      {46, kGalleryNoneSelected, {}, kCut, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.model) << " click " << c.click << ", replies "
                                    << c.replies.size());
    LogoWindowState& s = Open(c.model);
    for (const Bytes& r : c.replies) printer->replies.push_back({kResultOk, r});
    if (c.click != kAll) {
      const bool any = c.click == kGallery;
      Stored("A1", any);
      Stored("00", true, true);
      Stored("C3", false);
      Stored("D4", any);
      Stored("E5", true, false, false);
    }
    c.click == kAll ? cmdPrintMemLogos_Click(s) : cmdPrintLogo_Click(s);
    EXPECT_EQ(ToHex(printer->written, 2000), ToHex(c.expected, 2000));
    EXPECT_EQ(printer->Count("GetPrinterState"), 2 * c.jobs);
    EXPECT_FALSE(s.unloaded);
    ExpectIdleAndReleased(s);
  }
}

TEST_F(PrintTest, PrintLogoSendsANewLogosDotsForEachModel) {
  LogoWindowState& busy = Open(46);  // clicks while busy are ignored
  NewLogo(busy, 10, 2);
  SetHourglass(busy, true);
  cmdPrintLogo_Click(busy);
  cmdPrintMemLogos_Click(busy);
  EXPECT_TRUE(printer->calls.empty() && busy.busy);
  const struct {
    uint8_t model;
    int h;
    int32_t colour_code;
    Bytes expected;
    int writes, max;
  } cases[] = {
      {46, 1000, 2, Bands(1000, false) + kCut, 3 + 1000 + 6 + 1, 1001},
      {36, 100, 1, Bands(100, true) + kCut, 2 + 200 + 2 + 1, 201},
      {176, 470, 2, Bands(470, false) + kCut, 1 + 470 + 2 + 1, 471},
      {46, 471, 1, Bands(471, true) + kCut, 4 + 942 + 4 + 1, 943},
      {161, 100, 1, GsV0(100) + Rows(0, 100, false) + kModelQuery + kNineLf, 1 + 100 + 2, 101},
      {32, 100, 2, GsV0(100) + Rows(0, 100, false) + kModelQuery + kCut, 1 + 100 + 2, 101},
      {10, 3, 2, GsV0(3) + Rows(0, 3, false) + kModelQuery + kNineLf, 1 + 3 + 2, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.model) << " " << c.h << " rows, colour " << c.colour_code);
    LogoWindowState& s = Open(c.model);
    NewLogo(s, c.h, c.colour_code);
    cmdPrintLogo_Click(s);
    ASSERT_EQ(printer->written.size(), c.expected.size());
    EXPECT_TRUE(printer->written == c.expected) << ToHex(printer->written, 64);
    EXPECT_EQ(static_cast<int>(printer->write_log.size()), c.writes) << "one write per row";
    for (const auto& w : printer->write_log) EXPECT_EQ(w.mode, w.offered == kModelQuery ? 2 : 1);
    EXPECT_TRUE(spy.max == c.max && spy.peak == c.max) << spy.max << " " << spy.peak;
    EXPECT_TRUE(ui.prompts.empty() && ui.messages.empty());
    ExpectIdleAndReleased(s);
  }
}

TEST_F(PrintTest, EveryWayOutReleasesThePrinterAndHonoursACloseRequestWhereDue) {
  const Bytes head = Band(49, 100) + Rows(0, 100, false);
  const Bytes all = kKeyList + B({27, '!', 0}) + Logo("A1") + kCut;  // the stored logo A1
  using Setup = std::function<void(ScriptedPrinter&)>;
  const struct {
    const char* name;
    bool print_all;
    Setup setup;
    std::vector<MsgBoxResult> answers;
    Bytes written;
    std::vector<std::string> messages;
    bool closes;  // with a close request made during the job
    int releases;
  } cases[] = {
      // clang-format off
      {"new logo printed", false, nullptr, {}, head + kModelQuery + kFn50 + kCut, {}, true, 1},
      {"all printed", true, nullptr, {}, all, {}, true, 1},
      {"header refused", false, [](ScriptedPrinter& p) { p.writes = {{kResultPortClosed, 0}}; }, {}, "",
       {"Raised error " + std::to_string(kResultPortClosed) +
        " sending data to printer.\rExtended error description: Scripted failure"}, false, 1},
      {"row time-out cancelled", false, [](ScriptedPrinter& p) { p.writes = {{}, {}, {kResultTimeout, 0}}; },
       {MsgBoxResult::kCancel}, Band(49, 100) + Row(0, false), {}, false, 1},
      {"no answer to the wait", false, nullptr, {MsgBoxResult::kCancel}, head + kModelQuery, {}, false, 1},
      {"unrecoverable before function 50", false, [](ScriptedPrinter& p) { p.printer_states = {5}; }, {},
       head + kModelQuery, {}, true, 1},
      {"claim refused", false, [](ScriptedPrinter& p) { p.claim_results = {kResultClaimedElsewhere}; }, {}, "",
       {Raised(kResultClaimedElsewhere)}, false, 0},
      {"claim refused, all", true, [](ScriptedPrinter& p) { p.claim_results = {kResultClaimedElsewhere}; }, {},
       "", {Raised(kResultClaimedElsewhere)}, true, 0},
      {"release refused, all", true, [](ScriptedPrinter& p) { p.release_results = {kResultPortClosed}; }, {},
       all, {Raised(kResultPortClosed)}, true, 1},
      // clang-format on
  };
  for (bool end_req : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << (end_req ? ", close requested" : ""));
      LogoWindowState& s = Open(46);
      if (!c.print_all) NewLogo(s, 100, 2);
      printer->replies.push_back({kResultOk, KeyBlock(0x40, "A1")});
      if (c.setup) c.setup(*printer);
      answer_id = std::string(c.name) != "no answer to the wait";
      close_on_write = end_req;
      if (end_req && c.releases == 0) s.EndReq = true;  // nothing is written: asked before
      ui.answers.assign(c.answers.begin(), c.answers.end());
      c.print_all ? cmdPrintMemLogos_Click(s) : cmdPrintLogo_Click(s);
      EXPECT_EQ(printer->written, c.written);
      EXPECT_EQ(ui.messages, c.messages);
      EXPECT_EQ(ui.unexpected_prompts, 0);
      EXPECT_EQ(s.unloaded, end_req && c.closes);
      EXPECT_EQ(s.panels[1], "Ready...");
      EXPECT_EQ(s.panels[0] == "Printer error...", c.releases == 0) << s.panels[0];
      EXPECT_EQ(printer->Count("ReleasePrinter"), c.releases);
      EXPECT_TRUE(s.busy == s.unloaded) << "normal pointer unless the window has gone";
      EXPECT_FALSE(s.progress.visible || s.panel3_visible);
    }
  }
}

}  // namespace
}  // namespace zelta::test
