// The computers of the shop network that run a Zelta server: they announce the service type
// "_zelta._tcp" by DNS-SD (multicast DNS) through the machine's Avahi daemon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelta {

// Result codes of the network enumeration, as the platform's enumeration functions give them.
constexpr int32_t kNetOk = 0;
constexpr int32_t kNetUnavailable = 1222;    // no daemon to ask: the network is unavailable
constexpr int32_t kNetExtendedError = 1208;  // the daemon refused or failed the request

inline constexpr char kZeltaServiceType[] = "_zelta._tcp";

struct NetworkComputers {
  int32_t open_result = kNetOk;  // starting the enumeration
  int32_t enum_result = kNetOk;  // while it ran; names holds what was found before a failure
  std::vector<std::string> names;
};

// Lists the machines that announce the Zelta service in container (a DNS-SD domain; "" for the
// default one) as names a remote creation reaches: this computer's name for a service of this
// computer, else the announced host name ("shop-02.local"), each followed by ":PORT" when the port is
// not default_port. Names are sorted and listed once. Returns within about timeout_ms whatever the
// network does.
NetworkComputers EnumNetworkComputers(const std::string& container, uint16_t default_port, int timeout_ms);

}  // namespace zelta
