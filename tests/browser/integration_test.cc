// The browser against zelta-server processes on loopback with virtual printers.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "browser/configuration.h"
#include "browser/connect_printer.h"
#include "browser/local_machine.h"
#include "browser/network_functions.h"
#include "fake_servers.h"
#include "platform/computer_name.h"
#include "platform/instance_lock.h"
#include "remote/grpc_create_obj.h"
#include "server_process.h"

extern char** environ;

namespace zelta::test {
namespace {

// Servers shared by the tests of the suite: SHOP1 with one printer of each model and a net printer,
// SHOP2, the main server that lists them with a machine that never answers, and the net printer.
struct Shop {
  TempDir dir;
  ChildProgram shop1, shop2, main, emu;
  SilentListener dead;
  std::string m1, m2, m_dead, m_main;
  bool ok = false;

  Shop() {
    if (!emu.Start(ZELTA_EMU_PROGRAM, {"--model", "46", "--listen", "127.0.0.1:0"})) return;
    if (!StartServer(shop1, ZELTA_SERVER_PROGRAM, dir.path(), "SHOP1",
                     "printer = Receipt, emu:46\nprinter = Colour, emu:36\nprinter = Slip, emu:161, escq\n"
                     "printer = Bits, emu:32\nprinter = Old, emu:10\nprinter = Label, emu:176\n"
                     "net_printer = Bar, 127.0.0.1, " +
                         std::to_string(emu.port())) ||
        !StartServer(shop2, ZELTA_SERVER_PROGRAM, dir.path(), "SHOP2", "printer = Second, emu:46")) {
      return;
    }
    m1 = "127.0.0.1:" + std::to_string(shop1.port());
    m2 = "127.0.0.1:" + std::to_string(shop2.port());
    m_dead = "127.0.0.1:" + std::to_string(dead.port());
    std::ofstream(dir.File("servers.txt")) << m1 << "\n"
                                           << m_dead << "\n"
                                           << m2 << "\nno-such-till.invalid\n";
    ok = StartServer(main, ZELTA_SERVER_PROGRAM, dir.path(), "SHOP0",
                     "main_server = yes\nserver_list = " + dir.File("servers.txt"));
    m_main = "127.0.0.1:" + std::to_string(main.port());
  }
};

Shop* shop = nullptr;

class IntegrationTest : public BrowserTest {
 protected:
  static void SetUpTestSuite() { shop = new Shop; }
  static void TearDownTestSuite() {
    delete shop;
    shop = nullptr;
  }
  IntegrationTest() {
    // This computer's server is SHOP1: machines without a port go to its port.
    RemoteSettings settings;
    settings.default_port = static_cast<uint16_t>(shop->shop1.port());
    settings.connect_timeout_ms = 1000;
    InstallCreateObjMaker(
        LoopbackForThisComputer(GrpcCreateObjMaker([settings] { return settings; }), false));
    ui.answers.assign(4, MsgBoxResult::kOk);
  }
  void SetUp() override { ASSERT_TRUE(shop && shop->ok) << "servers did not start"; }
  void Discover() {
    SetMainServer(shop->m_main);
    AddServerNode(form, "", "", "");
    DiscoverServers(form);
  }
  void Connect(const std::string& key) {
    opened.clear();
    ui.messages.clear();
    int id = form.tvwServerCollection.Find(key);
    ASSERT_NE(id, 0) << key << "\n" << TreeText();
    form.tvwServerCollection.Select(id);
    form.ItemHit = true;
    ConnectSelectedPrinter(form);
  }
};

TEST_F(IntegrationTest, DiscoversTheMainServersList) {
  auto start = std::chrono::steady_clock::now();
  Discover();
  auto took = std::chrono::steady_clock::now() - start;
  // The root sorts its children by text (without case: the keys here are lower case).
  std::map<std::string, std::string> servers = {
      {shop->m1, "  " + shop->m1 +
                     " [Server]\n    Bits:emu:32 [Printer]\n    Colour:emu:36 [Printer]\n"
                     "    Label:emu:176 [Printer]\n    Old:emu:10 [Printer]\n    Receipt:emu:46 [Printer]\n"
                     "    Slip:emu:161 [Printer]\n"},
      {shop->m_dead, "  " + shop->m_dead + " (Unreacheable) [Server]\n"},
      {shop->m2, "  " + shop->m2 + " [Server]\n    Second:emu:46 [Printer]\n"},
      {"no-such-till.invalid", "  no-such-till.invalid (Unreacheable) [Server]\n"},
      {"bar", "  Bar:" + std::to_string(shop->emu.port()) + "(127.0.0.1) [NetPrinter]\n"}};
  std::string want = "*SHOPNET [Domain]\n";
  for (const auto& [key, lines] : servers) want += lines;
  EXPECT_EQ(TreeText(), want);
  EXPECT_EQ(window.StatusPanelText(1).find("SHOP0") != std::string::npos, true) << window.StatusPanelText(1);
  ASSERT_EQ(ui.PromptTexts().size(), 2u);
  EXPECT_NE(ui.PromptTexts()[0].find(" creating ZeltaServer.Monitor on " + shop->m_dead + ".\r"),
            std::string::npos);
  EXPECT_NE(ui.PromptTexts()[1].find(" creating ZeltaServer.Monitor on no-such-till.invalid.\r"),
            std::string::npos);
  // The silent machine and the name that does not resolve cost one connect time-out (1 s here) together.
  EXPECT_LT(took, std::chrono::seconds(4));
}

TEST_F(IntegrationTest, ConnectsToEachModelAndLetsItGo) {
  Discover();
  const std::string s1 = shop->m1 + "\\";
  const std::string bar = "Bar:" + std::to_string(shop->emu.port());
  struct Case {
    std::string key;
    uint8_t id;
    bool opens;
  };
  const Case cases[] = {{s1 + "Receipt:emu:46", 46, true},
                        {s1 + "Colour:emu:36", 36, true},
                        {s1 + "Slip:emu:161", 161, true},
                        {s1 + "Bits:emu:32", 32, true},
                        {s1 + "Old:emu:10", 10, true},
                        {s1 + "Label:emu:176", 176, false},
                        {shop->m2 + "\\Second:emu:46", 46, true},
                        {bar, 46, true}};
  for (const Case& c : cases) {
    // Twice each: the first connection must have let the printer go for the second to claim it.
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(c.key + " round " + std::to_string(round));
      Connect(c.key);
      EXPECT_EQ(PrinterModelId, c.id);
      if (c.opens) {
        ASSERT_EQ(opened.size(), 1u) << (ui.messages.empty() ? "" : ui.messages[0]);
        EXPECT_EQ(opened[0].first, PrinterWindow::kLogoForm);
        EXPECT_TRUE(opened_printer);
        EXPECT_EQ(opened_model, c.id);
      } else {
        EXPECT_EQ(ui.messages,
                  std::vector<std::string>{"Label:emu:176 is a KDM410G.\nThis application does not "
                                           "work with a KDM410G."});
      }
      PrinterObj.reset();
    }
  }
  // The net printer's node names the host the server reached it at.
  EXPECT_EQ(opened[0].second, bar + "(127.0.0.1)");
}

TEST_F(IntegrationTest, PrinterClaimedByAnotherClient) {
  Discover();
  RemoteCreationState other;
  auto monitor =
      std::dynamic_pointer_cast<MonitorObject>(CreateRemoteObject(kProgIdMonitor, shop->m2, other));
  ASSERT_TRUE(monitor);
  std::string name = "Second", port = "emu:46";
  std::shared_ptr<PrinterObject> held;
  monitor->GetPrinter(name, port, held);
  ASSERT_TRUE(held);
  ASSERT_EQ(held->ClaimPrinter(), 0);
  Connect(shop->m2 + "\\Second:emu:46");
  ASSERT_EQ(ui.messages.size(), 1u);
  // The server's check refuses it first.
  EXPECT_EQ(
      ui.messages[0].rfind(
          "Raised error on connection with Second (on emu:46) of " + shop->m2 + ".\r" + "Description: ", 0),
      0u)
      << ui.messages[0];
  EXPECT_NE(ui.messages[0].find("in use by another client"), std::string::npos);
  EXPECT_TRUE(opened.empty());
  EXPECT_FALSE(PrinterObj);
  held->ReleasePrinter();
  Connect(shop->m2 + "\\Second:emu:46");
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(IntegrationTest, ServerGoneBetweenDiscoveryAndConnection) {
  auto gone = std::make_unique<ChildProgram>();
  ASSERT_TRUE(StartServer(*gone, ZELTA_SERVER_PROGRAM, shop->dir.path(), "SHOP3", "printer = Late, emu:46"));
  const std::string machine = "127.0.0.1:" + std::to_string(gone->port());
  LocalInstallation = true;
  RefreshServer(form, machine);
  ASSERT_NE(form.tvwServerCollection.Find(machine + "\\Late:emu:46"), 0) << TreeText();
  gone.reset();
  Connect(machine + "\\Late:emu:46");
  ASSERT_EQ(ui.PromptTexts().size(), 1u);
  EXPECT_NE(ui.PromptTexts()[0].find(" creating ZeltaServer.Monitor on " + machine + "."), std::string::npos);
  EXPECT_TRUE(opened.empty());
  EXPECT_FALSE(form.busy);
  EXPECT_EQ(window.StatusPanelText(2), "Ready...");
}

TEST(LogoProgram, SecondStartEndsSilently) {
  TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  InstanceLock first("LOGO");
  ASSERT_TRUE(first.Held());
  pid_t pid = 0;
  char* argv[] = {const_cast<char*>(ZELTA_LOGO_PROGRAM), nullptr};
  ASSERT_EQ(posix_spawn(&pid, ZELTA_LOGO_PROGRAM, nullptr, nullptr, argv, environ), 0);
  int status = -1;
  for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  unsetenv("XDG_RUNTIME_DIR");
  ASSERT_TRUE(WIFEXITED(status)) << "the second start did not end";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(IntegrationTest, AnnouncedServerIsListedAndReachable) {
  if (EnumNetworkComputers("", 47100, 1500).open_result == kNetUnavailable) {
    // The server dialog's list then says so and stays empty.
    std::vector<std::string> combo;
    ListNetworkComputers(combo, "");
    EXPECT_TRUE(combo.empty());
    EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{"The network is unavailable."});
    GTEST_SKIP()
        << "No Avahi daemon runs on this machine (start dbus-daemon --system and avahi-daemon to run "
           "this test).";
  }
  ChildProgram announced;
  ASSERT_TRUE(StartServer(announced, ZELTA_SERVER_PROGRAM, shop->dir.path(), "SHOP-DNSSD",
                          "announce = yes\nprinter = Receipt, emu:46"));
  const std::string entry = GetComputerName() + ":" + std::to_string(announced.port());
  std::vector<std::string> names;
  for (int i = 0; i < 20 && std::find(names.begin(), names.end(), entry) == names.end(); ++i) {
    names = EnumNetworkComputers("", 47100, 1500).names;
  }
  ASSERT_NE(std::find(names.begin(), names.end(), entry), names.end()) << "not listed: " << entry;
  RemoteCreationState state;
  EXPECT_TRUE(CreateRemoteObject(kProgIdMonitor, entry, state));
}

}  // namespace
}  // namespace zelta::test
