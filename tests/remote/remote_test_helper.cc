// Child processes of the remote tests, each killed by the test (or ending by itself):
//   remote_test_helper download MACHINE ROWS   claims Receipt, streams a logo definition of ROWS rows of
//                                              72 bytes, prints "streamed RESULT", waits
//   remote_test_helper churn FILE              adds servers SRV0, SRV1, ... to the server list FILE as
//                                              fast as it can; prints "started" after the first
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "remote_fixture.h"
#include "server/server_list_store.h"

namespace {

int Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(60));
  return 0;
}

int Download(const std::string& machine, int rows) {
  auto printer = zelta::test::PrinterOn(zelta::RemoteSettings{}, machine, "Receipt");
  if (!printer || printer->ClaimPrinter() != 0) return Say("failed");
  return Say("streamed " + std::to_string(zelta::test::WriteInRows(
                               *printer, zelta::test::DefineLogo("L1", 576, rows, 0x5a))));
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
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "churn" && argc == 3) return Churn(argv[2]);
  if (mode == "download" && argc == 4) return Download(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: remote_test_helper download MACHINE ROWS | churn FILE\n");
  return 2;
}
