// The server dialog as a plain record: pick a computer of the network as the new main server
// (MainServerMode) or as a server to add to the main server's list. The Qt dialog draws it.
#pragma once

#include <string>
#include <vector>

#include "remote/create_remote_object.h"

namespace zelta {

inline constexpr char kCaptionMainServer[] = "Main server selection";
inline constexpr char kCaptionServer[] = "Server selection";

struct MainServerDialogState {
  std::string caption = kCaptionMainServer;
  std::vector<std::string> cmbServerList;  // the combo box's list
  std::string cmbServerText;               // its editable text
  int cmbServerIndex = -1;                 // the selected entry
  RemoteCreationState creation;
  bool busy = false;
  bool unloaded = false;
};

// Opening: clears ChosenServer, sets the caption, lists the computers of the network and selects this
// computer's entry.
void LoadMainServerDialog(MainServerDialogState& dialog);

// Apply: main-server mode makes the main server's object from the text and saves the name as
// "MainServer"; add mode checks that a server answers there, keeps its name in ChosenServer and
// registers it with the configured main server. Unloads the dialog when done; keeps it open when no
// server answered.
void ApplyMainServerDialog(MainServerDialogState& dialog);

// A close request: true when the dialog may close now; false (with ClosePending set) while a creation
// is pending, in which case the Apply that waits unloads it.
bool MainServerDialogCloseRequest(MainServerDialogState& dialog);

}  // namespace zelta
