#include "server/printer_catalog.h"

#include <strings.h>

#include "printer/port_printer.h"

namespace zelta {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

PortPrinterFactory DefaultPortPrinterFactory() {
  return [](const std::string& spec, int32_t kind, std::string& error) {
    return OpenPortPrinter(spec, kind, error);
  };
}

bool PrinterPort::Reserve(uint64_t owner) {
  std::lock_guard<std::mutex> lock(claim_mutex_);
  if (owner_ != 0 && owner_ != owner) return false;
  owner_ = owner;
  return true;
}

void PrinterPort::Unreserve(uint64_t owner) {
  std::lock_guard<std::mutex> lock(claim_mutex_);
  if (owner_ == owner) owner_ = 0;
}

uint64_t PrinterPort::owner() const {
  std::lock_guard<std::mutex> lock(claim_mutex_);
  return owner_;
}

bool PrinterCatalog::Open(const ServerConfig& config, const PortPrinterFactory& factory, std::string& error) {
  local_.clear();
  net_.clear();
  for (const auto& p : config.printers) {
    std::string why;
    std::unique_ptr<PrinterObject> object = factory(p.port_spec, p.device_kind, why);
    if (!object) {
      error = "printer " + p.name + ": " + (why.empty() ? "port " + p.port_spec + " refused" : why);
      return false;
    }
    local_.push_back(
        std::make_shared<PrinterPort>(p.name, p.port_spec, p.port_spec, p.device_kind, std::move(object)));
  }
  for (const auto& p : config.net_printers) {
    std::string why, port = std::to_string(p.port);
    std::unique_ptr<PrinterObject> object = factory("tcp:" + p.host + ":" + port, p.device_kind, why);
    if (!object) {
      error = "net printer " + p.name + ": " + (why.empty() ? "address refused" : why);
      return false;
    }
    net_.push_back(std::make_shared<PrinterPort>(p.name, port, p.host, p.device_kind, std::move(object)));
    net_hosts_.push_back(p.host);
  }
  return true;
}

std::shared_ptr<PrinterPort> PrinterCatalog::Find(const std::string& name, const std::string& port) const {
  for (const auto& p : local_) {
    if (SameName(p->name(), name) && p->listed_port() == port) return p;
  }
  for (size_t i = 0; i < net_.size(); ++i) {
    if (SameName(net_[i]->name(), name) && (net_[i]->listed_port() == port || net_hosts_[i] == port))
      return net_[i];
  }
  for (const auto& p : local_) {
    if (SameName(p->name(), name)) return p;
  }
  for (const auto& p : net_) {
    if (SameName(p->name(), name)) return p;
  }
  return nullptr;
}

std::string PrinterCatalog::PrinterList() const {
  std::string list;
  for (const auto& p : local_) list += p->listed_port() + "=" + p->name() + '\0';
  return list;
}

std::string PrinterCatalog::NetPrinterList() const {
  std::string list;
  for (size_t i = 0; i < net_.size(); ++i)
    list += net_hosts_[i] + ":" + net_[i]->listed_port() + "=" + net_[i]->name() + '\0';
  return list;
}

uint64_t PrinterCatalog::NextOwner() {
  std::lock_guard<std::mutex> lock(owner_mutex_);
  return next_owner_++;
}

}  // namespace zelta
