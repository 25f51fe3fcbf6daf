// The browser window as a plain record: its tree, its creation state and flags, and the few window
// actions the routines need. The Qt window fills in the actions and draws the record; tests record them.
#pragma once

#include "shared/pubblic_var.h"  // kProgramTitle

#include <functional>
#include <memory>
#include <string>

#include "browser/server_tree.h"
#include "remote/create_remote_object.h"
#include "remote/server_objects.h"

namespace zelta {

// Shared variables of the server dialog: which way it opens, the server it chose in add mode, and the
// main server's object it leaves for its caller.
extern bool MainServerMode;
extern std::string ChosenServer;
extern std::shared_ptr<ServerCollectionObject> ServerCollectionObj;

// Creates ServerCollectionObj on main_server through creation; it stays empty when the creation
// failed (after its message).
void CreateServerCollection(const std::string& main_server, RemoteCreationState& creation);

// "Error N by Source on MAIN." and the description of ServerCollectionObj's last failure, in a message
// box. Precondition: ServerCollectionObj is set.
void ShowServerCollectionError(const std::string& main_server);

// Windows that a connected printer opens.
enum class PrinterWindow { kLogoForm, kPrnForm, kPrnBraForm };

struct StartFormState {
  ServerTree tvwServerCollection;
  RemoteCreationState creation;  // MyCreateObj, CreateDone, ClosePending
  int parallel_creations = 0;    // creations of a discovery still running
  int calls_pending = 0;         // server calls of a discovery still running
  bool Activated = false;
  bool ItemHit = false;
  bool busy = false;  // the hourglass pointer
  bool mnuOptionsVisible = true;
  bool mnuTVDeleteServerVisible = true;
  bool unloaded = false;

  // Unloads the window, which ends the program.
  std::function<void()> unload;
  // Opens the server dialog modally (MainServerMode says which way); returns when it has closed.
  std::function<void()> show_main_server_dialog;
  // Opens window for the connected printer (PrinterObj, PrinterModelId) modeless, owned by the browser
  // window, and hides the browser window. False when it could not be opened.
  std::function<bool(PrinterWindow window, const std::string& node_text)> open_printer_window;
  // Tells the window to show the new busy state.
  std::function<void(bool)> busy_changed;

  // A remote creation or server call runs: the window may not unload before it has ended.
  bool CreationPending() const {
    return creation.MyCreateObj != nullptr || parallel_creations > 0 || calls_pending > 0;
  }
};

void SetBusy(StartFormState& form, bool busy);
// Unloads the window (once).
void UnloadStartForm(StartFormState& form);

// Puts the dialog's shared variables back to their state at program start.
void ResetBrowserVars();

}  // namespace zelta
