// zelta-printer-emu: the virtual receipt printer as a program of its own, reachable over TCP like a
// network printer or over a pseudo-terminal like a serial printer.
#include <pthread.h>
#include <signal.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "printer/emu_host.h"
#include "printer/virtual_printer.h"

namespace {

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "zelta-printer-emu: %s\n", why);
  std::fprintf(
      stderr,
      "usage: zelta-printer-emu --model ID (--listen HOST:PORT | --pty) [--state FILE] [--paper DIR]\n"
      "                         [--control SOCKET] [--timing fast|realistic] [--buffer BYTES]\n"
      "                         [--speed MM_PER_S] [--nv-write MS] [--nv-delete MS] [--nv-clear MS]\n"
      "models: %s\n",
      zelta::emu::KnownEmuModelIds().c_str());
  return 2;
}

bool ParseInt(const std::string& s, long lo, long hi, long& out) {
  char* end = nullptr;
  out = std::strtol(s.c_str(), &end, 10);
  return !s.empty() && *end == '\0' && out >= lo && out <= hi;
}

}  // namespace

int main(int argc, char** argv) {
  // SIGINT and SIGTERM end the program through sigwait below; blocked before any thread starts, so
  // that none of the printer's threads takes them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  zelta::emu::EmuOptions options;
  std::string listen, control;
  bool pty = false, have_model = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    long n = 0;
    if (arg == "--model") {
      if (!value(v) || !ParseInt(v, 0, 255, n)) return Usage("--model needs a model ID");
      options.model_id = static_cast<int>(n);
      have_model = true;
    } else if (arg == "--listen") {
      if (!value(listen)) return Usage("--listen needs HOST:PORT");
    } else if (arg == "--pty") {
      pty = true;
    } else if (arg == "--state") {
      if (!value(options.state_file)) return Usage("--state needs a file");
    } else if (arg == "--paper") {
      if (!value(options.paper_dir)) return Usage("--paper needs a folder");
    } else if (arg == "--control") {
      if (!value(control)) return Usage("--control needs a socket path");
    } else if (arg == "--timing") {
      if (!value(v) || (v != "fast" && v != "realistic")) return Usage("--timing is fast or realistic");
      if (v == "realistic") options.timing = zelta::emu::EmuTiming::Realistic();
    } else if (arg == "--speed") {
      if (!value(v) || !ParseInt(v, 0, 10000, n)) return Usage("--speed needs 0 (instant) to 10000 mm/s");
      options.timing.print_mm_per_s = static_cast<double>(n);
    } else if (arg == "--nv-write" || arg == "--nv-delete" || arg == "--nv-clear") {
      if (!value(v) || !ParseInt(v, 0, 600000, n)) return Usage((arg + " needs 0 to 600000 ms").c_str());
      double& field = arg == "--nv-write"    ? options.timing.nv_write_s
                      : arg == "--nv-delete" ? options.timing.nv_delete_s
                                             : options.timing.nv_clear_s;
      field = static_cast<double>(n) / 1000.0;
    } else if (arg == "--buffer") {
      if (!value(v) || !ParseInt(v, 16, 1 << 24, n)) return Usage("--buffer needs 16 to 16777216 bytes");
      options.receive_buffer = static_cast<size_t>(n);
    } else if (arg == "--help" || arg == "-h") {
      Usage(nullptr);
      return 0;
    } else {
      return Usage(("unknown argument " + arg).c_str());
    }
  }
  if (!have_model) return Usage("--model is required");
  if (listen.empty() == !pty) return Usage("give exactly one of --listen and --pty");

  std::string error;
  std::shared_ptr<zelta::emu::VirtualPrinter> printer = zelta::emu::VirtualPrinter::Create(options, error);
  if (!printer) return Usage(error.c_str());

  std::unique_ptr<zelta::emu::EmuTcpServer> tcp;
  std::unique_ptr<zelta::emu::EmuPtyServer> terminal;
  std::unique_ptr<zelta::emu::EmuControlServer> control_server;
  if (pty) {
    terminal = zelta::emu::EmuPtyServer::Start(printer, error);
    if (!terminal) return Usage(error.c_str());
    std::printf("%s\n", terminal->Path().c_str());
  } else {
    const size_t colon = listen.rfind(':');
    long port = 0;
    if (colon == std::string::npos || !ParseInt(listen.substr(colon + 1), 0, 65535, port)) {
      return Usage("--listen needs HOST:PORT");
    }
    std::string host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
    tcp = zelta::emu::EmuTcpServer::Start(printer, host, static_cast<int>(port), error);
    if (!tcp) return Usage(error.c_str());
    std::printf("listening on %s:%d\n", host.c_str(), tcp->Port());
  }
  if (!control.empty()) {
    control_server = zelta::emu::EmuControlServer::Start(printer, control, error);
    if (!control_server) return Usage(error.c_str());
  }
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  control_server.reset();
  tcp.reset();
  terminal.reset();
  printer->TearOff();  // what was printed but not cut is not lost
  return 0;
}
