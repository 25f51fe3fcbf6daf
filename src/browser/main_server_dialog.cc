#include "browser/main_server_dialog.h"

#include "browser/browser_state.h"
#include "browser/configuration.h"
#include "browser/network_functions.h"
#include "platform/computer_name.h"
#include "platform/registry.h"
#include "platform/ui_hooks.h"
#include "shared/bytes.h"

namespace zelta {
namespace {

void Unload(MainServerDialogState& dialog) {
  dialog.busy = false;
  dialog.unloaded = true;
}

void ApplyMainServer(MainServerDialogState& dialog) {
  const std::string name = dialog.cmbServerText;
  ServerCollectionObj = std::dynamic_pointer_cast<ServerCollectionObject>(
      CreateRemoteObject(kProgIdServerCollection, name, dialog.creation));
  if (ServerCollectionObj) {
    RegWriteString(kZeltaKey, kMainServerValue, name);
    return Unload(dialog);
  }
  if (dialog.creation.ClosePending) return Unload(dialog);
  dialog.busy = false;
}

void ApplyAddServer(MainServerDialogState& dialog) {
  const std::string name = dialog.cmbServerText;
  std::shared_ptr<RemoteObject> server = CreateRemoteObject(kProgIdMonitor, name, dialog.creation);
  if (dialog.creation.ClosePending) return Unload(dialog);
  if (!server) {
    dialog.busy = false;
    return;
  }
  server.reset();
  ChosenServer = name;
  std::string main_server;
  RegReadString(kZeltaKey, kMainServerValue, main_server);
  if (main_server.empty()) return Unload(dialog);
  CreateServerCollection(main_server, dialog.creation);
  if (!ServerCollectionObj) return Unload(dialog);
  int32_t result = 0;
  ServerCollectionObj->AddServer(ChosenServer, "", result);
  if (result != 0) {
    ShowServerCollectionError(main_server);
  }
  ServerCollectionObj.reset();
  Unload(dialog);
}

}  // namespace

void LoadMainServerDialog(MainServerDialogState& dialog) {
  ChosenServer.clear();
  if (!MainServerMode) dialog.caption = kCaptionServer;
  dialog.cmbServerText.clear();
  ListNetworkComputers(dialog.cmbServerList, "");
  const std::string me = GetComputerName();
  for (size_t i = 0; i < dialog.cmbServerList.size(); ++i) {
    if (dialog.cmbServerList[i] == me) {
      dialog.cmbServerIndex = static_cast<int>(i);
      dialog.cmbServerText = me;
      break;
    }
  }
}

void ApplyMainServerDialog(MainServerDialogState& dialog) {
  if (dialog.busy || dialog.unloaded) return;
  dialog.busy = true;
  if (MainServerMode) {
    ApplyMainServer(dialog);
  } else {
    ApplyAddServer(dialog);
  }
}

bool MainServerDialogCloseRequest(MainServerDialogState& dialog) {
  if (dialog.creation.MyCreateObj) {
    dialog.creation.ClosePending = true;
    return false;
  }
  dialog.unloaded = true;
  return true;
}

}  // namespace zelta
