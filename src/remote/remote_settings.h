// Settings of the remote client: where servers listen by default, how long a creation and a call may
// take, and what secures the connection. Plain values; no gRPC here.
#pragma once

#include <cstdint>
#include <string>

namespace zelta {

// The port zelta-server listens on unless configured otherwise.
constexpr uint16_t kDefaultServerPort = 47100;

struct RemoteSettings {
  uint16_t default_port = kDefaultServerPort;  // used when the machine name carries no ":port"
  int connect_timeout_ms = 3000;               // name resolution plus connection, per creation
  int call_timeout_ms = 5000;                  // per server call; printer calls add their own time-outs to it
  std::string access_token;                    // sent with every call when not empty
  // PEM file of the certificate (or its authority) that the servers present. Not empty: TLS, and the
  // server's certificate must match the machine name. Empty: plain connection.
  std::string trusted_certificate_file;
};

// Registry key and values that hold the client's security settings.
inline constexpr char kRemoteRegistryKey[] = "SOFTWARE\\Zelta\\Remote";
inline constexpr char kRemoteTokenValue[] = "AccessToken";
inline constexpr char kRemoteTrustValue[] = "TrustedCertificate";

// The settings with the access token and the trusted certificate file read from the registry (key
// kRemoteRegistryKey); a missing key or value leaves the default (no token, plain connection). Values
// must be shorter than 128 bytes, as every registry value the program reads.
RemoteSettings RemoteSettingsFromRegistry();

}  // namespace zelta
