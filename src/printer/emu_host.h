// Ways into a virtual printer from outside the process: a TCP listener like a network printer, a
// pseudo-terminal like a serial printer, and a control socket that switches faults. Each runs its
// own threads until it is destroyed.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "printer/virtual_printer.h"

namespace zelta::emu {

// Applies one control line to printer and returns the answer line: "ok" or "error: ...".
// Lines: "NAME on", "NAME off" (NAME: cover, near-end, paper-out, error, fatal, offline, mute,
// slow), "printing on|off" (bit 2 of the GS I 2 answer), "tear" (cut the receipt now), "status" (the four DLE
// EOT bytes in hex, then "ok").
std::string ApplyControlLine(VirtualPrinter& printer, const std::string& line);

// Serves one TCP connection at a time, others wait in a backlog of 16; a connection that closes, or
// that stays idle (nothing sent either way, printer done) for idle_timeout_ms, counts as the host
// going away, so one idle client cannot lock out every other.
class EmuTcpServer {
 public:
  static constexpr int kDefaultIdleTimeoutMs = 30000;
  // port 0 picks a free one. Null with error when the address cannot be listened on.
  static std::unique_ptr<EmuTcpServer> Start(std::shared_ptr<VirtualPrinter> printer, const std::string& host,
                                             int port, std::string& error,
                                             int idle_timeout_ms = kDefaultIdleTimeoutMs);
  ~EmuTcpServer();
  int Port() const { return port_; }

 private:
  EmuTcpServer() = default;
  void Loop();
  std::shared_ptr<VirtualPrinter> printer_;
  int listen_fd_ = -1;
  int port_ = 0;
  int idle_timeout_ms_ = kDefaultIdleTimeoutMs;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A pseudo-terminal whose other end is the printer's serial line. When the last user of the
// terminal closes it, that counts as the host going away.
class EmuPtyServer {
 public:
  static std::unique_ptr<EmuPtyServer> Start(std::shared_ptr<VirtualPrinter> printer, std::string& error);
  ~EmuPtyServer();
  // The device to open, e.g. /dev/pts/3.
  const std::string& Path() const { return path_; }

 private:
  EmuPtyServer() = default;
  void Loop();
  std::shared_ptr<VirtualPrinter> printer_;
  int master_fd_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Takes control lines on a Unix socket, one connection after another, answering each line.
class EmuControlServer {
 public:
  static std::unique_ptr<EmuControlServer> Start(std::shared_ptr<VirtualPrinter> printer,
                                                 const std::string& path, std::string& error);
  ~EmuControlServer();

 private:
  EmuControlServer() = default;
  void Loop();
  std::shared_ptr<VirtualPrinter> printer_;
  int listen_fd_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zelta::emu
