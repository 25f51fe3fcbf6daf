#include "printer/emu_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace zelta::emu {
namespace {

constexpr int kPollMs = 100;

constexpr int kBacklog = 16;

// Moves bytes both ways between fd and the printer until the other side goes away or stop is set.
// Returns true when the other side went away (EOF, hang-up or error) or, with idle_ms > 0, sent
// nothing for idle_ms while the printer had nothing for it either. The line is read on while the
// printer's buffer is full (up to kReadAhead bytes), so that real-time requests behind the data are
// still answered.
bool Pump(int fd, VirtualPrinter& printer, const std::atomic<bool>& stop, int idle_ms = 0) {
  constexpr size_t kReadAhead = 65536;
  uint8_t in[1024], out[1024];
  std::string pending;  // read from the host, not yet taken by the printer
  auto last = std::chrono::steady_clock::now();
  auto send_replies = [&] {
    const size_t n_out = printer.Transmit(out, sizeof out, 0);
    for (size_t done = 0; done < n_out;) {
      const ssize_t k = write(fd, out + done, n_out - done);
      if (k > 0) {
        done += static_cast<size_t>(k);
      } else if (k < 0 && (errno == EAGAIN || errno == EINTR)) {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, kPollMs);
        if (stop) return false;
      } else {
        return false;
      }
    }
    return true;
  };
  while (!stop) {
    if (idle_ms > 0 && pending.empty() &&
        std::chrono::steady_clock::now() - last > std::chrono::milliseconds(idle_ms) && !printer.Busy())
      return true;
    // Replies first, so that a host waiting for an answer is never held up by its own data.
    if (!send_replies()) return true;
    if (!pending.empty()) {
      // Hand on in order; a full receive buffer takes nothing, and the requests behind it are answered.
      const size_t took =
          printer.Receive(reinterpret_cast<const uint8_t*>(pending.data()), pending.size(), 5);
      pending.erase(0, took);
      if (!pending.empty()) printer.TakeRealTime(pending);
      if (!send_replies()) return true;
    }
    // While the printer works on what it got, look for its answers every millisecond.
    pollfd p{fd, static_cast<short>(pending.size() < kReadAhead ? POLLIN : 0), 0};
    const int r = poll(&p, 1, !pending.empty() ? 0 : printer.Busy() ? 1 : 10);
    if (r < 0 && errno != EINTR) return true;
    if (r <= 0) continue;
    if ((p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN)) return true;
    if (!(p.revents & POLLIN)) continue;
    const ssize_t k = read(fd, in, sizeof in);
    if (k == 0) return true;
    if (k < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return true;
    }
    last = std::chrono::steady_clock::now();
    pending.append(reinterpret_cast<const char*>(in), static_cast<size_t>(k));
  }
  return false;
}

}  // namespace

std::string ApplyControlLine(VirtualPrinter& printer, const std::string& line) {
  std::istringstream in(line);
  std::string word, state, extra;
  in >> word >> state >> extra;
  if (word.empty()) return "error: empty line";
  if (word == "tear" && state.empty()) {
    const std::string file = printer.TearOff();
    return file.empty() ? "ok" : "ok " + file;
  }
  if (word == "status" && state.empty()) {
    char text[64];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X ok", printer.StatusByte(1), printer.StatusByte(2),
                  printer.StatusByte(3), printer.StatusByte(4));
    return text;
  }
  if (word == "printing" && (state == "on" || state == "off") && extra.empty()) {
    printer.SetPrintingOffered(state == "on");
    return "ok";
  }
  EmuFault fault;
  if (!ParseEmuFault(word, fault)) return "error: unknown control \"" + word + "\"";
  if ((state != "on" && state != "off") || !extra.empty())
    return "error: say \"" + word + " on\" or \"" + word + " off\"";
  printer.SetFault(fault, state == "on");
  return "ok";
}

std::unique_ptr<EmuTcpServer> EmuTcpServer::Start(std::shared_ptr<VirtualPrinter> printer,
                                                  const std::string& host, int port, std::string& error,
                                                  int idle_timeout_ms) {
  std::unique_ptr<EmuTcpServer> s(new EmuTcpServer());
  s->idle_timeout_ms_ = idle_timeout_ms;
  s->printer_ = std::move(printer);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* list = nullptr;
  const std::string port_text = std::to_string(port);
  if (int rc = getaddrinfo(host.c_str(), port_text.c_str(), &hints, &list); rc != 0) {
    error = host + ": " + gai_strerror(rc);
    return nullptr;
  }
  for (addrinfo* a = list; a && s->listen_fd_ < 0; a = a->ai_next) {
    int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // A modest kernel buffer (inherited by the connections), so that the printer's own buffer pushes
    // back on the host soon, as a network printer's does, without slowing the data down.
    int rcvbuf = 32768;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, kBacklog) == 0) {
      s->listen_fd_ = fd;
    } else {
      error = "cannot listen on " + host + ":" + port_text + ": " + std::strerror(errno);
      close(fd);
    }
  }
  freeaddrinfo(list);
  if (s->listen_fd_ < 0) return nullptr;
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  getsockname(s->listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  s->port_ = ntohs(addr.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
  s->thread_ = std::thread([raw = s.get()] { raw->Loop(); });
  return s;
}

EmuTcpServer::~EmuTcpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listen_fd_ >= 0) close(listen_fd_);
}

void EmuTcpServer::Loop() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, kPollMs) <= 0) continue;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    Pump(fd, *printer_, stop_, idle_timeout_ms_);
    close(fd);
    printer_->Disconnect();
  }
}

std::unique_ptr<EmuPtyServer> EmuPtyServer::Start(std::shared_ptr<VirtualPrinter> printer,
                                                  std::string& error) {
  std::unique_ptr<EmuPtyServer> s(new EmuPtyServer());
  s->printer_ = std::move(printer);
  s->master_fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (s->master_fd_ < 0 || grantpt(s->master_fd_) != 0 || unlockpt(s->master_fd_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return nullptr;
  }
  char name[128];
  if (ptsname_r(s->master_fd_, name, sizeof name) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    return nullptr;
  }
  s->path_ = name;
  // Raw line: bytes pass unchanged in both directions.
  termios t{};
  if (tcgetattr(s->master_fd_, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(s->master_fd_, TCSANOW, &t);
  }
  fcntl(s->master_fd_, F_SETFL, fcntl(s->master_fd_, F_GETFL) | O_NONBLOCK);
  s->thread_ = std::thread([raw = s.get()] { raw->Loop(); });
  return s;
}

EmuPtyServer::~EmuPtyServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (master_fd_ >= 0) close(master_fd_);
}

void EmuPtyServer::Loop() {
  bool connected = false;
  while (!stop_) {
    // With nobody on the terminal side, the master reports a hang-up: wait for a user.
    pollfd p{master_fd_, POLLIN, 0};
    poll(&p, 1, kPollMs);
    if ((p.revents & POLLHUP) && !(p.revents & POLLIN)) {
      if (connected) printer_->Disconnect();
      connected = false;
      usleep(20000);  // a hang-up is reported at once on every poll
      continue;
    }
    connected = true;
    if (Pump(master_fd_, *printer_, stop_)) {
      printer_->Disconnect();
      connected = false;
    }
  }
}

std::unique_ptr<EmuControlServer> EmuControlServer::Start(std::shared_ptr<VirtualPrinter> printer,
                                                          const std::string& path, std::string& error) {
  std::unique_ptr<EmuControlServer> s(new EmuControlServer());
  s->printer_ = std::move(printer);
  s->path_ = path;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    error = "control socket path too long: " + path;
    return nullptr;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  unlink(path.c_str());
  s->listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s->listen_fd_ < 0 || bind(s->listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(s->listen_fd_, kBacklog) != 0) {
    error = "cannot listen on " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  s->thread_ = std::thread([raw = s.get()] { raw->Loop(); });
  return s;
}

EmuControlServer::~EmuControlServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listen_fd_ >= 0) close(listen_fd_);
  unlink(path_.c_str());
}

void EmuControlServer::Loop() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, kPollMs) <= 0) continue;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::string pending;
    char buf[256];
    while (!stop_) {
      pollfd q{fd, POLLIN, 0};
      if (poll(&q, 1, kPollMs) <= 0) continue;
      const ssize_t k = read(fd, buf, sizeof buf);
      if (k <= 0) break;
      pending.append(buf, static_cast<size_t>(k));
      if (pending.size() > 4096) break;  // no line is that long: not a control client
      size_t nl;
      while ((nl = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string answer = ApplyControlLine(*printer_, line) + "\n";
        if (write(fd, answer.data(), answer.size()) < 0) break;
      }
    }
    close(fd);
  }
}

}  // namespace zelta::emu
