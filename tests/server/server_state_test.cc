// What zelta-server holds, without the network: objects and leases, a client's session on a scripted
// printer, its send queue on a scripted port, the printers it opens (the rest: remote_objects_test).
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "server/object_table.h"
#include "server/printer_session.h"
#include "server/send_queue.h"
#include "server/served_objects.h"
#include "shared/result_codes.h"
#include "support/scripted_printer.h"

namespace zelta {
namespace {

using test::ScriptedPrinter;
using namespace std::chrono_literals;
using namespace std::string_literals;

struct Counter {
  explicit Counter(int* alive) : alive_(alive) { ++*alive_; }
  ~Counter() { --*alive_; }
  int* alive_;
};
struct Other {};

const std::string kMe = "client-a", kOther = "client-b";

TEST(ObjectTable, ObjectsAreFoundByIdTypeAndClientUnderRandomIds) {
  ObjectTable table(1000ms, 4096, 4096);
  int alive = 0;
  ObjectId a = table.Add(std::make_shared<Counter>(&alive), kMe);
  ObjectId b = table.Add(std::make_shared<Other>(), kMe);
  ASSERT_EQ(a.size(), kObjectIdBytes);
  EXPECT_NE(a, b);
  ObjectId near = a;
  near.back() ^= 1;
  // Another client that knows the id can neither use, renew nor drop the object.
  EXPECT_EQ(table.Renew({a}, kOther), std::vector<ObjectId>{a});  // answered like an unknown id
  table.Drop(a, kOther);
  EXPECT_EQ((std::vector<bool>{!!table.Begin<Counter>(a, kMe), !!table.Begin<Other>(a, kMe),
                               !!table.Begin<Counter>(b, kMe), !!table.Begin<Counter>(near, kMe),
                               !!table.Begin<Counter>(a, kOther)}),
            (std::vector<bool>{true, false, false, false, false}));
  EXPECT_EQ(alive, 1);
  // Ids are random: no shared structure between neighbours.
  std::set<std::string> prefixes;
  for (int i = 0; i < 200; ++i) prefixes.insert(table.Add(std::make_shared<Other>(), kOther).substr(0, 2));
  EXPECT_GT(prefixes.size(), 190u);
}

TEST(ObjectTable, FullTableAndFullClientShareTakeNoMore) {
  ObjectTable table(1000ms, 3, 2);
  int alive = 0;
  std::vector<ObjectId> ids;
  std::string taken;  // + for each object taken, - for each refused; the second is dropped before the last
  for (const std::string& client : {kMe, kMe, kMe, kOther, "c"s, kMe}) {
    if (ids.size() == 5) table.Drop(ids[1], kMe);
    ids.push_back(table.Add(std::make_shared<Counter>(&alive), client));
    taken += ids.back().empty() ? '-' : '+';
  }
  // My share of two is full at the third, the table of three at the fifth; the refused ones are gone.
  EXPECT_EQ(taken + " alive " + std::to_string(alive), "++-+-+ alive 3");
}

TEST(ObjectTable, LeasesRunOutUnlessRenewedOrInUse) {
  ObjectTable table(100ms);
  int alive = 0;
  ObjectId kept = table.Add(std::make_shared<Counter>(&alive), kMe);
  ObjectId lost = table.Add(std::make_shared<Counter>(&alive), kMe);
  EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 50ms), 0u);
  std::this_thread::sleep_for(60ms);
  EXPECT_TRUE(table.Renew({kept}, kMe).empty());
  // lost is 120 ms old by then, kept 60 ms.
  EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 60ms), 1u);
  EXPECT_EQ(std::pair(!!table.Begin<Counter>(lost, kMe), alive), std::pair(false, 1));
  EXPECT_EQ(table.Renew({kept, lost}, kMe), std::vector<ObjectId>{lost});
  {
    auto use = table.Begin<Counter>(kept, kMe);
    EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 1h), 0u);  // a call in progress holds it
    table.Drop(kept, kMe);  // dropped from the table while the call runs...
    EXPECT_EQ(alive, 1);    // ...but kept until the call ends
  }
  EXPECT_EQ(std::pair(alive, table.size()), std::pair(0, size_t{0}));
}

class PrinterSessionTest : public ::testing::Test {
 protected:
  std::unique_ptr<PrinterSession> Session(uint64_t owner) {
    return std::make_unique<PrinterSession>(port, owner, 700, 800);
  }
  // The session's last error as "number description (source)".
  static std::string Error(PrinterSession& s) {
    PrinterErrorInfo info;
    s.GetLastError(info);
    return std::to_string(info.Number) + " " + info.Description + " (" + info.Source + ")";
  }

  std::unique_ptr<ScriptedPrinter> owned = std::make_unique<ScriptedPrinter>();
  ScriptedPrinter* printer = owned.get();
  std::shared_ptr<PrinterPort> port =
      std::make_shared<PrinterPort>("Receipt", "emu:36", "emu:36", 1, std::move(owned));
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
  EXPECT_EQ(Error(*b),
            std::to_string(kResultClaimedElsewhere) +
                " The printer Receipt on emu:36 is claimed by another client. Try again when it is "
                "released. (ZeltaServer.Printer)");
  EXPECT_EQ(a->ReleasePrinter(), kResultOk);
  EXPECT_EQ(b->ClaimPrinter(), kResultOk);
  EXPECT_EQ(port->owner(), 2u);
  b.reset();  // an ended session releases its claim
  EXPECT_EQ(printer->releases, 2);
  EXPECT_EQ(a->ClaimPrinter(), kResultOk);
}

TEST_F(PrinterSessionTest, PrinterCallsNeedTheClaimThenReachThePortWithTheSessionsTimeoutsAndItsFailures) {
  auto a = Session(1);
  int32_t written = 0, count = 0, v = 0, mode = 1, value = 0;
  std::string buffer;
  EXPECT_EQ((std::vector<int32_t>{a->WriteData("abc", 3, written, 1), a->ReadData(buffer, 1, count),
                                  a->ReadReply(buffer, count, 0), a->GetBusyState(v),
                                  a->GetPrinterState(v, mode), a->ClearInput(), a->ClearOutput()}),
            std::vector<int32_t>(7, kResultNotClaimed));
  EXPECT_EQ(Error(*a).rfind(std::to_string(kResultNotClaimed) + " ", 0), 0u);
  EXPECT_EQ(a->ReleasePrinter(), kResultOk);  // releasing what is not held is harmless, as on the port
  EXPECT_TRUE(printer->calls.empty());
  // What describes the session needs no claim.
  EXPECT_EQ((std::vector<int32_t>{a->GetDeviceKind(v), a->GetDeviceDescription(buffer)}),
            std::vector<int32_t>(2, kResultOk));
  EXPECT_EQ(std::to_string(v) + " " + buffer, "1 Receipt on emu:36");

  EXPECT_EQ(a->PutReadTimeout(50), kResultOk);  // kept until the claim
  EXPECT_TRUE(printer->read_timeouts_put.empty());
  ASSERT_EQ(a->ClaimPrinter(), kResultOk);
  EXPECT_EQ(a->PutWriteTimeout(200), kResultOk);
  a->GetWriteTimeout(value);
  EXPECT_EQ(std::tuple(printer->read_timeouts_put, printer->write_timeouts_put, value),
            std::tuple(std::vector<int32_t>{50}, std::vector<int32_t>{800, 200}, 200));
  EXPECT_EQ(a->WriteData("\x1dI\x01xyz", 3, written, kWriteRealTime), kResultOk);
  printer->QueueByte(36);
  buffer.clear();
  EXPECT_EQ(a->ReadData(buffer, 1, count), kResultOk);
  EXPECT_EQ(std::to_string(written) + " " + printer->written + buffer, "3 \x1dI\x01\x24");

  printer->last_error = {kResultTimeout, "No answer from the printer.", "Port emu:36"};
  EXPECT_EQ(a->ReadData(buffer, 1, count), kResultTimeout);
  EXPECT_EQ(Error(*a), std::to_string(kResultTimeout) + " No answer from the printer. (Port emu:36)");

  // Arguments out of range are refused before they reach the port.
  written = 7;
  EXPECT_EQ((std::vector<int32_t>{a->ReadData(buffer, -1, count), a->PutWriteTimeout(700000),
                                  a->WriteData("abc", -1, written, 1), a->WriteData("abc", 4, written, 1)}),
            std::vector<int32_t>(4, kResultBadArgument));
  EXPECT_EQ(std::pair(written, printer->Count("WriteData")), std::pair(0, 1));
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
  // A new script; the sender may be running, and reads it under the lock.
  void Script(std::deque<std::pair<int32_t, int32_t>> next) {
    std::lock_guard<std::mutex> lk(mu);
    script = std::move(next);
  }
};

// Push-back keeps every byte; a stall that lasts is the drain's result until the bytes are discarded.
TEST(SendQueue, APushBackThatLastsKeepsTheBytesUntilDiscarded) {
  ScriptPort port;
  port.script.assign(1000, {kResultPaperOut, 0});
  SendQueue q(4096, port.Fn());
  EXPECT_TRUE(q.Push(Bytes(100, 'p')));
  EXPECT_FALSE(q.Push(Bytes(3997, 'x')));  // beyond the free space: nothing taken
  PrinterErrorInfo error;
  EXPECT_EQ(q.Drain(60, error), kResultPaperOut);
  EXPECT_EQ(error.Description, "scripted " + std::to_string(kResultPaperOut));
  EXPECT_EQ(q.queued(), 100u);
  q.Discard();
  EXPECT_EQ(std::pair(q.progress().done, q.progress().reached), std::pair(uint64_t{100}, uint64_t{0}));
  port.Script({{kResultBusy, 0}, {kResultOk, 10}});
  EXPECT_TRUE(q.Push(Bytes(50, 'y')));
  EXPECT_EQ(q.Drain(2000, error), kResultOk);
  EXPECT_EQ(port.Got(), Bytes(50, 'y'));
  // The stall ends with the bytes taken.
  EXPECT_EQ(std::pair(q.progress().reached, q.progress().stall.Number), std::pair(uint64_t{50}, 0));
}

TEST(SendQueue, AFailureDropsTheRestAndWhatFollowsUntilReported) {
  ScriptPort port;
  port.script = {{kResultOk, 4096}, {kResultPortClosed, 6}};
  SendQueue q(16384, port.Fn());
  EXPECT_TRUE(q.Push(Bytes(10000, 'f')));
  auto until = std::chrono::steady_clock::now() + 2s;
  while (!q.progress().failed && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(std::pair(q.progress().failed, q.progress().failure_seq), std::pair(true, uint64_t{1}));
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
  port.Script({{kResultPortClosed, 0}});
  EXPECT_TRUE(q.Push(Bytes(10, 'z')));
  EXPECT_EQ(q.Drain(2000, error), kResultPortClosed);
  EXPECT_EQ(q.Drain(0, error), kResultOk);
  q.Close();
  EXPECT_FALSE(q.Push(Bytes(1, 'c')));
}

TEST(ServedObjects, PrintersAreOpenedFromTheirSpecsListedAndHandedOut) {
  ServerConfig config;
  config.server_name = "SHOP1";
  config.printers = {{"Receipt", "emu:36", 1}, {"Slip", "serial:/dev/ttyS0:9600", 2}};
  config.net_printers = {{"127.0.0.5", 9100, "Bar", 1}, {"127.0.0.6", 9101, "Bar", 1}};
  std::vector<std::string> specs;
  std::string error;
  // Opens config's printers as scripted ones, refusing the port named refuse.
  auto open = [&](ServerState& state, const std::string& refuse) {
    auto factory = [&specs, refuse](const std::string& spec, int32_t kind,
                                    std::string& why) -> std::unique_ptr<PrinterObject> {
      specs.push_back(spec);
      if (spec == refuse) return why = "bad spec " + spec, nullptr;
      auto p = std::make_unique<ScriptedPrinter>();
      p->device_kind = kind;
      return p;
    };
    return state.Open(config, factory, error);
  };
  ServerState state, refused;
  ASSERT_TRUE(open(state, "")) << error;
  EXPECT_EQ(specs, (std::vector<std::string>{"emu:36", "serial:/dev/ttyS0:9600", "tcp:127.0.0.5:9100",
                                             "tcp:127.0.0.6:9101"}));
  ServerMonitor m(state);
  EXPECT_EQ(m.PrinterCollection(), "emu:36=Receipt\0serial:/dev/ttyS0:9600=Slip\0"s);
  EXPECT_EQ(m.NetPrinterCollection(),
            "127.0.0.5:9100=Bar\0"
            "127.0.0.6:9101=Bar\0"s);
  EXPECT_FALSE(open(refused, "serial:/dev/ttyS0:9600"));
  EXPECT_EQ(error, "printer Slip: bad spec serial:/dev/ttyS0:9600");
  // Net printers of one name are found by their port.
  std::shared_ptr<PrinterSession> s;
  std::string name = "Bar", port = "9101";
  ASSERT_EQ(m.GetPrinter(name, port, s), kResultOk);
  EXPECT_EQ(port, "127.0.0.6");
  EXPECT_EQ(&s->port(), state.catalog.Find("Bar", "9101").get());
  EXPECT_EQ(ServerMonitor::ResultText(kResultOk), "The printer is available.");
  EXPECT_EQ(ServerMonitor::ResultText(kResultClaimedElsewhere),
            "The printer is in use by another client. Try again when it is released.");
  EXPECT_EQ(ServerMonitor::ResultText(0x12345), "Unknown result code 0x00012345.");
}

}  // namespace
}  // namespace zelta
