// Machine names of remote creations: "host", "host:port", "[v6 address]" or "[v6 address]:port".
#pragma once

#include <cstdint>
#include <string>

namespace zelta {

// Splits machine into host and port (default_port when none is given). False with error when the name
// is empty, has a bad port, or has characters no host name has.
bool ParseMachine(const std::string& machine, uint16_t default_port, std::string& host, uint16_t& port,
                  std::string& error);

// True when host resolves to an address within timeout_ms; otherwise false with error saying whether
// the name does not exist or the lookup took too long. Never blocks much longer than timeout_ms.
bool ResolveWithin(const std::string& host, int timeout_ms, std::string& error);

// "host:port" as gRPC wants it (IPv6 addresses in brackets).
std::string GrpcTarget(const std::string& host, uint16_t port);

}  // namespace zelta
