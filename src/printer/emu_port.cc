#include "printer/emu_port.h"

#include <cstdlib>
#include <map>
#include <mutex>

namespace zelta {
namespace {

// Splits "emu:ID[:STATE_FILE[:PAPER_DIR]]".
bool ParseEmuSpec(const std::string& spec, emu::EmuOptions& options, std::string& error) {
  if (spec.rfind("emu:", 0) != 0) {
    error = "not a virtual printer port: " + spec;
    return false;
  }
  std::string rest = spec.substr(4);
  const size_t colon = rest.find(':');
  const std::string id = rest.substr(0, colon);
  if (id.empty() || id.size() > 3 || id.find_first_not_of("0123456789") != std::string::npos) {
    error = "emu: needs a model ID, e.g. emu:46";
    return false;
  }
  options.model_id = std::stoi(id);
  if (colon != std::string::npos) {
    rest = rest.substr(colon + 1);
    const size_t colon2 = rest.find(':');
    options.state_file = rest.substr(0, colon2);
    if (colon2 != std::string::npos) options.paper_dir = rest.substr(colon2 + 1);
  }
  const char* timing = std::getenv("ZELTA_EMU_TIMING");
  if (timing && std::string(timing) == "realistic") options.timing = emu::EmuTiming::Realistic();
  return true;
}

}  // namespace

std::shared_ptr<emu::VirtualPrinter> SharedVirtualPrinter(const std::string& spec, std::string& error) {
  static std::mutex mu;
  static auto* printers = new std::map<std::string, std::shared_ptr<emu::VirtualPrinter>>();
  std::lock_guard<std::mutex> lk(mu);
  auto it = printers->find(spec);
  if (it != printers->end()) return it->second;
  emu::EmuOptions options;
  if (!ParseEmuSpec(spec, options, error)) return nullptr;
  std::shared_ptr<emu::VirtualPrinter> p = emu::VirtualPrinter::Create(options, error);
  if (p) (*printers)[spec] = p;
  return p;
}

bool EmuPort::Open(std::string& error) {
  printer_ = SharedVirtualPrinter(spec_, error);
  if (!printer_) error_ = error;
  return printer_ != nullptr;
}

void EmuPort::Close() {
  if (printer_) printer_->Disconnect();
  printer_.reset();
}

PortStatus EmuPort::Write(const uint8_t* data, size_t n, int timeout_ms, size_t& written) {
  written = 0;
  if (!printer_) {
    error_ = "the port is not open";
    return PortStatus::kClosed;
  }
  written = printer_->Receive(data, n, timeout_ms);
  return written == n ? PortStatus::kOk : PortStatus::kTimeout;
}

PortStatus EmuPort::Read(uint8_t* out, size_t max, int timeout_ms, size_t& got) {
  got = 0;
  if (!printer_) {
    error_ = "the port is not open";
    return PortStatus::kClosed;
  }
  got = printer_->Transmit(out, max, timeout_ms);
  return got > 0 ? PortStatus::kOk : PortStatus::kTimeout;
}

bool EmuPort::WouldBlock() { return printer_ && printer_->Full(); }

std::string EmuPort::Description() const {
  const emu::EmuModel* m = nullptr;
  if (printer_) m = &printer_->Model();
  std::string what = m ? std::string(m->name) + " (model " + std::to_string(m->id) + ")" : spec_.substr(4);
  return "Virtual printer " + what + " on " + spec_;
}

}  // namespace zelta
