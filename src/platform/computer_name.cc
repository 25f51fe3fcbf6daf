#include "platform/computer_name.h"

#include <unistd.h>

#include <cstdlib>

namespace zelta {
namespace {

constexpr size_t kComputerNameBuffer = 32;

std::string HostName() {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return "";
  return buffer;
}

}  // namespace

std::string GetComputerName() {
  std::string host = HostName();
  host = host.substr(0, host.find('.'));
  if (host.size() > kComputerNameBuffer - 1) host.resize(kComputerNameBuffer - 1);
  return host;
}

std::string UserDomain() {
  const char* domain = std::getenv("USERDOMAIN");
  if (domain && *domain) return domain;
  std::string host = HostName();
  size_t dot = host.find('.');
  if (dot != std::string::npos && dot + 1 < host.size()) return host.substr(dot + 1);
  return "WORKGROUP";
}

}  // namespace zelta
