// Printer ports: the byte pipe between a printer object and one printer. A port is created from its
// configuration string, opened by the printer object's claim and closed by its release.
// A port is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zelta {

enum class PortStatus {
  kOk,
  kTimeout,  // nothing (more) could be moved within the time-out
  kClosed,   // the connection or device went away; error() says why
};

class Port {
 public:
  virtual ~Port() = default;
  // Opens the connection; false with a description in error.
  virtual bool Open(std::string& error) = 0;
  // Closes it; a closed port may be opened again.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Writes data[0, n), looping over short writes, until all is written or timeout_ms has passed;
  // written receives the bytes taken.
  virtual PortStatus Write(const uint8_t* data, size_t n, int timeout_ms, size_t& written) = 0;
  // Reads what has arrived, up to max bytes, waiting up to timeout_ms for the first byte.
  virtual PortStatus Read(uint8_t* out, size_t max, int timeout_ms, size_t& got) = 0;
  // True when the printer cannot take another byte right now.
  virtual bool WouldBlock() = 0;
  // What the port is connected to, for GetDeviceDescription.
  virtual std::string Description() const = 0;
  // Why the last operation failed.
  const std::string& error() const { return error_; }

 protected:
  std::string error_;
};

// Creates the port named by spec (tcp:HOST:PORT, serial:DEVICE:BAUD[:FLOW], usb:DEVICE,
// emu:MODEL_ID[:STATE_FILE[:PAPER_DIR]]) without opening it. Null with error when spec is malformed.
std::unique_ptr<Port> CreatePort(const std::string& spec, std::string& error);

}  // namespace zelta
