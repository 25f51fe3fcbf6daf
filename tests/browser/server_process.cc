#include "server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/free_port.h"

extern char** environ;

namespace zelta::test {

bool ChildProgram::Start(const std::string& program, const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    pid_ = -1;
    close(out[0]);
    return false;
  }
  std::string text;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (port_ == 0 && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    size_t at = text.find("listening on ");
    size_t colon = at == std::string::npos ? at : text.find(':', at);
    size_t end = colon == std::string::npos ? colon : text.find_first_not_of("0123456789", colon + 1);
    if (end != std::string::npos) port_ = std::atoi(text.c_str() + colon + 1);
  }
  if (port_ == 0) {
    close(out[0]);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return false;
  }
  // The rest of its output stays in the pipe (the programs write a line or two more at most).
  out_ = out[0];
  return true;
}

ChildProgram::~ChildProgram() {
  if (out_ >= 0) close(out_);
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

bool StartServer(ChildProgram& child, const std::string& program, const std::string& folder,
                 const std::string& name, const std::string& config) {
  std::string text = config;
  if (text.find("listen =") == std::string::npos) text += "\nlisten = 127.0.0.1";
  if (text.find("announce =") == std::string::npos) text += "\nannounce = no";
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string full = text;
    if (full.find("port =") == std::string::npos) full += "\nport = " + std::to_string(FreePort());
    full += "\nserver_name = " + name + "\n";
    const std::string path = folder + "/" + name + ".conf";
    std::ofstream(path) << full;
    // A port taken between FreePort and the start fails the start: try another.
    if (child.Start(program, {"--config", path})) return true;
  }
  return false;
}

SilentListener::SilentListener() {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 && listen(fd_, 64) == 0 &&
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port_ = ntohs(a.sin_port);
  }
}

SilentListener::~SilentListener() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace zelta::test
