// Child processes of the remote tests, each ended by the test with SIGKILL (and by itself after a
// minute at the latest):
//   remote_test_helper claim MACHINE NAME PORT   claims the printer, prints "claimed", waits
//   remote_test_helper serve                     serves printer "Slow" (emu:slow), whose writes never
//                                                end, on 127.0.0.1; prints "port N", waits
//   remote_test_helper download MACHINE ROWS    claims Receipt (tcp port), streams a logo definition of
//                                                ROWS rows of 72 bytes, prints "streamed", waits
//   remote_test_helper churn FILE                adds servers SRV0, SRV1, ... to the server list FILE
//                                                as fast as it can; prints "started" after the first
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "remote_fixture.h"
#include "server/server_list_store.h"

namespace {

void Linger() { std::this_thread::sleep_for(std::chrono::seconds(60)); }

int Claim(const std::string& machine, std::string name, std::string port) {
  zelta::RemoteSettings settings;
  zelta::test::Created created = zelta::test::CreateAndWait(settings, zelta::kProgIdMonitor, machine);
  auto monitor = created.monitor();
  std::shared_ptr<zelta::PrinterObject> printer;
  if (!monitor || monitor->GetPrinter(name, port, printer) != 0 || printer->ClaimPrinter() != 0) {
    std::printf("failed %s\n", created.error.Description.c_str());
    std::fflush(stdout);
    return 1;
  }
  std::printf("claimed\n");
  std::fflush(stdout);
  Linger();
  return 0;
}

int Download(const std::string& machine, int rows) {
  zelta::RemoteSettings settings;
  zelta::test::Created created = zelta::test::CreateAndWait(settings, zelta::kProgIdMonitor, machine);
  auto monitor = created.monitor();
  std::shared_ptr<zelta::PrinterObject> printer;
  std::string name = "Receipt", port;
  if (!monitor || monitor->GetPrinter(name, port, printer) != 0 || printer->ClaimPrinter() != 0) {
    std::printf("failed %s\n", created.error.Description.c_str());
    std::fflush(stdout);
    return 1;
  }
  const int32_t r = zelta::test::WriteInRows(*printer, zelta::test::DefineLogo("L1", 576, rows, 0x5a));
  std::printf("streamed %d\n", r);
  std::fflush(stdout);
  Linger();
  return 0;
}

int Serve() {
  zelta::test::ScriptedPorts ports;
  zelta::ServerConfig config;
  config.server_name = "SLOW";
  config.listen_address = "127.0.0.1";
  config.printers = {{"Slow", "emu:slow", 1}};
  zelta::ZeltaServer server;
  std::string error;
  if (!server.Start(config, ports.Factory(), error)) {
    std::printf("failed %s\n", error.c_str());
    return 1;
  }
  ports.Printer("emu:slow")->on_write = [](const zelta::Bytes&, int32_t) { Linger(); };
  std::printf("port %d\n", server.port());
  std::fflush(stdout);
  Linger();
  return 0;
}

int Churn(const std::string& path) {
  zelta::ServerListStore store(path);
  std::string error;
  if (!store.Load(error)) return 1;
  for (int i = 0; i < 100000; ++i) {
    if (store.Add("SRV" + std::to_string(i) + std::string(200, 'x'), error) != 0) return 1;
    if (i == 0) {
      std::printf("started\n");
      std::fflush(stdout);
    }
  }
  Linger();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "claim" && argc == 5) return Claim(argv[2], argv[3], argv[4]);
  if (mode == "serve" && argc == 2) return Serve();
  if (mode == "churn" && argc == 3) return Churn(argv[2]);
  if (mode == "download" && argc == 4) return Download(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: remote_test_helper claim MACHINE NAME PORT | serve | churn FILE\n");
  return 2;
}
