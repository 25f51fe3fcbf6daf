// The printer object over each kind of port (in-process, TCP, a pseudo-terminal as serial line) against
// the virtual printer behind it; and zelta-printer-emu as a process with its control socket.
#include "printer/port_printer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

#include "emu_test_util.h"
#include "memory/nv_commands.h"
#include "printer/emu_host.h"
#include "printer/emu_port.h"
#include "shared/result_codes.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

using emu::EmuFault;

// Runs the program with args through the shell, which says the pid it hands on to the program; the
// program's first line of output is kept.
struct EmuProcess {
  explicit EmuProcess(const std::string& args)
      : out(popen(("echo $$; exec " ZELTA_EMU_PROGRAM " " + args).c_str(), "r")) {
    char line[256] = {};
    if (out && std::fgets(line, sizeof line, out)) pid = std::atoi(line);
    if (out && std::fgets(line, sizeof line, out)) first_line = line;
  }
  ~EmuProcess() { Stop(); }
  // Ends the program with SIGTERM; its exit code, or -1 when it did not exit by itself.
  int Stop() {
    if (!out) return -1;
    if (pid > 0) kill(pid, SIGTERM);
    const int status = pclose(std::exchange(out, nullptr));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  FILE* out;
  pid_t pid = -1;
  std::string first_line;
};

// Sends one line to the control socket; the answer.
std::string Control(const std::string& socket_path, const std::string& line) {
  sockaddr_un addr{AF_UNIX, {}};
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket_path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  for (int i = 0; i < 100 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  char buf[256] = {};
  const std::string text = line + "\n";
  const ssize_t n = write(fd, text.data(), text.size()) > 0 ? read(fd, buf, sizeof buf) : 0;
  close(fd);
  return std::string(buf, n > 0 ? n : 0);
}

// The printer object p and what to ask it.
class PortTest : public ::testing::Test {
 protected:
  // Opens p on port (such as tcp:HOST:PORT) and claims it.
  void Open(const std::string& port) {
    std::string error;
    ASSERT_TRUE(p = OpenPortPrinter(port, kDeviceKindGsI, error)) << error;
    ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  }
  int32_t Write(const Bytes& b, int32_t mode = kWriteOrdinary) {
    int32_t written = 0;
    return p->WriteData(b, static_cast<int32_t>(b.size()), written, mode);
  }
  Bytes Read(int32_t length, int32_t expected = kResultOk) {
    std::string buf(length, ' ');
    int32_t count = 0;
    EXPECT_EQ(p->ReadData(buf, length, count), expected);
    EXPECT_EQ(count, expected == kResultOk ? length : 0);
    return buf.substr(0, count);
  }
  // Writes data, then reads one byte of the answer.
  Bytes Ask(const Bytes& data, int32_t mode = kWriteRealTime) {
    EXPECT_EQ(Write(data, mode), kResultOk);
    return Read(1);
  }
  int32_t State(int32_t expected = kResultOk) {
    int32_t state = -1, mode = 1;
    EXPECT_EQ(p->GetPrinterState(state, mode), expected);
    return state;
  }
  Bytes Reply(int32_t multi_block, int32_t expected = kResultOk) {
    Bytes block;
    int32_t count = 0;
    EXPECT_EQ(p->ReadReply(block, count, multi_block), expected);
    EXPECT_EQ(count, static_cast<int32_t>(block.size()));
    return block;
  }
  PrinterErrorInfo LastError() {
    PrinterErrorInfo info;
    p->GetLastError(info);
    EXPECT_FALSE(info.Description.empty());
    return info;
  }
  // Serves printer over TCP or a pseudo-terminal (line: the baud rate and flow control) and opens p on it.
  void OpenTcp(std::shared_ptr<emu::VirtualPrinter> printer,
               int idle_ms = emu::EmuTcpServer::kDefaultIdleTimeoutMs) {
    std::string error;
    tcp_ = emu::EmuTcpServer::Start(printer_ = std::move(printer), "127.0.0.1", 0, error, idle_ms);
    ASSERT_TRUE(tcp_) << error;
    Open(TcpSpec());
  }
  void OpenPty(std::shared_ptr<emu::VirtualPrinter> printer, const std::string& line) {
    std::string error;
    ASSERT_TRUE(pty_ = emu::EmuPtyServer::Start(printer_ = std::move(printer), error)) << error;
    Open("serial:" + pty_->Path() + line);
  }
  std::string TcpSpec() const { return "tcp:127.0.0.1:" + std::to_string(tcp_->Port()); }

  std::unique_ptr<PrinterObject> p;
  std::shared_ptr<emu::VirtualPrinter> printer_;
  std::unique_ptr<emu::EmuTcpServer> tcp_;
  std::unique_ptr<emu::EmuPtyServer> pty_;
};

// The same cases over each kind of port, against the virtual printer behind it.
class PortPrinterTest : public PortTest, public ::testing::WithParamInterface<std::string> {
 protected:
  // A printer of model behind the transport of the test, p claimed over it.
  void Connect(int model) {
    if (GetParam() == "tcp") return OpenTcp(MakePrinter(model));
    if (GetParam() == "pty") return OpenPty(MakePrinter(model), ":115200");
    // A state file per test, so that every test has a fresh printer, in a folder of this process's own
    // (a recycled process id finds no printer of an earlier run), removed at exit.
    static TempDir dir;
    static int serial = 0;
    const std::string port =
        "emu:" + std::to_string(model) + ":" + dir.File(std::to_string(++serial) + ".nv");
    std::string error;
    ASSERT_TRUE(printer_ = SharedVirtualPrinter(port, error)) << error;
    Open(port);
  }
};

TEST_P(PortPrinterTest, IdentifiesWithEitherRequestAndNeedsAClaim) {
  ASSERT_NO_FATAL_FAILURE(Connect(161));
  EXPECT_EQ(Ask(CmdModelId()), B({161}));
  ASSERT_EQ(Write(B({27, 63, 48}), kWriteRealTime), kResultOk);
  EXPECT_EQ(Read(3 + 8), B({'_', 8, '0'}) + "VX-7800" + B({0}));
  std::string description;
  int32_t busy = 0, kind = 0;
  p->GetDeviceDescription(description);
  p->GetDeviceKind(kind);
  EXPECT_EQ(std::pair(description.empty(), kind), std::pair(false, kDeviceKindGsI));
  ASSERT_EQ(p->ReleasePrinter(), kResultOk);
  // Releasing twice does no harm; unclaimed, the printer is not reached; a negative time-out is refused.
  EXPECT_EQ((std::vector<int32_t>{p->ReleasePrinter(), Write(CmdModelId()), p->GetBusyState(busy),
                                  LastError().Number, p->PutReadTimeout(-1)}),
            (std::vector<int32_t>{kResultOk, kResultNotClaimed, kResultNotClaimed, kResultNotClaimed,
                                  kResultBadArgument}));
}

TEST_P(PortPrinterTest, ReadReplyGivesWholeBlocksAndLetsTheNextComeThenTimesOut) {
  ASSERT_NO_FATAL_FAILURE(Connect(46));
  ASSERT_EQ(Write(Logos(45) + CmdNvCapacity() + CmdKeyCodeList()), kResultOk);
  EXPECT_EQ(Reply(0), B({0x37, 0x30}) + "393216" + B({0}));
  EXPECT_EQ(Reply(1), KeyBlock(0x41, Keys(0, 40)));
  EXPECT_EQ(Reply(1), KeyBlock(0x40, Keys(40, 45)));
  ASSERT_EQ(p->PutReadTimeout(100), kResultOk);
  Reply(1, kResultTimeout);  // nothing more
  EXPECT_EQ(LastError().Number, kResultTimeout);
  // A mute printer times out every read.
  printer_->SetFault(EmuFault::kMute, true);
  ASSERT_EQ(Write(CmdModelId(), kWriteRealTime), kResultOk);
  Read(1, kResultTimeout);
  State(kResultTimeout);
  EXPECT_EQ(LastError().Number, kResultTimeout);
}

TEST_P(PortPrinterTest, PrinterStateFollowsTheFaultsAndStatusIsPickedOutAheadOfAnUnreadReply) {
  ASSERT_NO_FATAL_FAILURE(Connect(46));
  std::string states = std::to_string(State());
  for (EmuFault fault : {EmuFault::kCoverOpen, EmuFault::kPaperNearEnd, EmuFault::kPaperOut,
                         EmuFault::kRecoverableError, EmuFault::kUnrecoverableError, EmuFault::kOffline}) {
    printer_->SetFault(fault, true);
    states += " " + std::to_string(State());
    printer_->SetFault(fault, false);
  }
  EXPECT_EQ(states + " " + std::to_string(State()), "0 1 7 8 4 5 6 0");
  printer_->SetFault(EmuFault::kPaperNearEnd, true);
  ASSERT_EQ(Write(CmdModelId()), kResultOk);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the model ID is on its way
  ASSERT_EQ(Write(B({16, 4, 1, 16, 4, 4}), kWriteRealTime), kResultOk);
  EXPECT_EQ(Read(1), B({0x12}));
  EXPECT_EQ(Read(1), B({0x1E}));
  EXPECT_EQ(Read(1), B({46}));
}

TEST_P(PortPrinterTest, StoppedPrinterPushesBackAndIsReported) {
  ASSERT_NO_FATAL_FAILURE(Connect(46));
  printer_->SetFault(EmuFault::kPaperOut, true);
  ASSERT_EQ(p->PutWriteTimeout(150), kResultOk);
  const Bytes big(256 * 1024, 'z');
  int32_t written = 0, more = 0, busy = 0;
  const int32_t r = p->WriteData(big, static_cast<int32_t>(big.size()), written, kWriteOrdinary);
  EXPECT_LT(written, static_cast<int32_t>(big.size()));
  EXPECT_EQ(p->GetBusyState(busy), kResultOk);
  // The status request passes the full buffer. Over a line the printer reads ahead for real-time
  // requests, so the line may take bytes again and time out instead.
  EXPECT_TRUE(r == kResultPaperOut || (GetParam() != "emu" && r == kResultTimeout)) << r;
  EXPECT_TRUE(busy == 1 || GetParam() != "emu");
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
  ASSERT_NO_FATAL_FAILURE(Connect(46));
  ASSERT_EQ(Write(SmallLogo("K1")), kResultOk);
  const Bytes packet = NvRasterPacket("K2", 576, 120, {Plane(576, 120, 0xF0)});
  ASSERT_EQ(Write(packet.substr(0, packet.size() / 2)), kResultOk);
  ASSERT_EQ(p->ReleasePrinter(), kResultOk);
  if (GetParam() == "pty") std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  ASSERT_EQ(Write(CmdKeyCodeList()), kResultOk);
  EXPECT_EQ(Reply(1), KeyBlock(0x40, "K1"));
}

INSTANTIATE_TEST_SUITE_P(Ports, PortPrinterTest, ::testing::Values("emu", "tcp", "pty"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

TEST_F(PortTest, PrinterThatGoesAwayIsReportedNotWaitedFor) {
  ASSERT_NO_FATAL_FAILURE(OpenPty(MakePrinter(46), ":9600:xonxoff"));
  pty_.reset();
  Read(1, kResultPortClosed);
  ASSERT_NO_FATAL_FAILURE(OpenTcp(printer_));
  tcp_.reset();  // the printer is switched off
  Read(1, kResultPortClosed);
  EXPECT_NE(LastError().Description.find("lost"), std::string::npos) << LastError().Description;
  // Claiming again tries the connection again, and says why it fails.
  EXPECT_EQ(p->ReleasePrinter(), kResultOk);
  EXPECT_EQ(p->ClaimPrinter(), kResultUnreachable);
  EXPECT_NE(LastError().Description.find("cannot connect"), std::string::npos) << LastError().Description;
}

// A client that connects and then says nothing does not keep the printer from the next one: the
// idle connection is closed after the idle time-out.
TEST_F(PortTest, AnIdleConnectionDoesNotLockOutTheNextClient) {
  ASSERT_NO_FATAL_FAILURE(OpenTcp(MakePrinter(46), 200));
  const auto idle = std::move(p);  // connected, and silent from now on
  ASSERT_NO_FATAL_FAILURE(Open(TcpSpec()));
  ASSERT_EQ(p->PutReadTimeout(3000), kResultOk);
  ASSERT_EQ(Write(CmdModelId(), kWriteRealTime), kResultOk);
  EXPECT_EQ(Read(1), B({46}));
}

// A printer off line with more data waiting than its buffer holds still answers status requests that
// the host sends behind the data.
TEST_F(PortTest, RequestsBehindAFullBufferAreAnsweredOverTcp) {
  ASSERT_NO_FATAL_FAILURE(OpenTcp(MakePrinter(46)));
  printer_->SetFault(EmuFault::kPaperOut, true);
  ASSERT_EQ(p->PutReadTimeout(2000), kResultOk);
  ASSERT_EQ(Write(Bytes(4200, 'x')), kResultOk);  // the line takes it
  ASSERT_EQ(Write(B({16, 4, 4}), kWriteRealTime), kResultOk);
  EXPECT_EQ(Read(1), B({0x12 | 0x0c | 0x60}));  // paper near end and paper end
  EXPECT_EQ(State(), 8);                        // paper out
  printer_->SetFault(EmuFault::kPaperOut, false);
}

using EmuProgramTest = PortTest;

TEST_F(EmuProgramTest, ServesOverTcpWithFaultsStateAndPaperAndRefusesBadArguments) {
  const std::string dir = FreshDir("program"), control = dir + "/control.sock", state = dir + "/nv.bin";
  {
    EmuProcess emu("--model 46 --listen 127.0.0.1:0 --state " + state + " --paper " + dir + " --control " +
                   control);
    ASSERT_EQ(emu.first_line.rfind("listening on 127.0.0.1:", 0), 0u) << emu.first_line;
    Open("tcp:127.0.0.1:" + std::to_string(std::stoi(emu.first_line.substr(23))));
    const Bytes logo =
        NvRasterPacket("P1", 16, 4, {Plane(16, 4, 0x99)}) + CmdPrintGraphics("P1") + CmdFeedAndCut();
    EXPECT_EQ(Ask(logo + CmdModelId(), kWriteOrdinary), B({46}));
    EXPECT_EQ(Control(control, "cover on"), "ok\n");
    EXPECT_EQ(Ask(B({16, 4, 2})), B({0x16}));
    EXPECT_EQ(Control(control, "cover off"), "ok\n");
    EXPECT_EQ(Control(control, "status"), "12 12 12 12 ok\n");
    EXPECT_EQ(Control(control, "lid open").substr(0, 7) + Control(control, "mute maybe").substr(0, 7),
              "error: error: ");
    // Printing can be withdrawn, as on a printer set up without it.
    EXPECT_EQ(Ask(CmdTypeId()), B({0x06}));  // bit 2: printing offered
    EXPECT_EQ(Control(control, "printing off"), "ok\n");
    EXPECT_EQ(Ask(CmdTypeId()), B({0x02}));
    p->ReleasePrinter();
    EXPECT_EQ(emu.Stop(), 0);
  }
  int pngs = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) pngs += e.path().extension() == ".png";
  EXPECT_EQ(pngs, 1);
  // Started again on the same state file, it still holds the logo.
  EXPECT_EQ(MakePrinter(46, state)->KeyCodes(), std::vector<std::string>{"P1"});
  // Bad arguments are refused.
  for (const char* args : {"--listen 127.0.0.1:0", "--model 99 --pty", "--model 46",
                           "--model 46 --pty --listen 127.0.0.1:0", "--model 46 --bogus"}) {
    EmuProcess emu(args);
    EXPECT_EQ(emu.first_line + std::to_string(emu.Stop()), "2") << args;  // no line, exit code 2
  }
}

TEST(PortSpecTest, MalformedSpecsAreRefusedWithAReason) {
  std::string error;
  for (const char* spec :
       {"", "tcp:", "tcp:host", "tcp:host:0", "tcp:host:70000", "serial:/dev/ttyS0", "serial:/dev/ttyS0:1234",
        "serial:/dev/ttyS0:9600:odd", "usb:", "emu:", "emu:99", "emu:abc", "lpt:1"}) {
    error.clear();
    EXPECT_FALSE(OpenPortPrinter(spec, 1, error) || error.empty()) << spec;  // refused, and why
  }
  EXPECT_TRUE(OpenPortPrinter("usb:/dev/usb/lp0", 1, error));
  EXPECT_TRUE(OpenPortPrinter("tcp:[::1]:9100", 1, error));
  auto missing = OpenPortPrinter("serial:/nonexistent/tty:9600", 1, error);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->ClaimPrinter(), kResultUnreachable);
}

}  // namespace
}  // namespace zelta::test
