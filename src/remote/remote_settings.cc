#include "remote/remote_settings.h"

#include "platform/registry.h"

namespace zelta {

RemoteSettings RemoteSettingsFromRegistry() {
  RemoteSettings settings;
  std::string value;
  if (RegReadString(kRemoteRegistryKey, kRemoteTokenValue, value) == kRegSuccess)
    settings.access_token = value;
  if (RegReadString(kRemoteRegistryKey, kRemoteTrustValue, value) == kRegSuccess) {
    settings.trusted_certificate_file = value;
  }
  return settings;
}

}  // namespace zelta
