// The printer-link routines of the program (RequestReply, CheckRealTimeStatus, SendGraphicsData,
// WaitGraphicsProcessed) end to end against the virtual printer, through the printer object over a
// port. The clock is the scripted one; each yield also lets a millisecond of real time pass, which
// is all the virtual printer needs to answer.
#include <gtest/gtest.h>

#include <thread>

#include "download/send_wait.h"
#include "emu_test_util.h"
#include "link/public_func.h"
#include "memory/nv_commands.h"
#include "printer/emu_port.h"
#include "printer/port_printer.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"
#include "support/fake_form.h"
#include "support/scripted_ui.h"

namespace zelta::test {
namespace {

using emu::EmuFault;

class RoutinesOverPortTest : public ::testing::Test {
 protected:
  RoutinesOverPortTest() : form("LogoForm") {
    ResetPubblicVar();
    CurrentFormName = "LogoForm";
    ui.on_do_events = [] { std::this_thread::sleep_for(std::chrono::microseconds(500)); };
  }
  ~RoutinesOverPortTest() override {
    if (PrinterObj) PrinterObj->ReleasePrinter();
    ResetPubblicVar();
  }
  void Connect(int model) {
    static int serial = 0;
    const std::string spec = "emu:" + std::to_string(model) + ":" + ::testing::TempDir() + "/routines-" +
                             std::to_string(getpid()) + "-" + std::to_string(++serial) + ".nv";
    std::string error;
    printer = SharedVirtualPrinter(spec, error);
    ASSERT_TRUE(printer) << error;
    PrinterObj = std::shared_ptr<PrinterObject>(OpenPortPrinter(spec, kDeviceKindGsI, error));
    ASSERT_TRUE(PrinterObj) << error;
    ASSERT_EQ(PrinterObj->ClaimPrinter(), kResultOk);
    PrinterModelId = static_cast<uint8_t>(model);
  }
  void SendAll(const Bytes& bytes) {
    int32_t result = -1;
    SendGraphicsData(bytes, true, result);
    ASSERT_EQ(result, kResultOk);
  }

  ScriptedUi ui;
  FakeForm form;
  std::shared_ptr<emu::VirtualPrinter> printer;
};

TEST_F(RoutinesOverPortTest, RequestReplyReadsCapacitiesAndTheWholeKeyList) {
  Connect(46);
  Bytes logos;
  for (int i = 0; i < 85; ++i) {
    const std::string key = {static_cast<char>('A' + i / 26), static_cast<char>('a' + i % 26)};
    logos += NvRasterPacket(key, 8, 1, {B({0x80})});
  }
  SendAll(logos);
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdNvCapacity(), info, 0), "393216");
  EXPECT_EQ(info.Number, kResultOk);
  EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), std::to_string(393216 - 85 * 12));
  const Bytes keys = RequestReply(CmdKeyCodeList(), info, 1);
  EXPECT_EQ(info.Number, kResultOk);
  ASSERT_EQ(keys.size(), 170u);
  EXPECT_EQ(keys.substr(0, 4), "AaAb");
  EXPECT_EQ(keys.substr(166), "DfDg");
  EXPECT_TRUE(ui.prompts.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RoutinesOverPortTest, CheckRealTimeStatusReadsEachFault) {
  Connect(46);
  EXPECT_EQ(CheckRealTimeStatus(), kRtReady);
  EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
  printer->SetFault(EmuFault::kCoverOpen, true);
  EXPECT_EQ(CheckRealTimeStatus(), kRtWaiting);
  EXPECT_EQ(form.StatusPanelText(1), "Cover open. Waiting...");
  printer->SetFault(EmuFault::kCoverOpen, false);
  printer->SetFault(EmuFault::kPaperOut, true);
  EXPECT_EQ(CheckRealTimeStatus(), kRtWaiting);
  EXPECT_EQ(form.StatusPanelText(1), "Printing is being stopped due to paper end. Waiting...");
  printer->SetFault(EmuFault::kPaperOut, false);
  printer->SetFault(EmuFault::kOffline, true);
  EXPECT_EQ(CheckRealTimeStatus(), kRtWaiting);
  EXPECT_EQ(form.StatusPanelText(1), "Unknown offline status...");
  printer->SetFault(EmuFault::kOffline, false);
  printer->SetFault(EmuFault::kUnrecoverableError, true);
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(form.StatusPanelText(1), "Unrecoverable printer error. Please check printer...");
  printer->SetFault(EmuFault::kUnrecoverableError, false);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RoutinesOverPortTest, RecoverableErrorIsClearedByTheRecoveryRequest) {
  Connect(46);
  printer->SetFault(EmuFault::kRecoverableError, true);
  EXPECT_EQ(CheckRealTimeStatus(), kRtRecovering);  // DLE ENQ 1 sent
  EXPECT_EQ(ErrorRecoveryStep, 1);
  EXPECT_FALSE(printer->FaultOn(EmuFault::kRecoverableError));
  EXPECT_EQ(CheckRealTimeStatus(), kRtReady);
  EXPECT_EQ(ErrorRecoveryStep, 0);
}

TEST_F(RoutinesOverPortTest, DownloadOfALogoIsStoredAndConfirmed) {
  Connect(46);
  const Bytes packet = NvRasterPacket("03", 576, 120, {Plane(576, 120, 0xC3)});
  // As the download sends it: header, colour byte, then one write per row.
  SendAll(packet.substr(0, 17));
  SendAll(packet.substr(17, 1));
  for (int row = 0; row < 120; ++row) {
    int32_t result = -1;
    SendGraphicsData(packet.substr(18 + row * 72, 72), false, result);
    ASSERT_EQ(result, kResultOk) << row;
  }
  PrinterErrorInfo info;
  int32_t result = -1;
  WaitGraphicsProcessed(info, result);
  EXPECT_EQ(result, kResultOk);
  EXPECT_EQ(printer->KeyCodes(), std::vector<std::string>{"03"});
  EXPECT_EQ(printer->NvRemaining(), 393216u - 8651u);
  EXPECT_TRUE(ui.prompts.empty());
}

TEST_F(RoutinesOverPortTest, SendWaitsWhileTheCoverIsOpenAndGoesOnWhenClosed) {
  Connect(46);
  ASSERT_EQ(PrinterObj->PutWriteTimeout(50), kResultOk);
  printer->SetFault(EmuFault::kCoverOpen, true);
  int yields = 0;
  ui.on_do_events = [&] {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    if (++yields == 60) printer->SetFault(EmuFault::kCoverOpen, false);
  };
  const Bytes packet = NvRasterPacket("C1", 576, 120, {Plane(576, 120, 0x3C)});
  int32_t result = -1;
  SendGraphicsData(packet, true, result);
  EXPECT_EQ(result, kResultOk);
  EXPECT_GE(yields, 60);
  EXPECT_EQ(form.PanelHistory(1).front(), "Cover open. Waiting...");
  EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
  PrinterErrorInfo info;
  WaitGraphicsProcessed(info, result);
  EXPECT_EQ(result, kResultOk);
  EXPECT_EQ(printer->KeyCodes(), std::vector<std::string>{"C1"});
}

TEST_F(RoutinesOverPortTest, WaitGivesUpOnAMutePrinterAfterEightSeconds) {
  Connect(46);
  printer->SetFault(EmuFault::kMute, true);
  ui.step = 1.0;  // the clock runs fast: eight seconds pass in eight polls
  ui.answers = {MsgBoxResult::kCancel};
  PrinterErrorInfo info;
  int32_t result = -1;
  WaitGraphicsProcessed(info, result);
  EXPECT_EQ(result, kResultTimeout);
  ASSERT_EQ(ui.prompts.size(), 1u);
  EXPECT_EQ(ui.prompts[0].text.substr(0, 52), "Timeout waiting for graphics data to be processed...");
}

}  // namespace
}  // namespace zelta::test
