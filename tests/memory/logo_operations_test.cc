// The NV memory commands, and download, delete and clear against the scripted printer: the whole byte
// stream each one sends.
#include <gtest/gtest.h>

#include <memory>

#include "browser/configuration.h"
#include "download/download_logo.h"
#include "image/add_logo.h"
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

// The bytes of the commands whose streams below are not spelled out byte by byte.
TEST(NvCommands, ExactBytes) {
  const struct {
    Bytes got, want;
  } cases[] = {
      {CmdDeleteAllGraphics(), B({29, 40, 76, 5, 0, 48, 65, 'C', 'L', 'R'})},
      {CmdDeleteGraphics("03"), B({29, 40, 76, 4, 0, 48, 66, '0', '3'})},
      {CmdDeleteGraphics(B({0, 0x7F})), B({29, 40, 76, 4, 0, 48, 66, 0, 0x7F})},
      {CmdDeleteGraphics("7"), B({29, 40, 76, 4, 0, 48, 66, '7', ' '})},  // a short key keeps the frame
      {CmdPrintGraphics("123"), B({29, 40, 76, 6, 0, 48, 69, '1', '2', 1, 1})},
      {CmdTypeId(), B({29, 'I', 2})},
      {CmdClearNvBitImages(), B({28, 'q', 1, 0, 0, 0, 0})},
  };
  for (const auto& c : cases) EXPECT_EQ(ToHex(c.got), ToHex(c.want));
}

TEST(NvCommands, DecimalReplies) {
  const std::pair<Bytes, long long> cases[] = {
      {"3072", 3072},    {"0", 0},   {"999999999999", 999999999999}, {"", -1}, {"12a", -1},
      {B({'1', 0}), -1}, {"-1", -1}, {"9999999999999", -1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseDecimalReply(text), value) << text;
}

TEST(NvCommands, CommandFamilyByModel) {
  std::string got;  // b: NV bit images; r: real-time requests switched off around a definition
  for (int id : {0, 10, 32, 36, 37, 46, 161, 176, 255})
    got += std::to_string(id) + (UsesNvBitImages(id) ? "b" : "") + (SupportsRealTimeSwitch(id) ? "r " : " ");
  EXPECT_EQ(got, "0 10b 32b 36r 37 46r 161r 176r 255 ");
}

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
  // A new logo of w × h pixels (left half black, rest white, a red middle row), selected.
  int16_t Fresh(int w, int h, int colour_entry = 0) {
    const Pixel pixel = [w, h](int x, int y) { return y == h / 2 ? 0xFF0000u : x < w / 2 ? 0u : 0xFFFFFFu; };
    LogoWindowState& s = window->state;
    EXPECT_TRUE(AddLogoFile(s, Picture(dir, "f" + std::to_string(++files) + ".bmp", w, h, pixel), "f.bmp"));
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
    ScriptMemory("393216", free, keys);
  }

  int files = 0;
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
  Fresh(10, 3);
  Fresh(8, 3, 1);  // "Two colors"
  AnswerLogo("99975", "00");
  AnswerLogo("99950", "0001");
  cmdDwldLogo_Click(s);
  // Five black dots then white; the red middle row is dark enough to print black in black and white, and
  // in two colours it goes to the red plane, sent after the black one.
  const Bytes row10 = B({0xF8, 0x00});
  const Bytes first = Expected67("00", 10, {row10, B({0xFF, 0xC0}), row10});
  const Bytes second = B({29, 56, 76, 18, 0, 0, 0, 48, 67, 48, '0', '1', 2, 8, 0, 3, 0}) +
                       B({49, 0xF0, 0x00, 0xF0, 50, 0x00, 0xFF, 0x00});
  const Bytes after = kRealTimeOn + kModelRequest + kMemoryRequests + kListRequest;
  EXPECT_EQ(ToHex(printer->written), ToHex(kRealTimeOff + first + after + kRealTimeOff + second + after));
  EXPECT_EQ(Shown(), "Logo(00) Logo(01) tabs 1, count 2, 293266/99950, claims 1/1") << "no pages";
  EXPECT_TRUE(s.cmdPrintMemLogos.enabled && s.cmdPrintLogo.enabled && !s.cmdDwldLogo.enabled);
}

TEST_F(LogoOperationsTest, MemoryCheckSkipsStopsOrRereadsTheFigures) {
  const std::string no_room = "Not enough space in memory for this logo.\rDo you want to try the next?";
  const std::string unknown = "Error retrieving memory info. \rRetry?";
  constexpr auto kOk = MsgBoxResult::kOk, kCancel = MsgBoxResult::kCancel, kRetry = MsgBoxResult::kRetry;
  // 560 × 124 black and white: N = 70 × 124 + 11 = 8691. A label without a number: the figures are read
  // once more, and the user is asked before each try.
  const struct {
    std::string free;
    std::vector<MsgBoxResult> answers;
    bool sent;
    std::vector<std::string> prompts;
  } cases[] = {
      {"8691", {}, true, {}},
      {"8690", {kOk}, false, {no_room}},
      {"8690", {kCancel}, false, {no_room}},
      {"?", {kRetry, kCancel}, false, {unknown, unknown}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.free);
    NewPrinter(c.answers);
    LogoWindowState& s = Open(46, c.free);
    const int16_t i = Fresh(560, 124);
    if (c.sent) AnswerLogo("0", "00");
    if (c.free == "?") printer->replies = {{kResultOk, Block("x")}, {kResultOk, Block("x")}};
    cmdDwldLogo_Click(s);
    EXPECT_EQ(printer->written.size() > 8691, c.sent);
    EXPECT_TRUE(printer->replies.empty()) << "every figure read";
    EXPECT_EQ(s.Slot(i).picThumbFrame.tag, c.sent ? "Logo(00)" : "New(00)");
    EXPECT_EQ(ui.PromptTexts(), c.prompts);
    for (const auto& p : ui.prompts)
      EXPECT_EQ(p.buttons, p.text == no_room ? MsgBoxButtons::kOkCancel : MsgBoxButtons::kRetryCancel);
    EXPECT_EQ(printer->claims, printer->releases);
  }
}

TEST_F(LogoOperationsTest, LogoThatFailsWhileSendingStaysNewAndTheOnesBeforeStayStored) {
  LogoWindowState& s = Open(36);
  Fresh(8, 1);
  Fresh(8, 2);
  AnswerLogo("5000", "00");
  // The second logo's second row: the connection is gone.
  printer->on_write = [&, writes = 0](const Bytes&, int32_t) mutable {
    if (++writes == 9) printer->writes.push_back({kResultPortClosed, 0});
  };
  cmdDwldLogo_Click(s);
  EXPECT_EQ(Shown(), "Logo(00) New(01) tabs 2, count 2, 388216/5000, claims 1/1 | Raised error " +
                         std::to_string(kResultPortClosed) +
                         " sending data to printer.\rExtended error description: Scripted failure");
  EXPECT_EQ(s.tabs.back().key, "New(01)");
}

TEST_F(LogoOperationsTest, BitImagesGoAllAtOnceWithOneSevenSecondPause) {
  LogoWindowState& s = Open(32);
  Fresh(10, 9);
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
  EXPECT_EQ(Shown(), "New(00) New(01) tabs 3, count 2, - - - -/100000, claims 1/1")
      << "bit images change no caption";
}

TEST_F(LogoOperationsTest, DownloadRefusesWhatCannotBeSentAndDoesNothingOnALogoPage) {
  LogoWindowState& s = Open(10);
  Fresh(8, 2400);
  cmdDwldLogo_Click(s);
  EXPECT_EQ(Shown(),
            "New(00) tabs 2, count 1, - - - -/100000, claims 1/1 | The logos cannot be stored as NV bit "
            "images.\r\nLogo 1 is 2400 dots tall; the printer takes at most 2304.");
  EXPECT_EQ(printer->written, "");

  s.selected_tab = 1;
  s.EndReq = true;
  cmdDwldLogo_Click(s);
  EXPECT_EQ(printer->claims, 1) << "a logo's page sends nothing";
  EXPECT_TRUE(s.unloaded) << "the close request is applied";
}

TEST_F(LogoOperationsTest, DeleteSendsOneExchangePerStoredLogoAndRefreshesTheFiguresOnce) {
  LogoWindowState& s = Open(46);
  Stored("A1");
  const int16_t fresh = Fresh(8, 1);
  Stored("B2");
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
  EXPECT_EQ(Shown(), "tabs 1, count 0, 0/3072, claims 1/1") << "every logo gone";
  EXPECT_FALSE(LoadedBitmaps(fresh));
  EXPECT_EQ(s.panels[1], "Ready...");
}

// A delete or a clear whose command is refused ends there; the wait for the printer's answer asks after
// 10 s (Retry waits again) and closes the window on Cancel or on a failed read. The printer is released.
TEST_F(LogoOperationsTest, DeleteOrClearThatFailsOrWaitsInVainReleasesThePrinter) {
  const std::string error = std::to_string(kResultPortClosed),
                    description = "Extended error description: Scripted failure";
  const std::string raise = "Raise error " + error + " on delete memory logo(s).\r\n" + description;
  const std::string refused = "Raised error " + error + " sending data to printer.\r" + description;
  const struct {
    bool clear;
    int32_t write_failure, read_failure;
    MsgBoxResult answer;  // to the time-out question
    bool closed;
    std::vector<std::string> messages;
  } cases[] = {
      {false, 0, 0, MsgBoxResult::kRetry, false, {}},
      {false, 0, 0, MsgBoxResult::kCancel, true, {}},
      {true, 0, 0, MsgBoxResult::kCancel, true, {}},
      {false, 0, kResultPortClosed, MsgBoxResult::kCancel, true, {raise}},
      {false, kResultPortClosed, 0, MsgBoxResult::kCancel, false, {refused}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.clear << " " << c.write_failure << " " << c.read_failure);
    NewPrinter({MsgBoxResult::kYes, c.answer});
    LogoWindowState& s = Open(46);
    Stored("A1");
    s.LogoCount = 1;
    printer->replies = {{kResultOk, Block("3072")}, {kResultOk, Block("3072")}};
    if (c.write_failure) printer->writes.push_back({c.write_failure, 0});
    if (c.read_failure) printer->reads.push_back({c.read_failure, {}});
    ui.on_do_events = [&, asked = false]() mutable {  // after a retry the printer answers
      if (!asked && ui.prompts.size() == 2) {
        asked = true;
        printer->QueueByte(46);
      }
    };
    const double start = ui.now;
    c.clear ? cmdClearMem_Click(s) : cmdDelLogo_Click(s);
    ui.on_do_events = nullptr;
    const bool waited = !c.write_failure && !c.read_failure;
    ASSERT_EQ(ui.prompts.size(), waited ? 2u : 1u);
    if (waited) {
      EXPECT_EQ(ui.prompts[1].text, "Timeout waiting for logo deletion: printer offline?\rPlease verify...");
      EXPECT_GE(ui.now - start, 10.0);
    }
    EXPECT_EQ(ui.messages, c.messages);
    EXPECT_EQ(s.unloaded, c.closed);
    EXPECT_EQ(printer->releases, 1);
  }
}

TEST_F(LogoOperationsTest, DeleteAnsweredNoOrFromALogosPageSendsNothing) {
  LogoWindowState& s = Open(46);
  Stored("A1", false);
  Fresh(8, 1);
  ui.answers = {MsgBoxResult::kNo};
  cmdDelLogo_Click(s);
  EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{"Are you sure you want to delete New(00)?"});
  EXPECT_EQ(Shown(), "Logo(A1) New(00) tabs 2, count 2, - - - -/100000, claims 0/0");

  s.selected_tab = 1;
  ui.answers = {MsgBoxResult::kYes};
  cmdDelLogo_Click(s);
  EXPECT_EQ(ui.prompts.back().text, "Are you sure you want to delete New(00)?");
  EXPECT_EQ(Shown(), "Logo(A1) tabs 1, count 1, - - - -/100000, claims 0/0");
  EXPECT_TRUE(s.selected_tab == 0 && s.cmdAddLogo.enabled) << "back in the gallery";
  EXPECT_EQ(printer->calls.size(), 0u);
}

TEST_F(LogoOperationsTest, ClearReadsFirstAfterSixSecondsAndKeepsNewLogos) {
  for (uint8_t model : {46, 10}) {
    NewPrinter({MsgBoxResult::kYes});
    LogoWindowState& s = Open(model, "5");
    Stored("A1");
    Fresh(8, 1);
    s.LogoCount = 2;
    const double start = ui.now;
    printer->QueueByte(model);  // the first read finds the answer
    printer->replies = {{kResultOk, Block("3072")}, {kResultOk, Block("3072")}};
    cmdClearMem_Click(s);
    SCOPED_TRACE(int(model));
    EXPECT_EQ(ui.prompts.back().text, "Are you sure you want to delete all stored logos?");
    // Models 10 and 32 have no figures; their gallery keeps its captions.
    EXPECT_EQ(ToHex(printer->written),
              ToHex(model == 10 ? CmdClearNvBitImages() + kModelRequest
                                : CmdDeleteAllGraphics() + kModelRequest + kMemoryRequests));
    EXPECT_EQ(Shown(), model == 10 ? "Logo(A1) New(00) tabs 2, count 2, - - - -/5, claims 1/1"
                                   : "New(00) tabs 2, count 1, 0/3072, claims 1/1");
    EXPECT_GE(ui.now - start, 6.0);
    EXPECT_LT(ui.now - start, 6.2);
    EXPECT_EQ(printer->Count("ReadData"), 1);
  }
}

}  // namespace
}  // namespace zelta::test
