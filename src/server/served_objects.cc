#include "server/served_objects.h"

#include <cstdio>

#include "remote/server_objects.h"
#include "shared/result_codes.h"

namespace zelta {

bool ServerState::Open(const ServerConfig& cfg, const PortPrinterFactory& factory, std::string& error) {
  config = cfg;
  if (!catalog.Open(config, factory, error)) return false;
  if (config.main_server) {
    server_list = std::make_unique<ServerListStore>(config.server_list_file);
    if (!server_list->Load(error)) return false;
  }
  objects = std::make_unique<ObjectTable>(std::chrono::milliseconds(config.lease_ms));
  return true;
}

int32_t ErrorKeeper::Fail(int32_t result, const std::string& description) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_ = {result, description, source_};
  return result;
}

PrinterErrorInfo ErrorKeeper::LastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_;
}

ServerMonitor::ServerMonitor(ServerState& state) : ErrorKeeper(kProgIdMonitor), state_(state) {}

int32_t ServerMonitor::CheckPrinter(std::string& name, std::string& port) {
  std::shared_ptr<PrinterPort> p = state_.catalog.Find(name, port);
  if (!p) return Fail(kResultNotFound, ResultText(kResultNotFound));
  name = p->name();
  port = p->listed_port();
  if (p->owner() != 0) return Fail(kResultClaimedElsewhere, ResultText(kResultClaimedElsewhere));
  return kResultOk;
}

int32_t ServerMonitor::GetPrinter(std::string& name, std::string& port,
                                  std::shared_ptr<PrinterSession>& session) {
  session.reset();
  std::shared_ptr<PrinterPort> p = state_.catalog.Find(name, port);
  if (!p) {
    return Fail(kResultNotFound,
                "No printer " + name + " on " + port + " is attached to " + state_.config.server_name + ".");
  }
  name = p->name();
  port = p->handed_port();
  session = std::make_shared<PrinterSession>(p, state_.catalog.NextOwner(), state_.config.read_timeout_ms,
                                             state_.config.write_timeout_ms, state_.config.send_queue_bytes);
  return kResultOk;
}

std::string ServerMonitor::ResultText(int32_t code) {
  switch (code) {
    case kResultOk:
      return "The printer is available.";
    case kResultNotFound:
      return "No printer of this name is attached to the server.";
    case kResultClaimedElsewhere:
      return "The printer is in use by another client. Try again when it is released.";
    case kResultAccessDenied:
      return "Access denied: the access token is missing or wrong.";
    case kResultPortClosed:
      return "The connection to the printer was lost.";
    case kResultUnreachable:
      return "The server does not answer.";
    case kResultTimeout:
      return "The printer did not answer in time.";
    case kResultBusy:
      return "The printer is busy.";
    case kResultPaperOut:
      return "The printer is out of paper.";
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "Unknown result code 0x%08X.", static_cast<unsigned>(code));
      return text;
    }
  }
}

ServerCollection::ServerCollection(ServerState& state)
    : ErrorKeeper(kProgIdServerCollection), state_(state) {}

int32_t ServerCollection::AddServer(const std::string& name) {
  std::string why;
  int32_t result = state_.server_list->Add(name, why);
  return result == kResultOk ? result : Fail(result, why);
}

int32_t ServerCollection::RemoveServer(const std::string& name) {
  std::string why;
  int32_t result = state_.server_list->Remove(name, why);
  return result == kResultOk ? result : Fail(result, why);
}

std::string ServerCollection::ServerList() const {
  std::string list;
  for (const auto& n : state_.server_list->Names()) list += n + '\0';
  return list;
}

std::string ServerCollection::ServerInfo() const {
  size_t n = state_.server_list->Names().size();
  return "Main server " + state_.config.server_name + ": " + std::to_string(n) +
         (n == 1 ? " server" : " servers") + " registered.";
}

}  // namespace zelta
