#include "remote/machine_address.h"

#include <netdb.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <ctime>

namespace zelta {

bool ParseMachine(const std::string& machine, uint16_t default_port, std::string& host, uint16_t& port,
                  std::string& error) {
  std::string rest;
  if (!machine.empty() && machine.front() == '[') {
    size_t close = machine.find(']');
    if (close == std::string::npos) return error = "The machine name " + machine + " lacks its ']'.", false;
    host = machine.substr(1, close - 1);
    rest = machine.substr(close + 1);
    if (!rest.empty() && rest.front() != ':')
      return error = "The machine name " + machine + " is not valid.", false;
  } else {
    size_t colon = machine.find(':');
    host = machine.substr(0, colon);
    if (colon != std::string::npos) rest = machine.substr(colon);
  }
  if (host.empty() || host.size() > 253)
    return error = "The machine name '" + machine + "' is not valid.", false;
  for (char c : host) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == ':'))
      return error = "The machine name '" + machine + "' is not valid.", false;
  }
  port = default_port;
  if (!rest.empty()) {
    unsigned value = 0;
    const char* begin = rest.data() + 1;
    const char* end = rest.data() + rest.size();
    auto [p, ec] = std::from_chars(begin, end, value);
    if (begin == end || ec != std::errc() || p != end || value == 0 || value > 65535)
      return error = "The machine name " + machine + " has a bad port number.", false;
    port = static_cast<uint16_t>(value);
  }
  return true;
}

bool ResolveWithin(const std::string& host, int timeout_ms, std::string& error) {
  // The request lives on the heap: a lookup that cannot be cancelled still writes into it later, so
  // in that case it is left behind on purpose.
  struct Lookup {
    std::string name;
    addrinfo hints{};
    gaicb request{};
  };
  auto* lookup = new Lookup;
  lookup->name = host;
  lookup->hints.ai_socktype = SOCK_STREAM;
  lookup->request.ar_name = lookup->name.c_str();
  lookup->request.ar_request = &lookup->hints;
  gaicb* list[1] = {&lookup->request};
  if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
    delete lookup;
    error = "The name " + host + " cannot be looked up.";
    return false;
  }
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeout_ms / 1000;
  deadline.tv_nsec += (timeout_ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) deadline.tv_sec += 1, deadline.tv_nsec -= 1000000000L;
  int status;
  while ((status = gai_error(&lookup->request)) == EAI_INPROGRESS) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long left_ms = (deadline.tv_sec - now.tv_sec) * 1000 + (deadline.tv_nsec - now.tv_nsec) / 1000000;
    if (left_ms <= 0) break;
    timespec wait{left_ms / 1000, (left_ms % 1000) * 1000000L};
    const gaicb* pending[1] = {&lookup->request};
    gai_suspend(pending, 1, &wait);
  }
  if (status == EAI_INPROGRESS) {
    if (gai_cancel(&lookup->request) == EAI_CANCELED) delete lookup;
    error = "The name " + host + " could not be resolved within " + std::to_string(timeout_ms) + " ms.";
    return false;
  }
  if (status == 0) {
    freeaddrinfo(lookup->request.ar_result);
    delete lookup;
    return true;
  }
  error = "The name " + host + " does not resolve (" + gai_strerror(status) + ").";
  delete lookup;
  return false;
}

std::string GrpcTarget(const std::string& host, uint16_t port) {
  if (host.find(':') != std::string::npos) return "ipv6:[" + host + "]:" + std::to_string(port);
  return host + ":" + std::to_string(port);
}

}  // namespace zelta
