// The configuration of zelta-server, read from a text file of "key = value" lines (see README,
// "zelta-server"). Blank lines and lines starting with '#' are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelta {

// A printer attached to this machine, listed as "port=name".
struct PrinterEntry {
  std::string name;
  std::string port_spec;  // tcp:HOST:PORT, serial:DEVICE:BAUD, usb:/dev/usb/lpN or emu:MODEL_ID
  int32_t device_kind = 1;
};

// A printer on the shop network reached by its own address, listed as "host:port=name".
struct NetPrinterEntry {
  std::string host;
  uint16_t port = 9100;
  std::string name;
  int32_t device_kind = 1;
};

struct ServerConfig {
  std::string listen_address = "127.0.0.1";
  uint16_t port = 0;        // 0 until parsed: the default port
  std::string server_name;  // shown in ServerInfo and messages; empty: the host name
  std::vector<PrinterEntry> printers;
  std::vector<NetPrinterEntry> net_printers;
  bool main_server = false;
  std::string server_list_file;  // required when main_server
  std::string tls_certificate_file, tls_key_file;
  std::string access_token;
  bool allow_plaintext_remote = false;  // listening beyond loopback without TLS and token
  bool announce = true;                 // announce the server on the network by DNS-SD
  uint32_t lease_ms = 5000;             // how long an object lives without a call or renewal
  int32_t read_timeout_ms = 1000;       // initial time-outs of a new printer session
  int32_t write_timeout_ms = 1000;
  uint32_t send_queue_bytes = 65536;  // the send queue of each printer session (the client's credit)
};

// Parses text into config (which keeps its defaults for keys not given). On failure returns false and
// error says "line N: ..."; config is then partly filled and must not be used.
bool ParseServerConfig(std::string_view text, ServerConfig& config, std::string& error);

// Reads and parses the regular file at path, then checks the whole (ValidateServerConfig). warning, when
// given, receives a caution that does not stop the start (a token in a file that others can read), or "".
bool LoadServerConfig(const std::string& path, ServerConfig& config, std::string& error,
                      std::string* warning = nullptr);

// Checks what only the whole configuration shows: TLS certificate and key given together, a server
// list file for the main server, distinct printer names, and no plain-text listening beyond loopback
// unless allowed. Fills in the default port and server name.
bool ValidateServerConfig(ServerConfig& config, std::string& error);

// True for an address that only this machine reaches (127.0.0.0/8, ::1, localhost).
bool IsLoopbackAddress(const std::string& address);

}  // namespace zelta
