// Download, delete and clear against the scripted printer: the whole byte stream each one sends.
#include <gtest/gtest.h>

#include <memory>

#include "browser/configuration.h"
#include "download/download_logo.h"
#include "image/add_logo.h"
#include "image/bmp_test_files.h"
#include "image/fit_handler.h"
#include "image/logo_slots.h"
#include "imglib/zelta_img.h"
#include "memory/delete_logos.h"
#include "memory/logo_window.h"
#include "memory/nv_commands.h"
#include "scripted_window_fixture.h"

namespace zelta::test {
namespace {

const Bytes kModelRequest = B({29, 73, 1});
const Bytes kMemoryRequests = B({29, 40, 76, 2, 0, 48, 0, 29, 40, 76, 2, 0, 48, 3});
const Bytes kListRequest = B({29, 40, 76, 4, 0, 48, 64, 'K', 'C'});
// GS ( D: real-time requests off around a definition, on again after it.
const Bytes kRealTimeOff = B({29, 40, 68, 5, 0, 20, 1, 0, 2, 0});
const Bytes kRealTimeOn = B({29, 40, 68, 5, 0, 20, 1, 1, 2, 1});

class LogoOperationsTest : public ScriptedWindowTest {
 protected:
  // An idle window of model with the given memory figures.
  LogoWindowState& Open(uint8_t model, const std::string& free = "100000") {
    PrinterModelId = model;
    window = std::make_unique<LogoWindow>();
    window->state.busy = false;
    window->state.lblMemFree = free;
    return window->state;
  }
  // A stored logo, selected.
  int16_t Stored(const std::string& key) {
    LogoWindowState& s = window->state;
    const int16_t i = AllocateLogoSlot(s);
    s.Slot(i).picThumb.tag = key;
    s.Slot(i).picThumbFrame.tag = "Logo(" + key + ")";
    s.Slot(i).picThumbFrame.visible = true;
    SetSelected(s.Slot(i), true);
    return i;
  }
  // A new logo of w × h pixels (left half black, rest white, a red middle row), selected.
  int16_t Fresh(int w, int h, int colour_entry = 0) {
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.pixel = [w, h](int x, int y) { return y == h / 2 ? 0xFF0000u : x < w / 2 ? 0u : 0xFFFFFFu; };
    LogoWindowState& s = window->state;
    EXPECT_TRUE(AddLogoFile(s, dir.Write("f" + std::to_string(++files) + ".bmp", MakeBmp(spec)), "f.bmp"));
    const int16_t i = static_cast<int16_t>(s.tabs.back().tag);
    s.Slot(i).cmbColor.selected = colour_entry;
    s.busy = false;
    cmbColor_Click(s, i);
    SetSelected(s.Slot(i), true);
    return i;
  }
  // Answers GS I 1, the memory figures and the key-code list after each logo.
  void AnswerLogo(const std::string& free, const std::string& keys) {
    printer->QueueByte(PrinterModelId);
    printer->replies.push_back({kResultOk, Block("393216")});
    printer->replies.push_back({kResultOk, Block(free)});
    printer->replies.push_back({kResultOk, KeyBlock(0x40, keys)});
  }

  int files = 0;
  std::unique_ptr<LogoWindow> window;
};

// The GS 8 L packet of a black and white logo of w dots whose rows are given.
Bytes Expected67(const std::string& key, int w, const std::vector<Bytes>& rows) {
  const uint32_t b = static_cast<uint32_t>((w + 7) / 8), n = b * static_cast<uint32_t>(rows.size()) + 11;
  Bytes out = B({29, 56, 76, static_cast<int>(n & 255), static_cast<int>(n >> 8), 0, 0, 48, 67, 48});
  out += key + B({1, w, 0, static_cast<int>(rows.size()), 0, 49});
  for (const Bytes& r : rows) out += r;
  return out;
}

TEST_F(LogoOperationsTest, DownloadStoresEachLogoUnderItsKeyAndMakesItAStoredLogo) {
  LogoWindowState& s = Open(46);
  const int16_t a = Fresh(10, 3);
  const int16_t b = Fresh(16, 2);
  AnswerLogo("99975", "00");
  AnswerLogo("99950", "0001");
  cmdDwldLogo_Click(s);
  // Five black dots then white; the red middle row is dark enough to print black in black and white.
  const Bytes row10 = B({0xF8, 0x00});
  const Bytes first = Expected67("00", 10, {row10, B({0xFF, 0xC0}), row10});
  const Bytes second = Expected67("01", 16, {B({0xFF, 0x00}), B({0xFF, 0xFF})});
  const Bytes after = kRealTimeOn + kModelRequest + kMemoryRequests + kListRequest;
  EXPECT_EQ(ToHex(printer->written), ToHex(kRealTimeOff + first + after + kRealTimeOff + second + after));
  EXPECT_EQ(s.Slot(a).picThumbFrame.tag, "Logo(00)");
  EXPECT_EQ(s.Slot(b).picThumbFrame.tag, "Logo(01)");
  EXPECT_EQ(s.tabs.size(), 1u) << "stored logos have no page";
  EXPECT_EQ(s.lblMemFree, "99950");
  EXPECT_EQ(s.lblMemUsed, std::to_string(393216 - 99950));
  EXPECT_TRUE(s.cmdPrintMemLogos.enabled && s.cmdPrintLogo.enabled);
  EXPECT_FALSE(s.cmdDwldLogo.enabled);
  EXPECT_EQ(printer->claims, 1);
  EXPECT_EQ(printer->releases, 1);
  EXPECT_FALSE(s.busy || s.progress.visible);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
}

TEST_F(LogoOperationsTest, TwoColoursSendTheRedPlaneAfterTheBlackOne) {
  LogoWindowState& s = Open(46);
  Fresh(8, 3, 1);  // "Two colors"
  AnswerLogo("1000", "00");
  cmdDwldLogo_Click(s);
  const Bytes head = B({29, 56, 76, 18, 0, 0, 0, 48, 67, 48, '0', '0', 2, 8, 0, 3, 0});
  EXPECT_EQ(ToHex(printer->written.substr(kRealTimeOff.size(), 17 + 1 + 3 + 1 + 3)),
            ToHex(head + B({49, 0xF0, 0x00, 0xF0, 50, 0x00, 0xFF, 0x00})));
}

TEST_F(LogoOperationsTest, MemoryCheckSkipsStopsOrRereadsTheFigures) {
  // 560 × 124 black and white: N = 70 × 124 + 11 = 8691.
  const struct {
    std::string free;
    MsgBoxResult answer;  // to "Not enough space..."
    bool sent;
    size_t prompts;
  } cases[] = {
      {"8691", MsgBoxResult::kOk, true, 0},
      {"8690", MsgBoxResult::kOk, false, 1},
      {"8690", MsgBoxResult::kCancel, false, 1},
  };
  for (const auto& c : cases) {
    printer = std::make_shared<ScriptedPrinter>();
    PrinterObj = printer;
    ui.prompts.clear();
    ui.answers = {c.answer};
    LogoWindowState& s = Open(46, c.free);
    const int16_t i = Fresh(560, 124);
    if (c.sent) AnswerLogo("0", "00");
    cmdDwldLogo_Click(s);
    SCOPED_TRACE(c.free);
    EXPECT_EQ(printer->written.size() > 8691, c.sent);
    EXPECT_EQ(s.Slot(i).picThumbFrame.tag, c.sent ? "Logo(00)" : "New(00)");
    ASSERT_EQ(ui.prompts.size(), c.prompts);
    if (c.prompts) {
      EXPECT_EQ(ui.prompts[0].text,
                "Not enough space in memory for this logo.\rDo you want to try the next?");
      EXPECT_EQ(ui.prompts[0].buttons, MsgBoxButtons::kOkCancel);
    }
    EXPECT_EQ(printer->claims, printer->releases);
  }
  // A label without a number: the figures are read once more, then the user is asked before each try.
  printer = std::make_shared<ScriptedPrinter>();
  PrinterObj = printer;
  ui.prompts.clear();
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kCancel};
  LogoWindowState& s = Open(46, "?");
  Fresh(8, 1);
  printer->replies = {{kResultOk, Block("x")}, {kResultOk, Block("x")}};
  cmdDwldLogo_Click(s);
  EXPECT_EQ(printer->written, kMemoryRequests.substr(0, 7) + kMemoryRequests.substr(0, 7));
  EXPECT_EQ(ui.PromptTexts(), (std::vector<std::string>{"Error retrieving memory info. \rRetry?",
                                                        "Error retrieving memory info. \rRetry?"}));
  EXPECT_EQ(printer->claims, printer->releases);
}

TEST_F(LogoOperationsTest, LogoThatFailsWhileSendingStaysNewAndTheOnesBeforeStayStored) {
  LogoWindowState& s = Open(36);
  const int16_t a = Fresh(8, 1);
  const int16_t b = Fresh(8, 2);
  AnswerLogo("5000", "00");
  // The second logo's second row: the connection is gone.
  printer->on_write = [&, writes = 0](const Bytes&, int32_t) mutable {
    if (++writes == 9) printer->writes.push_back({kResultPortClosed, 0});
  };
  cmdDwldLogo_Click(s);
  EXPECT_EQ(s.Slot(a).picThumbFrame.tag, "Logo(00)");
  EXPECT_EQ(s.Slot(b).picThumbFrame.tag, "New(01)");
  ASSERT_EQ(s.tabs.size(), 2u);
  EXPECT_EQ(s.tabs[1].key, "New(01)");
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(printer->releases, 1);
  EXPECT_FALSE(s.busy || s.progress.visible);
}

TEST_F(LogoOperationsTest, BitImagesGoAllAtOnceWithOneSevenSecondPause) {
  LogoWindowState& s = Open(32);
  const int16_t a = Fresh(10, 9);
  Fresh(3, 2);
  printer->QueueByte(32);
  std::vector<double> size_times;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes.size() == 4) size_times.push_back(ui.now);
  };
  const double start = ui.now;
  cmdDwldLogo_Click(s);
  Bytes expected = B({28, 113, 2, 2, 0, 2, 0});
  // The red middle rows print black in black and white.
  for (int x = 0; x < 16; ++x) expected += x < 5 ? B({0xFF, 0x80}) : x < 10 ? B({0x08, 0}) : B({0, 0});
  expected += B({1, 0, 1, 0});
  for (int x = 0; x < 8; ++x) expected += B({x == 0 ? 0xC0 : x < 3 ? 0x40 : 0});
  expected += kModelRequest;
  EXPECT_EQ(ToHex(printer->written), ToHex(expected));
  ASSERT_EQ(size_times.size(), 2u);
  EXPECT_GE(size_times[1] - size_times[0], 7.0);
  EXPECT_LT(ui.now - start, 7.5) << "one pause only";
  EXPECT_EQ(s.Slot(a).picThumbFrame.tag, "New(00)") << "bit images change no caption";
  EXPECT_EQ(printer->releases, 1);
}

TEST_F(LogoOperationsTest, DownloadRefusesWhatCannotBeSentAndDoesNothingOnALogoPage) {
  LogoWindowState& s = Open(10);
  Fresh(8, 2400);
  cmdDwldLogo_Click(s);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            "The logos cannot be stored as NV bit images.\r\nLogo 1 is 2400 dots tall; the printer takes at "
            "most 2304.");
  EXPECT_EQ(printer->written, "");
  EXPECT_EQ(printer->releases, 1);

  s.selected_tab = 1;
  s.EndReq = true;
  cmdDwldLogo_Click(s);
  EXPECT_EQ(printer->claims, 1) << "a logo's page sends nothing";
  EXPECT_TRUE(s.unloaded) << "the close request is applied";
}

TEST_F(LogoOperationsTest, DeleteSendsOneExchangePerStoredLogoAndRefreshesTheFiguresOnce) {
  LogoWindowState& s = Open(46);
  const int16_t a = Stored("A1");
  const int16_t fresh = Fresh(8, 1);
  const int16_t b = Stored("B2");
  s.LogoCount = 3;
  ui.answers = {MsgBoxResult::kYes};
  printer->QueueByte(7);  // another byte first: the wait goes on
  printer->QueueByte(46);
  printer->QueueByte(46);
  printer->replies = {{kResultOk, Block("3072")}, {kResultOk, Block("3072")}};
  cmdDelLogo_Click(s);
  EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{"Are you sure you want to delete these3 logos?"});
  EXPECT_EQ(ToHex(printer->written), ToHex(CmdDeleteGraphics("A1") + kModelRequest + CmdDeleteGraphics("B2") +
                                           kModelRequest + kMemoryRequests));
  for (int16_t i : {a, fresh, b}) EXPECT_FALSE(s.Slot(i).picThumbFrame.visible);
  EXPECT_FALSE(LoadedBitmaps(fresh));
  EXPECT_EQ(s.LogoCount, 0);
  EXPECT_EQ(s.tabs.size(), 1u);
  EXPECT_EQ(s.lblMemUsed, "0");
  EXPECT_EQ(printer->releases, 1);
  EXPECT_EQ(s.panels[1], "Ready...");
}

TEST_F(LogoOperationsTest, DeleteWaitAsksAfterTenSecondsAndClosesOnCancel) {
  const struct {
    std::vector<MsgBoxResult> answers;
    bool closed;
  } cases[] = {{{MsgBoxResult::kYes, MsgBoxResult::kRetry}, false},
               {{MsgBoxResult::kYes, MsgBoxResult::kCancel}, true}};
  for (const auto& c : cases) {
    printer = std::make_shared<ScriptedPrinter>();
    PrinterObj = printer;
    ui.prompts.clear();
    ui.answers.assign(c.answers.begin(), c.answers.end());
    LogoWindowState& s = Open(46);
    Stored("A1");
    s.LogoCount = 1;
    printer->replies = {{kResultOk, Block("3072")}, {kResultOk, Block("3072")}};
    // No answer for 10 s; after a retry the printer answers.
    ui.on_do_events = [&, asked = false]() mutable {
      if (!asked && ui.prompts.size() == 2) {
        asked = true;
        printer->QueueByte(46);
      }
    };
    const double start = ui.now;
    cmdDelLogo_Click(s);
    ui.on_do_events = nullptr;
    ASSERT_EQ(ui.prompts.size(), 2u);
    EXPECT_EQ(ui.prompts[1].text, "Timeout waiting for logo deletion: printer offline?\rPlease verify...");
    EXPECT_GE(ui.now - start, 10.0);
    EXPECT_EQ(s.unloaded, c.closed);
    EXPECT_EQ(printer->releases, 1);
  }
}

TEST_F(LogoOperationsTest, DeleteAnsweredNoOrFromALogosPageSendsNothing) {
  LogoWindowState& s = Open(46);
  SetSelected(s.Slot(Stored("A1")), false);
  const int16_t fresh = Fresh(8, 1);
  ui.answers = {MsgBoxResult::kNo};
  cmdDelLogo_Click(s);
  EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{"Are you sure you want to delete New(00)?"});
  EXPECT_TRUE(s.Slot(fresh).picThumbFrame.visible);

  s.selected_tab = 1;
  ui.answers = {MsgBoxResult::kYes};
  cmdDelLogo_Click(s);
  EXPECT_EQ(ui.prompts.back().text, "Are you sure you want to delete New(00)?");
  EXPECT_FALSE(s.Slot(fresh).picThumbFrame.visible);
  EXPECT_EQ(s.selected_tab, 0);
  EXPECT_TRUE(s.cmdAddLogo.enabled) << "back in the gallery";
  EXPECT_EQ(printer->calls.size(), 0u);
  EXPECT_FALSE(s.busy);
}

TEST_F(LogoOperationsTest, DeleteFailureWhileWaitingClosesTheWindowWithTheMessage) {
  LogoWindowState& s = Open(46);
  Stored("A1");
  ui.answers = {MsgBoxResult::kYes};
  printer->reads.push_back({kResultPortClosed, {}});
  printer->last_error = {kResultPortClosed, "Connection lost", "Printer"};
  cmdDelLogo_Click(s);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Raise error " + std::to_string(kResultPortClosed) +
                                " on delete memory logo(s).\r\nExtended error description: Connection lost");
  EXPECT_TRUE(s.unloaded);
  EXPECT_EQ(printer->releases, 1);
}

TEST_F(LogoOperationsTest, ClearReadsFirstAfterSixSecondsAndKeepsNewLogos) {
  for (uint8_t model : {46, 10}) {
    printer = std::make_shared<ScriptedPrinter>();
    PrinterObj = printer;
    LogoWindowState& s = Open(model);
    s.lblMemFree = "5";
    const int16_t stored = Stored("A1");
    const int16_t fresh = Fresh(8, 1);
    s.LogoCount = 2;
    ui.answers = {MsgBoxResult::kYes};
    const double start = ui.now;
    printer->QueueByte(model);  // the first read finds the answer
    printer->replies = {{kResultOk, Block("3072")}, {kResultOk, Block("3072")}};
    cmdClearMem_Click(s);
    SCOPED_TRACE(int(model));
    EXPECT_EQ(ui.prompts.back().text, "Are you sure you want to delete all stored logos?");
    if (model == 46) {
      EXPECT_EQ(ToHex(printer->written), ToHex(CmdDeleteAllGraphics() + kModelRequest + kMemoryRequests));
      EXPECT_FALSE(s.Slot(stored).picThumbFrame.visible);
      EXPECT_EQ(s.lblMemFree, "3072");
      EXPECT_EQ(s.LogoCount, 1);
    } else {
      EXPECT_EQ(ToHex(printer->written), ToHex(CmdClearNvBitImages() + kModelRequest));
      EXPECT_TRUE(s.Slot(stored).picThumbFrame.visible);
      EXPECT_EQ(s.lblMemFree, "5");
    }
    EXPECT_TRUE(s.Slot(fresh).picThumbFrame.visible);
    EXPECT_GE(ui.now - start, 6.0);
    EXPECT_LT(ui.now - start, 6.2);
    EXPECT_EQ(printer->Count("ReadData"), 1);
    EXPECT_EQ(printer->releases, 1);
    EXPECT_FALSE(s.progress.visible);
  }
  // No answer: asked after 10000 ms; Cancel closes the window.
  printer = std::make_shared<ScriptedPrinter>();
  PrinterObj = printer;
  LogoWindowState& s = Open(46);
  ui.answers = {MsgBoxResult::kYes, MsgBoxResult::kCancel};
  const double start = ui.now;
  cmdClearMem_Click(s);
  EXPECT_GE(ui.now - start, 10.0);
  EXPECT_EQ(ui.prompts.back().text, "Timeout waiting for logo deletion: printer offline?\rPlease verify...");
  EXPECT_TRUE(s.unloaded);
  EXPECT_EQ(printer->releases, 1);
}

}  // namespace
}  // namespace zelta::test
