// One client's session on a printer port of the server, over a scripted printer; and its send queue
// on its own, with a port that is a script of results.
#include "server/printer_session.h"

#include <gtest/gtest.h>

#include <deque>

#include "server/send_queue.h"
#include "shared/result_codes.h"
#include "support/scripted_printer.h"

namespace zelta {
namespace {

using test::ScriptedPrinter;
using namespace std::chrono_literals;

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

// Takes chunks by a script of (result, bytes taken); all of each and success once the script is used
// up. Everything taken is kept, in order.
struct ScriptPort {
  std::mutex mu;
  std::deque<std::pair<int32_t, int32_t>> script;
  Bytes got;
  SendQueue::WriteFn Fn() {
    return [this](const Bytes& chunk, int32_t& written, PrinterErrorInfo& error) {
      std::lock_guard<std::mutex> lk(mu);
      int32_t result = kResultOk;
      written = static_cast<int32_t>(chunk.size());
      if (!script.empty()) {
        std::tie(result, written) = script.front();
        script.pop_front();
        written = std::min<int32_t>(written, static_cast<int32_t>(chunk.size()));
      }
      got += chunk.substr(0, static_cast<size_t>(written));
      if (result != kResultOk) error = {result, "scripted " + std::to_string(result), "Port"};
      return result;
    };
  }
  Bytes Got() {
    std::lock_guard<std::mutex> lk(mu);
    return got;
  }
};

TEST(SendQueue, TakesUpToItsCapacityAndSendsInOrderThroughPushBack) {
  ScriptPort port;
  port.script = {{kResultBusy, 0}, {kResultTimeout, 10}, {kResultOk, 5000}};
  SendQueue q(8192, port.Fn());
  const Bytes a(5000, 'a'), b(3000, 'b');
  EXPECT_TRUE(q.Push(a));
  EXPECT_FALSE(q.Push(Bytes(8192, 'x')));  // beyond the free space: nothing taken
  EXPECT_TRUE(q.Push(b));
  PrinterErrorInfo error;
  EXPECT_EQ(q.Drain(2000, error), kResultOk);
  EXPECT_EQ(port.Got(), a + b);
  EXPECT_EQ(q.progress().done, 8000u);
  EXPECT_EQ(q.progress().reached, 8000u);
  EXPECT_EQ(q.progress().stall.Number, 0);
}

TEST(SendQueue, AStallThatLastsIsTheDrainsResult) {
  ScriptPort port;
  port.script.assign(1000, {kResultPaperOut, 0});
  SendQueue q(4096, port.Fn());
  EXPECT_TRUE(q.Push(Bytes(100, 'p')));
  PrinterErrorInfo error;
  EXPECT_EQ(q.Drain(60, error), kResultPaperOut);
  EXPECT_EQ(error.Description, "scripted " + std::to_string(kResultPaperOut));
  EXPECT_EQ(q.queued(), 100u);  // kept: push-back drops nothing
  q.Discard();
  EXPECT_EQ(q.Drain(0, error), kResultOk);
  EXPECT_EQ(q.progress().done, 100u);
  EXPECT_EQ(q.progress().reached, 0u);
}

TEST(SendQueue, AFailureDropsTheRestAndWhatFollowsUntilReported) {
  ScriptPort port;
  port.script = {{kResultOk, 4096}, {kResultPortClosed, 6}};
  SendQueue q(16384, port.Fn());
  EXPECT_TRUE(q.Push(Bytes(10000, 'f')));
  auto until = std::chrono::steady_clock::now() + 2s;
  while (!q.progress().failed && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(q.progress().failed);
  EXPECT_EQ(q.progress().failure_seq, 1u);
  EXPECT_EQ(q.progress().failure.Description,
            "scripted " + std::to_string(kResultPortClosed) +
                " 4102 bytes reached the printer; 5898 queued bytes were not sent.");
  EXPECT_TRUE(q.Push(Bytes(50, 'x')));  // dropped: the client has not heard of the failure yet
  EXPECT_EQ(q.queued(), 0u);
  q.Acknowledge(1);
  EXPECT_TRUE(q.Push(Bytes(50, 'y')));
  PrinterErrorInfo error;
  EXPECT_EQ(q.Drain(2000, error), kResultOk);
  EXPECT_EQ(port.Got(), Bytes(4102, 'f') + Bytes(50, 'y'));  // nothing twice, nothing after the gap
  // A failure is the result of the next Drain once, then reported.
  {
    std::lock_guard<std::mutex> lk(port.mu);  // the sender is idle, but reads the script under the lock
    port.script = {{kResultPortClosed, 0}};
  }
  EXPECT_TRUE(q.Push(Bytes(10, 'z')));
  EXPECT_EQ(q.Drain(2000, error), kResultPortClosed);
  EXPECT_EQ(q.Drain(0, error), kResultOk);
  q.Close();
  EXPECT_FALSE(q.Push(Bytes(1, 'c')));
}

}  // namespace
}  // namespace zelta
