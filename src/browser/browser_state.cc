#include "browser/browser_state.h"

#include "platform/ui_hooks.h"
#include "shared/bytes.h"

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

void CreateServerCollection(const std::string& main_server, RemoteCreationState& creation) {
  ServerCollectionObj = std::dynamic_pointer_cast<ServerCollectionObject>(
      CreateRemoteObject(kProgIdServerCollection, main_server, creation));
}

void ShowServerCollectionError(const std::string& main_server) {
  PrinterErrorInfo info;
  int32_t result = 0;
  ServerCollectionObj->GetLastError(info, result);
  MsgBox("Error" + Str(info.Number) + " by " + info.Source + " on " + main_server + "." + "\r" +
             info.Description,
         MsgBoxButtons::kOk, MsgBoxIcon::kExclamation);
}

}  // namespace zelta
