// zelta-server as an object: serves the printers of this machine and, on the main server, the shop's
// server list, over gRPC on the configured address. Used by the program zelta-server and by tests.
#pragma once

#include <memory>
#include <string>

#include "server/printer_catalog.h"
#include "server/server_config.h"

namespace zelta {

class ZeltaServer {
 public:
  ZeltaServer();
  // Stops serving (as Shutdown) and drops every object, releasing claimed printers.
  ~ZeltaServer();

  // Opens the printers through factory, loads the server list and starts listening. Port 0 in config
  // picks a free port (see port()). False with error when anything fails; nothing is left running.
  bool Start(const ServerConfig& config, PortPrinterFactory factory, std::string& error);
  // The port listened on; 0 before a successful Start.
  int port() const;
  // Blocks until Shutdown is called from another thread.
  void Wait();
  // Stops accepting calls; calls still running get up to grace_ms to end, then are cancelled.
  void Shutdown(int grace_ms = 1000);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelta
