// zelta-printer-emu as a process: it says where it listens, serves the printer object over TCP,
// switches faults from its control socket, keeps NV memory and paper where it was told.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "emu_test_util.h"
#include "memory/nv_commands.h"
#include "printer/port_printer.h"
#include "shared/result_codes.h"

namespace zelta::test {
namespace {

// Runs the program with args; its first line of output is kept.
class EmuProcess {
 public:
  explicit EmuProcess(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      std::vector<char*> argv;
      static std::string program = ZELTA_EMU_PROGRAM;
      argv.push_back(program.data());
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    FILE* out = fdopen(fds[0], "r");
    char line[256] = {};
    if (out && std::fgets(line, sizeof line, out)) first_line_ = line;
    if (out) std::fclose(out);
  }
  ~EmuProcess() { Stop(); }
  int Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& FirstLine() const { return first_line_; }

 private:
  pid_t pid_ = -1;
  std::string first_line_;
};

std::string Control(const std::string& socket_path, const std::string& line) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket_path.c_str());
  for (int i = 0; i < 100 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const std::string text = line + "\n";
  if (write(fd, text.data(), text.size()) < 0) return "";
  char buf[256] = {};
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
}

// Writes data to p, then reads one byte of the answer.
Bytes Ask(PrinterObject& p, const Bytes& data, int32_t mode = kWriteRealTime) {
  int32_t written = 0, count = 0;
  std::string buf = " ";
  EXPECT_EQ(p.WriteData(data, static_cast<int32_t>(data.size()), written, mode), kResultOk);
  EXPECT_EQ(p.ReadData(buf, 1, count), kResultOk);
  return buf;
}

TEST(EmuProgramTest, ServesOverTcpWithFaultsStateAndPaper) {
  const std::string dir = FreshDir("program"), control = dir + "/control.sock", state = dir + "/nv.bin";
  {
    EmuProcess emu(
        {"--model", "46", "--listen", "127.0.0.1:0", "--state", state, "--paper", dir, "--control", control});
    ASSERT_EQ(emu.FirstLine().rfind("listening on 127.0.0.1:", 0), 0u) << emu.FirstLine();
    std::string error;
    auto p = OpenPortPrinter("tcp:127.0.0.1:" + std::to_string(std::stoi(emu.FirstLine().substr(23))),
                             kDeviceKindGsI, error);
    ASSERT_TRUE(p) << error;
    ASSERT_EQ(p->ClaimPrinter(), kResultOk);
    const Bytes logo =
        NvRasterPacket("P1", 16, 4, {Plane(16, 4, 0x99)}) + CmdPrintGraphics("P1") + CmdFeedAndCut();
    EXPECT_EQ(Ask(*p, logo + CmdModelId(), kWriteOrdinary), B({46}));
    EXPECT_EQ(Control(control, "cover on"), "ok\n");
    EXPECT_EQ(Ask(*p, B({16, 4, 2})), B({0x16}));
    EXPECT_EQ(Control(control, "cover off"), "ok\n");
    EXPECT_EQ(Control(control, "status"), "12 12 12 12 ok\n");
    EXPECT_EQ(Control(control, "lid open").rfind("error: ", 0), 0u);
    EXPECT_EQ(Control(control, "mute maybe").rfind("error: ", 0), 0u);
    p->ReleasePrinter();
    EXPECT_EQ(emu.Stop(), 0);
  }
  int pngs = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) pngs += e.path().extension() == ".png";
  EXPECT_EQ(pngs, 1);
  // Started again on the same state file, it still holds the logo.
  EXPECT_EQ(MakePrinter(46, state)->KeyCodes(), std::vector<std::string>{"P1"});
}

TEST(EmuProgramTest, PtyModePrintsTheTerminalPath) {
  const std::string control = FreshDir("pty-program") + "/control.sock";
  EmuProcess emu({"--model", "10", "--pty", "--control", control});
  std::string path = emu.FirstLine(), error;
  ASSERT_FALSE(path.empty());
  path.pop_back();
  auto p = OpenPortPrinter("serial:" + path + ":19200", kDeviceKindGsI, error);
  ASSERT_TRUE(p) << error;
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  EXPECT_EQ(Ask(*p, CmdTypeId()), B({0x04}));
  // Printing can be withdrawn, as on a printer set up without it.
  EXPECT_EQ(Control(control, "printing off"), "ok\n");
  EXPECT_EQ(Ask(*p, CmdTypeId()), B({0x00}));
}

TEST(EmuProgramTest, BadArgumentsAreRefused) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--listen", "127.0.0.1:0"},
                                               {"--model", "99", "--pty"},
                                               {"--model", "46"},
                                               {"--model", "46", "--pty", "--listen", "127.0.0.1:0"},
                                               {"--model", "46", "--bogus"}}) {
    EmuProcess emu(args);
    EXPECT_EQ(emu.FirstLine(), "");
    EXPECT_EQ(emu.Stop(), 2);
  }
}

}  // namespace
}  // namespace zelta::test
