#include "browser/browser_state.h"

namespace zelta {

bool MainServerMode = false;
std::string ChosenServer;
std::shared_ptr<ServerCollectionObject> ServerCollectionObj;

void SetBusy(StartFormState& form, bool busy) {
  form.busy = busy;
  if (form.busy_changed) form.busy_changed(busy);
}

void UnloadStartForm(StartFormState& form) {
  if (form.unloaded) return;
  form.unloaded = true;
  if (form.unload) form.unload();
}

void ResetBrowserVars() {
  MainServerMode = false;
  ChosenServer.clear();
  ServerCollectionObj.reset();
}

}  // namespace zelta
