// The server objects as the program sees them: the printers of one machine (MonitorObject) and the
// shop's server list of the main server (ServerCollectionObject). The remote library implements them
// over the network; tests may implement them in memory.
//
// Every operation returns its 32-bit result code (0 success); operations with a result argument also
// store it there. After a failure GetLastError describes it. Nothing throws. Objects are used from one
// thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shared/printer_object.h"

namespace zelta {

// Class names that zelta-server serves.
inline constexpr char kProgIdMonitor[] = "ZeltaServer.Monitor";
inline constexpr char kProgIdServerCollection[] = "ZeltaMainServer.ServerCollection";

// Base of every object a remote creation hands out; the caller casts to the class it asked for.
class RemoteObject {
 public:
  virtual ~RemoteObject() = default;
};

class MonitorObject : public RemoteObject {
 public:
  // result = 0 when the printer called name on port may be handed out; name and port may come back
  // changed.
  virtual int32_t CheckPrinter(std::string& name, std::string& port, int32_t& result) = 0;
  // The printer object, or null with a failure that GetLastError describes. For a net printer the port
  // comes back as the printer's host.
  virtual int32_t GetPrinter(std::string& name, std::string& port,
                             std::shared_ptr<PrinterObject>& printer) = 0;
  virtual int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) = 0;
  // A readable text for a result of CheckPrinter.
  virtual int32_t GetResultText(int32_t code, std::string& text) = 0;
  // Entries "port=name" each followed by one NUL. list is replaced whatever it held.
  virtual int32_t GetPrinterCollection(std::string& list, int32_t& result) = 0;
  // Entries "host:port=name" each followed by one NUL.
  virtual int32_t GetNetPrinterCollection(std::string& list, int32_t& result) = 0;
};

class ServerCollectionObject : public RemoteObject {
 public:
  // Registers name (comment is kept for the interface's sake and ignored). Adding a name that is
  // already listed succeeds and lists it once.
  virtual int32_t AddServer(const std::string& name, const std::string& comment, int32_t& result) = 0;
  // The server names, each followed by one NUL.
  virtual int32_t ServerList(std::string& list) = 0;
  virtual int32_t GetLastError(PrinterErrorInfo& info, int32_t& result) = 0;
  // A line about the main server for the status bar.
  virtual int32_t ServerInfo(std::string& text) = 0;
  // Unregisters name; kResultNotFound when it was not listed.
  virtual int32_t RemoveServer(const std::string& name, int32_t& result) = 0;
};

}  // namespace zelta
