// Programs started by the tests as child processes, their stdout on a pipe.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace zelta::test {

class Child {
 public:
  // Starts program with args (its stderr too on the pipe when with_stderr); false when it cannot be
  // started.
  bool Start(const std::string& program, const std::vector<std::string>& args, bool with_stderr = false);
  // Reads one line of the child's output within timeout; false at end of output or time-out.
  bool ReadLine(std::string& line, std::chrono::milliseconds timeout);
  void Kill();  // SIGKILL and reap
  void Stop();  // SIGTERM, SIGKILL after 2 s, and reap
  ~Child();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
};

// zelta-server or zelta-printer-emu: started, it says "listening on HOST:PORT"; ended with SIGTERM.
class ChildProgram {
 public:
  // Starts program with args and waits (at most 10 s) for that line; port() is then its port. False
  // when it did not come.
  bool Start(const std::string& program, const std::vector<std::string>& args);
  int port() const { return port_; }
  ~ChildProgram() { child_.Stop(); }

 private:
  Child child_;
  int port_ = 0;
};

}  // namespace zelta::test
