// How the browser finds servers and their printers: from the main server's list, on this computer, on the
// network; the last test against a zelta-server announcing itself.
#include <gtest/gtest.h>

#include "browser/local_machine.h"
#include "browser/main_server_dialog.h"
#include "fake_servers.h"
#include "platform/computer_name.h"
#include "platform/network_enum.h"
#include "remote/create_remote_object.h"
#include "remote/grpc_create_obj.h"
#include "server_process.h"

namespace zelta::test {
namespace {

class DiscoveryTest : public BrowserTest {
 protected:
  DiscoveryTest() {
    SetNetworkEnumerator([](const std::string&) {
      return NetworkComputers{kNetOk, kNetOk, {"AAA", GetComputerName(), "ZZZ:47101"}};
    });
  }
  void MainServer(const Texts& servers) {
    SetMainServer("SHOP0");
    net.Collection("SHOP0")->servers = servers;
  }
  MainServerDialogState box;  // the server dialog
};
using ServerDialogTest = DiscoveryTest;

TEST_F(DiscoveryTest, MainServerListGivesTheTree) {
  const std::string failure = " from server on b.\rDescription: Monitor failure\n";
  // The servers listed, those with a Monitor (its machine, lists and their results; the others are
  // unreachable), the tree and what was said.
  using Monitor = std::tuple<std::string, std::string, std::string, int32_t, int32_t>;
  const std::tuple<Texts, std::vector<Monitor>, std::string> cases[] = {
      {{"A", "B"},
       {{"A", "emu:46=Receipt\0usb:/dev/usb/lp0=Kitchen\0"s, "", 0, 0}},
       "*SHOPNET [Domain]\n  A [Server]\n    Kitchen:usb:/dev/usb/lp0 [Printer]\n"
       "    Receipt:emu:46 [Printer]\n  B (Unreacheable) [Server]\n"
       "Error-2147221371 creating ZeltaServer.Monitor on B.\rNo server answers on B.\n"},
      {{"A", "A"},
       {{"A", "emu:46=Receipt\0"s, "", 0, 0}},
       "SHOPNET [Domain]\n  *A [Server]\n    Receipt:emu:46 [Printer]\n"},
      {{"b"},
       {{"b", "", "", 0x1234, 0}},
       "*SHOPNET [Domain]\n  b (Busy) [Server]\nRaised error code  4660 getting printer collection" +
           failure},
      // Sorted without case; net printers from the first server that lists them.
      {{"b", "A", "c"},
       {{"b", "", "", 0, 0x1234},
        {"A", "", "10.0.0.5:9100=Bar\0"s, 0, 0},
        {"c", "", "10.0.0.6:9100=Never\0"s, 0, 0}},
       "*SHOPNET [Domain]\n  A [Server]\n  b [Server]\n  Bar:9100(10.0.0.5) [NetPrinter]\n  c [Server]\n"
       "Raised error code  4660 getting net printer collection" +
           failure},
      // Garbage: empty names (not servers to create), entries without '=' or NUL; a last entry without NUL
      // is taken whole.
      {{"", "A\0\0"s, "B"},
       {{"A", "junk\0emu:36=Colour"s, "", 0, 0}, {"B", "", "nohost\0h:1=N1\0h:2\0h2:2=N2"s, 0, 0}},
       "*SHOPNET [Domain]\n  A [Server]\n    Colour:emu:36 [Printer]\n  B [Server]\n  N1:1(h) [NetPrinter]\n"
       "  N2:2(h2) [NetPrinter]\n"},
  };
  for (const auto& [servers, monitors, shown] : cases) {
    SCOPED_TRACE(shown);
    form = StartFormState();
    net = FakeNetwork();
    ui.answers.assign(8, MsgBoxResult::kOk);
    MainServer(servers);
    for (const auto& [machine, printers, nets, list_result, net_result] : monitors)
      net.Monitor(machine, printers, nets, list_result, net_result);
    Discover();
    EXPECT_EQ(State() + window.StatusPanelText(1), shown + "Main server SHOP0");
  }
}

TEST_F(DiscoveryTest, LocalModeShowsThisComputerAndNetPrintersAtTopLevel) {
  LocalInstallation = true;
  const std::string me = GetComputerName();
  net.Monitor(me, "emu:46=Receipt\0"s, "10.0.0.5:9100=Bar\0"s);
  Discover();
  const bool expanded = form.tvwServerCollection.Node(form.tvwServerCollection.Find(me))->expanded;
  EXPECT_EQ(State() + (expanded ? "expanded" : ""),
            "*" + me + " [Server]\n  Receipt:emu:46 [Printer]\nBar:9100(10.0.0.5) [NetPrinter]\nexpanded");
  EXPECT_EQ(window.PanelHistory(2), (Texts{"Connecting to " + me + "(S)...",
                                           "Getting info from " + me + "(S)...", "Ready...", "Ready..."}));
}

TEST_F(DiscoveryTest, ServersAreAskedSideBySide) {
  // Twenty servers whose creations each take 0.4 s: one after the other would take 800 yields.
  Texts servers;
  for (int i = 0; i < 20; ++i) servers.push_back("S" + std::to_string(i));
  MainServer(servers);
  for (const std::string& s : servers) net.Monitor(s);
  net.seconds = 0.4;
  // The Monitors' list calls answer at once on the test's clock, however long their threads take to run.
  ui.on_do_events = [&] { ui.now -= form.calls_pending ? ui.step : 0; };
  Discover();
  // The results taken; the creations started when the first Monitor's was taken (after the main server's):
  // all of them; the servers in the tree; under 6 s (one after another: 8 s).
  EXPECT_EQ(
      std::tuple(net.started_at_take.size(), net.started_at_take.at(1),
                 form.tvwServerCollection.Children(form.tvwServerCollection.First()).size(), ui.now < 1006),
      std::tuple(21u, 21u, 20u, true));
}

TEST_F(DiscoveryTest, MainServerThatDoesNotAnswerOffersTheDialog) {
  SetMainServer("DOWN");
  for (MsgBoxResult answer : {MsgBoxResult::kNo, MsgBoxResult::kYes}) {
    form.tvwServerCollection.Clear();
    ui.answers = {MsgBoxResult::kOk, answer};
    Discover();
    EXPECT_EQ(ui.prompts.at(1).icon, MsgBoxIcon::kQuestion);
    EXPECT_EQ(State(),
              "*SHOPNET [Domain]\nError-2147221371 creating ZeltaMainServer.ServerCollection on DOWN.\r"
              "No server answers on DOWN.\nSelect a new MainServer?\n" +
                  (answer == MsgBoxResult::kYes ? "1 dialog opened\n"s : ""));  // on Yes only
  }
}

// No main server (a value too long to read is none): the dialog chooses one and discovery goes on.
TEST_F(DiscoveryTest, WithoutMainServerTheDialogChoosesOne) {
  SetMainServer(std::string(130, 'M'));
  auto chosen = std::make_shared<FakeCollection>();
  chosen->servers = {"A"};
  net.Monitor("A");
  dialog = [&] {
    EXPECT_TRUE(MainServerMode);
    ServerCollectionObj = chosen;
  };
  Discover();
  EXPECT_EQ(
      std::tuple(State(), net.creations, !ServerCollectionObj),
      std::tuple("*SHOPNET [Domain]\n  A [Server]\n1 dialog opened\n", Texts{"ZeltaServer.Monitor@A"}, true));
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
  EXPECT_EQ(State(), "SHOPNET [Domain]\nunloaded\nstatus Connecting to A(S)...\n");
}

TEST_F(DiscoveryTest, ListNetworkComputersReportsAnUnavailableNetwork) {
  // What the network gives, the names listed and what was said.
  const std::tuple<NetworkComputers, Texts, std::string> cases[] = {
      {{kNetOk, kNetOk, {"SHOP1", "SHOP2:47101"}}, {"SHOP1", "SHOP2:47101"}, ""},
      {{kNetUnavailable, kNetOk, {}}, {}, "The network is unavailable.\n"},
      {{kNetExtendedError, kNetOk, {}}, {}, "Error 1208 by WNetOpenEnum.\n"},
      {{kNetOk, kNetExtendedError, {"SHOP1"}}, {"SHOP1"}, "Error 1208 by WNetEnumResource.\n"},
  };
  for (const auto& [found, names, said] : cases) {
    SetNetworkEnumerator([found = found](const std::string&) { return found; });
    Texts combo;
    ListNetworkComputers(combo, "");
    for (const auto& p : ui.prompts) EXPECT_EQ(p.icon, MsgBoxIcon::kNone);
    EXPECT_EQ(std::pair(combo, Said()), std::pair(names, said));
  }
}

// The dialog as "unloaded" or "open", "busy", and the name in its box; the main server saved, the server
// chosen and a main server's list held.
std::string Box(const MainServerDialogState& d) {
  std::string saved;
  RegReadString(kZeltaKey, kMainServerValue, saved);
  return std::string(d.unloaded ? "unloaded " : "open ") + (d.busy ? "busy " : "") + d.cmbServerText +
         ", main server " + (saved.empty() ? "none" : saved) +
         (ChosenServer.empty() ? "" : ", chosen " + ChosenServer) +
         (ServerCollectionObj ? ", list held" : "");
}

TEST_F(ServerDialogTest, MainServerChosenIsSavedAndLeftForTheCaller) {
  MainServerMode = true;
  LoadMainServerDialog(box);
  box.cmbServerText = "NOBODY";
  ui.answers = {MsgBoxResult::kOk};
  ApplyMainServerDialog(box);  // stays open with the name still in the box
  EXPECT_EQ(Box(box) + "\n" + Said(),
            "open NOBODY, main server none\nError-2147221371 creating ZeltaMainServer.ServerCollection on "
            "NOBODY.\rNo server answers on NOBODY.\n");
  auto chosen = net.Collection("ZZZ:47101");
  box.cmbServerText = "ZZZ:47101";
  ApplyMainServerDialog(box);
  EXPECT_EQ(Box(box), "unloaded ZZZ:47101, main server ZZZ:47101, list held");
  EXPECT_EQ(ServerCollectionObj, chosen);
}

TEST_F(ServerDialogTest, AddModeRegistersWithTheMainServerWhenThereIsOne) {
  MainServerMode = false;
  net.Monitor("AAA");
  // No main server: shown in the tree only, nothing registered, no message. With one: AddServer, and its
  // refusal is shown.
  auto collection = net.Collection("SHOP0");
  for (int32_t fail : {-1, 0, 0x2345}) {
    if (fail >= 0) SetMainServer("SHOP0");
    MainServerDialogState d;
    collection->fail = std::max(fail, 0);
    d.cmbServerText = "AAA";
    ui.answers = {MsgBoxResult::kOk};
    ApplyMainServerDialog(d);
    EXPECT_EQ(std::pair(Box(d), collection->servers),
              std::pair("unloaded AAA, main server "s + (fail < 0 ? "none" : "SHOP0") + ", chosen AAA",
                        fail < 0 ? Texts{} : Texts{"AAA"}));
  }
  EXPECT_EQ(Said(), "Error 9029 by ZeltaMainServer.ServerCollection on SHOP0.\rList is read-only\n");
}

TEST_F(ServerDialogTest, CloseWaitsForAPendingCreation) {
  MainServerMode = true;
  net.Collection("SLOW");
  net.seconds = 0.1;
  box.cmbServerText = "SLOW";
  bool refused = false;
  net.during_creation = [&] {
    if (!refused) refused = !MainServerDialogCloseRequest(box);
  };
  ApplyMainServerDialog(box);
  MainServerDialogState idle;  // closes at once
  EXPECT_EQ(std::tuple(refused, box.creation.ClosePending, Box(box), MainServerDialogCloseRequest(idle)),
            std::tuple(true, true, "unloaded SLOW, main server SLOW, list held", true));
}

TEST_F(DiscoveryTest, AnnouncedServerIsListedAndReachable) {
  if (EnumNetworkComputers("", 47100, 1500).open_result == kNetUnavailable)
    GTEST_SKIP() << "No Avahi daemon runs on this machine (start dbus-daemon --system and avahi-daemon).";
  ChildProgram announced;
  ASSERT_TRUE(StartServer(announced, ZELTA_SERVER_PROGRAM, dir.path(), "SHOP-DNSSD",
                          "announce = yes\nprinter = Receipt, emu:46"));
  const std::string entry = GetComputerName() + ":" + std::to_string(announced.port());
  Texts names;
  for (int i = 0; i < 20 && std::find(names.begin(), names.end(), entry) == names.end(); ++i)
    names = EnumNetworkComputers("", 47100, 1500).names;
  ASSERT_NE(std::find(names.begin(), names.end(), entry), names.end()) << "not listed: " << entry;
  InstallCreateObjMaker(LoopbackForThisComputer(GrpcCreateObjMaker([] { return RemoteSettings{}; }), false));
  RemoteCreationState state;
  EXPECT_TRUE(CreateRemoteObject(kProgIdMonitor, entry, state));
}

}  // namespace
}  // namespace zelta::test
