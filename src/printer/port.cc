#include "printer/port.h"

#include "printer/emu_port.h"
#include "printer/fd_port.h"

namespace zelta {
namespace {

bool AllDigits(const std::string& s) {
  return !s.empty() && s.size() <= 6 && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::unique_ptr<Port> CreatePort(const std::string& spec, std::string& error) {
  const size_t colon = spec.find(':');
  const std::string kind = spec.substr(0, colon);
  const std::string rest = colon == std::string::npos ? "" : spec.substr(colon + 1);
  if (kind == "tcp") {
    // The port number follows the last colon, so that an IPv6 address in brackets works too.
    const size_t last = rest.rfind(':');
    std::string host = last == std::string::npos ? "" : rest.substr(0, last);
    const std::string port = last == std::string::npos ? "" : rest.substr(last + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty() || !AllDigits(port) || std::stoi(port) < 1 || std::stoi(port) > 65535) {
      error = "tcp port needs HOST:PORT, e.g. tcp:192.168.1.50:9100";
      return nullptr;
    }
    return std::make_unique<TcpPort>(host, port);
  }
  if (kind == "serial") {
    // serial:DEVICE:BAUD[:rtscts|xonxoff|none]
    std::string device = rest, flow_text = "rtscts", baud_text;
    size_t last = device.rfind(':');
    if (last != std::string::npos && !AllDigits(device.substr(last + 1))) {
      flow_text = device.substr(last + 1);
      device = device.substr(0, last);
      last = device.rfind(':');
    }
    if (last == std::string::npos) {
      error = "serial port needs DEVICE:BAUD, e.g. serial:/dev/ttyS0:9600";
      return nullptr;
    }
    baud_text = device.substr(last + 1);
    device = device.substr(0, last);
    FlowControl flow;
    if (flow_text == "rtscts") {
      flow = FlowControl::kHardware;
    } else if (flow_text == "xonxoff") {
      flow = FlowControl::kXonXoff;
    } else if (flow_text == "none") {
      flow = FlowControl::kNone;
    } else {
      error = "serial flow control is rtscts, xonxoff or none, not " + flow_text;
      return nullptr;
    }
    if (device.empty() || !AllDigits(baud_text) || !SerialPort::ValidBaud(std::stoi(baud_text))) {
      error = "serial port needs a device and a baud rate of 1200 to 230400, e.g. serial:/dev/ttyS0:9600";
      return nullptr;
    }
    return std::make_unique<SerialPort>(device, std::stoi(baud_text), flow);
  }
  if (kind == "usb") {
    if (rest.empty()) {
      error = "usb port needs the device, e.g. usb:/dev/usb/lp0";
      return nullptr;
    }
    return std::make_unique<UsbPort>(rest);
  }
  if (kind == "emu") {
    const size_t id_end = rest.find(':');
    const std::string id = rest.substr(0, id_end);
    if (!AllDigits(id) || !emu::FindEmuModel(std::stoi(id))) {
      error = "emu port needs a known model ID (" + emu::KnownEmuModelIds() + "), e.g. emu:46";
      return nullptr;
    }
    return std::make_unique<EmuPort>(spec);
  }
  error = "unknown port \"" + spec + "\": use tcp:HOST:PORT, serial:DEVICE:BAUD, usb:DEVICE or emu:MODEL_ID";
  return nullptr;
}

}  // namespace zelta
