#include "server_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "support/free_port.h"

namespace zelta::test {

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
