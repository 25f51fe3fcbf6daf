// What the user does on the tree of a shop whose main server lists A and B: connect to a printer (with the
// printer's identification and the OPOS set-up), refresh, delete, add and choose servers.
#include <gtest/gtest.h>

#include "browser/connect_printer.h"
#include "browser/treeview_calls.h"
#include "fake_servers.h"
#include "platform/computer_name.h"

namespace zelta::test {
namespace {

class TreeTest : public BrowserTest {
 protected:
  TreeTest() {
    SetMainServer("SHOP0");
    collection->servers = {"A", "B"};
    monitor->printers = "emu:46=Receipt\0"s;
    monitor->printer = local->printer = printer;
    net.Monitor("B");
    form.open_printer_window = [this](PrinterWindow w, const std::string& text) {
      const char* names[] = {"LogoForm", "PrnForm", "PrnBraForm"};
      opened += names[static_cast<int>(w)] + (" " + text) + " model " + std::to_string(PrinterModelId) + "\n";
      return true;
    };
    Discover();
  }
  void Select(const std::string& key) { form.tvwServerCollection.Select(form.tvwServerCollection.Find(key)); }
  // Connects to the node with key as a click (hit or not) and a double click on it do. What came of it: the
  // windows opened, the messages and prompts, the printer still held, a claim not released, then Flags().
  std::string Connect(const std::string& key = "A\\Receipt:emu:46", bool hit = true) {
    Select(key);
    form.ItemHit = hit;
    opened.clear();
    Said();
    ConnectSelectedPrinter(form);
    std::string out = opened + Said();
    if (PrinterObj) out += PrinterObj == printer ? "printer held\n" : "another printer held\n";
    if (printer->claims != printer->releases) out += "claim not released\n";
    return out + Flags();
  }

  std::string opened;  // the windows opened, one line each
  std::shared_ptr<FakeCollection> collection = net.Collection("SHOP0");
  std::shared_ptr<FakeMonitor> monitor = net.Monitor("A"), local = net.Monitor(GetComputerName());
};

TEST_F(TreeTest, IdentifiesByGsIOrEscQuestion) {
  using Read = ScriptedPrinter::Read;
  const std::string gs_i = "\x1d\x49\x01", esc_q = "\x1b\x3f\x30";
  // The device kind, the write's result and the reads; the result, the model ID and the request written.
  const std::tuple<int32_t, int32_t, std::vector<Read>, int32_t, int, std::string> cases[] = {
      {1, 0, {{0, "\x2e"}}, 0, 46, gs_i},
      {1, 0, {{kResultTimeout, ""}}, kResultTimeout, 0, gs_i},
      {1, kResultBusy, {}, kResultBusy, 0, ""},  // the request refused: nothing read
      {2, 0, {{0, "\x5f\x08\x00"s}, {0, "VX-7800\0"s}}, 0, 161, esc_q},
      {2, 0, {{0, "\x5f\x08\x00"s}, {0, "VX-7801\0"s}}, 0, 0, esc_q},
      {2, 0, {{0, "\x5f\x07\x00"s}, {0, "VX-7800"s}}, 0, 0, esc_q},  // no trailing byte
      {2, 0, {{0, "\x5f\x00\x00"s}}, 0, 0, esc_q},                   // empty model text
      {2, 0, {{0, "\x5f\x08\x00"s}, {kResultTimeout, ""}}, kResultTimeout, 0, esc_q},
  };
  for (const auto& [kind, write_result, reads, result, id, request] : cases) {
    SCOPED_TRACE(testing::PrintToString(reads));
    ScriptedPrinter p;
    p.device_kind = kind;
    p.writes.push_back({write_result, write_result ? 0 : -1});
    p.reads.assign(reads.begin(), reads.end());
    uint8_t found = 99;
    const int32_t got = IdentifyPrinter(p, found);  // with the request written in real time
    EXPECT_EQ(std::tuple(got, int{found}, p.written, p.write_log.at(0).mode, p.Count("ReadData")),
              std::tuple(result, id, request, kWriteRealTime, static_cast<int>(reads.size())));
  }
}

TEST_F(TreeTest, VariantAndModelChooseTheWindow) {
  const std::string node = " Receipt:emu:46 model ";
  // The program variant, the model ID, the BRASIL setting and what came of the connection.
  const std::tuple<std::string, int, int, std::string> cases[] = {
      {"Logo", 46, 0, "LogoForm" + node + "46\nprinter held\n"},
      {"Logo", 176, 0, "Receipt:emu:46 is a KDM410G.\nThis application does not work with a KDM410G.\n"},
      {"KDM410G", 176, 0, "PrnForm" + node + "176\nprinter held\n"},
      {"Logo", 99, 0, "Printer unknown.\rPlease verify printers and connections...\n"},
      {"DEMO", 161, 0, "PrnForm" + node + "161\nprinter held\n"},
      {"DEMO", 161, 1, "PrnBraForm" + node + "161\nprinter held\n"},
      {"DEMO", 46, 1, "PrnForm" + node + "46\nprinter held\n"},
      {"SETUP", 10, 0, "PrnForm" + node + "10\nprinter held\n"},
      {"MEMORY", 32, 0, "PrnForm" + node + "32\nprinter held\n"},
      {"Tool", 46, 0, "Application unknown.\n"},
  };
  for (const auto& [variant, id, brasil, outcome] : cases) {
    InitProgramPaths(dir.File(variant));
    dir.Write(variant + ".INI", "[BRASIL]\nENABLED=" + std::to_string(brasil) + "\n");
    printer->QueueByte(id);
    EXPECT_EQ(Connect(), outcome) << variant << " " << id;
    PrinterObj.reset();
  }
}

TEST_F(TreeTest, ConnectsOnlyToAPrinterNodeHit) {
  EXPECT_EQ(Connect("A\\Receipt:emu:46", false) + Connect("A"), "");
  EXPECT_EQ(monitor->calls.back(), "GetNetPrinterCollection");  // nothing since discovery
}

TEST_F(TreeTest, FailuresShowTheirMessageAndReleaseThePrinter) {
  // The failure, how it is made and what is said.
  const std::tuple<std::string, std::function<void()>, std::string> cases[] = {
      {"server gone", [&] { net.objects.erase("ZeltaServer.Monitor@A"); },
       "Error-2147221371 creating ZeltaServer.Monitor on A.\rNo server answers on A."},
      {"check refused", [&] { monitor->check_result = 7; },
       "Raised error on connection with Receipt (on emu:46) of A.\rDescription: Result 7"},
      {"no printer handed out", [&] { monitor->printer = nullptr; },
       "Raised error 4660 for Receipt on emu:46 of A.\r\nDescription: Monitor failure"},
      {"claimed by another client",
       [&] {
         printer->claim_results.push_back(kResultClaimedElsewhere);
         printer->last_error = {kResultClaimedElsewhere, "Claimed elsewhere", "Printer"};
       },
       "Raised error code -2147221375 for Receipt on emu:46 of A.\rExtended error description: Claimed "
       "elsewhere"},
      {"busy", [&] { printer->busy_states.push_back(1); },
       "Printer offline.\rPlease check printer and then try again..."},
      {"no answer",
       [&] {
         printer->last_error = {kResultTimeout, "Time-out", "Printer"};
       },
       "Raised error-2147221399 on connection with Receipt on emu:46 of A.\r\nDescription: Time-out"},
  };
  for (const auto& [name, setup, message] : cases) {
    net.objects["ZeltaServer.Monitor@A"] = monitor;
    monitor->check_result = 0;
    monitor->printer = printer;
    printer->last_error = {0, "Scripted failure", "ScriptedPrinter"};
    setup();
    EXPECT_EQ(Connect(), message + "\n") << name;  // nothing queued: the printer's answer times out
  }
}

TEST_F(TreeTest, NetPrinterGoesThroughThisComputerAndShowsTheHostReached) {
  monitor->net_printers = "10.0.0.5:9100=Bar\0"s;
  RefreshCommand(form);  // the root is selected
  local->port_back = "10.0.0.7";
  printer->QueueByte(46);
  ASSERT_EQ(Connect("Bar:9100"), "LogoForm Bar:9100(10.0.0.7) model 46\nprinter held\n");
  EXPECT_EQ(local->calls, (Texts{"CheckPrinter Bar 9100", "GetPrinter Bar 9100"}));
  EXPECT_EQ(form.tvwServerCollection.Node(form.tvwServerCollection.Find("Bar:9100"))->text,
            "Bar:9100(10.0.0.7)");
  local->printer = nullptr;  // a net printer the server cannot hand out
  PrinterObj.reset();
  EXPECT_EQ(Connect("Bar:9100"),
            "Raised error  4660  on connection with Bar:9100(10.0.0.7).\rDescription: Monitor failure\n");
}

// The set-up variant writes the printer's port and name into the OPOS keys of its model.
TEST_F(TreeTest, OposSetUpWritesTheKeysOfTheModel) {
  const std::string root = "SOFTWARE\\OleForRetail\\ServiceOPOS\\",
                    shown = "PrnForm Receipt:emu:46 model 46\n",
                    ask = "Receipt:emu:46 is a KDT330.\rDo you want to continue?\n";
  const Texts kdt330 = {"POSPrinter\\KDT330Device", "POSPrinter\\KDT330CDevice",
                        "LineDisplay\\KDT330LineControl", "CashDrawer\\KDT330DrawerControl"};
  const Texts kdm25 = {"POSPrinter\\KDM25Device", "Micr\\KDM25MicrControl",
                       "CheckScanner\\KDM25CheckScannerControl"};
  // Only the CDevice key: the set-up holds, each further value is reported.
  std::string further = shown + ask;
  for (const std::string& key : {kdt330[2], kdt330[3]}) {
    for (const char* value : {"COMMPort", "MachineType"})
      further += "Error updating registry value '"s + value + "' under '" + root + key + "' key.\n";
  }
  // The model ID, the printer's name as the server lists it, the keys in the registry, the answer to the
  // question and what came of the connection (the set-up lets the printer go before the window opens).
  const std::tuple<int, std::string, Texts, MsgBoxResult, std::string> cases[] = {
      {46, "Receipt", kdt330, MsgBoxResult::kYes, shown + ask},
      {46, "Receipt", {kdt330[1]}, MsgBoxResult::kYes, further},
      {46, "KDT330", {}, MsgBoxResult::kYes, "OPOS for KDT330 not installed.\n"},
      {46, "Receipt", {kdt330[0]}, MsgBoxResult::kNo, ask},
      {161, "KDM25", kdm25, MsgBoxResult::kYes, "PrnForm KDM25:emu:46 model 161\n"},  // named like its model
      {36, "Receipt", {}, MsgBoxResult::kYes, "OPOS for Receipt not installed.\n"},
      {36, "KDT330", {}, MsgBoxResult::kYes, "KDT330:emu:46 is not a KDT330.\n"},
  };
  InitProgramPaths(dir.File("OPOSETUP"));
  for (const auto& [id, printer_name, keys, answer, outcome] : cases) {
    SCOPED_TRACE(outcome);
    dir.Write("registry", "[SOFTWARE\\Zelta]\nMainServer=SHOP0\n");
    for (const std::string& k : keys) RegCreateKey(root + k);
    monitor->printers = "emu:46=" + printer_name + '\0';
    form.tvwServerCollection.Clear();
    Discover();
    ui.answers.assign(5, answer);
    printer->QueueByte(id);
    EXPECT_EQ(Connect("A\\" + printer_name + ":emu:46"), outcome);
    if (outcome.rfind("PrnForm", 0) != 0) continue;
    for (const std::string& k : keys) {
      std::string port, name;
      RegReadString(root + k, "COMMPort", port);
      RegReadString(root + k, "MachineType", name);
      EXPECT_EQ(port + " " + name, "emu:46 " + printer_name) << k;
    }
    EXPECT_EQ(window.PanelHistory(2).end()[-2],
              "Updating registry values for "s + (id == 161 ? "KDM25" : "KDT330") + "...");
  }
}

TEST_F(TreeTest, ContextMenuFollowsTheImage) {
  // The entries of each image as "refresh delete connect", "+" enabled; "none" no menu.
  std::string menus;
  for (const char* image : {kImageServer, kImageDomain, kImagePrinter, kImageNetPrinter, "Other"}) {
    ContextMenuEntries e;
    const bool shown = ContextMenuFor(image, e);
    const std::string flags = {e.refresh ? '+' : '-', e.delete_server ? '+' : '-', e.connect ? '+' : '-'};
    menus += shown ? flags + " " : "none";
  }
  EXPECT_EQ(menus, "++- +-- --+ --+ none");
}

TEST_F(TreeTest, RefreshRebuildsTheSelectedServerOrTheWholeTree) {
  const size_t creations = net.creations.size();
  Select("A\\Receipt:emu:46");
  RefreshCommand(form);  // a printer node: nothing
  form.busy = true;      // busy: nothing either
  Select("A");
  RefreshCommand(form);
  EXPECT_EQ(net.creations.size(), creations);
  form.busy = false;
  monitor->printers = "emu:36=Colour\0"s;
  RefreshCommand(form);
  EXPECT_EQ(
      net.creations.back() + "\n" + State(),
      "ZeltaServer.Monitor@A\nSHOPNET [Domain]\n  *A [Server]\n    Colour:emu:36 [Printer]\n  B [Server]\n");
  monitor->list_result = 0x10;
  RefreshCommand(form);  // the net printers are not read again
  EXPECT_EQ(State() + std::to_string(std::count(monitor->calls.begin(), monitor->calls.end(),
                                                "GetNetPrinterCollection")),
            "SHOPNET [Domain]\n  *A (Busy) [Server]\n  B [Server]\nRaise error code:  4660 getting printer "
            "collection from server on A.\rDescription: Monitor failure\n1");
  Select("Root");
  collection->servers = {"B"};
  RefreshCommand(form);
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n  B [Server]\n");
}

TEST_F(TreeTest, DeleteServerGoesOnlyWhenTheMainServerLetsItGo) {
  Select("A");
  collection->fail = 0x2345;
  ui.answers = {MsgBoxResult::kOk};
  DeleteServerCommand(form);  // refused: the node stays
  EXPECT_EQ(ui.prompts.at(0).icon, MsgBoxIcon::kExclamation);
  net.objects.erase("ZeltaMainServer.ServerCollection@SHOP0");
  DeleteServerCommand(form);  // the main server down: the creation error, and the node stays
  EXPECT_EQ(TreeText() + Said(),
            "SHOPNET [Domain]\n  *A [Server]\n    Receipt:emu:46 [Printer]\n  B [Server]\nError 9029 by "
            "ZeltaMainServer.ServerCollection on SHOP0.\rList is read-only\nError-2147221371 creating "
            "ZeltaMainServer.ServerCollection on SHOP0.\rNo server answers on SHOP0.\n");
  net.objects["ZeltaMainServer.ServerCollection@SHOP0"] = collection;
  collection->fail = 0;
  DeleteServerCommand(form);
  EXPECT_EQ(std::pair(State() + (ServerCollectionObj ? "list held" : ""), collection->servers),
            std::pair("SHOPNET [Domain]\n  B [Server]\n"s, Texts{"B"}));
  SetMainServer("");  // without a main server the node just goes
  Select("B");
  DeleteServerCommand(form);
  Select("Root");  // only server nodes are deleted
  DeleteServerCommand(form);
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n");
}

// The server dialog adds a server to the tree, or chooses a main server whose list rebuilds the tree; closed
// without a choice, it changes nothing.
TEST_F(TreeTest, ServerDialogAddsAServerOrRebuildsFromTheNewMainServer) {
  net.Monitor("C", "emu:161=Slip\0"s);
  dialog = [] {
    EXPECT_FALSE(MainServerMode);
    ChosenServer = "C";
  };
  AddServerCommand(form);
  EXPECT_EQ(TreeText(),
            "*SHOPNET [Domain]\n  A [Server]\n    Receipt:emu:46 [Printer]\n  B [Server]\n"
            "  C [Server]\n    Slip:emu:161 [Printer]\n");
  auto other = std::make_shared<FakeCollection>();
  other->servers = {"B"};
  dialog = [&] {
    EXPECT_TRUE(MainServerMode);
    SetMainServer("SHOP9");
    net.objects["ZeltaMainServer.ServerCollection@SHOP9"] = other;
    ServerCollectionObj = other;
  };
  SelectMainServerCommand(form);
  EXPECT_EQ(TreeText(), "*SHOPNET [Domain]\n  B [Server]\n");  // B reached: not "(Unreacheable)"
  const size_t creations = net.creations.size();
  dialog = [] { ChosenServer.clear(); };
  AddServerCommand(form);
  SelectMainServerCommand(form);
  EXPECT_EQ(net.creations.size(), creations);
}

}  // namespace
}  // namespace zelta::test
