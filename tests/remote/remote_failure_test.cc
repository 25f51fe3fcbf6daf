// What the client sees when machines do not answer, servers vanish and clients die.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "remote_fixture.h"
#include "server/server_list_store.h"

namespace zelta::test {
namespace {

using namespace std::chrono_literals;

class RemoteFailureTest : public RemoteTest {
 protected:
  RemoteFailureTest() { settings.connect_timeout_ms = 700; }
};

// A loopback port on which something listens and accepts but never speaks.
class SilentListener {
 public:
  SilentListener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd_, reinterpret_cast<sockaddr*>(&a), len);
    listen(fd_, 16);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~SilentListener() { close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A loopback port that nobody listens on.
int ClosedPort() {
  SilentListener l;
  return l.port();  // closed again when l goes
}

TEST_F(RemoteFailureTest, AMachineThatDoesNotAnswerFailsWithinTheBound) {
  Created refused = CreateAndWait(settings, kProgIdMonitor, "127.0.0.1:" + std::to_string(ClosedPort()));
  EXPECT_EQ(refused.object, nullptr);
  EXPECT_EQ(refused.error.Number, kResultUnreachable);
  EXPECT_LT(refused.took, 2500ms);

  SilentListener silent;
  Created c = CreateAndWait(settings, kProgIdMonitor, "127.0.0.1:" + std::to_string(silent.port()));
  EXPECT_EQ(c.object, nullptr);
  EXPECT_EQ(c.error.Number, kResultUnreachable);
  EXPECT_EQ(c.error.Description, "The machine 127.0.0.1:" + std::to_string(silent.port()) +
                                     " does not answer: no zelta-server reached on port " +
                                     std::to_string(silent.port()) + " within 700 ms.");
  EXPECT_EQ(c.error.Source, "ZeltaWorker.CreateObj");
  EXPECT_GE(c.took, 600ms);
  EXPECT_LT(c.took, 2500ms);
}

TEST_F(RemoteFailureTest, AFactoryRunsOneCreationAtATime) {
  SilentListener silent;
  settings.connect_timeout_ms = 300;
  auto factory = MakeGrpcCreateObj(settings);
  int completions = 0;
  factory->OnComplete = [&] { ++completions; };
  const std::string machine = "127.0.0.1:" + std::to_string(silent.port());
  ASSERT_EQ(factory->CreateRemote(kProgIdMonitor, machine), kResultOk);
  EXPECT_EQ(factory->CreateRemote(kProgIdMonitor, machine), kResultBusy);
  auto until = std::chrono::steady_clock::now() + 5s;
  while (completions == 0 && std::chrono::steady_clock::now() < until) factory->DeliverEvents();
  factory->DeliverEvents();
  EXPECT_EQ(completions, 1);  // raised once, for the creation that ran
  PrinterErrorInfo info;
  int32_t result = 0;
  factory->GetLastError(info, result);
  EXPECT_EQ(info.Number, kResultUnreachable);
  // Once it has ended the factory takes the next one.
  EXPECT_EQ(factory->CreateRemote(kProgIdMonitor, "no-such-machine.invalid"), kResultOk);
  while (completions == 1 && std::chrono::steady_clock::now() < until) factory->DeliverEvents();
  EXPECT_EQ(completions, 2);
}

TEST_F(RemoteFailureTest, ANameThatDoesNotResolveFails) {
  Created c = CreateAndWait(settings, kProgIdMonitor, "no-such-machine.invalid");
  EXPECT_EQ(c.object, nullptr);
  EXPECT_EQ(c.error.Number, kResultUnreachable);
  EXPECT_EQ(c.error.Description.rfind("The name no-such-machine.invalid ", 0), 0u) << c.error.Description;
  EXPECT_LT(c.took, 2500ms);
}

TEST_F(RemoteFailureTest, ABadMachineNameFailsAtOnce) {
  Created c = CreateAndWait(settings, kProgIdMonitor, "SHOP1:99999");
  EXPECT_EQ(c.error.Number, kResultBadArgument);
  EXPECT_EQ(c.error.Description, "The machine name SHOP1:99999 has a bad port number.");
}

TEST_F(RemoteFailureTest, CallsAfterTheServerStoppedFailWithADescription) {
  StartServer(ShopConfig());
  auto monitor = Monitor();
  auto printer = ReceiptPrinter();
  ASSERT_TRUE(monitor && printer);
  ASSERT_EQ(printer->ClaimPrinter(), kResultOk);
  StopServer();
  std::string list;
  int32_t result = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(monitor->GetPrinterCollection(list, result), kResultPortClosed);
  int32_t written = 0;
  EXPECT_EQ(printer->WriteData("abc", 3, written, kWriteOrdinary), kResultPortClosed);
  EXPECT_EQ(written, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  PrinterErrorInfo info;
  printer->GetLastError(info);
  EXPECT_EQ(info.Number, kResultPortClosed);
  EXPECT_EQ(info.Description.rfind("The connection to the server on " + Machine() + " was lost", 0), 0u)
      << info.Description;
  EXPECT_EQ(info.Source, "ZeltaServer.Printer");
}

TEST_F(RemoteFailureTest, ACallThatOutlivesItsDeadlineFails) {
  ServerConfig c = ShopConfig();
  c.write_timeout_ms = 100;  // the printer object promises an answer within 100 ms...
  c.read_timeout_ms = 100;
  StartServer(c);
  ports.Printer("emu:36")->on_write = [](const Bytes&, int32_t) {
    std::this_thread::sleep_for(std::chrono::milliseconds(900));  // ...and breaks the promise
  };
  settings.call_timeout_ms = 300;
  auto printer = ReceiptPrinter();
  ASSERT_NE(printer, nullptr);
  ASSERT_EQ(printer->ClaimPrinter(), kResultOk);
  int32_t written = 0;
  // Queued at once; the port then takes 900 ms over it, holding up the real-time request behind.
  EXPECT_EQ(printer->WriteData("late", 4, written, kWriteOrdinary), kResultOk);
  std::this_thread::sleep_for(50ms);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(printer->WriteData(B({0x10, 0x04, 0x01}), 3, written, kWriteRealTime), kResultUnreachable);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 800ms);
  PrinterErrorInfo info;
  printer->GetLastError(info);
  EXPECT_EQ(info.Description, "The server on " + Machine() + " did not answer within 400 ms.");
}

TEST_F(RemoteFailureTest, ObjectsOfAServerThatRestartedAreUnknownToIt) {
  StartServer(ShopConfig());
  auto monitor = Monitor();
  StopServer();
  StartServer(ShopConfig());
  std::string list;
  int32_t result = 0;
  // The channel reconnects by itself; the old id means nothing to the new server.
  auto until = std::chrono::steady_clock::now() + 5s;
  do {
    monitor->GetPrinterCollection(list, result);
    if (result != kResultPortClosed) break;
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < until);
  EXPECT_EQ(result, kResultNotFound);
  PrinterErrorInfo info;
  monitor->GetLastError(info, result);
  EXPECT_EQ(info.Description,
            "The server no longer knows this object (its lease ran out or the server restarted).");
}

TEST_F(RemoteFailureTest, AClaimOfAKilledClientEndsWithItsLease) {
  ServerConfig c = ShopConfig();
  c.lease_ms = 500;
  StartServer(c);
  Child child;
  ASSERT_TRUE(child.Start(ZELTA_REMOTE_HELPER, {"claim", Machine(), "Receipt", "emu:36"}));
  std::string line;
  ASSERT_TRUE(child.ReadLine(line, 10s));
  ASSERT_EQ(line, "claimed");

  auto printer = ReceiptPrinter();
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(printer->ClaimPrinter(), kResultClaimedElsewhere);
  std::this_thread::sleep_for(800ms);  // longer than the lease: the living child keeps it renewed
  EXPECT_EQ(printer->ClaimPrinter(), kResultClaimedElsewhere);

  child.Kill();
  auto killed = std::chrono::steady_clock::now();
  int32_t result;
  while ((result = printer->ClaimPrinter()) == kResultClaimedElsewhere &&
         std::chrono::steady_clock::now() - killed < 3s) {
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(result, kResultOk);
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 1500ms);
  EXPECT_EQ(ports.Printer("emu:36")->releases, 1);  // the dead client's claim was released on the port
}

TEST_F(RemoteFailureTest, AServerKilledDuringAWriteGivesAFailureInTime) {
  Child child;
  ASSERT_TRUE(child.Start(ZELTA_REMOTE_HELPER, {"serve"}));
  std::string line;
  ASSERT_TRUE(child.ReadLine(line, 10s));
  ASSERT_EQ(line.rfind("port ", 0), 0u) << line;
  std::string machine = "127.0.0.1:" + line.substr(5);

  Created created = CreateAndWait(settings, kProgIdMonitor, machine);
  ASSERT_NE(created.monitor(), nullptr) << created.error.Description;
  std::string name = "Slow", port = "emu:slow";
  std::shared_ptr<PrinterObject> printer;
  ASSERT_EQ(created.monitor()->GetPrinter(name, port, printer), kResultOk);
  ASSERT_EQ(printer->ClaimPrinter(), kResultOk);

  std::thread killer([&] {
    std::this_thread::sleep_for(300ms);
    child.Kill();
  });
  // The write is queued at once; the read behind it waits for the port and sees the server go.
  int32_t written = -1, count = 0;
  EXPECT_EQ(printer->WriteData("never ends", 10, written, kWriteOrdinary), kResultOk);
  EXPECT_EQ(written, 10);
  auto start = std::chrono::steady_clock::now();
  std::string buffer = " ";
  int32_t result = printer->ReadData(buffer, 1, count);
  auto took = std::chrono::steady_clock::now() - start;
  killer.join();
  EXPECT_EQ(result, kResultPortClosed);
  EXPECT_EQ(count, 0);
  EXPECT_GE(took, 200ms);
  EXPECT_LT(took, 2500ms);  // well inside the call's deadline of write time-out + call time-out
  PrinterErrorInfo info;
  printer->GetLastError(info);
  EXPECT_NE(info.Description.find("was lost"), std::string::npos) << info.Description;
}

TEST_F(RemoteFailureTest, AServerListWriterKilledMidWriteLeavesAWholeList) {
  std::string dir = MakeTempDir(), path = dir + "/servers.txt";
  for (int round = 0; round < 4; ++round) {
    Child child;
    ASSERT_TRUE(child.Start(ZELTA_REMOTE_HELPER, {"churn", path}));
    std::string line;
    ASSERT_TRUE(child.ReadLine(line, 10s));
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + 15 * round));
    child.Kill();
    // Whatever moment the kill hit, the list is SRV0, SRV1, ... without a gap or a broken name.
    ServerListStore store(path);
    std::string error;
    ASSERT_TRUE(store.Load(error)) << error;
    std::vector<std::string> names = store.Names();
    ASSERT_FALSE(names.empty());
    for (size_t i = 0; i < names.size(); ++i) {
      ASSERT_EQ(names[i], "SRV" + std::to_string(i) + std::string(200, 'x')) << "round " << round;
    }
  }
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace zelta::test
