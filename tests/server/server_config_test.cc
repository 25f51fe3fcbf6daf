#include "server/server_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "remote/remote_settings.h"
#include "support/temp_dir.h"

namespace zelta {
namespace {

TEST(ServerConfig, ReadsEveryKey) {
  ServerConfig c;
  std::string error;
  const char* text =
      "# shop counter\n"
      "listen = 0.0.0.0\n"
      "  port=47200  \n"
      "server_name = COUNTER1\n"
      "printer = Receipt, emu:36\n"
      "printer = Kitchen, tcp:127.0.0.1:9101, escq\n"
      "net_printer = Bar, 127.0.0.5, 9100\n"
      "main_server = yes\n"
      "server_list = /tmp/servers.txt\n"
      "tls_certificate = /etc/zelta/server.crt\n"
      "tls_key = /etc/zelta/server.key\n"
      "access_token = s3cret\n"
      "lease_ms = 1500\n"
      "read_timeout_ms = 2000\n"
      "write_timeout_ms = 3000\n";
  ASSERT_TRUE(ParseServerConfig(text, c, error)) << error;
  ASSERT_TRUE(ValidateServerConfig(c, error)) << error;
  EXPECT_EQ(std::tie(c.listen_address, c.port, c.server_name, c.main_server, c.server_list_file),
            std::make_tuple("0.0.0.0", 47200, "COUNTER1", true, "/tmp/servers.txt"));
  EXPECT_EQ(std::tie(c.tls_certificate_file, c.tls_key_file, c.access_token),
            std::make_tuple("/etc/zelta/server.crt", "/etc/zelta/server.key", "s3cret"));
  EXPECT_EQ(std::tie(c.lease_ms, c.read_timeout_ms, c.write_timeout_ms), std::make_tuple(1500u, 2000, 3000));
  ASSERT_EQ(c.printers.size(), 2u);
  EXPECT_EQ(std::tie(c.printers[0].name, c.printers[0].port_spec, c.printers[0].device_kind),
            std::make_tuple("Receipt", "emu:36", 1));
  EXPECT_EQ(std::tie(c.printers[1].name, c.printers[1].port_spec, c.printers[1].device_kind),
            std::make_tuple("Kitchen", "tcp:127.0.0.1:9101", 2));
  ASSERT_EQ(c.net_printers.size(), 1u);
  EXPECT_EQ(std::tie(c.net_printers[0].name, c.net_printers[0].host, c.net_printers[0].port),
            std::make_tuple("Bar", "127.0.0.5", 9100));
}

TEST(ServerConfig, DefaultsAreLoopbackAndTheFixedPort) {
  ServerConfig c;
  std::string error;
  ASSERT_TRUE(ParseServerConfig("", c, error));
  ASSERT_TRUE(ValidateServerConfig(c, error)) << error;
  EXPECT_EQ(c.listen_address, "127.0.0.1");
  EXPECT_EQ(c.port, kDefaultServerPort);
  EXPECT_FALSE(c.server_name.empty());
  EXPECT_FALSE(c.main_server);
}

TEST(ServerConfig, BadLinesNameTheirLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"port = 0", "line 1: bad port '0'"},
      {"\nport = 70000", "line 2: bad port '70000'"},
      {"port = 12x", "line 1: bad port '12x'"},
      {"colour = red", "line 1: unknown key 'colour'"},
      {"just words", "line 1: expected key = value"},
      {"printer = OnlyName", "line 1: printer wants NAME, PORT_SPEC[, gsi|escq]"},
      {"printer = A=B, emu:36", "line 1: bad printer name 'A=B'"},
      {"printer = A:B, emu:36", "line 1: bad printer name 'A:B'"},
      {"printer = A, emu:36, star", "line 1: bad device kind 'star'"},
      {"printer = , emu:36", "line 1: bad printer name ''"},
      {"net_printer = Bar, 127.0.0.5", "line 1: net_printer wants NAME, HOST, PORT[, gsi|escq]"},
      {"net_printer = Bar, fe80::1, 9100", "line 1: bad net printer host 'fe80::1'"},
      {"net_printer = Bar, host, 0", "line 1: bad net printer port '0'"},
      {"main_server = maybe", "line 1: main_server wants yes or no"},
      {"lease_ms = 10", "line 1: lease_ms wants 50..600000"},
      {"send_queue = 100", "line 1: send_queue wants 4096..16777216"},
      {"access_token =", "line 1: access_token is empty: remove the line to run without a token"},
      {"access_token = two words",
       "line 1: access_token may hold only printable ASCII characters without blanks"},
      {"access_token = caf\xc3\xa9",
       "line 1: access_token may hold only printable ASCII characters without blanks"},
  };
  for (const auto& c : cases) {
    ServerConfig config;
    std::string error;
    EXPECT_FALSE(ParseServerConfig(c.text, config, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(ServerConfig, WholeConfigurationChecks) {
  const struct {
    const char* text;
    const char* error_part;  // empty: the configuration is good
  } cases[] = {
      {"tls_certificate = a.crt", "tls_certificate and tls_key go together"},
      {"main_server = yes", "needs server_list"},
      {"printer = A, emu:36\nprinter = a, emu:32", "printer name 'a' given twice"},
      {"printer = A, tcp:127.0.0.9:9100\nprinter = B, tcp:127.0.0.9:9100",
       "port tcp:127.0.0.9:9100 is given to two printers"},
      {"listen = 0.0.0.0", "reaches other machines"},
      {"listen = 192.168.1.4\naccess_token = t", "reaches other machines"},
      {"listen = 0.0.0.0\ntls_certificate = c\ntls_key = k\naccess_token = t", ""},
      {"listen = 0.0.0.0\nallow_plaintext_remote = yes", ""},
  };
  for (const auto& c : cases) {
    ServerConfig config;
    std::string error;
    ASSERT_TRUE(ParseServerConfig(c.text, config, error)) << error;
    EXPECT_EQ(ValidateServerConfig(config, error), !*c.error_part) << c.text << ": " << error;
    if (*c.error_part) {
      EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
    }
  }
}

TEST(ServerConfig, LoopbackAddresses) {
  for (const auto& [address, loopback] : {std::pair{"127.0.0.1", true},
                                          {"127.5.5.5", true},
                                          {"::1", true},
                                          {"[::1]", true},
                                          {"LocalHost", true},
                                          {"0.0.0.0", false},
                                          {"::", false},
                                          {"128.0.0.1", false}}) {
    EXPECT_EQ(IsLoopbackAddress(address), loopback) << address;
  }
}

// The shipped example is checked by the install test (zelta-server --check).
TEST(ServerConfig, WhatIsNoFileIsSaidSo) {
  ServerConfig c;
  std::string error;
  EXPECT_FALSE(LoadServerConfig("/nonexistent/zelta.conf", c, error));
  EXPECT_EQ(error, "cannot read /nonexistent/zelta.conf");
  EXPECT_FALSE(LoadServerConfig("/tmp", c, error));
  EXPECT_EQ(error, "/tmp is a directory, not a configuration file");
}

TEST(ServerConfig, HostileValuesAreRefusedWithoutBeingEchoedWhole) {
  ServerConfig c;
  std::string error;
  // A NUL inside the token, a token of 300 bytes, a bad line of 1 MB, a long key.
  EXPECT_FALSE(ParseServerConfig(std::string("access_token = ab\0cd", 20), c, error));
  EXPECT_EQ(error, "line 1: access_token may hold only printable ASCII characters without blanks");
  EXPECT_FALSE(ParseServerConfig("access_token = " + std::string(300, 'x'), c, error));
  EXPECT_EQ(error, "line 1: access_token is longer than 256 characters");
  EXPECT_FALSE(ParseServerConfig("port = 1\ncolour = " + std::string(1 << 20, 'r'), c, error));
  EXPECT_EQ(error, "line 2: longer than 4096 characters");
  EXPECT_FALSE(ParseServerConfig("colour" + std::string(3000, 'r') + " = 1", c, error));
  EXPECT_LT(error.size(), 200u);
  EXPECT_EQ(error.substr(error.size() - 3), "...");
}

TEST(ServerConfig, ATokenInAFileOthersCanReadIsWarnedAbout) {
  test::TempDir dir;
  const std::string path = dir.File("server.conf");
  for (const auto& [text, mode, warned] :
       {std::tuple{"access_token = abc\n", 0644, true}, std::tuple{"access_token = abc\n", 0600, false},
        std::tuple{"port = 47101\n", 0644, false}}) {
    dir.Write("server.conf", text);
    chmod(path.c_str(), static_cast<mode_t>(mode));
    ServerConfig c;
    std::string error, warning;
    ASSERT_TRUE(LoadServerConfig(path, c, error, &warning)) << error;
    EXPECT_EQ(warning,
              warned ? path + " holds the access token and other users can read it: chmod 600 " + path : "")
        << text << mode;
  }
}

}  // namespace
}  // namespace zelta
