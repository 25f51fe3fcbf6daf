// Faults in the middle of a streamed logo download to a virtual printer behind zelta-server: the
// server killed, the client killed. Each time the client (if alive) hears of it within its time-out,
// the claim is free again, the printer's NV memory holds no half logo (the printer is kept off line
// meanwhile, so that nothing of the definition is carried out before the connection ends), and a retry
// stores the logo whole.
#include <thread>

#include "remote_fixture.h"
#include "support/free_port.h"

namespace zelta::test {
namespace {

using namespace std::chrono_literals;

// 350 KB (nearly all of model 46's NV memory): more than the send queue and the line hold together.
Bytes Logo() { return DefineLogo("L1", 2048, 1400, 0x5a); }

class StreamFaultTest : public RemoteTest {
 protected:
  void SetUp() override {
    StartVirtualPrinter(46);
    capacity = emu->NvRemaining();
  }
  // Nothing of the cut-off definition is stored once the printer is back on line.
  void ExpectNoHalfLogo() {
    emu->SetFault(emu::EmuFault::kCoverOpen, false);
    EXPECT_TRUE(emu->WaitIdle(5000));
    EXPECT_TRUE(emu->KeyCodes().empty());
    EXPECT_EQ(emu->NvRemaining(), capacity);
  }
  // Claims (once the lease of a dead holder has run out), downloads the whole logo, waits for GS I 1.
  void RetryStoresTheLogoWhole(const std::string& machine) {
    auto printer = PrinterOn(settings, machine, "Receipt");
    ASSERT_NE(printer, nullptr);
    const auto until = std::chrono::steady_clock::now() + 3s;
    int32_t r;
    while ((r = printer->ClaimPrinter()) == kResultClaimedElsewhere &&
           std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(50ms);
    ASSERT_EQ(r, kResultOk);
    PrinterErrorInfo info;
    ASSERT_EQ(WriteInRows(*printer, Logo() + B({0x1d, 0x49, 0x01})), kResultOk)
        << (printer->GetLastError(info), info.Description);
    std::string reply = " ";
    int32_t count = 0;
    ASSERT_EQ(printer->PutReadTimeout(5000), kResultOk);
    ASSERT_EQ(printer->ReadData(reply, 1, count), kResultOk);
    EXPECT_EQ(At(reply, 0), 46);
    EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"L1"});
    EXPECT_EQ(capacity - emu->NvRemaining(), Logo().size() - 7);  // every byte after p1..p4
    EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
  }

  uint32_t capacity = 0;
};

TEST_F(StreamFaultTest, ServerKilled) {
  const int port = FreePort();
  const std::string machine = "127.0.0.1:" + std::to_string(port);
  temp.Write("zelta.conf", "server_name = BACKOFFICE\nport = " + std::to_string(port) +
                               "\nprinter = Receipt, tcp:127.0.0.1:" + std::to_string(tcp->Port()) +
                               "\nlease_ms = 400\nwrite_timeout_ms = 300\n");
  auto start = [&](Child& server) {
    std::string line;
    ASSERT_TRUE(server.Start(ZELTA_SERVER_PROGRAM, {"--config", temp.File("zelta.conf")}));
    ASSERT_TRUE(server.ReadLine(line, 10s));
  };
  {
    Child server;
    start(server);
    auto printer = PrinterOn(settings, machine, "Receipt");
    ASSERT_NE(printer, nullptr);
    ASSERT_EQ(printer->ClaimPrinter(), kResultOk);
    // Streams the logo to the printer off line while the server is killed after 300 ms, then reads: the
    // first failure comes within the write time-out and a call's deadline.
    emu->SetFault(emu::EmuFault::kCoverOpen, true);
    std::chrono::steady_clock::time_point killed;
    std::thread killer([&] {
      std::this_thread::sleep_for(300ms);
      server.Kill();
      killed = std::chrono::steady_clock::now();
    });
    int32_t r = WriteInRows(*printer, Logo()), count = 0;
    std::string reply = " ";
    if (r == kResultOk) r = printer->ReadData(reply, 1, count);
    const auto failed = std::chrono::steady_clock::now();
    killer.join();
    EXPECT_EQ(r, kResultPortClosed);
    EXPECT_LT(failed - killed, 3s);
    PrinterErrorInfo info;
    printer->GetLastError(info);
    EXPECT_NE(info.Description.find("was lost"), std::string::npos) << info.Description;
    printer->ReleasePrinter();  // fails, and does not hang
  }
  ExpectNoHalfLogo();
  Child server;
  start(server);
  RetryStoresTheLogoWhole(machine);
}

TEST_F(StreamFaultTest, ClientKilled) {
  ServerConfig c = VirtualPrinterConfig("Receipt");
  c.lease_ms = 400;
  c.write_timeout_ms = 300;
  StartServer(c, DefaultPortPrinterFactory());
  emu->SetFault(emu::EmuFault::kCoverOpen, true);
  Child client;
  ASSERT_TRUE(client.Start(ZELTA_REMOTE_HELPER, {"download", Machine(), "1200"}));
  std::string line;
  ASSERT_TRUE(client.ReadLine(line, 10s));
  ASSERT_EQ(line, "streamed 0");  // all of it queued or on the line, nothing carried out
  auto printer = ReceiptPrinter();
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(printer->ClaimPrinter(), kResultClaimedElsewhere);
  client.Kill();
  const auto killed = std::chrono::steady_clock::now();
  int32_t r;
  while ((r = printer->ClaimPrinter()) == kResultClaimedElsewhere &&
         std::chrono::steady_clock::now() - killed < 3s)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(r, kResultOk);  // freed by the lease
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 1500ms);
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
  ExpectNoHalfLogo();
  RetryStoresTheLogoWhole(Machine());
}

}  // namespace
}  // namespace zelta::test
