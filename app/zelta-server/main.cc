// zelta-server: serves the printers of this machine (and, as main server, the shop's server list) to
// the ZeltaLogo programs of the shop network.
//
//   zelta-server --config FILE     serve with the configuration in FILE
//   zelta-server --check FILE      read and check FILE, then exit (0 when it is good)
//
// Stops cleanly on SIGINT and SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "server/dns_sd_announce.h"
#include "server/printer_catalog.h"
#include "server/server_config.h"
#include "server/zelta_server.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: zelta-server --config FILE | --check FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  std::string option = argv[1], path = argv[2];
  if (option != "--config" && option != "--check") return Usage();

  zelta::ServerConfig config;
  std::string error;
  std::string warning;
  if (!zelta::LoadServerConfig(path, config, error, &warning)) {
    std::fprintf(stderr, "zelta-server: %s\n", error.c_str());
    return 1;
  }
  if (!warning.empty()) std::fprintf(stderr, "zelta-server: warning: %s\n", warning.c_str());
  if (option == "--check") {
    std::printf("%s: good (%zu printers, %zu net printers)\n", path.c_str(), config.printers.size(),
                config.net_printers.size());
    return 0;
  }

  // Signals are taken by a thread of their own, which shuts the server down.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  zelta::ZeltaServer server;
  if (!server.Start(config, zelta::DefaultPortPrinterFactory(), error)) {
    std::fprintf(stderr, "zelta-server: %s\n", error.c_str());
    return 1;
  }
  std::printf("zelta-server %s listening on %s:%d%s\n", config.server_name.c_str(),
              config.listen_address.c_str(), server.port(),
              config.tls_certificate_file.empty() ? "" : " (TLS)");
  std::fflush(stdout);

  // The shop's programs find the server by its DNS-SD announcement (announce = no turns it off).
  zelta::DnsSdAnnouncement announcement;
  if (config.announce &&
      !announcement.Start(config.server_name, static_cast<uint16_t>(server.port()), error)) {
    std::fprintf(stderr, "zelta-server: not announced on the network: %s\n", error.c_str());
  }

  std::thread waiter([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    server.Shutdown();
  });
  server.Wait();
  waiter.join();
  return 0;
}
