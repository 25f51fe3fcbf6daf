// The logo window's operations end to end: a virtual printer of each model behind zelta-server, the
// window's record driven as a technician drives it, and the printer's NV memory checked afterwards.
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "browser/configuration.h"
#include "download/download_logo.h"
#include "download/print_logo.h"
#include "image/add_logo.h"
#include "image/bmp_test_files.h"
#include "image/fit_handler.h"
#include "image/gallery.h"
#include "imglib/zelta_img.h"
#include "memory/delete_logos.h"
#include "memory/logo_window.h"
#include "memory/print_stored.h"
#include "memory/printer_info.h"
#include "remote/remote_fixture.h"
#include "shared/pubblic_var.h"
#include "support/forwarding_printer.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

class LogoRoadTest : public RemoteTest {
 protected:
  void SetUp() override {
    ResetPubblicVar();
    InitProgramPaths("/nonexistent/zelta/Logo");
    AppFolder = ZELTA_TEST_DATA;
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(AppFolder.size()));
  }
  void TearDown() override {
    window.reset();
    PrinterObj.reset();
    ResetPubblicVar();
  }
  // A virtual printer of model behind zelta-server, as PrinterObj.
  void Connect(uint8_t model) {
    StartVirtualPrinter(model, paper.path());
    StopServer();
    StartServer(VirtualPrinterConfig("Counter"), DefaultPortPrinterFactory());
    ASSERT_TRUE(PrinterObj = NamedPrinter("Counter"));
    PrinterModelId = model;
    receipts_seen = 0;
  }
  LogoWindowState& Open() {
    window = std::make_unique<LogoWindow>();
    StartTimer_Timer(window->state);
    return window->state;
  }
  // Adds a picture of w × h: by default a black frame around a red square on white.
  int16_t Add(int w, int h, std::function<uint32_t(int, int)> pixel = nullptr) {
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.pixel = pixel ? pixel : [w, h](int x, int y) {
      if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) return 0u;
      return (x > w / 3 && x < 2 * w / 3) ? 0xFF0000u : 0xFFFFFFu;
    };
    ui.open_results.push_back({pictures.Write("logo" + std::to_string(++added) + ".bmp", MakeBmp(spec))});
    cmdAddLogo_Click(window->state);
    return static_cast<int16_t>(window->state.tabs.back().tag);
  }

  // The receipt just printed: cut off by the printer, or torn off here after its line feeds.
  // The receipt just printed. The job's last bytes may still be on their way from zelta-server's send
  // queue when the operation ends: a printer with a cutter writes the receipt at its cut (up to 5 s
  // are given for it); the others end with line feeds, and the paper is torn off here once nothing
  // has arrived for 300 ms.
  std::string Receipt() {
    const bool cutter = PrinterModelId != 10 && PrinterModelId != 161;
    for (int tries = 0; tries < 250; ++tries) {
      emu->WaitIdle(5000);
      if (!cutter) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (!emu->WaitIdle(5000) || emu->Busy()) continue;
        emu->TearOff();
      }
      const std::vector<std::string> files = emu->PaperFiles();
      if (files.size() > receipts_seen) {
        receipts_seen = files.size();
        return files.back();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
  }

  ScriptedUi ui;
  size_t receipts_seen = 0;
  TempDir pictures, paper;
  int added = 0;
  std::unique_ptr<LogoWindow> window;
};

TEST_F(LogoRoadTest, AddDownloadDeleteAndClearOnEveryModel) {
  for (uint8_t model : {46, 36, 161, 32, 10}) {
    SCOPED_TRACE(int(model));
    Connect(model);
    const bool bit_images = model == 32 || model == 10;
    LogoWindowState& s = Open();
    const std::string free_before = s.lblMemFree;
    const int16_t a = Add(200, 60);
    const int16_t b = Add(120, 40);
    if (model == 46) {
      s.Slot(b).cmbColor.selected = 1;  // two colours
      cmbColor_Click(s, b);
    }
    SetSelected(s.Slot(a), true);
    SetSelected(s.Slot(b), true);
    cmdDwldLogo_Click(s);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    EXPECT_FALSE(s.busy);
    if (bit_images) {
      EXPECT_EQ(emu->BitImageCount(), 2u);
      ASSERT_NE(emu->BitImageForTest(1), nullptr);
      EXPECT_EQ(s.Slot(a).picThumbFrame.tag, "New(00)");
    } else {
      EXPECT_EQ(emu->KeyCodes(), (std::vector<std::string>{"00", "01"}));
      EXPECT_EQ(s.Slot(a).picThumbFrame.tag, "Logo(00)");
      EXPECT_EQ(s.lblMemFree, std::to_string(emu->NvRemaining()));
      EXPECT_NE(s.lblMemFree, free_before);
      EXPECT_EQ(s.tabs.size(), 1u);
    }

    // The next opening lists them; delete one, then clear all.
    window.reset();
    LogoWindowState& again = Open();
    if (!bit_images) {
      ASSERT_EQ(again.LogoCount, 2);
      EXPECT_EQ(again.Slot(2).picThumbFrame.tag, "Logo(01)");
      SetSelected(again.Slot(1), true);
      ui.answers = {MsgBoxResult::kYes};
      cmdDelLogo_Click(again);
      EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"01"});
      EXPECT_EQ(again.LogoCount, 1);
      EXPECT_EQ(again.lblMemFree, std::to_string(emu->NvRemaining()));
    }
    ui.answers = {MsgBoxResult::kYes};
    cmdClearMem_Click(again);
    EXPECT_TRUE(emu->KeyCodes().empty());
    EXPECT_EQ(emu->BitImageCount(), 0u);
    EXPECT_FALSE(again.unloaded);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    EXPECT_EQ(ui.unexpected_prompts, 0);
    if (!bit_images) {
      EXPECT_EQ(again.lblMemFree, std::to_string(emu->NvRemaining()));
    }
    window.reset();
    PrinterObj.reset();
  }
}

// Rows of a receipt that hold a dark dot, from the top.
std::vector<int> InkedRows(const std::string& png) {
  QImage image(QString::fromStdString(png));
  std::vector<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 128) {
        rows.push_back(y);
        break;
      }
    }
  }
  return rows;
}

TEST_F(LogoRoadTest, StoredAndNewLogosComeOutOnPaperUnderTheirCaptions) {
  for (uint8_t model : {46, 36, 161, 32, 10}) {
    SCOPED_TRACE(int(model));
    const bool bit_images = model == 32 || model == 10;
    Connect(model);
    LogoWindowState& s = Open();
    const int16_t a = Add(200, 120);
    SetSelected(s.Slot(a), true);
    cmdDwldLogo_Click(s);
    ASSERT_EQ(s.Slot(a).picThumbFrame.tag, bit_images ? "New(00)" : "Logo(00)");
    cmdPrintMemLogos_Click(s);
    const std::string stored = Receipt();
    ASSERT_FALSE(stored.empty());
    const std::vector<int> inked = InkedRows(stored);
    ASSERT_GE(inked.size(), 120u);
    if (!bit_images) {
      // The caption's text rows come first, then a gap, then the 120 rows of the logo.
      EXPECT_LT(inked.front() + 20, inked.back() - 119) << "the logo stands below its caption";
    }

    const int16_t b = Add(160, 500);
    ASSERT_TRUE(SelectTab(s, static_cast<int>(s.tabs.size()) - 1));
    cmdPrintLogo_Click(s);
    const std::string fresh = Receipt();
    ASSERT_FALSE(fresh.empty());
    EXPECT_GE(InkedRows(fresh).size(), 500u) << "all rows of the new logo, in one piece or in bands";
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
    EXPECT_TRUE(IsNewLogoCaption(s.Slot(b).picThumbFrame.tag)) << "printing does not store it";
    EXPECT_EQ(emu->KeyCodes().size() + emu->BitImageCount(), 1u);
    window.reset();
    PrinterObj.reset();
  }
}

// A fault in the middle of a download: the user is told, the printer is released, the window stays
// usable and the printer holds the logo whole or not at all.
TEST_F(LogoRoadTest, FaultInTheMiddleOfADownloadLeavesNoHalfLogo) {
  enum { kDropped = 100 };
  const struct {
    const char* name;
    int fault;  // an EmuFault, or kDropped
  } cases[] = {
      {"cover open", static_cast<int>(emu::EmuFault::kCoverOpen)},
      {"paper out", static_cast<int>(emu::EmuFault::kPaperOut)},
      {"recoverable error", static_cast<int>(emu::EmuFault::kRecoverableError)},
      {"unrecoverable error", static_cast<int>(emu::EmuFault::kUnrecoverableError)},
      {"no answer", static_cast<int>(emu::EmuFault::kMute)},
      {"connection dropped", kDropped},

  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connect(46);
    LogoWindowState& s = Open();
    const int16_t i = Add(560, 600);  // 42 000 bytes of rows: ten receive buffers
    SetSelected(s.Slot(i), true);
    const uint32_t free_before = emu->NvRemaining();
    ui.step = 0.5;  // the waits for a printer that does not answer pass in a few turns
    ui.messages.clear();
    ui.prompts.clear();
    ui.on_do_events = [&, done = false]() mutable {
      if (done || s.progress.value < 100) return;
      done = true;
      if (c.fault == kDropped) {
        tcp.reset();
      } else {
        emu->SetFault(static_cast<emu::EmuFault>(c.fault), true);
      }
    };
    cmdDwldLogo_Click(s);  // every prompt is answered Cancel
    ui.on_do_events = nullptr;
    ui.step = 0.01;
    EXPECT_FALSE(ui.messages.empty() && ui.prompts.empty()) << "the user is told";
    EXPECT_FALSE(s.busy || s.progress.visible) << "the window is usable";
    EXPECT_EQ(s.Slot(i).picThumbFrame.tag, "New(00)");
    // The printer is back to normal and nobody holds it: another client claims it and finds no logo.
    if (c.fault == kDropped) {
      std::string error;
      tcp = emu::EmuTcpServer::Start(emu, "127.0.0.1", 0, error);
      ASSERT_TRUE(tcp);
    } else {
      emu->SetFault(static_cast<emu::EmuFault>(c.fault), false);
    }
    emu->WaitIdle(2000);
    // Data that reached the printer whole may still be stored once it is back; a cut-off one never.
    const std::vector<std::string> keys = emu->KeyCodes();
    EXPECT_TRUE(keys.empty() || (keys == std::vector<std::string>{"00"} &&
                                 free_before - emu->NvRemaining() == 70u * 600 + 11))
        << "no half logo";
    window.reset();
    if (c.fault != kDropped) ExpectClaimable("Counter");
    PrinterObj.reset();
  }
}

TEST_F(LogoRoadTest, RasterBytesThatLookLikeStatusRequestsAreStoredWhole) {
  Connect(46);
  LogoWindowState& s = Open();
  // Every row is the bytes 16 4 1 (DLE EOT 1): black dots 3, 13 and 23 on white.
  const int16_t i = Add(24, 40, [](int x, int) { return x == 3 || x == 13 || x == 23 ? 0u : 0xFFFFFFu; });
  SetSelected(s.Slot(i), true);
  const uint32_t free_before = emu->NvRemaining();
  cmdDwldLogo_Click(s);
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
  EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"00"});
  EXPECT_EQ(free_before - emu->NvRemaining(), 3u * 40 + 11);
  EXPECT_EQ(s.Slot(i).picThumbFrame.tag, "Logo(00)");
}

TEST_F(LogoRoadTest, MemoryThatFilledUpMeanwhileKeepsTheLogoNewAndSaysWhy) {
  Connect(46);
  LogoWindowState& s = Open();
  const int16_t i = Add(560, 400);  // 28 011 bytes
  SetSelected(s.Slot(i), true);
  // Another client fills the memory after this window read its figures: about 12 000 bytes stay free.
  {
    std::shared_ptr<PrinterObject> other = NamedPrinter("Counter");
    ASSERT_EQ(other->ClaimPrinter(), kResultOk);
    const int rows = static_cast<int>((emu->NvRemaining() - 12000 - 11) / 500);
    Bytes define = DefineLogo("ZZ", 4000, rows, 0x55);
    define += B({0x1d, 0x49, 0x01});  // answered once the printer has stored it
    int32_t written = 0, count = 0;
    ASSERT_EQ(other->WriteData(define, static_cast<int32_t>(define.size()), written, kWriteOrdinary),
              kResultOk);
    std::string reply(1, ' ');
    ASSERT_EQ(other->ReadData(reply, 1, count), kResultOk);
    other->ReleasePrinter();
  }
  cmdDwldLogo_Click(s);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0],
            "The printer did not store New(00): its memory is full.\r\nDelete logos to make room, "
            "then download it again.");
  EXPECT_EQ(s.Slot(i).picThumbFrame.tag, "New(00)");
  EXPECT_EQ(s.tabs.size(), 2u) << "its page stays";
  EXPECT_EQ(s.lblMemFree, std::to_string(emu->NvRemaining()));
  EXPECT_FALSE(s.busy);
}

// Faults during a delete, a clear and a print: the user is told, the printer is released, and the
// window closes (a wait given up, a close request) or stays usable as each operation has it.
TEST_F(LogoRoadTest, FaultsDuringDeleteClearAndPrint) {
  enum Op { kDelete, kClear, kPrintNew, kPrintStored };
  const struct {
    const char* name;
    Op op;
    emu::EmuFault fault;
    bool when_printing;  // the fault comes once the key list is read, and the user then closes the window
    bool closed;
  } cases[] = {
      {"delete, cover open", kDelete, emu::EmuFault::kCoverOpen, false, true},
      {"delete, no answer", kDelete, emu::EmuFault::kMute, false, true},
      {"clear, cover open", kClear, emu::EmuFault::kCoverOpen, false, true},
      {"print new logo, cover open", kPrintNew, emu::EmuFault::kCoverOpen, false, false},
      {"print stored logos, cover opened before the job, window closed", kPrintStored,
       emu::EmuFault::kCoverOpen, true, true},
      {"print stored logos, paper out", kPrintStored, emu::EmuFault::kPaperOut, false, false},
      {"print stored logos, unrecoverable error", kPrintStored, emu::EmuFault::kUnrecoverableError, false,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connect(46);
    LogoWindowState& s = Open();
    const int16_t a = Add(64, 32);
    SetSelected(s.Slot(a), true);
    cmdDwldLogo_Click(s);
    ASSERT_EQ(emu->KeyCodes(), std::vector<std::string>{"00"});
    const int16_t b = Add(64, 32);
    ui.messages.clear();
    ui.prompts.clear();
    // Yes to the question of a delete or clear; every other prompt is answered Cancel.
    if (c.op == kDelete || c.op == kClear) ui.answers = {MsgBoxResult::kYes};
    ui.step = 0.5;
    // The print job waits for the printer: after 20 turns the user asks to close the window.
    int waited = 0;
    auto hooked = std::make_shared<ForwardingPrinter>(PrinterObj);
    hooked->after = [&](const char* op, int32_t) {
      if (c.when_printing && std::string(op) == "ReadReply") emu->SetFault(c.fault, true);
    };
    PrinterObj = hooked;
    ui.on_do_events = [&] {
      if (c.when_printing && emu->FaultOn(c.fault) && ++waited == 20) {
        EXPECT_FALSE(QueryUnload(s)) << "refused while the job runs";
      }
    };
    if (!c.when_printing) emu->SetFault(c.fault, true);
    switch (c.op) {
      case kDelete:
        cmdDelLogo_Click(s);
        break;
      case kClear:
        cmdClearMem_Click(s);
        break;
      case kPrintNew:
        ASSERT_TRUE(SelectTab(s, 1));
        cmdPrintLogo_Click(s);
        break;
      case kPrintStored:
        cmdPrintMemLogos_Click(s);
        break;
    }
    ui.on_do_events = nullptr;
    ui.step = 0.01;
    EXPECT_TRUE(!ui.messages.empty() || !ui.prompts.empty() || c.when_printing) << "the user is told";
    if (c.when_printing) {
      EXPECT_GE(waited, 20);
      EXPECT_TRUE(s.EndReq);
    }
    EXPECT_EQ(s.unloaded, c.closed);
    if (!c.closed) {
      EXPECT_FALSE(s.busy || s.progress.visible);
      EXPECT_TRUE(s.Slot(b).picThumbFrame.visible);
    }
    emu->SetFault(c.fault, false);
    emu->WaitIdle(3000);
    const std::vector<std::string> keys = emu->KeyCodes();
    EXPECT_TRUE(keys.empty() || keys == std::vector<std::string>{"00"});
    ExpectClaimable("Counter");
    window.reset();
    PrinterObj.reset();
  }
}

}  // namespace
}  // namespace zelta::test
