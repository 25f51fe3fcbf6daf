// zelta-server and zelta-printer-emu as child processes on loopback for the browser's integration
// tests and benchmarks, and a listener that never answers (a machine that has hung).
#pragma once

#include <string>

#include "support/child_process.h"

namespace zelta::test {

// A zelta-server on 127.0.0.1 with config lines (listen, port and announce = no are added unless
// given) in a file of folder.
bool StartServer(ChildProgram& child, const std::string& program, const std::string& folder,
                 const std::string& name, const std::string& config);

// A TCP socket on 127.0.0.1 that takes connections into its backlog and never says a word.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace zelta::test
