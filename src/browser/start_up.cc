#include "browser/start_up.h"

#include <cstdlib>

#include "browser/configuration.h"
#include "browser/network_functions.h"
#include "imglib/zelta_img.h"
#include "link/forms.h"
#include "link/status_texts.h"
#include "platform/registry.h"
#include "remote/remote_settings.h"
#include "shared/pubblic_var.h"

namespace zelta {

void LoadStartForm(StartFormState& form) {
  form.Activated = false;
  CurrentFormName = "StartForm";
  SetCurrentPath(AppFolder, static_cast<int32_t>(AppFolder.size()));
  if (ProgramVariant() == "OPOSETUP") {
    SetStatusText(kPanelInfo, kTextLocalMode);
    LocalInstallation = true;
  } else {
    std::string type;
    RegReadString(kZeltaKey, kInstallationTypeValue, type);
    LocalInstallation = type != "NETWORK";
    SetStatusText(kPanelInfo, LocalInstallation ? kTextLocalMode : kTextMainServerMode);
  }
  form.mnuOptionsVisible = !LocalInstallation;
  form.mnuTVDeleteServerVisible = !LocalInstallation;
  AddServerNode(form, "", "", "");
  SetBusy(form, true);
}

void ActivateStartForm(StartFormState& form) {
  if (form.Activated) return;
  form.Activated = true;
  DiscoverServers(form);
}

bool StartFormCloseRequest(StartFormState& form) {
  if (form.CreationPending()) {
    form.creation.ClosePending = true;
    return false;
  }
  return true;
}

RemoteSettings BrowserRemoteSettings() {
  RemoteSettings settings = RemoteSettingsFromRegistry();
  std::string port;
  if (RegReadString(kRemoteRegistryKey, "ServerPort", port) == kRegSuccess && !port.empty()) {
    char* end = nullptr;
    long n = std::strtol(port.c_str(), &end, 10);
    if (end && *end == '\0' && n > 0 && n < 65536) settings.default_port = static_cast<uint16_t>(n);
  }
  return settings;
}

}  // namespace zelta
