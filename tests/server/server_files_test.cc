// The server's two files: its configuration (every key, what is refused) and the main server's server
// list (kept across restarts, damaged lines skipped, failed writes, a writer killed in the middle).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tuple>

#include "remote/remote_settings.h"
#include "server/server_config.h"
#include "server/server_list_store.h"
#include "shared/result_codes.h"
#include "support/temp_dir.h"

namespace zelta {
namespace {

// Every field of a configuration on one line.
std::string Describe(const ServerConfig& c) {
  std::string s = c.listen_address + ":" + std::to_string(c.port) + " " + c.server_name +
                  (c.main_server ? " main " : " ") + c.server_list_file + " tls=" + c.tls_certificate_file +
                  "," + c.tls_key_file + " token=" + c.access_token + " ms=" + std::to_string(c.lease_ms) +
                  "," + std::to_string(c.read_timeout_ms) + "," + std::to_string(c.write_timeout_ms);
  for (const auto& p : c.printers)
    s += " " + p.name + "=" + p.port_spec + "," + std::to_string(p.device_kind);
  for (const auto& n : c.net_printers) s += " " + n.name + "=" + n.host + ":" + std::to_string(n.port);
  return s;
}

TEST(ServerConfig, ReadsEveryKeyAndDefaultsToLoopbackAndTheFixedPort) {
  ServerConfig c;
  std::string error;
  ASSERT_TRUE(ParseServerConfig("", c, error));
  ASSERT_TRUE(ValidateServerConfig(c, error)) << error;
  EXPECT_FALSE(c.server_name.empty());
  c.server_name = "HOST";
  EXPECT_EQ(Describe(c),
            "127.0.0.1:" + std::to_string(kDefaultServerPort) + " HOST  tls=, token= ms=5000,1000,1000");
  const char* text =
      "# shop counter\nlisten = 0.0.0.0\n  port=47200  \nserver_name = COUNTER1\nprinter = Receipt, emu:36\n"
      "printer = Kitchen, tcp:127.0.0.1:9101, escq\nnet_printer = Bar, 127.0.0.5, 9100\nmain_server = yes\n"
      "server_list = /tmp/servers.txt\ntls_certificate = /etc/zelta/server.crt\n"
      "tls_key = /etc/zelta/server.key\naccess_token = s3cret\nlease_ms = 1500\nread_timeout_ms = 2000\n"
      "write_timeout_ms = 3000\n";
  ASSERT_TRUE(ParseServerConfig(text, c, error)) << error;
  ASSERT_TRUE(ValidateServerConfig(c, error)) << error;
  EXPECT_EQ(
      Describe(c),
      "0.0.0.0:47200 COUNTER1 main /tmp/servers.txt tls=/etc/zelta/server.crt,/etc/zelta/server.key "
      "token=s3cret ms=1500,2000,3000 Receipt=emu:36,1 Kitchen=tcp:127.0.0.1:9101,2 Bar=127.0.0.5:9100");
}

// Bad lines are refused with their number, and hostile values without being echoed whole.
TEST(ServerConfig, BadLinesNameTheirLine) {
  const std::string printable =
      "line 1: access_token may hold only printable ASCII characters without blanks";
  const std::pair<std::string, std::string> cases[] = {
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
      {"access_token = two words", printable},
      {"access_token = caf\xc3\xa9", printable},
      {std::string("access_token = ab\0cd", 20), printable},
      {"access_token = " + std::string(300, 'x'), "line 1: access_token is longer than 256 characters"},
      {"port = 1\ncolour = " + std::string(1 << 20, 'r'), "line 2: longer than 4096 characters"},
  };
  ServerConfig config;
  std::string error;
  for (const auto& [text, message] : cases) {
    EXPECT_FALSE(ParseServerConfig(text, config, error)) << text.substr(0, 40);
    EXPECT_EQ(error, message) << text.substr(0, 40);
  }
  EXPECT_FALSE(ParseServerConfig("colour" + std::string(3000, 'r') + " = 1", config, error));
  EXPECT_LT(error.size(), 200u);
  EXPECT_EQ(error.substr(error.size() - 3), "...");
}

TEST(ServerConfig, WholeConfigurationChecksAndLoopbackAddresses) {
  // Each text with a part of the error it gets; none: the configuration is good.
  const std::pair<const char*, const char*> cases[] = {
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
  for (const auto& [text, part] : cases) {
    ServerConfig config;
    std::string error;
    ASSERT_TRUE(ParseServerConfig(text, config, error)) << error;
    EXPECT_EQ(ValidateServerConfig(config, error), !*part) << text << ": " << error;
    EXPECT_NE(error.find(part), std::string::npos) << error;
  }
  // What counts as loopback.
  for (const char* a : {"127.0.0.1", "127.5.5.5", "::1", "[::1]", "LocalHost"})
    EXPECT_TRUE(IsLoopbackAddress(a)) << a;
  for (const char* a :
       {"0.0.0.0", "::", "128.0.0.1", "127.example.com", "127.0.0.1.nip.io", "::ffff:127.0.0.1"})
    EXPECT_FALSE(IsLoopbackAddress(a)) << a;
}

// The shipped example is checked by the install test (zelta-server --check).
TEST(ServerConfig, WhatIsNoFileIsSaidSoAndATokenInAFileOthersCanReadIsWarnedAbout) {
  ServerConfig c;
  std::string error;
  EXPECT_FALSE(LoadServerConfig("/nonexistent/zelta.conf", c, error));
  EXPECT_EQ(error, "cannot read /nonexistent/zelta.conf");
  EXPECT_FALSE(LoadServerConfig("/tmp", c, error));
  EXPECT_EQ(error, "/tmp is a directory, not a configuration file");
  test::TempDir dir;
  const std::string path = dir.File("server.conf");
  for (const auto& [text, mode, warned] :
       {std::tuple{"access_token = abc\n", 0644, true}, std::tuple{"access_token = abc\n", 0600, false},
        std::tuple{"port = 47101\n", 0644, false}}) {
    dir.Write("server.conf", text);
    chmod(path.c_str(), static_cast<mode_t>(mode));
    std::string warning;
    c = ServerConfig();
    ASSERT_TRUE(LoadServerConfig(path, c, error, &warning)) << error;
    EXPECT_EQ(warning,
              warned ? path + " holds the access token and other users can read it: chmod 600 " + path : "")
        << text << mode;
  }
}

using Names = std::vector<std::string>;

class ServerListStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<ServerListStore> Loaded() {
    auto store = std::make_unique<ServerListStore>(path);
    EXPECT_TRUE(store->Load(error)) << error;
    return store;
  }

  test::TempDir dir;
  const std::string path = dir.File("servers.txt");
  std::string error;
};

TEST_F(ServerListStoreTest, ChangesSurviveAReloadNamesAreListedOnceWhateverTheirCaseAndDamageIsSkipped) {
  auto store = Loaded();  // the file is not there yet: an empty list
  EXPECT_TRUE(store->Names().empty());
  for (const char* name : {"SHOP1", "SHOP2", "BACKOFFICE", "Shop1"})
    EXPECT_EQ(store->Add(name, error), kResultOk);
  EXPECT_EQ(store->Remove("shop2", error), kResultOk);
  EXPECT_EQ(std::pair(Loaded()->Names(), dir.Read("servers.txt")),
            std::pair(Names{"SHOP1", "BACKOFFICE"}, std::string("SHOP1\nBACKOFFICE\n")));
  // Damaged lines and a write that was cut short by a crash are ignored.
  dir.Write("servers.txt", "ONE\r\n\n\001bad\nTWO\none\n");
  dir.Write("servers.txt.tmp.999", "HALF");
  EXPECT_EQ(Loaded()->Names(), (Names{"ONE", "TWO"}));
}

TEST_F(ServerListStoreTest, BadNamesAndUnknownNamesAreRefusedAndChangeNothing) {
  auto store = Loaded();
  ASSERT_EQ(store->Add("A", error), kResultOk);
  for (const std::string& name :
       std::vector<std::string>{"", "two\nlines", std::string(256, 'x'), std::string("nul\0", 4)})
    EXPECT_EQ(store->Add(name, error), kResultBadArgument) << name;
  EXPECT_EQ(store->Remove("B", error), kResultNotFound);
  EXPECT_EQ(error, "The server B is not in the server list.");
  EXPECT_EQ(std::pair(store->Names(), dir.Read("servers.txt")), std::pair(Names{"A"}, std::string("A\n")));
}

TEST_F(ServerListStoreTest, AFailedWriteKeepsTheListAndLeavesNoTemporaryFile) {
  auto store = Loaded();
  ASSERT_EQ(store->Add("A", error), kResultOk);
  // The list's own name taken by a folder: the rename over it fails.
  ASSERT_EQ(unlink(path.c_str()), 0);
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  EXPECT_EQ(store->Add("B", error), kResultFailure);
  EXPECT_NE(error.find("cannot be written"), std::string::npos);
  EXPECT_EQ(store->Names(), Names{"A"});
  EXPECT_NE(access((path + ".tmp." + std::to_string(getpid())).c_str(), F_OK), 0);
  // A folder that is not there fails the write as well.
  ServerListStore missing(dir.File("missing/servers.txt"));
  ASSERT_TRUE(missing.Load(error));
  EXPECT_EQ(missing.Add("A", error), kResultFailure);
  EXPECT_TRUE(missing.Names().empty());
}

TEST_F(ServerListStoreTest, AWriterKilledMidWriteLeavesAWholeList) {
  // The writer adds SRV0, SRV1, ... until a write goes past the file size limit, which kills it in the
  // middle of writing a list, at a byte that falls inside a name.
  for (const auto& [limit, whole] : {std::pair<rlim_t, size_t>{1, 0}, {700, 3}, {5001, 24}, {20011, 97}}) {
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      const rlimit no_core{0, 0}, size{limit, limit};
      ServerListStore store(path);
      if (setrlimit(RLIMIT_CORE, &no_core) != 0 || setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(1);
      for (int i = 0; store.Load(error) && i < 1000; ++i)
        if (store.Add("SRV" + std::to_string(i) + std::string(200, 'x'), error) != kResultOk) break;
      _exit(0);
    }
    int status = 0;
    waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "limit " << limit;
    // The list is the last one written whole: SRV0, SRV1, ... without a gap or a broken name.
    const Names names = Loaded()->Names();
    ASSERT_EQ(names.size(), whole) << "limit " << limit;
    for (size_t i = 0; i < names.size(); ++i)
      ASSERT_EQ(names[i], "SRV" + std::to_string(i) + std::string(200, 'x')) << "limit " << limit;
  }
}

}  // namespace
}  // namespace zelta
