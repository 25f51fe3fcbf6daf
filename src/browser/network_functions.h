// Discovery: the shop's servers (this computer alone in LOCAL mode, the main server's list otherwise),
// the printers and net printers of each, and the computers of the network for the server dialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "browser/browser_state.h"
#include "platform/network_enum.h"

namespace zelta {

// Fills the tree below the root: creates a Monitor on every server of the list (side by side, taken
// in list order), reads its printer list, adds its node, then the net printers of the first server
// that lists them. Ends with "Ready..." and the normal pointer. Unloads the window when it was closed
// during a creation.
void DiscoverServers(StartFormState& form);

// How many servers discovery asks at once (default 128; 1 asks them one after another).
void SetDiscoveryConcurrency(size_t servers);

// Reconnects one server and rebuilds its node and printer nodes.
void RefreshServer(StartFormState& form, const std::string& name);

// Adds (or rebuilds) the node of server name with the printers of list ("port=name" entries, each
// ended by NUL) and the text name + suffix. In main-server mode an empty tree first gets its root.
void AddServerNode(StartFormState& form, const std::string& name, const std::string& list,
                   const std::string& suffix);

// Adds one node per entry "host:port=name" of list.
void AddNetPrinterNodes(StartFormState& form, const std::string& list);

// Server node suffixes.
inline constexpr char kSuffixBusy[] = " (Busy)";
inline constexpr char kSuffixUnreachable[] = " (Unreacheable)";

// The names of a server list: each ended by NUL (a last name without one is taken as it is); empty
// names are skipped.
std::vector<std::string> SplitServerList(const std::string& list);

// Adds the computers of container ("" for the current network context) to combo, with the messages
// of a network that cannot be enumerated.
void ListNetworkComputers(std::vector<std::string>& combo, const std::string& container);

// How the computers of the network are enumerated; the default asks the Avahi daemon. An empty
// function puts the default back.
using NetworkEnumerator = std::function<NetworkComputers(const std::string& container)>;
void SetNetworkEnumerator(NetworkEnumerator enumerator);

}  // namespace zelta
