#include "platform/network_enum.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "platform/computer_name.h"

namespace zelta {
namespace {

struct Browse {
  AvahiSimplePoll* poll = nullptr;
  uint16_t default_port = 0;
  int pending_resolves = 0;
  bool all_for_now = false;
  bool failed = false;
  std::set<std::string> names;
};

void OnResolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                const char*, const char*, const char*, const char* host_name, const AvahiAddress*,
                uint16_t port, AvahiStringList*, AvahiLookupResultFlags flags, void* data) {
  auto* browse = static_cast<Browse*>(data);
  if (event == AVAHI_RESOLVER_FOUND && host_name) {
    std::string name = (flags & AVAHI_LOOKUP_RESULT_LOCAL) ? GetComputerName() : std::string(host_name);
    if (port != browse->default_port) name += ":" + std::to_string(port);
    if (!name.empty()) browse->names.insert(name);
  }
  --browse->pending_resolves;
  avahi_service_resolver_free(resolver);
}

void OnBrowse(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
              AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
              AvahiLookupResultFlags, void* data) {
  auto* browse = static_cast<Browse*>(data);
  switch (event) {
    case AVAHI_BROWSER_NEW:
      if (avahi_service_resolver_new(avahi_service_browser_get_client(browser), interface, protocol, name,
                                     type, domain, AVAHI_PROTO_INET, AVAHI_LOOKUP_USE_MULTICAST, OnResolved,
                                     browse)) {
        ++browse->pending_resolves;
      }
      break;
    case AVAHI_BROWSER_ALL_FOR_NOW:
      browse->all_for_now = true;
      break;
    case AVAHI_BROWSER_FAILURE:
      browse->failed = true;
      break;
    default:
      break;
  }
}

void OnClientState(AvahiClient*, AvahiClientState state, void* data) {
  if (state == AVAHI_CLIENT_FAILURE) static_cast<Browse*>(data)->failed = true;
}

}  // namespace

NetworkComputers EnumNetworkComputers(const std::string& container, uint16_t default_port, int timeout_ms) {
  NetworkComputers out;
  Browse browse;
  browse.default_port = default_port;
  browse.poll = avahi_simple_poll_new();
  if (!browse.poll) {
    out.open_result = kNetExtendedError;
    return out;
  }
  int error = 0;
  AvahiClient* client = avahi_client_new(avahi_simple_poll_get(browse.poll), AvahiClientFlags(0),
                                         OnClientState, &browse, &error);
  if (!client) {
    // No daemon (or no message bus to reach it): nothing can be browsed.
    out.open_result = kNetUnavailable;
    avahi_simple_poll_free(browse.poll);
    return out;
  }
  AvahiServiceBrowser* browser = avahi_service_browser_new(
      client, AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, kZeltaServiceType,
      container.empty() ? nullptr : container.c_str(), AvahiLookupFlags(0), OnBrowse, &browse);
  if (!browser) {
    out.open_result =
        avahi_client_errno(client) == AVAHI_ERR_DISCONNECTED ? kNetUnavailable : kNetExtendedError;
  } else {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!browse.failed && !(browse.all_for_now && browse.pending_resolves == 0)) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
              .count();
      if (left <= 0) break;
      if (avahi_simple_poll_iterate(browse.poll, static_cast<int>(std::min<long long>(left, 100))) != 0) {
        browse.failed = true;
      }
    }
    if (browse.failed) out.enum_result = kNetExtendedError;
    avahi_service_browser_free(browser);
  }
  // Freeing the client frees the resolvers still running.
  avahi_client_free(client);
  avahi_simple_poll_free(browse.poll);
  out.names.assign(browse.names.begin(), browse.names.end());
  return out;
}

}  // namespace zelta
