// Remote object creation as the windows use it: start the creation, yield to the event loop until it
// has ended, and show why it failed.
#pragma once

#include <memory>
#include <string>

#include "remote/create_obj.h"

namespace zelta {

// One window's creation state: its own factory and flags.
struct RemoteCreationState {
  std::unique_ptr<CreateObj> MyCreateObj;  // set while a creation is pending
  bool CreateDone = false;                 // set by OnComplete
  bool ClosePending = false;               // set by the window's close request during a creation
};

// Creates an object of class progId on machine. Yields with DoEvents while it waits; a failure is shown
// in a message box (exclamation icon, OK) and gives null. state.MyCreateObj is empty again on return;
// state.ClosePending is left for the caller to test.
std::shared_ptr<RemoteObject> CreateRemoteObject(const std::string& progId, const std::string& machine,
                                                 RemoteCreationState& state);

}  // namespace zelta
