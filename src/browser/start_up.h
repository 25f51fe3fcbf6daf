// The browser window's life: what loading settles (working mode, menus, the root node), the first
// activation that runs discovery, and the close request that waits for a pending remote creation.
#pragma once

#include "browser/browser_state.h"
#include "remote/remote_settings.h"

namespace zelta {

// Panel 1 texts of the working modes.
inline constexpr char kTextLocalMode[] = "LOCAL";
inline constexpr char kTextMainServerMode[] = "Main server";

// Loading after the window exists: CurrentFormName, the image library's folder, the working mode
// (LOCAL for the "OPOSETUP" program whatever the registry says, else "InstallationType"), the menus of
// LOCAL mode, the root node, and the hourglass until the first activation has run.
void LoadStartForm(StartFormState& form);

// Runs discovery on the first activation; later activations do nothing.
void ActivateStartForm(StartFormState& form);

// A close request: true when the window may unload now; false (with ClosePending set) while a remote
// creation is pending, in which case the operation that waits for it unloads the window.
bool StartFormCloseRequest(StartFormState& form);

// The client settings of the program: those of the registry, with "ServerPort" (under the same key)
// as the port of machines named without one.
RemoteSettings BrowserRemoteSettings();

}  // namespace zelta
