// Servers and clients on loopback for the remote tests: an in-process zelta-server over scripted or
// virtual printers, the network factory, and bounded waits.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "printer/emu_host.h"
#include "remote/grpc_create_obj.h"
#include "remote/server_objects.h"
#include "server/zelta_server.h"
#include "shared/result_codes.h"
#include "support/child_process.h"
#include "support/scripted_printer.h"
#include "support/temp_dir.h"

namespace zelta::test {

inline std::string ErrorText(int32_t number, const std::string& description) {
  return std::to_string(number) + " " + description;
}
inline std::string ErrorText(const PrinterErrorInfo& e) { return ErrorText(e.Number, e.Description); }
// Result codes by name ("ok", "not-found", ...), space-separated, in the order the calls were made.
std::string Results(std::initializer_list<int32_t> results);

// The outcome of one creation through the network factory.
struct Created {
  std::shared_ptr<RemoteObject> object;
  PrinterErrorInfo error;
  std::chrono::milliseconds took{0};
  std::string Outcome() const { return object ? "created" : ErrorText(error); }
  std::shared_ptr<MonitorObject> monitor() const { return std::dynamic_pointer_cast<MonitorObject>(object); }
  std::shared_ptr<ServerCollectionObject> collection() const {
    return std::dynamic_pointer_cast<ServerCollectionObject>(object);
  }
};

// Runs one creation to its end, polling the factory as the user-interface thread does; fails the test
// when it does not end within 15 s.
Created CreateAndWait(const RemoteSettings& settings, const std::string& prog_id, const std::string& machine);
// A factory of scripted printers that stay reachable from the test: Printer(port) is the last one
// opened on that port.
class ScriptedPorts {
 public:
  PortPrinterFactory Factory();
  ScriptedPrinter* Printer(const std::string& spec) const;

 private:
  std::vector<std::pair<std::string, ScriptedPrinter*>> opened_;
};

// Writes bytes in writes of at most 72 bytes, resending from position + written after a push-back, as
// the download does. Returns the first result that is neither success nor push-back, else 0.
int32_t WriteInRows(PrinterObject& printer, const Bytes& bytes);

// GS 8 L function 67: a one-colour logo of width × rows dots under key, every raster byte pattern.
// The printer's free memory falls by its parameter count, 11 + ((width + 7) / 8) × rows.
Bytes DefineLogo(const std::string& key, int width, int rows, uint8_t pattern);

class RemoteTest : public ::testing::Test {
 protected:
  RemoteTest() { settings.connect_timeout_ms = settings.call_timeout_ms = 2000; }
  // Starts the in-process server with config on 127.0.0.1 (a restart takes the same port) over the
  // printers of factory (default: scripted ones, see ports).
  void StartServer(ServerConfig config, PortPrinterFactory factory = nullptr);
  void StopServer();
  std::string Machine() const { return "127.0.0.1:" + std::to_string(server_port_); }
  // Server SHOP1 with printer Receipt on emu:36 and net printer Bar.
  static ServerConfig ShopConfig();

  Created Create(const std::string& prog_id) { return CreateAndWait(settings, prog_id, Machine()); }
  std::shared_ptr<MonitorObject> Monitor();
  // Printer name of a new Monitor; null (and a failed check) when there is none.
  std::shared_ptr<PrinterObject> NamedPrinter(const std::string& name);
  std::shared_ptr<PrinterObject> ReceiptPrinter() { return NamedPrinter("Receipt"); }
  // A virtual printer of model on loopback (emu, tcp), its paper PNGs in paper_dir when given.
  void StartVirtualPrinter(uint8_t model, const std::string& paper_dir = "");
  // ShopConfig with the virtual printer alone, as printer name.
  ServerConfig VirtualPrinterConfig(const std::string& name) const;

  RemoteSettings settings;
  ScriptedPorts ports;
  std::unique_ptr<ZeltaServer> server;
  int server_port_ = 0;
  std::shared_ptr<emu::VirtualPrinter> emu;
  std::unique_ptr<emu::EmuTcpServer> tcp;
  TempDir temp;  // removed with what the test put in it
};

}  // namespace zelta::test
