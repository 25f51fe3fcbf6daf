// "Print all logos" against the virtual printer through the printer object over a port: a cover open is
// waited for, an unrecoverable error stops the job. (What lands on the paper of each model is checked
// through zelta-server in the logo road test.)
#include <gtest/gtest.h>

#include <thread>

#include "browser/configuration.h"
#include "emu_test_util.h"
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
