// "Print all logos" and "Print logo" end to end against the virtual printer through the printer object
// over a port: what lands on its paper, and the printer's faults on the way.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "browser/configuration.h"
#include "download/print_logo.h"
#include "emu_test_util.h"
#include "image/logo_slots.h"
#include "memory/logo_window.h"
#include "memory/print_stored.h"
#include "printer/emu_port.h"
#include "printer/port_printer.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"
#include "support/scripted_ui.h"

namespace zelta::test {
namespace {

using emu::EmuFault;

// Height in dots of a receipt's PNG (from its IHDR chunk); 0 when the file is not one.
uint32_t PngHeight(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string png(std::istreambuf_iterator<char>(in), {});
  if (png.size() < 24 || png.substr(12, 4) != "IHDR") return 0;
  return (uint32_t{At(png, 20)} << 24) | (uint32_t{At(png, 21)} << 16) | (At(png, 22) << 8) | At(png, 23);
}

class PrintOverPortTest : public ::testing::Test {
 protected:
  PrintOverPortTest() {
    ResetPubblicVar();
    InitProgramPaths("/nonexistent/zelta/Logo");
    SetStartFormShower(nullptr);
    ui.on_do_events = [this] {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      if (on_yield) on_yield();
    };
  }
  ~PrintOverPortTest() override { ResetPubblicVar(); }

  LogoWindowState& Open(int model) {
    static int serial = 0;
    paper_dir = FreshDir("print-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    const std::string spec = "emu:" + std::to_string(model) + "::" + paper_dir;
    std::string error;
    printer = SharedVirtualPrinter(spec, error);
    EXPECT_TRUE(printer) << error;
    PrinterObj = std::shared_ptr<PrinterObject>(OpenPortPrinter(spec, kDeviceKindGsI, error));
    EXPECT_TRUE(PrinterObj) << error;
    PrinterModelId = static_cast<uint8_t>(model);
    window = std::make_unique<LogoWindow>();
    SetHourglass(window->state, false);
    return window->state;
  }
  // A selected new logo's page: a black bar 8 dots wide down the left of a 64-dot wide preview.
  void NewLogo(LogoWindowState& s, int h) {
    const int16_t i = AllocateLogoSlot(s);
    PictureBox& p = s.Slot(i).picPreview;
    p.inner_w = 64;
    p.inner_h = h;
    p.picture = CreateDib24(64, h);
    FillDib(*p.picture, 255, 255, 255);
    for (int y = 0; y < h; ++y) std::fill_n(p.picture->Row(y), 3 * 8, 0);
    s.Slot(i).cmbColor.items = {{"Black and white", 2}};
    s.Slot(i).cmbColor.selected = 0;
    s.tabs.push_back(Tab{"New(00)", "New(00)", i});
    s.selected_tab = 1;
  }
  // The printer is free again: a new claim succeeds.
  void ExpectReleased() {
    EXPECT_EQ(PrinterObj->ClaimPrinter(), kResultOk);
    EXPECT_EQ(PrinterObj->ReleasePrinter(), kResultOk);
  }

  ScriptedUi ui;
  std::function<void()> on_yield;
  std::string paper_dir;
  std::shared_ptr<emu::VirtualPrinter> printer;
  std::unique_ptr<LogoWindow> window;
};

TEST_F(PrintOverPortTest, StoredLogosPrintUnderTheirCaptionsOnOneReceipt) {
  LogoWindowState& s = Open(46);
  Send(*printer, NvRasterPacket("A1", 64, 100, {Plane(64, 100, 0xFF)}) +
                     NvRasterPacket("B2", 64, 120, {Plane(64, 120, 0x0F)}));
  cmdPrintMemLogos_Click(s);
  EXPECT_TRUE(ui.prompts.empty());
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_TRUE(printer->WaitIdle(2000));
  const auto files = printer->PaperFiles();
  ASSERT_EQ(files.size(), 1u) << "one cut after the last logo";
  EXPECT_GE(PngHeight(files[0]), 220u + 3 * 24u) << "two captions, a blank line and both logos";
  EXPECT_EQ(printer->KeyCodes(), (std::vector<std::string>{"A1", "B2"}));
  ExpectReleased();
}

TEST_F(PrintOverPortTest, NewLogoPrintsInBandsOrAsOneImage) {
  for (int model : {46, 161}) {
    SCOPED_TRACE(model);
    LogoWindowState& s = Open(model);
    NewLogo(s, 1000);
    cmdPrintLogo_Click(s);
    EXPECT_TRUE(ui.prompts.empty());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_TRUE(printer->WaitIdle(2000));
    // Model 161 feeds nine lines instead of cutting: the receipt is still on the roll.
    const std::string receipt = model == 161 ? printer->TearOff() : printer->PaperFiles().at(0);
    EXPECT_GE(PngHeight(receipt), 1000u);
    EXPECT_FALSE(s.busy || s.progress.visible);
    ExpectReleased();
  }
}

TEST_F(PrintOverPortTest, ACoverOpenIsWaitedForAndAnUnrecoverableErrorStopsThePrint) {
  LogoWindowState& s = Open(32);
  Send(*printer, NvBitImagePacket({{1, 1, Bytes(8, static_cast<char>(0xFF))}}));
  printer->SetFault(EmuFault::kCoverOpen, true);
  int yields = 0;
  on_yield = [&] {
    if (++yields == 100) printer->SetFault(EmuFault::kCoverOpen, false);
  };
  cmdPrintMemLogos_Click(s);
  EXPECT_GE(yields, 100);
  EXPECT_TRUE(ui.prompts.empty());
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_TRUE(printer->WaitIdle(2000));
  EXPECT_EQ(printer->PaperFiles().size(), 1u);
  ExpectReleased();

  printer->SetFault(EmuFault::kUnrecoverableError, true);
  cmdPrintMemLogos_Click(s);
  EXPECT_EQ(s.panels[0], "Unrecoverable printer error. Please check printer...");
  EXPECT_EQ(s.panels[1], "Ready...");
  EXPECT_FALSE(s.unloaded || s.busy);
  printer->SetFault(EmuFault::kUnrecoverableError, false);
  EXPECT_EQ(printer->PaperFiles().size(), 1u) << "nothing more printed";
  ExpectReleased();
}

}  // namespace
}  // namespace zelta::test
