#include <gtest/gtest.h>

#include "browser/network_functions.h"
#include "fake_servers.h"
#include "platform/computer_name.h"

namespace zelta::test {
namespace {

using namespace std::string_literals;

class DiscoveryTest : public BrowserTest {
 protected:
  void MainServer(const std::vector<std::string>& servers) {
    SetMainServer("SHOP0");
    net.Collection("SHOP0")->servers = servers;
  }
  void Discover() {
    AddServerNode(form, "", "", "");
    DiscoverServers(form);
  }
};

TEST_F(DiscoveryTest, MainServerListGivesTheTree) {
  struct Case {
    const char* name;
    std::vector<std::string> servers;
    std::function<void(FakeNetwork&)> setup;
    std::string tree;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"two servers, one unreachable",
       {"A", "B"},
       [](FakeNetwork& n) { n.Monitor("A")->printers = "emu:46=Receipt\0usb:/dev/usb/lp0=Kitchen\0"s; },
       "*SHOPNET [Domain]\n  A [Server]\n    Kitchen:usb:/dev/usb/lp0 [Printer]\n    Receipt:emu:46 "
       "[Printer]\n"
       "  B (Unreacheable) [Server]\n",
       {}},
      {"same name twice: one node",
       {"A", "A"},
       [](FakeNetwork& n) { n.Monitor("A")->printers = "emu:46=Receipt\0"s; },
       "SHOPNET [Domain]\n  *A [Server]\n    Receipt:emu:46 [Printer]\n",
       {}},
      {"printer list refused: busy",
       {"A"},
       [](FakeNetwork& n) { n.Monitor("A")->list_result = 0x1234; },
       "*SHOPNET [Domain]\n  A (Busy) [Server]\n",
       {"Raised error code  4660 getting printer collection from server on A.\rDescription: Monitor "
        "failure"}},
      {"servers sorted without case, net printers from the first server that lists them",
       {"b", "A", "c"},
       [](FakeNetwork& n) {
         n.Monitor("b")->net_result = 0x1234;
         n.Monitor("A")->net_printers = "10.0.0.5:9100=Bar\0"s;
         n.Monitor("c")->net_printers = "10.0.0.6:9100=Never\0"s;
       },
       "*SHOPNET [Domain]\n  A [Server]\n  b [Server]\n  Bar:9100(10.0.0.5) [NetPrinter]\n  c [Server]\n",
       {"Raised error code  4660 getting net printer collection from server on b.\rDescription: Monitor "
        "failure"}},
      {"garbage: empty names, entries without '=' or NUL",
       {"", "A\0\0"s, "B"},
       [](FakeNetwork& n) {
         n.Monitor("A")->printers = "junk\0emu:36=Colour"s;
         n.Monitor("B")->net_printers = "nohost\0h:1=N1\0h:2\0"s;
       },
       "*SHOPNET [Domain]\n  A [Server]\n    Colour:emu:36 [Printer]\n  B [Server]\n  N1:1(h) [NetPrinter]\n",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    form = StartFormState();
    form.unload = [this] { ++unloads; };
    net = FakeNetwork();
    ui.messages.clear();
    ui.answers.assign(8, MsgBoxResult::kOk);
    MainServer(c.servers);
    c.setup(net);
    Discover();
    EXPECT_EQ(TreeText(), c.tree);
    EXPECT_EQ(ui.messages, c.messages);
    EXPECT_FALSE(form.busy);
    EXPECT_EQ(window.StatusPanelText(1), "Main server SHOP0");
    EXPECT_EQ(window.StatusPanelText(2), "Ready...");
    EXPECT_EQ(form.parallel_creations, 0);
  }
}

TEST_F(DiscoveryTest, LastEntryWithoutNulIsTakenWhole) {
  SetMainServer("SHOP0");
  net.Collection("SHOP0")->servers = {"A"};
  auto a = net.Monitor("A");
  a->printers = "emu:46=Receipt"s;
  a->net_printers = "h:1=N1\0h2:2=N2"s;
  Discover();
  EXPECT_EQ(TreeText(),
            "*SHOPNET [Domain]\n  A [Server]\n    Receipt:emu:46 [Printer]\n  N1:1(h) [NetPrinter]\n"
            "  N2:2(h2) [NetPrinter]\n");
}

TEST_F(DiscoveryTest, LocalModeShowsThisComputerAndNetPrintersAtTopLevel) {
  LocalInstallation = true;
  const std::string me = GetComputerName();
  auto m = net.Monitor(me);
  m->printers = "emu:46=Receipt\0"s;
  m->net_printers = "10.0.0.5:9100=Bar\0"s;
  Discover();
  EXPECT_EQ(TreeText(),
            "*" + me + " [Server]\n  Receipt:emu:46 [Printer]\nBar:9100(10.0.0.5) [NetPrinter]\n");
  EXPECT_TRUE(form.tvwServerCollection.Node(form.tvwServerCollection.Find(me))->expanded);
  const TreeNode* printer =
      form.tvwServerCollection.Node(form.tvwServerCollection.Find(me + "\\Receipt:emu:46"));
  ASSERT_TRUE(printer);
  EXPECT_EQ(printer->tag, "emu:46");
  EXPECT_EQ(window.PanelHistory(2),
            (std::vector<std::string>{"Connecting to " + me + "(S)...", "Getting info from " + me + "(S)...",
                                      "Ready...", "Ready..."}));
}

TEST_F(DiscoveryTest, ServersAreAskedSideBySide) {
  // Twenty servers whose creations each take 0.4 s: one after the other would take 800 yields.
  std::vector<std::string> servers;
  for (int i = 0; i < 20; ++i) servers.push_back("S" + std::to_string(i));
  MainServer(servers);
  for (const std::string& s : servers) net.Monitor(s);
  net.seconds = 0.4;
  Discover();
  // Every Monitor creation had started when the first one's result was taken (after the main server's).
  ASSERT_EQ(net.started_at_take.size(), 21u);
  EXPECT_EQ(net.started_at_take[1], 21u);
  EXPECT_LT(ui.now - 1000.0, 6.0);  // one after another: 8 s
  // The tree follows the list.
  EXPECT_EQ(form.tvwServerCollection.Children(form.tvwServerCollection.First()).size(), 20u);
}

TEST_F(DiscoveryTest, MainServerThatDoesNotAnswerOffersTheDialog) {
  for (MsgBoxResult answer : {MsgBoxResult::kNo, MsgBoxResult::kYes}) {
    SCOPED_TRACE(static_cast<int>(answer));
    form.tvwServerCollection.Clear();
    ui.prompts.clear();
    dialogs = 0;
    SetMainServer("DOWN");
    ui.answers = {MsgBoxResult::kOk, answer};
    Discover();
    ASSERT_EQ(ui.PromptTexts().size(), 2u);
    EXPECT_EQ(ui.PromptTexts()[0],
              "Error-2147221371 creating ZeltaMainServer.ServerCollection on DOWN.\r"
              "No server answers on DOWN.");
    EXPECT_EQ(ui.PromptTexts()[1], "Select a new MainServer?");
    EXPECT_EQ(ui.prompts[1].icon, MsgBoxIcon::kQuestion);
    EXPECT_EQ(dialogs, answer == MsgBoxResult::kYes ? 1 : 0);
    EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n");
  }
}

TEST_F(DiscoveryTest, MainServerValueTooLongReadsAsNone) {
  SetMainServer(std::string(130, 'M'));
  Discover();
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(net.creations.empty());
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n");
}

TEST_F(DiscoveryTest, WithoutMainServerTheDialogChoosesOneAndDiscoveryGoesOn) {
  auto chosen = std::make_shared<FakeCollection>();
  chosen->servers = {"A"};
  net.Monitor("A");
  dialog = [&] {
    EXPECT_TRUE(MainServerMode);
    ServerCollectionObj = chosen;
  };
  Discover();
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n  A [Server]\n");
  EXPECT_FALSE(ServerCollectionObj);
}

TEST_F(DiscoveryTest, CloseDuringACreationUnloadsTheWindow) {
  MainServer({"A", "B"});
  net.Monitor("A");
  net.Monitor("B");
  net.seconds = 0.05;
  net.during_creation = [this] {
    if (form.CreationPending() && form.parallel_creations > 0) form.creation.ClosePending = true;
  };
  Discover();
  EXPECT_EQ(unloads, 1);
  EXPECT_EQ(TreeText(), "SHOPNET [Domain]\n");
  EXPECT_EQ(form.parallel_creations, 0);
}

TEST_F(DiscoveryTest, RefreshRebuildsOneServer) {
  MainServer({"A"});
  auto a = net.Monitor("A");
  a->printers = "emu:46=Receipt\0"s;
  Discover();
  a->printers = "emu:36=Colour\0"s;
  RefreshServer(form, "A");
  EXPECT_EQ(TreeText(), "SHOPNET [Domain]\n  *A [Server]\n    Colour:emu:36 [Printer]\n");
  a->list_result = 0x10;
  RefreshServer(form, "A");
  EXPECT_EQ(TreeText(), "SHOPNET [Domain]\n  *A (Busy) [Server]\n");
  EXPECT_EQ(ui.messages.back(),
            "Raise error code:  4660 getting printer collection from server on A.\r"
            "Description: Monitor failure");
  EXPECT_EQ(std::count(a->calls.begin(), a->calls.end(), "GetNetPrinterCollection"), 1);
}

TEST_F(DiscoveryTest, ListNetworkComputersReportsAnUnavailableNetwork) {
  struct Case {
    NetworkComputers found;
    std::vector<std::string> combo, prompts;
  };
  const Case cases[] = {
      {{kNetOk, kNetOk, {"SHOP1", "SHOP2:47101"}}, {"SHOP1", "SHOP2:47101"}, {}},
      {{kNetUnavailable, kNetOk, {}}, {}, {"The network is unavailable."}},
      {{kNetExtendedError, kNetOk, {}}, {}, {"Error 1208 by WNetOpenEnum."}},
      {{kNetOk, kNetExtendedError, {"SHOP1"}}, {"SHOP1"}, {"Error 1208 by WNetEnumResource."}},
  };
  for (const Case& c : cases) {
    ui.prompts.clear();
    SetNetworkEnumerator([&](const std::string&) { return c.found; });
    std::vector<std::string> combo;
    ListNetworkComputers(combo, "");
    EXPECT_EQ(combo, c.combo);
    EXPECT_EQ(ui.PromptTexts(), c.prompts);
    for (const auto& p : ui.prompts) EXPECT_EQ(p.icon, MsgBoxIcon::kNone);
  }
  SetNetworkEnumerator(nullptr);
}

}  // namespace
}  // namespace zelta::test
