#include <gtest/gtest.h>

#include "browser/configuration.h"
#include "browser/main_server_dialog.h"
#include "browser/network_functions.h"
#include "browser/treeview_calls.h"
#include "fake_servers.h"
#include "platform/computer_name.h"
#include "platform/registry.h"

namespace zelta::test {
namespace {

using namespace std::string_literals;
using Texts = std::vector<std::string>;

class CommandsTest : public BrowserTest {
 protected:
  CommandsTest() {
    SetMainServer("SHOP0");
    collection = net.Collection("SHOP0");
    collection->servers = {"A", "B"};
    net.Monitor("A")->printers = "emu:46=Receipt\0"s;
    net.Monitor("B");
    Discover();
  }
  void Select(const std::string& key) { form.tvwServerCollection.Select(form.tvwServerCollection.Find(key)); }
  std::shared_ptr<FakeCollection> collection;
};

TEST_F(CommandsTest, ContextMenuFollowsTheImage) {
  // The entries as "refresh delete connect", "+" enabled; "" no menu.
  const std::pair<const char*, const char*> table[] = {{kImageServer, "++-"},
                                                       {kImageDomain, "+--"},
                                                       {kImagePrinter, "--+"},
                                                       {kImageNetPrinter, "--+"},
                                                       {"Other", ""}};
  for (auto [image, want] : table) {
    ContextMenuEntries e;
    const bool shown = ContextMenuFor(image, e);
    const char flags[] = {e.refresh ? '+' : '-', e.delete_server ? '+' : '-', e.connect ? '+' : '-', 0};
    EXPECT_EQ(shown ? flags : "", std::string(want)) << image;
  }
}

TEST_F(CommandsTest, RefreshActsOnTheSelectedServerOrTheWholeTree) {
  const size_t creations = net.creations.size();
  Select("A\\Receipt:emu:46");
  RefreshCommand(form);  // a printer node: nothing
  form.busy = true;      // busy: nothing either
  Select("A");
  RefreshCommand(form);
  EXPECT_EQ(net.creations.size(), creations);
  form.busy = false;
  RefreshCommand(form);
  EXPECT_EQ(net.creations.back(), "ZeltaServer.Monitor@A");
  EXPECT_FALSE(form.busy);
  Select("Root");
  collection->servers = {"B"};
  RefreshCommand(form);
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n  B [Server]\n");
}

TEST_F(CommandsTest, DeleteServerGoesOnlyWhenTheMainServerLetsItGo) {
  Select("A");
  collection->fail = 0x2345;
  ui.answers = {MsgBoxResult::kOk};
  DeleteServerCommand(form);  // refused: the node stays
  EXPECT_EQ(ui.PromptTexts(),
            Texts{"Error 9029 by ZeltaMainServer.ServerCollection on SHOP0.\rList is read-only"});
  EXPECT_EQ(ui.prompts[0].icon, MsgBoxIcon::kExclamation);
  net.objects.erase("ZeltaMainServer.ServerCollection@SHOP0");
  DeleteServerCommand(form);  // the main server down: the creation error, and the node stays
  ASSERT_EQ(ui.PromptTexts().size(), 2u);
  EXPECT_EQ(
      ui.PromptTexts()[1].rfind("Error-2147221371 creating ZeltaMainServer.ServerCollection on SHOP0.", 0),
      0u);
  EXPECT_EQ(TreeText(), "SHOPNET [Domain]\n  *A [Server]\n    Receipt:emu:46 [Printer]\n  B [Server]\n");
  net.objects["ZeltaMainServer.ServerCollection@SHOP0"] = collection;
  collection->fail = 0;
  DeleteServerCommand(form);
  EXPECT_EQ(collection->servers, Texts{"B"});
  EXPECT_EQ(TreeText(), "SHOPNET [Domain]\n  B [Server]\n");
  EXPECT_FALSE(ServerCollectionObj);
  EXPECT_FALSE(form.busy);
  SetMainServer("");  // without a main server the node just goes
  Select("B");
  DeleteServerCommand(form);
  Select("Root");  // only server nodes are deleted
  DeleteServerCommand(form);
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n");
}

TEST_F(CommandsTest, AddServerShowsTheChosenServer) {
  net.Monitor("C")->printers = "emu:161=Slip\0"s;
  dialog = [] {
    EXPECT_FALSE(MainServerMode);
    ChosenServer = "C";
  };
  AddServerCommand(form);
  EXPECT_EQ(TreeText(),
            "*SHOPNET [Domain]\n  A [Server]\n    Receipt:emu:46 [Printer]\n  B [Server]\n"
            "  C [Server]\n    Slip:emu:161 [Printer]\n");
  dialog = [] { ChosenServer.clear(); };  // closed without a choice
  const size_t creations = net.creations.size();
  AddServerCommand(form);
  EXPECT_EQ(net.creations.size(), creations);
}

TEST_F(CommandsTest, SelectMainServerRebuildsTheTreeFromTheNewOne) {
  auto other = std::make_shared<FakeCollection>();
  other->servers = {"B"};
  dialog = [&] {
    EXPECT_TRUE(MainServerMode);
    SetMainServer("SHOP9");
    net.objects["ZeltaMainServer.ServerCollection@SHOP9"] = other;
    ServerCollectionObj = other;
  };
  SelectMainServerCommand(form);
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n  B [Server]\n");
  EXPECT_EQ(net.creations.back(), "ZeltaServer.Monitor@B");
  const size_t creations = net.creations.size();
  dialog = [] {};  // closed: the tree stays
  SelectMainServerCommand(form);
  EXPECT_EQ(net.creations.size(), creations);
}

class ServerDialogTest : public BrowserTest {
 protected:
  ServerDialogTest() {
    SetNetworkEnumerator([](const std::string&) {
      return NetworkComputers{kNetOk, kNetOk, {"AAA", GetComputerName(), "ZZZ:47101"}};
    });
  }
  ~ServerDialogTest() override { SetNetworkEnumerator(nullptr); }
  MainServerDialogState dialog;
};

TEST_F(ServerDialogTest, OpensWithTheComputersAndThisOneSelected) {
  ChosenServer = "old";
  for (bool main_mode : {true, false}) {
    MainServerMode = main_mode;
    MainServerDialogState d;
    LoadMainServerDialog(d);
    EXPECT_EQ(d.caption, main_mode ? "Main server selection" : "Server selection");
    EXPECT_EQ(d.cmbServerList.size(), 3u);
    EXPECT_EQ(d.cmbServerIndex, 1);
    EXPECT_EQ(d.cmbServerText, GetComputerName());
    EXPECT_EQ(ChosenServer, "");
  }
}

TEST_F(ServerDialogTest, MainServerChosenIsSavedAndLeftForTheCaller) {
  MainServerMode = true;
  LoadMainServerDialog(dialog);
  dialog.cmbServerText = "NOBODY";
  ui.answers = {MsgBoxResult::kOk};
  ApplyMainServerDialog(dialog);
  EXPECT_FALSE(dialog.unloaded);  // stays open with the name still in the box
  EXPECT_EQ(dialog.cmbServerText, "NOBODY");
  EXPECT_FALSE(dialog.busy);
  EXPECT_EQ(ui.PromptTexts().size(), 1u);
  auto chosen = net.Collection("ZZZ:47101");
  dialog.cmbServerText = "ZZZ:47101";
  ApplyMainServerDialog(dialog);
  EXPECT_TRUE(dialog.unloaded);
  EXPECT_EQ(ServerCollectionObj, chosen);
  std::string saved;
  RegReadString(kZeltaKey, kMainServerValue, saved);
  EXPECT_EQ(saved, "ZZZ:47101");
}

TEST_F(ServerDialogTest, AddModeRegistersWithTheMainServerWhenThereIsOne) {
  MainServerMode = false;
  net.Monitor("AAA");
  // No main server: shown in the tree only, nothing registered, no message.
  dialog.cmbServerText = "AAA";
  ApplyMainServerDialog(dialog);
  EXPECT_TRUE(dialog.unloaded);
  EXPECT_EQ(ChosenServer, "AAA");
  EXPECT_TRUE(ui.prompts.empty());
  // With one: AddServer, and its refusal is shown.
  SetMainServer("SHOP0");
  auto collection = net.Collection("SHOP0");
  for (int32_t fail : {0, 0x2345}) {
    MainServerDialogState d;
    collection->fail = fail;
    d.cmbServerText = "AAA";
    ui.answers = {MsgBoxResult::kOk};
    ApplyMainServerDialog(d);
    EXPECT_TRUE(d.unloaded);
    EXPECT_FALSE(ServerCollectionObj);
  }
  EXPECT_EQ(collection->servers, Texts{"AAA"});
  EXPECT_EQ(ui.PromptTexts(),
            Texts{"Error 9029 by ZeltaMainServer.ServerCollection on SHOP0.\rList is read-only"});
}

TEST_F(ServerDialogTest, CloseWaitsForAPendingCreation) {
  MainServerMode = true;
  net.Collection("SLOW");
  net.seconds = 0.1;
  dialog.cmbServerText = "SLOW";
  bool refused = false;
  net.during_creation = [&] {
    if (!refused) refused = !MainServerDialogCloseRequest(dialog);
  };
  ApplyMainServerDialog(dialog);
  EXPECT_TRUE(refused);
  EXPECT_TRUE(dialog.creation.ClosePending);
  EXPECT_TRUE(dialog.unloaded);
  // No creation pending: the close goes through and leaves nothing set.
  MainServerDialogState idle;
  EXPECT_TRUE(MainServerDialogCloseRequest(idle));
}

}  // namespace
}  // namespace zelta::test
