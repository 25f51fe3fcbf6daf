// A TCP relay on loopback that holds every chunk for a fixed time in each direction, standing in for
// a slow network between a program and the machine it talks to.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace zelta::bench {

class DelayRelay {
 public:
  // Listens on 127.0.0.1 (a free port) and forwards each connection to 127.0.0.1:target_port.
  DelayRelay(int target_port, std::chrono::microseconds delay);
  ~DelayRelay();
  int port() const { return port_; }

 private:
  void Accept();
  int target_port_;
  std::chrono::microseconds delay_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::vector<std::thread> pipes_;
  std::vector<int> fds_;
};

}  // namespace zelta::bench
