// What zelta-server serves, without the network: the state shared by every call (configuration,
// printers, server list, object table) and the Monitor and ServerCollection objects that clients
// create. The gRPC services translate calls into these.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "server/object_table.h"
#include "server/printer_catalog.h"
#include "server/printer_session.h"
#include "server/server_config.h"
#include "server/server_list_store.h"
#include "shared/printer_object.h"

namespace zelta {

struct ServerState {
  // Opens the printers through factory and, on the main server, loads the server list. False with
  // error when either fails.
  bool Open(const ServerConfig& cfg, const PortPrinterFactory& factory, std::string& error);

  ServerConfig config;
  PrinterCatalog catalog;
  std::unique_ptr<ServerListStore> server_list;  // main server only
  std::unique_ptr<ObjectTable> objects;
};

// Keeps the description of an object's last failure.
class ErrorKeeper {
 public:
  explicit ErrorKeeper(std::string source) : source_(std::move(source)) {}
  int32_t Fail(int32_t result, const std::string& description);
  PrinterErrorInfo LastError() const;

 private:
  const std::string source_;
  mutable std::mutex mutex_;
  PrinterErrorInfo last_;
};

class ServerMonitor : public ErrorKeeper {
 public:
  explicit ServerMonitor(ServerState& state);

  // 0 when the printer exists and no other client holds it; name and port come back as configured.
  int32_t CheckPrinter(std::string& name, std::string& port);
  // A new session over the printer; null with a failure when there is no such printer.
  int32_t GetPrinter(std::string& name, std::string& port, std::shared_ptr<PrinterSession>& session);
  std::string PrinterCollection() const { return state_.catalog.PrinterList(); }
  std::string NetPrinterCollection() const { return state_.catalog.NetPrinterList(); }

  // The text that explains a result of CheckPrinter (or any other result code of the server).
  static std::string ResultText(int32_t code);

 private:
  ServerState& state_;
};

class ServerCollection : public ErrorKeeper {
 public:
  explicit ServerCollection(ServerState& state);

  int32_t AddServer(const std::string& name);
  int32_t RemoveServer(const std::string& name);
  // Names, each followed by one NUL.
  std::string ServerList() const;
  std::string ServerInfo() const;

 private:
  ServerState& state_;
};

}  // namespace zelta
