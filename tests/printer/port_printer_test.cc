// The printer object over each kind of port (in-process virtual printer, TCP on 127.0.0.1, a
// pseudo-terminal as serial line), checked against the same virtual printer behind it.
#include "printer/port_printer.h"

#include <gtest/gtest.h>

#include <thread>

#include "emu_test_util.h"
#include "memory/nv_commands.h"
#include "printer/emu_host.h"
#include "printer/emu_port.h"
#include "shared/result_codes.h"

namespace zelta::test {
namespace {

using emu::EmuFault;

enum class Transport { kEmu, kTcp, kPty };

class PortPrinterTest : public ::testing::TestWithParam<Transport> {
 protected:
  // A printer of model behind the transport of the test; p the object over it, claimed.
  void Connect(int model) {
    std::string error, spec;
    if (GetParam() == Transport::kEmu) {
      static int serial = 0;  // a state file per test, so that every test has a fresh printer
      spec = "emu:" + std::to_string(model) + ":" + ::testing::TempDir() + "/port-test-" +
             std::to_string(getpid()) + "-" + std::to_string(++serial) + ".nv";
      printer_ = SharedVirtualPrinter(spec, error);
    } else if (GetParam() == Transport::kTcp) {
      tcp_ = emu::EmuTcpServer::Start(printer_ = MakePrinter(model), "127.0.0.1", 0, error);
      ASSERT_TRUE(tcp_) << error;
      spec = "tcp:127.0.0.1:" + std::to_string(tcp_->Port());
    } else {
      pty_ = emu::EmuPtyServer::Start(printer_ = MakePrinter(model), error);
      ASSERT_TRUE(pty_) << error;
      spec = "serial:" + pty_->Path() + ":115200";
    }
    ASSERT_TRUE(printer_) << error;
    p = OpenPortPrinter(spec, kDeviceKindGsI, error);
    ASSERT_TRUE(p) << error;
    ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  }
  int32_t Write(const Bytes& b, int32_t mode = kWriteOrdinary) {
    int32_t written = 0;
    return p->WriteData(b, static_cast<int32_t>(b.size()), written, mode);
  }
  Bytes Read(int32_t length) {
    std::string buf(length, ' ');
    int32_t count = 0;
    EXPECT_EQ(p->ReadData(buf, length, count), kResultOk);
    EXPECT_EQ(count, static_cast<int32_t>(buf.size()));
    return buf;
  }
  int32_t State() {
    int32_t state = -1, mode = 1;
    EXPECT_EQ(p->GetPrinterState(state, mode), kResultOk);
    return state;
  }
  Bytes Reply(int32_t multi_block, int32_t expected = kResultOk) {
    Bytes block;
    int32_t count = 0;
    EXPECT_EQ(p->ReadReply(block, count, multi_block), expected);
    EXPECT_EQ(count, static_cast<int32_t>(block.size()));
    return block;
  }
  int32_t LastError() {
    PrinterErrorInfo info;
    p->GetLastError(info);
    EXPECT_FALSE(info.Description.empty());
    return info.Number;
  }

  std::shared_ptr<emu::VirtualPrinter> printer_;
  std::unique_ptr<emu::EmuTcpServer> tcp_;
  std::unique_ptr<emu::EmuPtyServer> pty_;
  std::unique_ptr<PrinterObject> p;
};

TEST_P(PortPrinterTest, IdentifiesWithEitherRequest) {
  Connect(161);
  ASSERT_EQ(Write(CmdModelId(), kWriteRealTime), kResultOk);
  EXPECT_EQ(Read(1), B({161}));
  ASSERT_EQ(Write(B({27, 63, 48}), kWriteRealTime), kResultOk);
  const Bytes header = Read(3);
  ASSERT_EQ(header.size(), 3u);
  EXPECT_EQ(Read(At(header, 1)), "VX-7800" + B({0}));
  std::string description;
  p->GetDeviceDescription(description);
  EXPECT_FALSE(description.empty());
}

TEST_P(PortPrinterTest, ReadReplyGivesWholeBlocksAndLetsTheNextComeThenTimesOut) {
  Connect(46);
  Bytes logos;
  for (int i = 0; i < 45; ++i)
    logos +=
        NvRasterPacket({static_cast<char>('A' + i / 10), static_cast<char>('0' + i % 10)}, 8, 1, {B({0x80})});
  ASSERT_EQ(Write(logos + CmdNvCapacity() + CmdKeyCodeList()), kResultOk);
  EXPECT_EQ(Reply(0), B({0x37, 0x30}) + "393216" + B({0}));
  const Bytes first = Reply(1);
  EXPECT_EQ(first.size(), 3u + 80 + 1);
  EXPECT_EQ(At(first, 2), 0x41);
  EXPECT_EQ(Reply(1), B({0x37, 0x72, 0x40}) + "E0E1E2E3E4" + B({0}));  // sends the ACK first
  ASSERT_EQ(p->PutReadTimeout(100), kResultOk);
  Reply(1, kResultTimeout);  // nothing more
  EXPECT_EQ(LastError(), kResultTimeout);
  // A mute printer times out every read.
  printer_->SetFault(EmuFault::kMute, true);
  ASSERT_EQ(Write(CmdModelId(), kWriteRealTime), kResultOk);
  std::string buf = " ";
  int32_t count = 0, state = 0, mode = 1;
  EXPECT_EQ(p->ReadData(buf, 1, count), kResultTimeout);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(p->GetPrinterState(state, mode), kResultTimeout);
  EXPECT_EQ(LastError(), kResultTimeout);
}

TEST_P(PortPrinterTest, PrinterStateFollowsTheFaults) {
  Connect(46);
  EXPECT_EQ(State(), 0);
  const std::pair<EmuFault, int32_t> cases[] = {
      {EmuFault::kCoverOpen, 1},        {EmuFault::kPaperNearEnd, 7},       {EmuFault::kPaperOut, 8},
      {EmuFault::kRecoverableError, 4}, {EmuFault::kUnrecoverableError, 5}, {EmuFault::kOffline, 6},
  };
  for (const auto& [fault, state] : cases) {
    printer_->SetFault(fault, true);
    EXPECT_EQ(State(), state) << static_cast<int>(fault);
    printer_->SetFault(fault, false);
  }
  EXPECT_EQ(State(), 0);
}

TEST_P(PortPrinterTest, StatusAnswerIsPickedOutAheadOfAnUnreadReply) {
  Connect(46);
  printer_->SetFault(EmuFault::kPaperNearEnd, true);
  ASSERT_EQ(Write(CmdModelId()), kResultOk);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the model ID is on its way
  ASSERT_EQ(Write(B({16, 4, 1, 16, 4, 4}), kWriteRealTime), kResultOk);
  EXPECT_EQ(Read(1), B({0x12}));
  EXPECT_EQ(Read(1), B({0x1E}));
  EXPECT_EQ(Read(1), B({46}));
}

TEST_P(PortPrinterTest, StoppedPrinterPushesBackAndIsReported) {
  Connect(46);
  printer_->SetFault(EmuFault::kPaperOut, true);
  ASSERT_EQ(p->PutWriteTimeout(150), kResultOk);
  const Bytes big(256 * 1024, 'z');
  int32_t written = 0, more = 0, busy = 0;
  const int32_t r = p->WriteData(big, static_cast<int32_t>(big.size()), written, kWriteOrdinary);
  EXPECT_LT(written, static_cast<int32_t>(big.size()));
  EXPECT_EQ(p->GetBusyState(busy), kResultOk);
  // The status request passes the full buffer. Over a line the printer reads ahead for real-time
  // requests, so the line may take bytes again and time out instead.
  if (GetParam() == Transport::kEmu) {
    EXPECT_EQ(r, kResultPaperOut);
    EXPECT_EQ(busy, 1);
  } else {
    EXPECT_TRUE(r == kResultPaperOut || r == kResultTimeout) << r;
  }
  // The rest goes once the paper is back.
  printer_->SetFault(EmuFault::kPaperOut, false);
  ASSERT_EQ(p->PutWriteTimeout(3000), kResultOk);
  EXPECT_EQ(
      p->WriteData(big.substr(written), static_cast<int32_t>(big.size()) - written, more, kWriteOrdinary),
      kResultOk);
  // Over a network or serial line the last bytes may still be on the way when the printer is idle.
  for (int i = 0; i < 200 && busy != 0; ++i) {
    printer_->WaitIdle(3000);
    EXPECT_EQ(p->GetBusyState(busy), kResultOk);
    if (busy) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(busy, 0);
}

TEST_P(PortPrinterTest, ReleaseInTheMiddleOfADefinitionStoresNothingAndNvSurvives) {
  Connect(46);
  ASSERT_EQ(Write(NvRasterPacket("K1", 16, 2, {Plane(16, 2, 1)})), kResultOk);
  const Bytes packet = NvRasterPacket("K2", 576, 120, {Plane(576, 120, 0xF0)});
  ASSERT_EQ(Write(packet.substr(0, packet.size() / 2)), kResultOk);
  ASSERT_EQ(p->ReleasePrinter(), kResultOk);
  if (GetParam() == Transport::kPty) std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  ASSERT_EQ(Write(CmdKeyCodeList()), kResultOk);
  EXPECT_EQ(Reply(1), B({0x37, 0x72, 0x40}) + "K1" + B({0}));
}

TEST_P(PortPrinterTest, OperationsNeedAClaim) {
  Connect(46);
  ASSERT_EQ(p->ReleasePrinter(), kResultOk);
  EXPECT_EQ(p->ReleasePrinter(), kResultOk);  // releasing twice does no harm
  EXPECT_EQ(Write(CmdModelId()), kResultNotClaimed);
  int32_t busy = 0, kind = 0;
  EXPECT_EQ(p->GetBusyState(busy), kResultNotClaimed);
  EXPECT_EQ(LastError(), kResultNotClaimed);
  EXPECT_EQ(p->PutReadTimeout(-1), kResultBadArgument);
  p->GetDeviceKind(kind);
  EXPECT_EQ(kind, kDeviceKindGsI);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortPrinterTest,
                         ::testing::Values(Transport::kEmu, Transport::kTcp, Transport::kPty),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                           return std::string(info.param == Transport::kEmu   ? "Emu"
                                              : info.param == Transport::kTcp ? "Tcp"
                                                                              : "Pty");
                         });

TEST(PortLossTest, PrinterThatGoesAwayIsReportedNotWaitedFor) {
  std::string error, buf = " ";
  int32_t count = 0;
  auto printer = MakePrinter(46);
  auto pty = emu::EmuPtyServer::Start(printer, error);
  ASSERT_TRUE(pty) << error;
  auto p = OpenPortPrinter("serial:" + pty->Path() + ":9600:xonxoff", kDeviceKindGsI, error);
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  pty.reset();
  EXPECT_EQ(p->ReadData(buf, 1, count), kResultPortClosed);

  auto tcp = emu::EmuTcpServer::Start(printer, "127.0.0.1", 0, error);
  ASSERT_TRUE(tcp) << error;
  p = OpenPortPrinter("tcp:127.0.0.1:" + std::to_string(tcp->Port()), kDeviceKindGsI, error);
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  tcp.reset();  // the printer is switched off
  EXPECT_EQ(p->ReadData(buf, 1, count), kResultPortClosed);
  PrinterErrorInfo info;
  p->GetLastError(info);
  EXPECT_NE(info.Description.find("lost"), std::string::npos) << info.Description;
  // Claiming again tries the connection again, and says why it fails.
  EXPECT_EQ(p->ReleasePrinter(), kResultOk);
  EXPECT_EQ(p->ClaimPrinter(), kResultUnreachable);
  p->GetLastError(info);
  EXPECT_NE(info.Description.find("cannot connect"), std::string::npos) << info.Description;
}

// A client that connects and then says nothing does not keep the printer from the next one: the
// idle connection is closed after the idle time-out.
TEST(PortLossTest, AnIdleConnectionDoesNotLockOutTheNextClient) {
  std::string error, buf = " ";
  auto server = emu::EmuTcpServer::Start(MakePrinter(46), "127.0.0.1", 0, error, 200);
  ASSERT_TRUE(server) << error;
  const std::string spec = "tcp:127.0.0.1:" + std::to_string(server->Port());
  auto idle = OpenPortPrinter(spec, kDeviceKindGsI, error),
       next = OpenPortPrinter(spec, kDeviceKindGsI, error);
  ASSERT_EQ(idle->ClaimPrinter(), kResultOk);  // connected, and silent from now on
  ASSERT_EQ(next->ClaimPrinter(), kResultOk);
  ASSERT_EQ(next->PutReadTimeout(3000), kResultOk);
  int32_t written = 0, count = 0;
  ASSERT_EQ(next->WriteData(CmdModelId(), 3, written, kWriteRealTime), kResultOk);
  EXPECT_EQ(next->ReadData(buf, 1, count), kResultOk);
  EXPECT_EQ(buf, B({46}));
}

TEST(PortSpecTest, MalformedSpecsAreRefusedWithAReason) {
  std::string error;
  for (const char* spec :
       {"", "tcp:", "tcp:host", "tcp:host:0", "tcp:host:70000", "serial:/dev/ttyS0", "serial:/dev/ttyS0:1234",
        "serial:/dev/ttyS0:9600:odd", "usb:", "emu:", "emu:99", "emu:abc", "lpt:1"}) {
    error.clear();
    EXPECT_FALSE(OpenPortPrinter(spec, 1, error)) << spec;
    EXPECT_FALSE(error.empty()) << spec;
  }
  EXPECT_TRUE(OpenPortPrinter("usb:/dev/usb/lp0", 1, error));
  EXPECT_TRUE(OpenPortPrinter("tcp:[::1]:9100", 1, error));
  auto missing = OpenPortPrinter("serial:/nonexistent/tty:9600", 1, error);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->ClaimPrinter(), kResultUnreachable);
}

}  // namespace
}  // namespace zelta::test
