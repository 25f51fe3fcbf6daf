// The logo window against the scripted printer: its start-up and close, the NV memory commands, and
// download, delete, clear and print with the whole byte stream each one sends and every way out.
#include "memory/logo_window.h"

#include <gtest/gtest.h>

#include <memory>

#include "download/download_logo.h"
#include "download/print_logo.h"
#include "image/add_logo.h"
#include "image/fit_handler.h"
#include "image/logo_slots.h"
#include "link/forms.h"
#include "link/public_func.h"
#include "memory/delete_logos.h"
#include "memory/nv_commands.h"
#include "memory/print_stored.h"
#include "memory/printer_info.h"
#include "support/link_fixture.h"
#include "window_test_data.h"

namespace zelta::test {
namespace {

const Bytes kModelRequest = B({29, 73, 1});
const Bytes kMemoryRequests = B({29, 40, 76, 2, 0, 48, 0, 29, 40, 76, 2, 0, 48, 3});
const Bytes kListRequest = B({29, 40, 76, 4, 0, 48, 64, 'K', 'C'});
// GS ( D: real-time requests off around a definition, on again after it.
const Bytes kRealTimeOff = B({29, 40, 68, 5, 0, 20, 1, 0, 2, 0});
const Bytes kRealTimeOn = B({29, 40, 68, 5, 0, 20, 1, 1, 2, 1});
// What the scripted printer's failures say: raised by it, or on sending.
std::string Raised(int32_t n, const std::string& where = "by ScriptedPrinter") {
  return "Raised error " + std::to_string(n) + " " + where + "\rExtended error description: Scripted failure";
}
std::string Refused(int32_t n) { return Raised(n, "sending data to printer."); }

// A decimal reply block (memory figures) and a key-code list block.
inline Bytes Block(const std::string& digits) { return B({0x37, 0x30}) + digits + B({0}); }
Bytes KeyBlock(uint8_t status, const std::string& keys) { return B({0x37, 0x72, status}) + keys + B({0}); }

// The window against a scripted printer of model, the test data folder set.
class LogoWindowTest : public ::testing::Test {
 protected:
  LogoWindowTest() {
    UseTestDataFolder();
    SetStartFormShower(nullptr);
    NewPrinter();
  }
  ~LogoWindowTest() override {
    window.reset();
    ResetPubblicVar();
  }
  void NewPrinter(const std::vector<MsgBoxResult>& answers = {}) { printer = FreshPrinter(ui, answers); }
  // Replies to the memory figures and the key-code list.
  void ScriptMemory(const std::string& capacity, const std::string& free, const std::string& keys) {
    printer->replies.push_back({kResultOk, Block(capacity)});
    printer->replies.push_back({kResultOk, Block(free)});
    printer->replies.push_back({kResultOk, KeyBlock(0x40, keys)});
  }
  // A logo of the gallery read from the printer (or a new one), visible unless told.
  int16_t Stored(const std::string& key, bool selected = true, bool is_new = false, bool visible = true) {
    LogoWindowState& s = window->state;
    const int16_t i = AllocateLogoSlot(s);
    s.Slot(i).picThumb.tag = key;
    s.Slot(i).picThumbFrame.tag = (is_new ? "New(" : "Logo(") + key + ")";
    s.Slot(i).picThumbFrame.visible = visible;
    SetSelected(s.Slot(i), selected);
    return i;
  }
  // The window in one line: the visible thumbnails' captions, the tabs, the logo count, used/free memory,
  // the printer's claims/releases; then what is out of the ordinary (a busy pointer, a progress bar left
  // showing, the window closed, a printer error, a status other than Ready); the messages shown.
  std::string Shown() const {
    const LogoWindowState& s = window->state;
    std::string out;
    for (const LogoSlot& slot : s.slots)
      if (slot.picThumbFrame.visible) out += slot.picThumbFrame.tag + " ";
    out += "tabs " + std::to_string(s.tabs.size()) + ", count " + std::to_string(s.LogoCount) + ", " +
           s.lblMemUsed + "/" + s.lblMemFree + ", claims " + std::to_string(printer->claims) + "/" +
           std::to_string(printer->releases);
    if (s.busy) out += ", busy";
    if (s.progress.visible || s.panel3_visible) out += ", progress";
    if (s.unloaded) out += ", closed";
    if (s.panels[0] == "Printer error...") out += ", printer error";
    if (s.panels[1] != "Ready...") out += s.panels[1].empty() ? ", no status" : ", status " + s.panels[1];
    for (const std::string& m : ui.messages) out += " | " + m;
    return out;
  }

  // The window on a printer of model after its start-up sequence.
  LogoWindowState& Start(uint8_t model) {
    PrinterModelId = model;
    window = std::make_unique<LogoWindow>();
    StartTimer_Timer(window->state);
    return window->state;
  }
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

  ScriptedUi ui;
  TempDir dir;
  std::shared_ptr<ScriptedPrinter> printer;
  std::unique_ptr<LogoWindow> window;
  int files = 0;
};
using LogoOperationsTest = LogoWindowTest;

TEST_F(LogoWindowTest, StartUpReadsWhatEachModelOffers) {
  const Bytes capacity = kMemoryRequests.substr(0, 7), list = kListRequest, memory = kMemoryRequests + list;
  // The gallery holding A1 that was read; nothing read.
  const std::string a1 = "Logo(A1) tabs 1, count 1, ", none = "tabs 1, count 0, - - - -/- - - -, claims ";
  const struct {
    uint8_t model;
    int type_byte;  // answer to GS I 2, where asked; -1: none comes
    Bytes sent;
    std::vector<std::string> figures;  // the replies to the memory figures asked for; the key list holds A1
    std::string shown, print_buttons;  // the window; the print buttons that are off or hidden
  } cases[] = {
      // clang-format off
      {46, 0, memory, {"3072", "1024"}, a1 + "2048/1024, claims 1/1", ""},
      {36, 0, memory, {"3072", "1024"}, a1 + "2048/1024, claims 1/1", ""},
      {161, 0x04, CmdTypeId() + memory, {"3072", "1024"}, a1 + "2048/1024, claims 1/1", ""},
      {161, 0x00, CmdTypeId() + memory, {"3072", "1024"}, a1 + "2048/1024, claims 1/1", "hidden"},
      {161, -1, CmdTypeId(), {}, none + "1/1, printer error | " + Raised(kResultTimeout), "off hidden"},
      {10, 0x04, CmdTypeId(), {}, none + "1/1", ""},
      {10, 0xFB, CmdTypeId(), {}, none + "1/1", "off hidden"},
      {32, 0, "", {}, none + "0/0", ""},
      {176, 0, "", {}, none + "0/0", ""},
      // Figures that are not numbers keep the window; after a capacity that is not one, free is not asked.
      {36, 0, capacity + list, {"30x2"}, a1 + "?/?, claims 1/1", ""},
      {36, 0, capacity + list, {""}, a1 + "?/?, claims 1/1", ""},
      {36, 0, capacity + list, {"99999999999"}, a1 + "?/?, claims 1/1", ""},
      {36, 0, memory, {"3072", ""}, a1 + "?/?, claims 1/1", ""},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "model " << int(c.model) << " type " << c.type_byte);
    NewPrinter();
    if ((c.model == 161 || c.model == 10) && c.type_byte >= 0) printer->QueueByte(c.type_byte);
    for (const std::string& figure : c.figures) printer->replies.push_back({kResultOk, Block(figure)});
    if (!c.figures.empty()) printer->replies.push_back({kResultOk, KeyBlock(0x40, "A1")});
    LogoWindowState& s = Start(c.model);
    EXPECT_EQ(printer->written, c.sent);
    EXPECT_EQ(Shown(), c.shown);
    EXPECT_EQ(std::string(s.cmdPrintMemLogos.enabled ? "" : "off ") +
                  (s.cmdPrintMemLogos.visible && s.cmdPrintLogo.visible ? "" : "hidden"),
              c.print_buttons);
    EXPECT_TRUE(s.cmdAddLogo.enabled && s.cmdSelectAll.enabled && s.cmdSelectNone.enabled);
    EXPECT_FALSE(s.StartTimer_enabled);
  }
}

TEST_F(LogoWindowTest, StoredLogosAppearInTheirOrderAPauseApart) {
  ScriptMemory("3072", "1024", "A1B2C3");
  std::vector<double> shown;
  ui.on_do_events = [&] {
    if (window && window->state.LogoCount > static_cast<int>(shown.size())) shown.push_back(ui.now);
  };
  LogoWindowState& s = Start(46);
  EXPECT_EQ(Shown(), "Logo(A1) Logo(B2) Logo(C3) tabs 1, count 3, 2048/1024, claims 1/1");
  EXPECT_EQ(s.Slot(2).picThumb.tag, "B2");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_GE(shown[2] - shown[1], 0.1 - 1e-9);
  EXPECT_GE(ui.now - shown[2], 0.1 - 1e-9);
  // A stored logo has no picture: an empty area above its caption.
  EXPECT_GT(s.Slot(1).picThumb.inner_w, 0);
  EXPECT_EQ(s.Slot(1).picThumb.left, s.Slot(2).picThumb.left);
}

TEST_F(LogoWindowTest, PrinterThatFailsDuringStartUpClosesTheWindowAndIsReleased) {
  enum Fault { kClaim, kCapacity, kKeyList };
  const std::string closed = ", busy, closed, printer error, status Retrieving printer information...";
  const std::pair<Fault, std::string> cases[] = {
      {kClaim, "- - - -/- - - -, claims 0/0" + closed + " | " + Raised(kResultClaimedElsewhere)},
      {kCapacity, "?/?, claims 1/1" + closed},
      {kKeyList, "2048/1024, claims 1/1" + closed}};
  for (const auto& [fault, shown] : cases) {
    SCOPED_TRACE(fault);
    NewPrinter();
    SetStartFormShower(nullptr);
    if (fault == kClaim) printer->claim_results.push_back(kResultClaimedElsewhere);
    if (fault == kKeyList) printer->replies = {{kResultOk, Block("3072")}, {kResultOk, Block("1024")}};
    ui.answers.assign(4, MsgBoxResult::kCancel);  // replies that never come are offered for a retry
    Start(46);
    EXPECT_EQ(Shown(), "tabs 1, count 0, " + shown);
    EXPECT_EQ(printer->Count("ClaimPrinter"), 1);
    EXPECT_EQ(PrinterObj, nullptr) << "the logo window gives up the printer object";
    EXPECT_TRUE(CurrentFormName == "StartForm" && StartFormShowCount() == 1);
  }
}

TEST_F(LogoWindowTest, OpeningWaitsForTheStartTimerAndCloseIsRefusedUntilIdle) {
  ScriptMemory("3072", "1024", "A1");
  PrinterModelId = 46;
  window = std::make_unique<LogoWindow>();
  LogoWindowState& s = window->state;
  EXPECT_EQ(FindCurrentForm(), window.get());
  EXPECT_TRUE(s.busy && s.StartTimer_enabled && !s.cmdAddLogo.enabled);
  EXPECT_TRUE(printer->calls.empty()) << "nothing is asked before the start timer fires";
  EXPECT_FALSE(QueryUnload(s)) << "refused while the start-up sequence is due";
  StartTimer_Timer(s);
  EXPECT_TRUE(!s.unloaded && s.EndReq) << "the start-up sequence leaves the window open; EndReq stays set";

  ui.open_results.push_back({Picture(dir, "a.bmp", 30, 20), Picture(dir, "b.bmp", 30, 20)});
  cmdAddLogo_Click(s);
  ASSERT_TRUE(s.LogoCount == 3 && LoadedBitmaps(3));
  EXPECT_TRUE(QueryUnload(s) && s.unloaded);
  EXPECT_TRUE(s.slot_count() == 1 && s.tabs.size() == 1u) << "the design slot and the gallery left";
  for (int i = 1; i <= LoadedBitmaps.UBound(); ++i) EXPECT_FALSE(LoadedBitmaps(i) || PreparedBitmaps(i));
  EXPECT_TRUE(StartFormShowCount() == 1 && PrinterObj == nullptr);

  // The other variants keep the printer object on unload and stay the current form.
  InitProgramPaths("/nonexistent/zelta/Memory");
  NewPrinter();
  Start(32);
  EXPECT_TRUE(QueryUnload(window->state) && PrinterObj == printer && CurrentFormName == "LogoForm");
}

// The bytes of the commands whose streams below are not spelled out byte by byte, the decimal replies, and
// the command family of each model.
TEST(NvCommands, BytesRepliesAndFamilies) {
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
  const std::pair<Bytes, long long> replies[] = {
      {"3072", 3072},    {"0", 0},   {"999999999999", 999999999999}, {"", -1}, {"12a", -1},
      {B({'1', 0}), -1}, {"-1", -1}, {"9999999999999", -1}};
  for (const auto& [text, value] : replies) EXPECT_EQ(ParseDecimalReply(text), value) << text;
  std::string got;  // b: NV bit images; r: real-time requests switched off around a definition
  for (int id : {0, 10, 32, 36, 37, 46, 161, 176, 255})
    got += std::to_string(id) + (UsesNvBitImages(id) ? "b" : "") + (SupportsRealTimeSwitch(id) ? "r " : " ");
  EXPECT_EQ(got, "0 10b 32b 36r 37 46r 161r 176r 255 ");
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
  const Bytes first = B({29, 56, 76, 17, 0, 0, 0, 48, 67, 48, '0', '0', 1, 10, 0, 3, 0}) +
                      B({49, 0xF8, 0x00, 0xFF, 0xC0, 0xF8, 0x00});
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
  EXPECT_EQ(Shown(),
            "Logo(00) New(01) tabs 2, count 2, 388216/5000, claims 1/1 | " + Refused(kResultPortClosed));
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
  EXPECT_TRUE(printer->claims == 1 && s.unloaded) << "a logo's page sends nothing; the close request holds";
}

// A delete answered No, then one from a new logo's page (no printer traffic), then the gallery's choice.
TEST_F(LogoOperationsTest, DeleteAsksThenDropsNewLogosAndSendsOneExchangePerStoredLogo) {
  LogoWindowState& s = Open(46);
  const int16_t a1 = Stored("A1", false);
  Fresh(8, 1);
  const int16_t b2 = Stored("B2", false);
  ui.answers = {MsgBoxResult::kNo};
  cmdDelLogo_Click(s);
  const std::string ask_new = "Are you sure you want to delete New(00)?";
  EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{ask_new});
  EXPECT_EQ(Shown(), "Logo(A1) New(00) Logo(B2) tabs 2, count 3, - - - -/100000, claims 0/0, no status");

  s.selected_tab = 1;
  ui.answers = {MsgBoxResult::kYes};
  cmdDelLogo_Click(s);
  EXPECT_EQ(Shown(), "Logo(A1) Logo(B2) tabs 1, count 2, - - - -/100000, claims 0/0, no status");
  EXPECT_TRUE(s.selected_tab == 0 && s.cmdAddLogo.enabled && printer->calls.empty()) << "back in the gallery";

  const int16_t fresh = Fresh(8, 1);
  SetSelected(s.Slot(a1), true);
  SetSelected(s.Slot(b2), true);
  ui.answers = {MsgBoxResult::kYes};
  for (uint8_t id : {7, 46, 46}) printer->QueueByte(id);  // another byte first: the wait goes on
  printer->replies = {{kResultOk, Block("3072")}, {kResultOk, Block("3072")}};
  cmdDelLogo_Click(s);
  EXPECT_EQ(ui.PromptTexts(),
            (std::vector<std::string>{ask_new, ask_new, "Are you sure you want to delete these3 logos?"}));
  EXPECT_EQ(ToHex(printer->written), ToHex(CmdDeleteGraphics("A1") + kModelRequest + CmdDeleteGraphics("B2") +
                                           kModelRequest + kMemoryRequests));
  EXPECT_EQ(Shown(), "tabs 1, count 0, 0/3072, claims 1/1") << "every logo gone";
  EXPECT_FALSE(LoadedBitmaps(fresh));
}

// A delete or a clear whose command is refused ends there; the wait for the printer's answer asks after
// 10 s (Retry waits again) and closes the window on Cancel or on a failed read. The printer is released.
TEST_F(LogoOperationsTest, DeleteOrClearThatFailsOrWaitsInVainReleasesThePrinter) {
  const std::string raise = "Raise error " + std::to_string(kResultPortClosed) +
                            " on delete memory logo(s).\r\nExtended error description: Scripted failure";
  // Closed while at work: the pointer and the progress bar are left as they were.
  const std::string closed = "- - - -/100000, claims 1/1, busy, progress, closed, status ";
  const struct {
    bool clear;
    int32_t write_failure, read_failure;
    MsgBoxResult answer;  // to the time-out question
    std::string shown;
  } cases[] = {
      {false, 0, 0, MsgBoxResult::kRetry, "tabs 1, count 0, 0/3072, claims 1/1"},
      {false, 0, 0, MsgBoxResult::kCancel, "tabs 1, count 1, " + closed + "Deleting Logo(A1)..."},
      {true, 0, 0, MsgBoxResult::kCancel, "tabs 1, count 0, " + closed + "Deleting logo(s)..."},
      {false, 0, kResultPortClosed, MsgBoxResult::kCancel,
       "tabs 1, count 1, " + closed + "Deleting Logo(A1)... | " + raise},
      {false, kResultPortClosed, 0, MsgBoxResult::kCancel,
       "Logo(A1) tabs 1, count 1, - - - -/100000, claims 1/1 | " + Refused(kResultPortClosed)},
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
      if (!asked && ui.prompts.size() == 2) asked = true, printer->QueueByte(46);
    };
    const double start = ui.now;
    c.clear ? cmdClearMem_Click(s) : cmdDelLogo_Click(s);
    ui.on_do_events = nullptr;
    const bool waited = !c.write_failure && !c.read_failure;
    ASSERT_EQ(ui.prompts.size(), waited ? 2u : 1u);
    EXPECT_TRUE(!waited || (ui.now - start >= 10.0 &&
                            ui.prompts[1].text ==
                                "Timeout waiting for logo deletion: printer offline?\rPlease verify..."));
    EXPECT_EQ(Shown(), c.shown);
  }
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
    EXPECT_TRUE(ui.now - start >= 6.0 && ui.now - start < 6.2 && printer->Count("ReadData") == 1) << ui.now;
  }
}

constexpr int kW = 20;  // preview width: three bytes per row, four padding bits
Bytes Le16(int v) { return B({v & 0xFF, (v >> 8) & 0xFF}); }
Bytes Le32(int v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }
const Bytes kCut = B({29, 'V', 'B', 15}), kNineLf(9, '\n');
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
        Band(49, r) + Rows(s, r, false) + (two ? Band(50, r) + Rows(s, r, true) : "") + kModelRequest + kFn50;
  }
  return out;
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

class PrintTest : public LogoWindowTest {
 protected:
  // The window on a printer of model that answers GS I 1 with its model ID.
  LogoWindowState& Open(uint8_t model) {
    NewPrinter();
    PrinterModelId = model;
    printer->on_write = [this, model](const Bytes& b, int32_t mode) {
      if (answer_id && mode == kWriteRealTime && b == kModelRequest) printer->QueueByte(model);
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
    const int16_t i = Stored("00", false, true);
    LogoSlot& slot = s.Slot(i);
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
  const std::string all = "tabs 1, count 0, - - - -/- - - -, claims 1/1",
                    gallery =
                        "Logo(A1) New(00) Logo(C3) Logo(D4) tabs 1, count 5, - - - -/- - - -, claims 1/1";
  const struct {
    uint8_t model;
    Click click;
    std::vector<Bytes> replies;
    Bytes expected;
    int jobs;
    std::string shown;
  } cases[] = {
      {46, kAll, {KeyBlock(0x40, "A1B2C3")}, kListRequest + three + kCut, 3, all},
      {161, kAll, {KeyBlock(0x40, "A1B2C3")}, kListRequest + three + kNineLf, 3, all},
      {36, kAll, {KeyBlock(0x41, "A1B2"), KeyBlock(0x40, "C3")}, kListRequest + three + kCut, 3, all},
      {176, kAll, {KeyBlock(0x40, "A1B")}, kListRequest + B({27, '!', 0}) + Logo("A1") + kCut, 1, all},
      {46, kAll, {KeyBlock(0x40, "")}, kListRequest, 0, all},
      {46, kAll, {}, kListRequest, 0, all + ", printer error"},  // no list: the time-out prompt is cancelled
      {32, kAll, {}, fs_p + kCut, 1, all},
      {10, kAll, {}, fs_p + kNineLf, 1, all},
      {46, kGallery, {}, two + kCut, 3, gallery},
      {161, kGallery, {}, two + kNineLf, 3, gallery},
      {46, kGalleryNoneSelected, {}, kCut, 1, gallery},
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
    EXPECT_EQ(printer->Count("ReleasePrinter"), 1);
    EXPECT_EQ(Shown(), c.shown);
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
      {161, 100, 1, GsV0(100) + Rows(0, 100, false) + kModelRequest + kNineLf, 1 + 100 + 2, 101},
      {32, 100, 2, GsV0(100) + Rows(0, 100, false) + kModelRequest + kCut, 1 + 100 + 2, 101},
      {10, 3, 2, GsV0(3) + Rows(0, 3, false) + kModelRequest + kNineLf, 1 + 3 + 2, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.model) << " " << c.h << " rows, colour " << c.colour_code);
    LogoWindowState& s = Open(c.model);
    NewLogo(s, c.h, c.colour_code);
    cmdPrintLogo_Click(s);
    ASSERT_EQ(printer->written.size(), c.expected.size());
    EXPECT_TRUE(printer->written == c.expected) << ToHex(printer->written, 64);
    EXPECT_EQ(static_cast<int>(printer->write_log.size()), c.writes) << "one write per row";
    for (const auto& w : printer->write_log) EXPECT_EQ(w.mode, w.offered == kModelRequest ? 2 : 1);
    EXPECT_TRUE(spy.max == c.max && spy.peak == c.max) << spy.max << " " << spy.peak;
    EXPECT_TRUE(ui.prompts.empty() && printer->Count("ReleasePrinter") == 1);
    EXPECT_EQ(Shown(), "New(00) tabs 2, count 1, - - - -/- - - -, claims 1/1");
  }
}

TEST_F(PrintTest, EveryWayOutReleasesThePrinterAndHonoursACloseRequestWhereDue) {
  const Bytes head = Band(49, 100) + Rows(0, 100, false);
  const Bytes all = kListRequest + B({27, '!', 0}) + Logo("A1") + kCut;  // the stored logo A1
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
      {"new logo printed", false, nullptr, {}, head + kModelRequest + kFn50 + kCut, {}, true, 1},
      {"all printed", true, nullptr, {}, all, {}, true, 1},
      {"header refused", false, [](ScriptedPrinter& p) { p.writes = {{kResultPortClosed, 0}}; }, {}, "",
       {Refused(kResultPortClosed)}, false, 1},
      {"row time-out cancelled", false, [](ScriptedPrinter& p) { p.writes = {{}, {}, {kResultTimeout, 0}}; },
       {MsgBoxResult::kCancel}, Band(49, 100) + Row(0, false), {}, false, 1},
      {"no answer to the wait", false, nullptr, {MsgBoxResult::kCancel}, head + kModelRequest, {}, false, 1},
      {"unrecoverable before function 50", false, [](ScriptedPrinter& p) { p.printer_states = {5}; }, {},
       head + kModelRequest, {}, true, 1},
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
