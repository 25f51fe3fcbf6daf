// One client's session on a printer port of the server, over a scripted printer.
#include "server/printer_session.h"

#include <gtest/gtest.h>

#include "shared/result_codes.h"
#include "support/scripted_printer.h"

namespace zelta {
namespace {

using test::ScriptedPrinter;

class PrinterSessionTest : public ::testing::Test {
 protected:
  PrinterSessionTest() {
    auto p = std::make_unique<ScriptedPrinter>();
    printer = p.get();
    port = std::make_shared<PrinterPort>("Receipt", "emu:36", "emu:36", 1, std::move(p));
  }
  std::unique_ptr<PrinterSession> Session(uint64_t owner) {
    return std::make_unique<PrinterSession>(port, owner, 700, 800);
  }
  static PrinterErrorInfo Error(PrinterSession& s) {
    PrinterErrorInfo info;
    s.GetLastError(info);
    return info;
  }

  ScriptedPrinter* printer;
  std::shared_ptr<PrinterPort> port;
};

TEST_F(PrinterSessionTest, AClaimIsExclusiveUntilReleasedOrTheSessionEnds) {
  auto a = Session(1), b = Session(2);
  printer->claim_results.push_back(kResultPortClosed);
  EXPECT_EQ(a->ClaimPrinter(), kResultPortClosed);
  EXPECT_EQ(port->owner(), 0u);  // a failed port claim leaves the printer free
  EXPECT_EQ(a->ClaimPrinter(), kResultOk);
  printer->claim_results.push_back(kResultPortClosed);
  EXPECT_EQ(a->ClaimPrinter(), kResultOk);  // claiming twice is harmless: the port is not asked again
  EXPECT_EQ(printer->claims, 1);
  printer->claim_results.clear();
  EXPECT_EQ(b->ClaimPrinter(), kResultClaimedElsewhere);
  const PrinterErrorInfo info = Error(*b);
  EXPECT_EQ(info.Number, kResultClaimedElsewhere);
  EXPECT_EQ(info.Description,
            "The printer Receipt on emu:36 is claimed by another client. Try again when it is released.");
  EXPECT_EQ(info.Source, "ZeltaServer.Printer");
  EXPECT_EQ(a->ReleasePrinter(), kResultOk);
  EXPECT_EQ(b->ClaimPrinter(), kResultOk);
  EXPECT_EQ(port->owner(), 2u);
  b.reset();  // an ended session releases its claim
  EXPECT_EQ(printer->releases, 2);
  EXPECT_EQ(a->ClaimPrinter(), kResultOk);
}

TEST_F(PrinterSessionTest, PrinterCallsNeedTheClaim) {
  auto a = Session(1);
  int32_t written = 0, count = 0, v = 0, mode = 1;
  std::string buffer;
  EXPECT_EQ(a->WriteData("abc", 3, written, 1), kResultNotClaimed);
  EXPECT_EQ(a->ReadData(buffer, 1, count), kResultNotClaimed);
  EXPECT_EQ(a->ReadReply(buffer, count, 0), kResultNotClaimed);
  EXPECT_EQ(a->GetBusyState(v), kResultNotClaimed);
  EXPECT_EQ(a->GetPrinterState(v, mode), kResultNotClaimed);
  EXPECT_EQ(a->ClearInput(), kResultNotClaimed);
  EXPECT_EQ(a->ClearOutput(), kResultNotClaimed);
  EXPECT_EQ(Error(*a).Number, kResultNotClaimed);
  EXPECT_EQ(a->ReleasePrinter(), kResultOk);  // releasing what is not held is harmless, as on the port
  EXPECT_TRUE(printer->calls.empty());
  // What describes the session needs no claim.
  EXPECT_EQ(a->GetDeviceKind(v), kResultOk);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(a->GetDeviceDescription(buffer), kResultOk);
  EXPECT_EQ(buffer, "Receipt on emu:36");
}

TEST_F(PrinterSessionTest, CallsReachThePortWithTheSessionsTimeoutsAndItsFailures) {
  auto a = Session(1);
  EXPECT_EQ(a->PutReadTimeout(50), kResultOk);  // kept until the claim
  EXPECT_TRUE(printer->read_timeouts_put.empty());
  ASSERT_EQ(a->ClaimPrinter(), kResultOk);
  EXPECT_EQ(printer->read_timeouts_put, std::vector<int32_t>{50});
  EXPECT_EQ(printer->write_timeouts_put, std::vector<int32_t>{800});
  EXPECT_EQ(a->PutWriteTimeout(200), kResultOk);
  EXPECT_EQ(printer->write_timeouts_put, (std::vector<int32_t>{800, 200}));
  int32_t value = 0, written = 0, count = 0;
  a->GetWriteTimeout(value);
  EXPECT_EQ(value, 200);
  EXPECT_EQ(a->WriteData(std::string("\x1dI\x01xyz", 6), 3, written, kWriteRealTime), kResultOk);
  EXPECT_EQ(written, 3);
  EXPECT_EQ(printer->written, std::string("\x1dI\x01", 3));
  printer->QueueByte(36);
  std::string buffer;
  EXPECT_EQ(a->ReadData(buffer, 1, count), kResultOk);
  EXPECT_EQ(buffer, "\x24");

  printer->last_error = {kResultTimeout, "No answer from the printer.", "Port emu:36"};
  EXPECT_EQ(a->ReadData(buffer, 1, count), kResultTimeout);
  const PrinterErrorInfo info = Error(*a);
  EXPECT_EQ(info.Number, kResultTimeout);
  EXPECT_EQ(info.Description, "No answer from the printer.");
  EXPECT_EQ(info.Source, "Port emu:36");

  // Arguments out of range are refused before they reach the port.
  written = 7;
  EXPECT_EQ(a->WriteData("abc", 4, written, 1), kResultBadArgument);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(a->WriteData("abc", -1, written, 1), kResultBadArgument);
  EXPECT_EQ(a->ReadData(buffer, -1, count), kResultBadArgument);
  EXPECT_EQ(a->PutReadTimeout(-5), kResultBadArgument);
  EXPECT_EQ(a->PutWriteTimeout(700000), kResultBadArgument);
  EXPECT_EQ(printer->Count("WriteData"), 1);
}

}  // namespace
}  // namespace zelta
