#include "memory/logo_window.h"

#include <gtest/gtest.h>

#include <memory>

#include "browser/configuration.h"
#include "image/add_logo.h"
#include "link/public_func.h"
#include "memory/nv_commands.h"
#include "memory/printer_info.h"
#include "scripted_window_fixture.h"

namespace zelta::test {
namespace {

class LogoWindowTest : public ScriptedWindowTest {
 protected:
  // Opens the window on a printer of model and runs its start-up sequence.
  LogoWindowState& Open(uint8_t model) {
    PrinterModelId = model;
    window = std::make_unique<LogoWindow>();
    StartTimer_Timer(window->state);
    return window->state;
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> out;
    for (const LogoSlot& slot : window->state.slots)
      if (slot.picThumbFrame.visible) out.push_back(slot.picThumbFrame.tag);
    return out;
  }
};

TEST_F(LogoWindowTest, StartUpReadsWhatEachModelOffers) {
  const Bytes capacity = CmdNvCapacity(), list = CmdKeyCodeList(),
              memory = capacity + CmdNvRemaining() + list;
  const struct {
    uint8_t model;
    int type_byte;  // answer to GS I 2, where asked; -1: none comes
    Bytes sent;
    std::vector<std::string> figures;  // the replies to the memory figures asked for; the key list holds A1
    std::string shown;                 // used/free as shown
    bool print_mem_enabled, print_visible;
  } cases[] = {
      // clang-format off
      {46, 0, memory, {"3072", "1024"}, "2048/1024", true, true},
      {36, 0, memory, {"3072", "1024"}, "2048/1024", true, true},
      {161, 0x04, CmdTypeId() + memory, {"3072", "1024"}, "2048/1024", true, true},
      {161, 0x00, CmdTypeId() + memory, {"3072", "1024"}, "2048/1024", true, false},
      {161, -1, CmdTypeId(), {}, "- - - -/- - - -", false, false},  // no memory read after a failed type check
      {10, 0x04, CmdTypeId(), {}, "- - - -/- - - -", true, true},
      {10, 0xFB, CmdTypeId(), {}, "- - - -/- - - -", false, false},
      {32, 0, "", {}, "- - - -/- - - -", true, true},
      {176, 0, "", {}, "- - - -/- - - -", true, true},
      // Figures that are not numbers keep the window; after a capacity that is not one, free is not asked.
      {36, 0, capacity + list, {"30x2"}, "?/?", true, true},
      {36, 0, capacity + list, {""}, "?/?", true, true},
      {36, 0, capacity + list, {"99999999999"}, "?/?", true, true},
      {36, 0, memory, {"3072", ""}, "?/?", true, true},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "model " << int(c.model) << " type " << c.type_byte << " " << c.shown);
    NewPrinter();
    if ((c.model == 161 || c.model == 10) && c.type_byte >= 0) printer->QueueByte(c.type_byte);
    for (const std::string& figure : c.figures) printer->replies.push_back({kResultOk, Block(figure)});
    if (!c.figures.empty()) printer->replies.push_back({kResultOk, KeyBlock(0x40, "A1")});
    LogoWindowState& s = Open(c.model);
    EXPECT_EQ(printer->written, c.sent);
    EXPECT_EQ(s.lblMemUsed + "/" + s.lblMemFree, c.shown);
    EXPECT_EQ(Captions(),
              c.figures.empty() ? std::vector<std::string>{} : std::vector<std::string>{"Logo(A1)"});
    EXPECT_EQ(s.cmdPrintMemLogos.enabled, c.print_mem_enabled);
    EXPECT_EQ(s.cmdPrintMemLogos.visible && s.cmdPrintLogo.visible, c.print_visible);
    EXPECT_TRUE(s.cmdAddLogo.enabled && s.cmdSelectAll.enabled && s.cmdSelectNone.enabled);
    EXPECT_FALSE(s.busy || s.StartTimer_enabled || s.unloaded);
    EXPECT_EQ(s.panels[0] == "Printer error...", c.type_byte < 0);
    EXPECT_EQ(s.panels[1], "Ready...");
    EXPECT_EQ(printer->claims, printer->releases);
    EXPECT_EQ(ui.messages.size(), c.type_byte < 0 ? 1u : 0u);
  }
}

TEST_F(LogoWindowTest, StoredLogosAppearInTheirOrderAPauseApart) {
  ScriptMemory("3072", "1024", "A1B2C3");
  std::vector<double> shown;
  ui.on_do_events = [&] {
    if (window && window->state.LogoCount > static_cast<int>(shown.size())) shown.push_back(ui.now);
  };
  LogoWindowState& s = Open(46);
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
  for (Fault fault : {kClaim, kCapacity, kKeyList}) {
    SCOPED_TRACE(fault);
    NewPrinter();
    SetStartFormShower(nullptr);
    if (fault == kClaim) printer->claim_results.push_back(kResultClaimedElsewhere);
    if (fault == kKeyList) {
      ScriptMemory("3072", "1024", "");
      printer->replies.pop_back();
    }
    ui.answers.assign(4, MsgBoxResult::kCancel);  // replies that never come are offered for a retry
    LogoWindowState& s = Open(46);
    EXPECT_TRUE(s.unloaded);
    EXPECT_EQ(printer->releases, fault == kClaim ? 0 : 1);
    EXPECT_EQ(printer->Count("ClaimPrinter"), 1);
    EXPECT_EQ(PrinterObj, nullptr) << "the logo window gives up the printer object";
    EXPECT_TRUE(CurrentFormName == "StartForm" && StartFormShowCount() == 1);
    const std::string raised = "Raised error " + std::to_string(kResultClaimedElsewhere) +
                               " by ScriptedPrinter\rExtended error description: Scripted failure";
    EXPECT_EQ(ui.messages, fault == kClaim ? std::vector<std::string>{raised} : std::vector<std::string>{});
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
  ASSERT_EQ(s.LogoCount, 3);
  EXPECT_TRUE(LoadedBitmaps(3));
  EXPECT_TRUE(QueryUnload(s) && s.unloaded);
  EXPECT_TRUE(s.slot_count() == 1 && s.tabs.size() == 1u) << "the design slot and the gallery left";
  for (int i = 1; i <= LoadedBitmaps.UBound(); ++i) EXPECT_FALSE(LoadedBitmaps(i) || PreparedBitmaps(i));
  EXPECT_EQ(StartFormShowCount(), 1);
  EXPECT_EQ(PrinterObj, nullptr);

  // The other variants keep the printer object on unload and stay the current form.
  InitProgramPaths("/nonexistent/zelta/Memory");
  NewPrinter();
  Open(32);
  EXPECT_TRUE(QueryUnload(window->state) && PrinterObj == printer && CurrentFormName == "LogoForm");
}

}  // namespace
}  // namespace zelta::test
