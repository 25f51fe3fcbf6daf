#include "browser/treeview_calls.h"

#include "browser/configuration.h"
#include "browser/network_functions.h"
#include "platform/registry.h"
#include "platform/ui_hooks.h"
#include "shared/bytes.h"

namespace zelta {
namespace {

const TreeNode* SelectedNode(const StartFormState& form) {
  return form.tvwServerCollection.Node(form.tvwServerCollection.Selected());
}

void RebuildTree(StartFormState& form) {
  form.tvwServerCollection.Clear();
  AddServerNode(form, "", "", "");
  DiscoverServers(form);
}

}  // namespace

bool ContextMenuFor(const std::string& image, ContextMenuEntries& entries) {
  if (image == kImageServer) {
    entries = {true, true, false};
  } else if (image == kImageDomain) {
    entries = {true, false, false};
  } else if (image == kImagePrinter || image == kImageNetPrinter) {
    entries = {false, false, true};
  } else {
    return false;
  }
  return true;
}

void RefreshCommand(StartFormState& form) {
  if (form.busy) return;
  SetBusy(form, true);
  if (const TreeNode* node = SelectedNode(form)) {
    if (node->image == kImageServer) {
      RefreshServer(form, node->key);
    } else if (node->image == kImageDomain) {
      RebuildTree(form);
    }
  }
  SetBusy(form, false);
}

void DeleteServerCommand(StartFormState& form) {
  if (form.busy) return;
  const TreeNode* node = SelectedNode(form);
  if (!node || node->image != kImageServer) return;
  SetBusy(form, true);
  const int id = node->id;
  const std::string key = node->key;
  std::string main_server;
  RegReadString(kZeltaKey, kMainServerValue, main_server);
  if (!main_server.empty()) {
    CreateServerCollection(main_server, form.creation);
    if (form.creation.ClosePending) {
      ServerCollectionObj.reset();
      UnloadStartForm(form);
      return;
    }
    if (!ServerCollectionObj) return SetBusy(form, false);
    int32_t result = 0;
    ServerCollectionObj->RemoveServer(key, result);
    if (result != 0) {
      ShowServerCollectionError(main_server);
      ServerCollectionObj.reset();
      return SetBusy(form, false);
    }
    ServerCollectionObj.reset();
  }
  form.tvwServerCollection.Remove(id);
  SetBusy(form, false);
}

void AddServerCommand(StartFormState& form) {
  if (form.busy) return;
  SetBusy(form, true);
  MainServerMode = false;
  if (form.show_main_server_dialog) form.show_main_server_dialog();
  if (!ChosenServer.empty()) RefreshServer(form, ChosenServer);
  SetBusy(form, false);
}

void SelectMainServerCommand(StartFormState& form) {
  if (form.busy) return;
  SetBusy(form, true);
  MainServerMode = true;
  if (form.show_main_server_dialog) form.show_main_server_dialog();
  if (ServerCollectionObj) {
    ServerCollectionObj.reset();
    RebuildTree(form);
  }
  SetBusy(form, false);
}

}  // namespace zelta
