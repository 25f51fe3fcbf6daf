// A download-shaped exchange (GS 8 L header, ROWS rows of 72 bytes each in one write, then GS I 1 and
// the wait for the model ID) with a virtual printer on loopback:
//   Direct/DELAY/ROWS        the bytes written straight to the printer's socket
//   Remote/DELAY/ROWS        the same through zelta-server and the network printer object
// with 0 or 5 ms added each way between program and server (or printer). Remote reports the round
// trips of one download (calls, and writes that waited for credit) as round_trips.
// ReadDataRoundTrip/0 and /5 time one ReadData call that finds its byte waiting. The printer is claimed
// (or its socket opened) once before the timed downloads.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include "delay_relay.h"
#include "printer/emu_host.h"
#include "remote/grpc_create_obj.h"
#include "remote/remote_objects.h"
#include "shared/bytes.h"
#include "shared/result_codes.h"
#include "support/free_port.h"
#include "support/remote_printer.h"

extern char** environ;

namespace zelta::bench {
namespace {

constexpr int kRowBytes = 72;
constexpr uint8_t kModel = 36;

Bytes Header(int rows) {
  Bytes out = B({0x1d, 0x38, 0x4c});
  AppendLe32(out, 11 + static_cast<uint32_t>(rows * kRowBytes));
  out += B({48, 67, 48, 'B', '1', 1});
  AppendLe16(out, kRowBytes * 8);
  AppendLe16(out, static_cast<uint32_t>(rows));
  out += B({49});
  return out;
}
const Bytes kRow(kRowBytes, '\x55');
const Bytes kModelRequest = B({0x1d, 0x49, 0x01});

using test::FreePort;

// The virtual printer, zelta-server in its own process, and the relays.
struct Setup {
  std::shared_ptr<emu::VirtualPrinter> printer;
  std::unique_ptr<emu::EmuTcpServer> printer_tcp;
  pid_t server_pid = -1;
  int server_port = 0;
  std::string dir;
  std::map<std::pair<int, int>, std::unique_ptr<DelayRelay>> relays;  // (target, ms)

  Setup() {
    std::string error;
    emu::EmuOptions options;
    options.model_id = kModel;
    options.receive_buffer = 1 << 20;
    printer = emu::VirtualPrinter::Create(options, error);
    printer_tcp = emu::EmuTcpServer::Start(printer, "127.0.0.1", 0, error);
    if (!printer_tcp) {
      std::fprintf(stderr, "virtual printer: %s\n", error.c_str());
      std::exit(1);
    }
    char pattern[] = "/tmp/zelta_bench_XXXXXX";
    dir = mkdtemp(pattern);
    server_port = FreePort();
    std::ofstream(dir + "/server.conf") << "port = " << server_port << "\n"
                                        << "printer = Receipt, tcp:127.0.0.1:" << printer_tcp->Port() << "\n";
    std::string config = dir + "/server.conf";
    char* argv[] = {const_cast<char*>(ZELTA_SERVER_PROGRAM), const_cast<char*>("--config"), config.data(),
                    nullptr};
    if (posix_spawn(&server_pid, ZELTA_SERVER_PROGRAM, nullptr, nullptr, argv, environ) != 0) std::exit(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  ~Setup() {
    relays.clear();
    if (server_pid > 0) kill(server_pid, SIGTERM), waitpid(server_pid, nullptr, 0);
    std::system(("rm -rf " + dir).c_str());
  }
  int Via(int target, int delay_ms) {
    if (delay_ms == 0) return target;
    auto& r = relays[{target, delay_ms}];
    if (!r) r = std::make_unique<DelayRelay>(target, std::chrono::milliseconds(delay_ms));
    return r->port();
  }
};

Setup& S() {
  static Setup setup;  // stops zelta-server at exit
  return setup;
}

bool SendAll(int fd, const Bytes& b) {
  size_t done = 0;
  while (done < b.size()) {
    ssize_t n = send(fd, b.data() + done, b.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void Direct(benchmark::State& state) {
  int port = S().Via(S().printer_tcp->Port(), static_cast<int>(state.range(0)));
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    return state.SkipWithError("no printer socket");
  const int rows = static_cast<int>(state.range(1));
  const Bytes header = Header(rows);
  for (auto _ : state) {
    bool ok = SendAll(fd, header);
    for (int i = 0; ok && i < rows; ++i) ok = SendAll(fd, kRow);
    ok = ok && SendAll(fd, kModelRequest);
    uint8_t reply = 0;
    ok = ok && recv(fd, &reply, 1, 0) == 1 && reply == kModel;
    if (!ok) state.SkipWithError("direct download failed");
  }
  close(fd);
}

std::shared_ptr<PrinterObject> RemotePrinter(int port) { return RemotePrinterOf(port, "Receipt"); }

void Remote(benchmark::State& state) {
  auto printer = RemotePrinter(S().Via(S().server_port, static_cast<int>(state.range(0))));
  if (!printer || printer->ClaimPrinter() != kResultOk)
    return state.SkipWithError("no printer from zelta-server");
  const int rows = static_cast<int>(state.range(1));
  const Bytes header = Header(rows);
  auto remote = std::dynamic_pointer_cast<zelta::RemotePrinter>(printer);
  uint64_t trips = 0;
  for (auto _ : state) {
    const uint64_t before = remote ? remote->round_trips() : 0;
    int32_t written = 0, count = 0;
    bool ok =
        printer->WriteData(header, static_cast<int32_t>(header.size()), written, kWriteOrdinary) == kResultOk;
    for (int i = 0; ok && i < rows; ++i) {
      ok = printer->WriteData(kRow, kRowBytes, written, kWriteOrdinary) == kResultOk;
    }
    ok = ok && printer->WriteData(kModelRequest, 3, written, kWriteRealTime) == kResultOk;
    std::string reply(1, ' ');
    ok = ok && printer->ReadData(reply, 1, count) == kResultOk && count == 1 && At(reply, 0) == kModel;
    if (!ok) state.SkipWithError("remote download failed");
    if (remote) trips = remote->round_trips() - before;
  }
  printer->ReleasePrinter();
  state.counters["round_trips"] = static_cast<double>(trips);
}

void ReadDataRoundTrip(benchmark::State& state) {
  auto printer = RemotePrinter(S().Via(S().server_port, static_cast<int>(state.range(0))));
  if (!printer || printer->ClaimPrinter() != kResultOk) return state.SkipWithError("no printer");
  std::vector<double> micros;
  int32_t written = 0, count = 0;
  std::string reply;
  for (auto _ : state) {
    state.PauseTiming();
    printer->WriteData(kModelRequest, 3, written, kWriteRealTime);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the answer is waiting
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    printer->ReadData(reply, 1, count);
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  printer->ReleasePrinter();
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros.empty() ? 0 : micros[micros.size() / 2];
}

BENCHMARK(Direct)
    ->ArgsProduct({{0, 5}, {100, 1000, 10000}})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(Remote)
    ->ArgsProduct({{0, 5}, {100, 1000, 10000}})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(ReadDataRoundTrip)->Arg(0)->Arg(5)->Iterations(200)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace zelta::bench

BENCHMARK_MAIN();
