#include "printer/fd_port.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace zelta {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 3000;
constexpr int kSocketSendBuffer = 16384;  // small, so that a printer that stops taking data is noticed

int Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

FdPort::~FdPort() { FdPort::Close(); }

void FdPort::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

PortStatus FdPort::Broken(const std::string& why) {
  error_ = why;
  Close();
  return PortStatus::kClosed;
}

PortStatus FdPort::Write(const uint8_t* data, size_t n, int timeout_ms, size_t& written) {
  written = 0;
  if (fd_ < 0) {
    if (error_.empty()) error_ = "the port is not open";
    return PortStatus::kClosed;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  while (written < n) {
    ssize_t k = send(fd_, data + written, n - written, MSG_NOSIGNAL);
    if (k < 0 && errno == ENOTSOCK) k = write(fd_, data + written, n - written);
    if (k > 0) {
      written += static_cast<size_t>(k);
      continue;
    }
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Broken(Errno("write"));
    // Nothing taken: wait until the other side takes more, or the time is up.
    pollfd p{fd_, POLLOUT, 0};
    const int r = poll(&p, 1, Remaining(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return Broken(Errno("poll"));
    if (r == 0) return PortStatus::kTimeout;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return Broken("the connection to the printer was lost");
  }
  return PortStatus::kOk;
}

PortStatus FdPort::Read(uint8_t* out, size_t max, int timeout_ms, size_t& got) {
  got = 0;
  if (fd_ < 0) {
    if (error_.empty()) error_ = "the port is not open";
    return PortStatus::kClosed;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    const ssize_t k = read(fd_, out, max);
    if (k > 0) {
      got = static_cast<size_t>(k);
      return PortStatus::kOk;
    }
    if (k == 0 && eof_is_close_) return Broken("the printer closed the connection");
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Broken(Errno("read"));
    const int left = Remaining(deadline);
    if (left == 0) return PortStatus::kTimeout;
    pollfd p{fd_, POLLIN, 0};
    const int r = poll(&p, 1, left);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return Broken(Errno("poll"));
    if (r == 0) return PortStatus::kTimeout;
    // A hang-up without data, or with a read that just found nothing (a terminal whose other side
    // closed reports both "readable" and "hang-up" and then reads nothing).
    if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) && (!(p.revents & POLLIN) || k == 0)) {
      return Broken("the connection to the printer was lost");
    }
  }
}

bool FdPort::WouldBlock() {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLOUT, 0};
  return poll(&p, 1, 0) == 0;
}

bool TcpPort::Open(std::string& error) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const int gai = getaddrinfo(host_.c_str(), port_.c_str(), &hints, &list);
  if (gai != 0) {
    error = error_ = host_ + ": " + gai_strerror(gai);
    return false;
  }
  std::string last = "no address";
  for (addrinfo* a = list; a; a = a->ai_next) {
    int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int one = 1, sndbuf = kSocketSendBuffer;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
    int rc = connect(fd, a->ai_addr, a->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      rc = poll(&p, 1, kConnectTimeoutMs);
      int err = 0;
      socklen_t len = sizeof err;
      if (rc == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) {
        rc = 0;
      } else {
        errno = rc == 0 ? ETIMEDOUT : (err ? err : errno);
        rc = -1;
      }
    }
    if (rc == 0) {
      fd_ = fd;
      break;
    }
    last = std::strerror(errno);
    close(fd);
  }
  freeaddrinfo(list);
  if (fd_ < 0) {
    error = error_ = "cannot connect to " + host_ + ":" + port_ + ": " + last;
    return false;
  }
  error_.clear();
  return true;
}

std::string TcpPort::Description() const { return "Network printer at " + host_ + ":" + port_; }

bool SerialPort::ValidBaud(int baud) {
  switch (baud) {
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
    case 230400:
      return true;
    default:
      return false;
  }
}

namespace {
speed_t SpeedOf(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      return B9600;
  }
}
}  // namespace

bool SerialPort::Open(std::string& error) {
  Close();
  int fd = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = error_ = Errno(device_);
    return false;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    error = error_ = Errno(device_ + " is not a serial line");
    close(fd);
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (flow_ == FlowControl::kHardware) t.c_cflag |= CRTSCTS;
  if (flow_ == FlowControl::kXonXoff) t.c_iflag |= IXON | IXOFF;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, SpeedOf(baud_));
  cfsetospeed(&t, SpeedOf(baud_));
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    error = error_ = Errno(device_ + ": cannot set 8N1 at " + std::to_string(baud_) + " baud");
    close(fd);
    return false;
  }
  tcflush(fd, TCIOFLUSH);
  fd_ = fd;
  error_.clear();
  return true;
}

std::string SerialPort::Description() const {
  const char* flow = flow_ == FlowControl::kHardware  ? "RTS/CTS"
                     : flow_ == FlowControl::kXonXoff ? "XON/XOFF"
                                                      : "no";
  return "Serial printer on " + device_ + " at " + std::to_string(baud_) + " baud, 8N1, " + flow +
         " flow control";
}

bool UsbPort::Open(std::string& error) {
  Close();
  int fd = open(device_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = error_ = Errno(device_);
    return false;
  }
  fd_ = fd;
  error_.clear();
  return true;
}

std::string UsbPort::Description() const { return "USB printer on " + device_; }

}  // namespace zelta
