// The download of the logo window with a virtual printer of model 46 with realistic timing (NV writes
// 0.2 s plus 10 ms per KB) behind an in-process zelta-server on loopback, with the Qt event loop and
// clocks of the program:
//   Download/1   one 560 × 1000 two-colour logo (the widest the 80 mm paper takes)
//   Download/10  ten 560 × 200 black and white logos
// Timed from the button to the printer's acknowledgement of the last logo. Counters: bytes written,
// printer calls (network round trips), and direct_ms: the same packets written straight to the
// printer's socket, each followed by GS I 1 and its answer, which is what the printer itself needs;
// link_share = 1 - direct / through the link.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>

#include "browser/configuration.h"
#include "download/download_logo.h"
#include "image/add_logo.h"
#include "image/fit_handler.h"
#include "image/read_bmp_file.h"
#include "imglib/zelta_img.h"
#include "memory/logo_window.h"
#include "memory/printer_info.h"
#include "platform/qt_ui_hooks.h"
#include "printer/emu_host.h"
#include "server/zelta_server.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"
#include "support/counting_printer.h"
#include "support/remote_printer.h"

namespace zelta::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint8_t kModel = 46;

struct Setup {
  std::shared_ptr<emu::VirtualPrinter> printer;
  std::unique_ptr<emu::EmuTcpServer> tcp;
  ZeltaServer server;
  std::shared_ptr<PrinterObject> remote;
  std::string dir;

  Setup() {
    std::string error;
    emu::EmuOptions options;
    options.model_id = kModel;
    options.timing = emu::EmuTiming::Realistic();
    printer = emu::VirtualPrinter::Create(options, error);
    tcp = emu::EmuTcpServer::Start(printer, "127.0.0.1", 0, error);
    ServerConfig config;
    config.server_name = "BENCH";
    config.printers = {{"Counter", "tcp:127.0.0.1:" + std::to_string(tcp->Port()), 1}};
    if (!tcp || !server.Start(config, DefaultPortPrinterFactory(), error)) {
      std::fprintf(stderr, "set-up: %s\n", error.c_str());
      std::exit(1);
    }
    remote = RemotePrinterOf(server.port(), "Counter");
    char pattern[] = "/tmp/zelta_download_bench_XXXXXX";
    dir = mkdtemp(pattern);
  }
  ~Setup() {
    server.Shutdown(100);
    std::system(("rm -rf " + dir).c_str());
  }
  // A picture of w × h with black, red and white areas.
  std::string Picture(int w, int h) {
    const std::string path = dir + "/p" + std::to_string(w) + "x" + std::to_string(h) + ".bmp";
    HBitmap dib = CreateDib24(w, h);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = dib->Row(y);
      for (int x = 0; x < w; ++x) {
        const int band = (x / 40 + y / 40) % 3;
        row[3 * x] = row[3 * x + 1] = band == 2 ? 255 : 0;
        row[3 * x + 2] = band == 0 ? 0 : 255;
      }
    }
    WriteBmpFile(path, *dib);
    return path;
  }
};

Setup& S() {
  static Setup setup;
  return setup;
}

bool SendAll(int fd, const Bytes& b) {
  for (size_t done = 0; done < b.size();) {
    const ssize_t n = send(fd, b.data() + done, b.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The packets of a download written straight to the printer, each logo followed by GS I 1 and its
// answer. Seconds, or -1 on failure.
double Direct(const std::vector<Bytes>& packets) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(S().tcp->Port()));
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
  const auto start = Clock::now();
  bool ok = true;
  for (const Bytes& p : packets) {
    uint8_t reply = 0;
    ok = ok && SendAll(fd, p + B({0x1d, 0x49, 0x01})) && recv(fd, &reply, 1, MSG_WAITALL) == 1 &&
         reply == kModel;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  close(fd);
  return ok ? seconds : -1;
}

// The packets among what a download wrote: each GS 8 L definition, whole.
std::vector<Bytes> Packets(const Bytes& written) {
  std::vector<Bytes> out;
  for (size_t pos = written.find("\x1d\x38\x4c"); pos != Bytes::npos;
       pos = written.find("\x1d\x38\x4c", pos)) {
    const auto* p = reinterpret_cast<const uint8_t*>(written.data() + pos + 3);
    const size_t n = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<size_t>(p[3]) << 24);
    out.push_back(written.substr(pos, 7 + n));
    pos += 7 + n;
  }
  return out;
}

void Download(benchmark::State& state) {
  const int logos = static_cast<int>(state.range(0));
  const std::string picture = logos == 1 ? S().Picture(560, 1000) : S().Picture(560, 200);
  auto counting = std::make_shared<CountingPrinter>(S().remote);
  double direct = 0, through = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PrinterObj = counting;
    PrinterModelId = kModel;
    LogoWindow window;
    StartTimer_Timer(window.state);
    for (int k = 0; k < logos; ++k) AddLogoFile(window.state, picture, "logo.bmp");
    window.state.busy = false;
    for (LogoSlot& slot : window.state.slots) {
      if (logos == 1) slot.cmbColor.selected = 1;  // "Two colors"
      chkFit_Click(window.state, static_cast<int16_t>(&slot - window.state.slots.data() + 1));
      SetSelected(slot, true);
    }
    counting->Reset();
    state.ResumeTiming();
    const auto start = Clock::now();
    cmdDwldLogo_Click(window.state);
    through = std::chrono::duration<double>(Clock::now() - start).count();
    state.PauseTiming();
    if (window.state.tabs.size() != 1) state.SkipWithError("not every logo was stored");
    const std::vector<Bytes> packets = Packets(counting->written);
    direct = Direct(packets);
    state.counters["bytes"] = static_cast<double>(counting->written.size());
    state.counters["printer_calls"] = counting->calls;
    state.counters["direct_ms"] = direct * 1000;
    state.counters["link_share"] = 1 - direct / through;
    // Room for the next run.
    int32_t written = 0;
    counting->ClaimPrinter();
    const Bytes clear = B({29, 40, 76, 5, 0, 48, 65, 'C', 'L', 'R'});
    counting->WriteData(clear, static_cast<int32_t>(clear.size()), written, kWriteOrdinary);
    counting->ReleasePrinter();
    S().printer->WaitIdle(10000);
    PrinterObj.reset();
    state.ResumeTiming();
  }
}

BENCHMARK(Download)->Arg(1)->Arg(10)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zelta::bench

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  zelta::InitProgramPaths("/nonexistent/zelta/Logo");
  zelta::AppFolder = ZELTA_DATA;
  zelta::SetCurrentPath(ZELTA_DATA, static_cast<int32_t>(std::string(ZELTA_DATA).size()));
  zelta::QtUiHooks hooks;
  zelta::InstallUiHooks(&hooks);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  zelta::InstallUiHooks(nullptr);
  return 0;
}
