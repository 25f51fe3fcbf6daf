// The browser window's commands on the server tree: Refresh, Add server, Delete server, Select main
// server, and which context-menu entries a node offers. Each does nothing while the window is busy and
// shows the hourglass while it works.
#pragma once

#include <string>

#include "browser/browser_state.h"

namespace zelta {

struct ContextMenuEntries {
  bool refresh = false;
  bool delete_server = false;
  bool connect = false;
};

// The context-menu entries for a node with image; false when such a node has no menu.
bool ContextMenuFor(const std::string& image, ContextMenuEntries& entries);

// Server node: refreshes that server. Domain node: rebuilds the whole tree. Other nodes: nothing.
void RefreshCommand(StartFormState& form);
// Unregisters the selected server from the main server (when one is configured) and removes its node.
void DeleteServerCommand(StartFormState& form);
// Opens the server dialog in add mode and shows the chosen server in the tree.
void AddServerCommand(StartFormState& form);
// Opens the server dialog in main-server mode and rebuilds the tree from the new main server.
void SelectMainServerCommand(StartFormState& form);

}  // namespace zelta
