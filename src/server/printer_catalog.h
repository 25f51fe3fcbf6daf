// The printers that this server hands out: the printers attached to this machine and the net printers
// of its configuration, each with one port object (from the port factory) shared by every session, and
// the claim that makes one session its only user at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/server_config.h"
#include "shared/printer_object.h"

namespace zelta {

// Makes the printer object over a port; null with error when the port spec is refused.
using PortPrinterFactory = std::function<std::unique_ptr<PrinterObject>(
    const std::string& spec, int32_t device_kind, std::string& error)>;

// The default factory: OpenPortPrinter of the printer library.
PortPrinterFactory DefaultPortPrinterFactory();

class PrinterPort {
 public:
  PrinterPort(std::string name, std::string listed_port, std::string handed_port, int32_t device_kind,
              std::unique_ptr<PrinterObject> object)
      : name_(std::move(name)),
        listed_port_(std::move(listed_port)),
        handed_port_(std::move(handed_port)),
        device_kind_(device_kind),
        object_(std::move(object)) {}

  const std::string& name() const { return name_; }
  const std::string& listed_port() const { return listed_port_; }  // as the collection lists it
  const std::string& handed_port() const { return handed_port_; }  // as GetPrinter returns it
  int32_t device_kind() const { return device_kind_; }

  // Makes owner the only claimant: true when the printer was free or already owner's.
  bool Reserve(uint64_t owner);
  // Frees the claim if owner holds it.
  void Unreserve(uint64_t owner);
  uint64_t owner() const;

  // Every call into the port object holds this lock, so that one session's calls never interleave with
  // another's and a slow port holds up only its own callers.
  std::mutex& io() { return io_; }
  PrinterObject& object() { return *object_; }

 private:
  const std::string name_, listed_port_, handed_port_;
  const int32_t device_kind_;
  mutable std::mutex claim_mutex_;
  uint64_t owner_ = 0;
  std::mutex io_;
  std::unique_ptr<PrinterObject> object_;
};

class PrinterCatalog {
 public:
  // Makes the port object of every printer of config. False with error naming the printer when the
  // factory refuses its spec.
  bool Open(const ServerConfig& config, const PortPrinterFactory& factory, std::string& error);

  // The printer called name: a local printer (its name, case-insensitive) or a net printer (name, and
  // port as its port number or host). A printer of that name on another port is found too, so that its
  // real port can be handed back. Null when there is none.
  std::shared_ptr<PrinterPort> Find(const std::string& name, const std::string& port) const;

  // "port=name" and "host:port=name" entries, each followed by one NUL.
  std::string PrinterList() const;
  std::string NetPrinterList() const;

  // A fresh claim token for a new session.
  uint64_t NextOwner();

 private:
  std::vector<std::shared_ptr<PrinterPort>> local_, net_;
  std::vector<std::string> net_hosts_;
  std::mutex owner_mutex_;
  uint64_t next_owner_ = 1;
};

}  // namespace zelta
