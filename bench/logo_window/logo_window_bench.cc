// The logo window's two heavy moments, with the Qt event loop and real clocks:
//   OpenWith45StoredLogos  window created to idle (start timer, memory figures, key-code list, 45
//                          thumbnails 0.1 s apart) on a virtual printer with realistic timing behind an
//                          in-process zelta-server; counters: printer calls (one network round trip
//                          each) and the time spent inside them.
//   Add50LargeLogos        50 BMP files of 2000 × 2000 added with the "Add logo" button; counters: the
//                          longest stretch without the event loop running, and the mean per logo.
// Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "browser/configuration.h"
#include "image/read_bmp_file.h"
#include "imglib/zelta_img.h"
#include "memory/logo_form.h"
#include "platform/qt_ui_hooks.h"
#include "printer/emu_host.h"
#include "remote/grpc_create_obj.h"
#include "remote/server_objects.h"
#include "server/zelta_server.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"
#include "support/counting_printer.h"
#include "support/remote_printer.h"

namespace zelta::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The Qt hooks, with the Open dialog answered by a list of files.
class BenchHooks : public QtUiHooks {
 public:
  std::vector<std::string> files;
  bool OpenFiles(const std::string&, const std::string&, std::vector<std::string>& out) override {
    out = files;
    return !out.empty();
  }
  void ShowMessageWindow(const std::string& text, Form*) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
  }
};

BenchHooks& Hooks() {
  static BenchHooks hooks;
  return hooks;
}

// Stores count one-colour logos of 384 × 96 dots.
bool StoreLogos(PrinterObject& p, int count) {
  if (p.ClaimPrinter() != kResultOk) return false;
  for (int k = 0; k < count; ++k) {
    const int row_bytes = 48, rows = 96;
    Bytes out = B({0x1d, 0x38, 0x4c});
    AppendLe32(out, 11 + row_bytes * rows);
    out += B({48, 67, 48, static_cast<int>('A' + k / 10), static_cast<int>('0' + k % 10), 1});
    AppendLe16(out, row_bytes * 8);
    AppendLe16(out, rows);
    out += B({49});
    out += Bytes(static_cast<size_t>(row_bytes * rows), '\x3c');
    // The printer pushes back while it writes NV memory: resend from the first byte not taken.
    for (size_t pos = 0, tries = 0; pos < out.size(); ++tries) {
      int32_t written = 0;
      const Bytes rest = out.substr(pos);
      const int32_t r = p.WriteData(rest, static_cast<int32_t>(rest.size()), written, kWriteOrdinary);
      pos += static_cast<size_t>(std::max(0, written));
      if ((r != kResultOk && !IsRetryable(r)) || tries > 1000) return false;
    }
  }
  int32_t written = 0, n = 0;
  std::string byte(1, ' ');
  // The answer comes once the printer has written every logo to NV memory: some seconds.
  bool ok = p.WriteData(B({0x1d, 0x49, 0x01}), 3, written, kWriteRealTime) == kResultOk;
  // Only the model ID counts: a late answer to a status request may come first.
  bool answered = false;
  for (int tries = 0; ok && !answered && tries < 600; ++tries) {
    const int32_t r = p.ReadData(byte, 1, n);
    ok = r == kResultOk || r == kResultTimeout;
    answered = r == kResultOk && n == 1 && static_cast<uint8_t>(byte[0]) == 46;
  }
  ok = ok && answered;
  p.ReleasePrinter();
  return ok;
}

// Runs the event loop until done() or the limit.
void RunUntil(const std::function<bool()>& done, int limit_ms = 120000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < limit_ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void OpenWith45StoredLogos(benchmark::State& state) {
  std::string error;
  emu::EmuOptions options;
  options.model_id = 46;
  options.timing = emu::EmuTiming::Realistic();
  std::shared_ptr<emu::VirtualPrinter> printer = emu::VirtualPrinter::Create(options, error);
  auto tcp = emu::EmuTcpServer::Start(printer, "127.0.0.1", 0, error);
  ZeltaServer server;
  ServerConfig config;
  config.server_name = "BENCH";
  config.printers = {{"Counter", "tcp:127.0.0.1:" + std::to_string(tcp->Port()), 1}};
  if (!tcp || !server.Start(config, DefaultPortPrinterFactory(), error))
    return state.SkipWithError(error.c_str());
  auto remote = RemotePrinterOf(server.port(), "Counter");
  if (!remote || !StoreLogos(*remote, 45)) return state.SkipWithError("could not store the logos");
  auto counting = std::make_shared<CountingPrinter>(remote);
  double link_seconds = 0;
  int calls = 0;
  bool warm = false;  // the first opening also waits for the printer to finish writing the logos
  for (auto _ : state) {
    if (!warm) {
      state.PauseTiming();
      PrinterObj = remote;
      PrinterModelId = 46;
      auto* form = new LogoForm();
      RunUntil([&] { return !form->state().busy; });
      delete form;
      warm = true;
      state.ResumeTiming();
    }
    counting->Reset();
    PrinterObj = counting;
    PrinterModelId = 46;
    auto* form = new LogoForm();
    form->show();
    RunUntil([&] { return !form->state().busy; });
    if (form->state().LogoCount != 45) state.SkipWithError("the window did not list 45 logos");
    calls = counting->calls;
    link_seconds = counting->seconds;
    form->state().busy = false;
    form->close();
    delete form;
  }
  PrinterObj.reset();
  state.counters["printer_calls"] = calls;
  state.counters["printer_ms"] = link_seconds * 1000;
  server.Shutdown(100);
}

void Add50LargeLogos(benchmark::State& state) {
  // Five different pictures, each chosen ten times.
  char pattern[] = "/tmp/zelta_logo_bench_XXXXXX";
  const std::string dir = mkdtemp(pattern);
  std::vector<std::string> files;
  for (int k = 0; k < 5; ++k) {
    HBitmap dib = CreateDib24(2000, 2000);
    for (int y = 0; y < 2000; ++y) {
      uint8_t* row = dib->Row(y);
      for (int x = 0; x < 2000; ++x) {
        row[3 * x] = static_cast<uint8_t>(x * (k + 1));
        row[3 * x + 1] = static_cast<uint8_t>(y);
        row[3 * x + 2] = static_cast<uint8_t>((x ^ y) + 40 * k);
      }
    }
    files.push_back(dir + "/logo" + std::to_string(k) + ".bmp");
    WriteBmpFile(files.back(), *dib);
  }
  for (int k = 0; k < 50; ++k) Hooks().files.push_back(files[static_cast<size_t>(k % 5)]);

  double longest_gap_ms = 0, total_ms = 0;
  for (auto _ : state) {
    PrinterObj.reset();
    PrinterModelId = 46;
    LoadedBitmaps.ReDimPreserve(0);
    auto* form = new LogoForm();
    form->show();
    // A model without NV graphics: the start-up asks nothing of a printer.
    PrinterModelId = 32;
    RunUntil([&] { return !form->state().busy; });
    PrinterModelId = 46;

    // A zero-interval timer runs on every turn of the event loop; the gaps between its runs are the
    // stretches during which the window could not react.
    Clock::time_point last = Clock::now();
    double gap = 0;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      const auto now = Clock::now();
      gap = std::max(gap, std::chrono::duration<double, std::milli>(now - last).count());
      last = now;
    });
    watch.start();
    const auto start = Clock::now();
    QTimer::singleShot(0, form->cmdAddLogo, &QPushButton::click);
    RunUntil([&] { return form->state().LogoCount == 50 && !form->state().busy; });
    total_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    watch.stop();
    longest_gap_ms = gap;
    if (form->state().LogoCount != 50 || !PreparedBitmaps(50))
      state.SkipWithError("not all logos were added");
    form->close();
    delete form;
  }
  state.counters["longest_stall_ms"] = longest_gap_ms;
  state.counters["ms_per_logo"] = total_ms / 50;
  std::system(("rm -rf " + dir).c_str());
}

BENCHMARK(OpenWith45StoredLogos)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Add50LargeLogos)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zelta::bench

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Logo");
  zelta::InitProgramPaths("/nonexistent/zelta/Logo");
  zelta::AppFolder = ZELTA_DATA;
  zelta::SetCurrentPath(ZELTA_DATA, static_cast<int32_t>(std::string(ZELTA_DATA).size()));
  zelta::InstallUiHooks(&zelta::bench::Hooks());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  zelta::InstallUiHooks(nullptr);
  return 0;
}
