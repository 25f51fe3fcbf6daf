// Faults in the middle of a streamed logo download to a virtual printer behind zelta-server: the
// server killed, the printer's connection dropped, the client killed. Each time the client (if alive)
// hears of it within its time-out, the claim is free again, the printer's NV memory holds no half logo
// (the printer is kept off line meanwhile, so that nothing of the definition is carried out before the
// connection ends), and a retry stores the logo whole.
#include <fstream>
#include <thread>

#include "printer/emu_host.h"
#include "printer/emu_port.h"
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
    emu_port = tcp->Port();
    capacity = emu->NvRemaining();
  }
  ServerConfig Config() {
    ServerConfig c = VirtualPrinterConfig("Receipt");
    c.lease_ms = 400;
    c.write_timeout_ms = 300;
    return c;
  }
  std::shared_ptr<PrinterObject> Printer(const std::string& machine) {
    Created m = CreateAndWait(settings, kProgIdMonitor, machine);
    EXPECT_NE(m.monitor(), nullptr) << m.error.Description;
    if (!m.monitor()) return nullptr;
    std::string name = "Receipt", port;
    std::shared_ptr<PrinterObject> printer;
    EXPECT_EQ(m.monitor()->GetPrinter(name, port, printer), kResultOk);
    return printer;
  }
  // Nothing of the cut-off definition was stored once the printer is back on line.
  void ExpectNoHalfLogo() {
    emu->SetFault(emu::EmuFault::kCoverOpen, false);
    EXPECT_TRUE(emu->WaitIdle(5000));
    EXPECT_TRUE(emu->KeyCodes().empty());
    EXPECT_EQ(emu->NvRemaining(), capacity);
  }
  // Claims (until the lease of a dead holder has run out), downloads the whole logo, waits for GS I 1.
  void RetryStoresTheLogoWhole(PrinterObject& printer) {
    const auto until = std::chrono::steady_clock::now() + 3s;
    int32_t r;
    while ((r = printer.ClaimPrinter()) == kResultClaimedElsewhere &&
           std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(50ms);
    ASSERT_EQ(r, kResultOk);
    const Bytes logo = Logo();
    PrinterErrorInfo info;
    ASSERT_EQ(WriteInRows(printer, logo + B({0x1d, 0x49, 0x01})), kResultOk)
        << (printer.GetLastError(info), info.Description);
    std::string reply = " ";
    int32_t count = 0;
    ASSERT_EQ(printer.PutReadTimeout(5000), kResultOk);
    ASSERT_EQ(printer.ReadData(reply, 1, count), kResultOk);
    EXPECT_EQ(At(reply, 0), 46);
    EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"L1"});
    EXPECT_EQ(capacity - emu->NvRemaining(), logo.size() - 7);  // every byte after p1..p4
    EXPECT_EQ(printer.ReleasePrinter(), kResultOk);
  }
  // Streams the logo with the printer off line while fault happens after 300 ms, then reads (the next
  // call); the first failure reported must come within the write time-out and a call's deadline.
  int32_t StreamThrough(PrinterObject& printer, std::function<void()> fault) {
    emu->SetFault(emu::EmuFault::kCoverOpen, true);
    std::chrono::steady_clock::time_point at;
    std::thread t([&] {
      std::this_thread::sleep_for(300ms);
      fault();
      at = std::chrono::steady_clock::now();
    });
    int32_t r = WriteInRows(printer, Logo());
    if (r == kResultOk) {
      std::string reply = " ";
      int32_t count = 0;
      r = printer.ReadData(reply, 1, count);
    }
    const auto end = std::chrono::steady_clock::now();
    t.join();
    EXPECT_LT(end - at, 3s);
    return r;
  }

  int emu_port = 0;
  uint32_t capacity = 0;
};

TEST_F(StreamFaultTest, ServerKilled) {
  const std::string dir = MakeTempDir();
  const int port = FreePort();
  std::ofstream(dir + "/zelta.conf") << "server_name = BACKOFFICE\nport = " << port
                                     << "\nprinter = Receipt, tcp:127.0.0.1:" << emu_port
                                     << "\nlease_ms = 400\nwrite_timeout_ms = 300\n";
  const std::string machine = "127.0.0.1:" + std::to_string(port);
  auto start = [&](Child& server) {
    ASSERT_TRUE(server.Start(ZELTA_SERVER_PROGRAM, {"--config", dir + "/zelta.conf"}));
    std::string line;
    ASSERT_TRUE(server.ReadLine(line, 10s));
  };
  {
    Child server;
    start(server);
    auto printer = Printer(machine);
    ASSERT_NE(printer, nullptr);
    ASSERT_EQ(printer->ClaimPrinter(), kResultOk);
    EXPECT_EQ(StreamThrough(*printer, [&] { server.Kill(); }), kResultPortClosed);
    PrinterErrorInfo info;
    printer->GetLastError(info);
    EXPECT_NE(info.Description.find("was lost"), std::string::npos) << info.Description;
    printer->ReleasePrinter();  // fails, and does not hang
  }
  ExpectNoHalfLogo();
  Child server;
  start(server);
  auto printer = Printer(machine);
  ASSERT_NE(printer, nullptr);
  RetryStoresTheLogoWhole(*printer);
  std::system(("rm -rf " + dir).c_str());
}

TEST_F(StreamFaultTest, PrinterConnectionDropped) {
  StartServer(Config(), DefaultPortPrinterFactory());
  auto printer = Printer(Machine());
  ASSERT_NE(printer, nullptr);
  ASSERT_EQ(printer->ClaimPrinter(), kResultOk);
  EXPECT_EQ(StreamThrough(*printer, [&] { tcp.reset(); }), kResultPortClosed);
  PrinterErrorInfo info;
  printer->GetLastError(info);
  EXPECT_NE(info.Description.find("bytes reached the printer"), std::string::npos) << info.Description;
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
  std::string error;
  tcp = emu::EmuTcpServer::Start(emu, "127.0.0.1", emu_port, error);  // switched on again
  ASSERT_TRUE(tcp) << error;
  ExpectNoHalfLogo();
  RetryStoresTheLogoWhole(*printer);
}

TEST_F(StreamFaultTest, ClientKilled) {
  StartServer(Config(), DefaultPortPrinterFactory());
  emu->SetFault(emu::EmuFault::kCoverOpen, true);
  Child client;
  ASSERT_TRUE(client.Start(ZELTA_REMOTE_HELPER, {"download", Machine(), "1200"}));
  std::string line;
  ASSERT_TRUE(client.ReadLine(line, 10s));
  ASSERT_EQ(line, "streamed 0");  // all of it queued or on the line, nothing carried out
  auto printer = Printer(Machine());
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(printer->ClaimPrinter(), kResultClaimedElsewhere);
  client.Kill();
  const auto killed = std::chrono::steady_clock::now();
  int32_t r;
  while ((r = printer->ClaimPrinter()) == kResultClaimedElsewhere &&
         std::chrono::steady_clock::now() - killed < 3s)
    std::this_thread::sleep_for(50ms);
  EXPECT_EQ(r, kResultOk);  // freed by the lease
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
  ExpectNoHalfLogo();
  RetryStoresTheLogoWhole(*printer);
}

// Through zelta-server, a write to a printer out of paper returns the paper-out code once the credit
// is used up (the printer's own status answered behind its full buffer), and the rest goes once the
// paper is back.
TEST_F(StreamFaultTest, PaperOutIsTheWritesPushBack) {
  ServerConfig c = Config();
  const std::string spec = "emu:46:" + MakeTempDir() + "/paper_out.nv";
  c.printers = {{"Receipt", spec, 1}};
  StartServer(c, DefaultPortPrinterFactory());
  std::string error;
  auto inner = SharedVirtualPrinter(spec, error);
  ASSERT_TRUE(inner) << error;
  inner->SetFault(emu::EmuFault::kPaperOut, true);
  auto printer = Printer(Machine());
  ASSERT_NE(printer, nullptr);
  ASSERT_EQ(printer->ClaimPrinter(), kResultOk);
  const Bytes logo = DefineLogo("P1", 576, 2000, 0x33);
  int32_t written = 0;
  EXPECT_EQ(printer->WriteData(logo, static_cast<int32_t>(logo.size()), written, kWriteOrdinary),
            kResultPaperOut);
  EXPECT_GE(written, 65536);  // the queue took its share
  EXPECT_LT(written, static_cast<int32_t>(logo.size()));
  inner->SetFault(emu::EmuFault::kPaperOut, false);
  ASSERT_EQ(WriteInRows(*printer, logo.substr(static_cast<size_t>(written)) + B({0x1d, 0x49, 0x01})),
            kResultOk);
  std::string reply = " ";
  int32_t count = 0;
  ASSERT_EQ(printer->ReadData(reply, 1, count), kResultOk);
  EXPECT_EQ(At(reply, 0), 46);
  EXPECT_EQ(inner->KeyCodes(), std::vector<std::string>{"P1"});
  EXPECT_EQ(printer->ReleasePrinter(), kResultOk);
}

}  // namespace
}  // namespace zelta::test
