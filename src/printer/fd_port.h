// Ports over a file descriptor: network socket, serial line and USB printer device.
#pragma once

#include <string>

#include "printer/port.h"

namespace zelta {

// The common part: non-blocking descriptor, poll-based time-outs, short writes continued.
class FdPort : public Port {
 public:
  ~FdPort() override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  PortStatus Write(const uint8_t* data, size_t n, int timeout_ms, size_t& written) override;
  PortStatus Read(uint8_t* out, size_t max, int timeout_ms, size_t& got) override;
  bool WouldBlock() override;

 protected:
  // Marks the port as gone with the reason, closing the descriptor.
  PortStatus Broken(const std::string& why);
  int fd_ = -1;
  bool eof_is_close_ = true;  // a read of 0 bytes means the other side closed (sockets)
};

class TcpPort : public FdPort {
 public:
  TcpPort(std::string host, std::string port) : host_(std::move(host)), port_(std::move(port)) {}
  bool Open(std::string& error) override;
  std::string Description() const override;

 private:
  std::string host_, port_;
};

enum class FlowControl { kNone, kHardware, kXonXoff };

class SerialPort : public FdPort {
 public:
  SerialPort(std::string device, int baud, FlowControl flow)
      : device_(std::move(device)), baud_(baud), flow_(flow) {
    eof_is_close_ = false;
  }
  bool Open(std::string& error) override;
  std::string Description() const override;
  // True for the baud rates the serial line offers.
  static bool ValidBaud(int baud);

 private:
  std::string device_;
  int baud_;
  FlowControl flow_;
};

class UsbPort : public FdPort {
 public:
  explicit UsbPort(std::string device) : device_(std::move(device)) { eof_is_close_ = false; }
  bool Open(std::string& error) override;
  std::string Description() const override;

 private:
  std::string device_;
};

}  // namespace zelta
