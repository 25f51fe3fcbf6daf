// The port to a virtual printer of this process. There is one virtual printer per configuration
// string in a process, kept until the process ends, so that what it stores survives claim and
// release as in a real printer.
#pragma once

#include <memory>
#include <string>

#include "printer/port.h"
#include "printer/virtual_printer.h"

namespace zelta {

// The process's virtual printer for spec (a port spec starting "emu:"), created on first use.
// Null with error when the port spec or the state file is bad. ZELTA_EMU_TIMING=realistic in the
// environment gives it the times of a real printer (default: instant).
std::shared_ptr<emu::VirtualPrinter> SharedVirtualPrinter(const std::string& spec, std::string& error);

class EmuPort : public Port {
 public:
  explicit EmuPort(std::string spec) : spec_(std::move(spec)) {}
  ~EmuPort() override { EmuPort::Close(); }
  bool Open(std::string& error) override;
  void Close() override;
  bool IsOpen() const override { return printer_ != nullptr; }
  PortStatus Write(const uint8_t* data, size_t n, int timeout_ms, size_t& written) override;
  PortStatus Read(uint8_t* out, size_t max, int timeout_ms, size_t& got) override;
  bool WouldBlock() override;
  std::string Description() const override;

 private:
  std::string spec_;
  std::shared_ptr<emu::VirtualPrinter> printer_;
};

}  // namespace zelta
