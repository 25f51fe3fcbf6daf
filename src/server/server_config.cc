#include "server/server_config.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "remote/remote_settings.h"

namespace zelta {
namespace {

constexpr size_t kMaxTokenBytes = 256;
constexpr size_t kMaxLineBytes = 4096;
constexpr size_t kMaxEcho = 160;  // characters of a bad line's message

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitFields(const std::string& value) {
  std::vector<std::string> fields;
  std::stringstream in(value);
  std::string field;
  while (std::getline(in, field, ',')) fields.push_back(Trim(field));
  if (!value.empty() && value.back() == ',') fields.push_back("");
  return fields;
}

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && out <= max;
}

bool ParseBool(const std::string& text, bool& out) {
  std::string v = Lower(text);
  if (v == "yes" || v == "true" || v == "1" || v == "on") return out = true, true;
  if (v == "no" || v == "false" || v == "0" || v == "off") return out = false, true;
  return false;
}

// Device kinds: "gsi" (GS I 1, the default) or "escq" (ESC ? 0), or their numbers.
bool ParseKind(const std::string& text, int32_t& kind) {
  std::string v = Lower(text);
  if (v.empty() || v == "gsi" || v == "1") return kind = 1, true;
  if (v == "escq" || v == "2") return kind = 2, true;
  return false;
}

// A name that fits the NUL-separated lists: printable, without the list's separators.
bool GoodListName(const std::string& name, const char* forbidden) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32 || c == 127 || std::strchr(forbidden, c)) return false;
  }
  return true;
}

bool ParsePrinter(const std::string& value, ServerConfig& config, std::string& why) {
  std::vector<std::string> f = SplitFields(value);
  PrinterEntry e;
  if (f.size() < 2 || f.size() > 3) return why = "printer wants NAME, PORT_SPEC[, gsi|escq]", false;
  e.name = f[0];
  e.port_spec = f[1];
  if (!GoodListName(e.name, "=:\\")) return why = "bad printer name '" + e.name + "'", false;
  if (e.port_spec.empty() || e.port_spec.find('=') != std::string::npos || e.port_spec.size() > 200)
    return why = "bad port spec '" + e.port_spec + "'", false;
  if (f.size() == 3 && !ParseKind(f[2], e.device_kind)) return why = "bad device kind '" + f[2] + "'", false;
  config.printers.push_back(e);
  return true;
}

bool ParseNetPrinter(const std::string& value, ServerConfig& config, std::string& why) {
  std::vector<std::string> f = SplitFields(value);
  NetPrinterEntry e;
  uint64_t port = 0;
  if (f.size() < 3 || f.size() > 4) return why = "net_printer wants NAME, HOST, PORT[, gsi|escq]", false;
  e.name = f[0];
  e.host = f[1];
  if (!GoodListName(e.name, "=:\\")) return why = "bad net printer name '" + e.name + "'", false;
  if (!GoodListName(e.host, "=: ")) return why = "bad net printer host '" + e.host + "'", false;
  if (!ParseUnsigned(f[2], 65535, port) || port == 0)
    return why = "bad net printer port '" + f[2] + "'", false;
  e.port = static_cast<uint16_t>(port);
  if (f.size() == 4 && !ParseKind(f[3], e.device_kind)) return why = "bad device kind '" + f[3] + "'", false;
  config.net_printers.push_back(e);
  return true;
}

bool ParseLine(const std::string& key, const std::string& value, ServerConfig& config, std::string& why) {
  uint64_t n = 0;
  if (key == "listen") {
    if (value.empty()) return why = "listen wants an address", false;
    config.listen_address = value;
  } else if (key == "port") {
    if (!ParseUnsigned(value, 65535, n) || n == 0) return why = "bad port '" + value + "'", false;
    config.port = static_cast<uint16_t>(n);
  } else if (key == "server_name") {
    if (!GoodListName(value, "\\")) return why = "bad server name '" + value + "'", false;
    config.server_name = value;
  } else if (key == "printer") {
    return ParsePrinter(value, config, why);
  } else if (key == "net_printer") {
    return ParseNetPrinter(value, config, why);
  } else if (key == "main_server") {
    if (!ParseBool(value, config.main_server)) return why = "main_server wants yes or no", false;
  } else if (key == "server_list") {
    config.server_list_file = value;
  } else if (key == "tls_certificate") {
    config.tls_certificate_file = value;
  } else if (key == "tls_key") {
    config.tls_key_file = value;
  } else if (key == "access_token") {
    // The token travels as an HTTP/2 header: printable ASCII without blanks, and of a sane length.
    if (value.empty()) return why = "access_token is empty: remove the line to run without a token", false;
    if (value.size() > kMaxTokenBytes) return why = "access_token is longer than 256 characters", false;
    for (char ch : value) {
      if (ch < 0x21 || ch > 0x7e)
        return why = "access_token may hold only printable ASCII characters without blanks", false;
    }
    config.access_token = value;
  } else if (key == "announce") {
    if (!ParseBool(value, config.announce)) return why = "announce wants yes or no", false;
  } else if (key == "allow_plaintext_remote") {
    if (!ParseBool(value, config.allow_plaintext_remote))
      return why = "allow_plaintext_remote wants yes or no", false;
  } else if (key == "send_queue") {
    if (!ParseUnsigned(value, 16u << 20, n) || n < 4096)
      return why = "send_queue wants 4096..16777216", false;
    config.send_queue_bytes = static_cast<uint32_t>(n);
  } else if (key == "lease_ms" || key == "read_timeout_ms" || key == "write_timeout_ms") {
    if (!ParseUnsigned(value, 600000, n) || n < 50) return why = key + " wants 50..600000", false;
    if (key == "lease_ms") config.lease_ms = static_cast<uint32_t>(n);
    if (key == "read_timeout_ms") config.read_timeout_ms = static_cast<int32_t>(n);
    if (key == "write_timeout_ms") config.write_timeout_ms = static_cast<int32_t>(n);
  } else {
    return why = "unknown key '" + key + "'", false;
  }
  return true;
}

}  // namespace

bool ParseServerConfig(std::string_view text, ServerConfig& config, std::string& error) {
  std::stringstream in{std::string(text)};
  std::string raw;
  int line_no = 0;
  while (std::getline(in, raw)) {
    ++line_no;
    if (raw.size() > kMaxLineBytes) {
      error = "line " + std::to_string(line_no) + ": longer than " + std::to_string(kMaxLineBytes) +
              " characters";
      return false;
    }
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    std::string why;
    if (eq == std::string::npos) {
      why = "expected key = value";
    } else if (!ParseLine(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)), config, why)) {
      // why is set
    } else {
      continue;
    }
    // What the line held is quoted in the message only in part.
    if (why.size() > kMaxEcho) why = why.substr(0, kMaxEcho) + "...";
    error = "line " + std::to_string(line_no) + ": " + why;
    return false;
  }
  return true;
}

bool LoadServerConfig(const std::string& path, ServerConfig& config, std::string& error,
                      std::string* warning) {
  if (warning) warning->clear();
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = path + (S_ISDIR(st.st_mode) ? " is a directory" : " is not a regular file") +
            ", not a configuration file";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  if (!ParseServerConfig(text.str(), config, error)) {
    error = path + ": " + error;
    return false;
  }
  if (!ValidateServerConfig(config, error)) {
    error = path + ": " + error;
    return false;
  }
  if (warning && !config.access_token.empty() && (st.st_mode & (S_IRGRP | S_IROTH)))
    *warning = path + " holds the access token and other users can read it: chmod 600 " + path;
  return true;
}

bool IsLoopbackAddress(const std::string& address) {
  std::string a = Lower(address);
  if (a.size() >= 2 && a.front() == '[' && a.back() == ']') a = a.substr(1, a.size() - 2);
  // Only a literal loopback address: a host name such as "127.example.com" may resolve to anything.
  in_addr v4{};
  in6_addr v6{};
  if (inet_pton(AF_INET, a.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  if (inet_pton(AF_INET6, a.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return a == "localhost";
}

bool ValidateServerConfig(ServerConfig& config, std::string& error) {
  if (config.port == 0) config.port = kDefaultServerPort;
  if (config.server_name.empty()) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == 0)
      std::snprintf(host, sizeof host, "localhost");
    config.server_name = host;
  }
  if (config.tls_certificate_file.empty() != config.tls_key_file.empty()) {
    error = "tls_certificate and tls_key go together";
    return false;
  }
  if (config.main_server && config.server_list_file.empty()) {
    error = "main_server = yes needs server_list = FILE";
    return false;
  }
  std::set<std::string> names;
  for (const auto& p : config.printers) {
    if (!names.insert(Lower(p.name)).second)
      return error = "printer name '" + p.name + "' given twice", false;
  }
  std::set<std::string> specs;
  for (const auto& p : config.printers) {
    if (!specs.insert(p.port_spec).second)
      return error = "port " + p.port_spec + " is given to two printers", false;
  }
  std::set<std::string> net_names;
  for (const auto& p : config.net_printers) {
    if (!net_names.insert(Lower(p.name) + ":" + std::to_string(p.port)).second)
      return error = "net printer '" + p.name + "' on port " + std::to_string(p.port) + " given twice", false;
  }
  bool secured = !config.tls_certificate_file.empty() && !config.access_token.empty();
  if (!IsLoopbackAddress(config.listen_address) && !secured && !config.allow_plaintext_remote) {
    error = "listening on " + config.listen_address +
            " reaches other machines: configure tls_certificate, tls_key and access_token, or set "
            "allow_plaintext_remote = yes";
    return false;
  }
  return true;
}

}  // namespace zelta
