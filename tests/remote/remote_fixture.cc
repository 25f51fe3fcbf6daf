#include "remote_fixture.h"

#include <map>
#include <thread>

namespace zelta::test {

std::string Results(std::initializer_list<int32_t> results) {
  // clang-format off
  static const std::map<int32_t, std::string> names = {
      {kResultOk, "ok"}, {kResultTimeout, "timeout"}, {kResultBusy, "busy"}, {kResultPaperOut, "paper-out"},
      {kResultNotClaimed, "not-claimed"}, {kResultClaimedElsewhere, "claimed-elsewhere"},
      {kResultPortClosed, "port-closed"}, {kResultBadArgument, "bad-argument"},
      {kResultUnreachable, "unreachable"}, {kResultAccessDenied, "access-denied"},
      {kResultNotFound, "not-found"}};
  // clang-format on
  std::string out;
  for (int32_t r : results)
    out += (out.empty() ? "" : " ") + (names.count(r) ? names.at(r) : std::to_string(r));
  return out;
}

Created CreateAndWait(const RemoteSettings& settings, const std::string& prog_id,
                      const std::string& machine) {
  Created c;
  auto factory = MakeGrpcCreateObj(settings);
  bool done = false;
  factory->OnComplete = [&done] { done = true; };
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(factory->CreateRemote(prog_id, machine), kResultOk);
  while (!done && std::chrono::steady_clock::now() - start < std::chrono::seconds(15)) {
    factory->DeliverEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  c.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_TRUE(done) << "creation of " << prog_id << " on " << machine << " did not end";
  factory->CreatedObject(c.object);
  int32_t result = 0;
  factory->GetLastError(c.error, result);
  return c;
}

PortPrinterFactory ScriptedPorts::Factory() {
  return [this](const std::string& spec, int32_t kind, std::string&) -> std::unique_ptr<PrinterObject> {
    auto p = std::make_unique<ScriptedPrinter>();
    p->device_kind = kind;
    opened_.emplace_back(spec, p.get());
    return p;
  };
}

ScriptedPrinter* ScriptedPorts::Printer(const std::string& spec) const {
  for (auto it = opened_.rbegin(); it != opened_.rend(); ++it)
    if (it->first == spec) return it->second;
  return nullptr;
}

int32_t WriteInRows(PrinterObject& printer, const Bytes& bytes) {
  for (size_t pos = 0; pos < bytes.size();) {
    int32_t written = 0;
    const int32_t n = static_cast<int32_t>(std::min<size_t>(72, bytes.size() - pos));
    const int32_t r = printer.WriteData(bytes.substr(pos), n, written, kWriteOrdinary);
    pos += static_cast<size_t>(std::max(written, 0));
    if (r != kResultOk && r != kResultTimeout && r != kResultBusy && r != kResultPaperOut) return r;
  }
  return kResultOk;
}

Bytes DefineLogo(const std::string& key, int width, int rows, uint8_t pattern) {
  const int row_bytes = (width + 7) / 8;
  Bytes out = B({0x1d, 0x38, 0x4c});
  AppendLe32(out, 11 + static_cast<uint32_t>(row_bytes * rows));
  out += B({48, 67, 48}) + key + B({1});
  AppendLe16(out, static_cast<uint32_t>(width));
  AppendLe16(out, static_cast<uint32_t>(rows));
  out += B({49}) + Bytes(static_cast<size_t>(row_bytes * rows), static_cast<char>(pattern));
  return out;
}

ServerConfig RemoteTest::ShopConfig() {
  ServerConfig c;
  c.server_name = "SHOP1";
  c.printers = {{"Receipt", "emu:36", 1}};
  c.net_printers = {{"127.0.0.1", 9100, "Bar", 1}};
  return c;
}

void RemoteTest::StartServer(ServerConfig config, PortPrinterFactory factory) {
  config.listen_address = "127.0.0.1";
  config.port = static_cast<uint16_t>(server_port_);
  server = std::make_unique<ZeltaServer>();
  std::string error;
  ASSERT_TRUE(server->Start(config, factory ? factory : ports.Factory(), error)) << error;
  server_port_ = server->port();
}

void RemoteTest::StopServer() {
  if (server) server->Shutdown(0);
  server.reset();
}

std::shared_ptr<MonitorObject> RemoteTest::Monitor() {
  Created c = Create(kProgIdMonitor);
  EXPECT_NE(c.monitor(), nullptr) << c.error.Description;
  return c.monitor();
}

std::shared_ptr<PrinterObject> RemoteTest::NamedPrinter(const std::string& name) {
  auto monitor = Monitor();
  if (!monitor) return nullptr;
  std::string n = name, port;
  std::shared_ptr<PrinterObject> printer;
  EXPECT_EQ(monitor->GetPrinter(n, port, printer), kResultOk) << name;
  return printer;
}

void RemoteTest::StartVirtualPrinter(uint8_t model, const std::string& paper_dir) {
  std::string error;
  emu::EmuOptions options;
  options.model_id = model;
  options.paper_dir = paper_dir;
  emu = emu::VirtualPrinter::Create(options, error);
  ASSERT_TRUE(emu) << error;
  tcp = emu::EmuTcpServer::Start(emu, "127.0.0.1", 0, error);
  ASSERT_TRUE(tcp) << error;
}

ServerConfig RemoteTest::VirtualPrinterConfig(const std::string& name) const {
  ServerConfig c = ShopConfig();
  c.printers = {{name, "tcp:127.0.0.1:" + std::to_string(tcp->Port()), 1}};
  c.net_printers.clear();
  return c;
}

}  // namespace zelta::test
