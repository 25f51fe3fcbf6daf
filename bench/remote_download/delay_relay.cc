#include "delay_relay.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

namespace zelta::bench {
namespace {

using Clock = std::chrono::steady_clock;

int Connect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// Copies from one socket to another, each chunk delivered delay after it arrived, in order.
void Pipe(int from, int to, std::chrono::microseconds delay, const std::atomic<bool>& stop) {
  struct Chunk {
    Clock::time_point due;
    std::string data;
  };
  std::mutex mu;
  std::condition_variable cv;
  std::deque<Chunk> queue;
  bool closed = false;
  std::thread writer([&] {
    std::unique_lock<std::mutex> lock(mu);
    while (true) {
      cv.wait(lock, [&] { return closed || !queue.empty(); });
      if (queue.empty()) break;
      Chunk c = std::move(queue.front());
      queue.pop_front();
      lock.unlock();
      std::this_thread::sleep_until(c.due);
      size_t done = 0;
      while (done < c.data.size()) {
        ssize_t n = send(to, c.data.data() + done, c.data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      lock.lock();
    }
    shutdown(to, SHUT_WR);
  });
  char buffer[65536];
  while (!stop) {
    pollfd p{from, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    ssize_t n = recv(from, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    std::lock_guard<std::mutex> lock(mu);
    queue.push_back({Clock::now() + delay, std::string(buffer, static_cast<size_t>(n))});
    cv.notify_one();
  }
  {
    std::lock_guard<std::mutex> lock(mu);
    closed = true;
  }
  cv.notify_one();
  writer.join();
}

}  // namespace

DelayRelay::DelayRelay(int target_port, std::chrono::microseconds delay)
    : target_port_(target_port), delay_(delay) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), len);
  listen(listen_fd_, 16);
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

DelayRelay::~DelayRelay() {
  stop_ = true;
  acceptor_.join();
  for (int fd : fds_) shutdown(fd, SHUT_RDWR);
  for (auto& t : pipes_) t.join();
  for (int fd : fds_) close(fd);
  close(listen_fd_);
}

void DelayRelay::Accept() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    int client = accept(listen_fd_, nullptr, nullptr);
    if (client < 0) continue;
    int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int server = Connect(target_port_);
    if (server < 0) {
      close(client);
      continue;
    }
    fds_.push_back(client);
    fds_.push_back(server);
    pipes_.emplace_back(Pipe, client, server, delay_, std::cref(stop_));
    pipes_.emplace_back(Pipe, server, client, delay_, std::cref(stop_));
  }
}

}  // namespace zelta::bench
