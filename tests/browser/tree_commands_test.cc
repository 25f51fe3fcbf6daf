// What the user does on the tree of a shop whose main server lists A and B: connect to a printer (with the
// printer's identification and the OPOS set-up), refresh, delete, add and choose servers.
#include <gtest/gtest.h>

#include "browser/configuration.h"
#include "browser/connect_printer.h"
#include "browser/network_functions.h"
#include "browser/treeview_calls.h"
#include "fake_servers.h"
#include "platform/computer_name.h"
#include "platform/registry.h"

namespace zelta::test {
namespace {

using namespace std::string_literals;
using Texts = std::vector<std::string>;

class TreeTest : public BrowserTest {
 protected:
  TreeTest() {
    SetMainServer("SHOP0");
    collection->servers = {"A", "B"};
    monitor->printers = "emu:46=Receipt\0"s;
    monitor->printer = local->printer = printer;
    net.Monitor("B");
    Discover();
  }
  void Select(const std::string& key) { form.tvwServerCollection.Select(form.tvwServerCollection.Find(key)); }
  // Connects to the node with key as a double click on it does.
  void Connect(const std::string& key = "A\\Receipt:emu:46") {
    Select(key);
    form.ItemHit = true;
    ConnectSelectedPrinter(form);
  }
  void ExpectNothingOpened() {
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(PrinterObj);
    EXPECT_EQ(printer->claims, printer->releases);
    EXPECT_EQ(window.StatusPanelText(2), "Ready...");
    EXPECT_FALSE(form.busy);
  }

  std::shared_ptr<FakeCollection> collection = net.Collection("SHOP0");
  std::shared_ptr<ScriptedPrinter> printer = std::make_shared<ScriptedPrinter>();
  std::shared_ptr<FakeMonitor> monitor = net.Monitor("A"), local = net.Monitor(GetComputerName());
};

TEST_F(TreeTest, IdentifiesByGsIOrEscQuestion) {
  const std::string gs_i = "\x1d\x49\x01", esc_q = "\x1b\x3f\x30";
  const struct {
    int32_t kind, write_result;
    std::vector<ScriptedPrinter::Read> reads;
    int32_t result;
    uint8_t id;
    std::string request;
  } cases[] = {
      {1, 0, {{0, "\x2e"}}, 0, 46, gs_i},
      {1, 0, {{kResultTimeout, ""}}, kResultTimeout, 0, gs_i},
      {1, kResultBusy, {}, kResultBusy, 0, ""},  // the request refused: nothing read
      {2, 0, {{0, "\x5f\x08\x00"s}, {0, "VX-7800\0"s}}, 0, 161, esc_q},
      {2, 0, {{0, "\x5f\x08\x00"s}, {0, "VX-7801\0"s}}, 0, 0, esc_q},
      {2, 0, {{0, "\x5f\x07\x00"s}, {0, "VX-7800"s}}, 0, 0, esc_q},  // no trailing byte
      {2, 0, {{0, "\x5f\x00\x00"s}}, 0, 0, esc_q},                   // empty model text
      {2, 0, {{0, "\x5f\x08\x00"s}, {kResultTimeout, ""}}, kResultTimeout, 0, esc_q},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    ScriptedPrinter p;
    p.device_kind = c.kind;
    p.writes.push_back({c.write_result, c.write_result ? 0 : -1});
    p.reads.assign(c.reads.begin(), c.reads.end());
    uint8_t id = 99;
    EXPECT_EQ(IdentifyPrinter(p, id), c.result);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(p.written, c.request);
    EXPECT_EQ(p.write_log[0].mode, kWriteRealTime);
    EXPECT_EQ(p.Count("ReadData"), static_cast<int>(c.reads.size()));
  }
}

TEST_F(TreeTest, VariantAndModelChooseTheWindow) {
  const struct {
    const char* variant;
    uint8_t id;
    int brasil;
    std::vector<PrinterWindow> windows;
    std::string message;
  } cases[] = {
      {"Logo", 46, 0, {PrinterWindow::kLogoForm}, ""},
      {"Logo", 176, 0, {}, "Receipt:emu:46 is a KDM410G.\nThis application does not work with a KDM410G."},
      {"KDM410G", 176, 0, {PrinterWindow::kPrnForm}, ""},
      {"Logo", 99, 0, {}, "Printer unknown.\rPlease verify printers and connections..."},
      {"DEMO", 161, 0, {PrinterWindow::kPrnForm}, ""},
      {"DEMO", 161, 1, {PrinterWindow::kPrnBraForm}, ""},
      {"DEMO", 46, 1, {PrinterWindow::kPrnForm}, ""},
      {"SETUP", 10, 0, {PrinterWindow::kPrnForm}, ""},
      {"MEMORY", 32, 0, {PrinterWindow::kPrnForm}, ""},
      {"Tool", 46, 0, {}, "Application unknown."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.variant) + " " + std::to_string(c.id));
    opened.clear();
    ui.messages.clear();
    InitProgramPaths(dir.File(c.variant));
    dir.Write(std::string(c.variant) + ".INI", "[BRASIL]\nENABLED=" + std::to_string(c.brasil) + "\n");
    printer->QueueByte(c.id);
    Connect();
    std::vector<PrinterWindow> windows;
    for (auto& [w, text] : opened) windows.push_back(w);
    EXPECT_EQ(windows, c.windows);
    EXPECT_EQ(ui.messages, c.message.empty() ? Texts{} : Texts{c.message});
    EXPECT_EQ(printer->claims, printer->releases);
    if (c.windows.empty()) {
      EXPECT_FALSE(PrinterObj);
    } else {
      EXPECT_EQ(opened_model, c.id);
      EXPECT_EQ(opened_printer, printer);
    }
    PrinterObj.reset();
  }
}

TEST_F(TreeTest, ConnectsOnlyToAPrinterNodeHit) {
  Select("A\\Receipt:emu:46");
  form.ItemHit = false;
  ConnectSelectedPrinter(form);
  Connect("A");
  EXPECT_EQ(monitor->calls.back(), "GetNetPrinterCollection");  // nothing since discovery
  ExpectNothingOpened();
}

TEST_F(TreeTest, FailuresShowTheirMessageAndReleaseThePrinter) {
  const struct {
    const char* name;
    std::function<void()> setup;
    std::string message;
  } cases[] = {
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    net.objects["ZeltaServer.Monitor@A"] = monitor;
    monitor->check_result = 0;
    monitor->printer = printer;
    printer->last_error = {0, "Scripted failure", "ScriptedPrinter"};
    ui.messages.clear();
    ui.prompts.clear();
    c.setup();
    Connect();  // nothing queued: the printer's answer times out
    Texts said = ui.messages;
    for (const std::string& p : ui.PromptTexts()) said.push_back(p);
    EXPECT_EQ(said, Texts{c.message});
    ExpectNothingOpened();
  }
}

TEST_F(TreeTest, NetPrinterGoesThroughThisComputerAndShowsTheHostReached) {
  monitor->net_printers = "10.0.0.5:9100=Bar\0"s;
  RefreshCommand(form);  // the root is selected
  local->port_back = "10.0.0.7";
  printer->QueueByte(46);
  Connect("Bar:9100");
  EXPECT_EQ(local->calls, (Texts{"CheckPrinter Bar 9100", "GetPrinter Bar 9100"}));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].second, "Bar:9100(10.0.0.7)");
  EXPECT_EQ(form.tvwServerCollection.Node(form.tvwServerCollection.Find("Bar:9100"))->text,
            "Bar:9100(10.0.0.7)");
  local->printer = nullptr;  // a net printer the server cannot hand out
  PrinterObj.reset();
  Connect("Bar:9100");
  EXPECT_EQ(ui.messages.back(),
            "Raised error  4660  on connection with Bar:9100(10.0.0.7).\rDescription: Monitor failure");
}

// The set-up variant writes the printer's port and name into the OPOS keys of its model.
TEST_F(TreeTest, OposSetUpWritesTheKeysOfTheModel) {
  const std::string root = "SOFTWARE\\OleForRetail\\ServiceOPOS\\",
                    ask = "Receipt:emu:46 is a KDT330.\rDo you want to continue?";
  const Texts kdt330 = {"POSPrinter\\KDT330Device", "POSPrinter\\KDT330CDevice",
                        "LineDisplay\\KDT330LineControl", "CashDrawer\\KDT330DrawerControl"};
  const Texts kdm25 = {"POSPrinter\\KDM25Device", "Micr\\KDM25MicrControl",
                       "CheckScanner\\KDM25CheckScannerControl"};
  Texts further = {ask};  // only the CDevice key: the set-up holds, each further value is reported
  for (const std::string& key : {kdt330[2], kdt330[3]}) {
    for (const char* value : {"COMMPort", "MachineType"})
      further.push_back("Error updating registry value '"s + value + "' under '" + root + key + "' key.");
  }
  const struct {
    uint8_t id;
    std::string printer;  // as the server lists it
    Texts keys;           // present in the registry
    bool yes;             // the answer to the question
    Texts prompts;
    bool opens;
  } cases[] = {
      {46, "Receipt", kdt330, true, {ask}, true},
      {46, "Receipt", {kdt330[1]}, true, further, true},
      {46, "KDT330", {}, true, {"OPOS for KDT330 not installed."}, false},
      {46, "Receipt", {kdt330[0]}, false, {ask}, false},
      {161, "KDM25", kdm25, true, {}, true},  // named like its model: no question
      {36, "Receipt", {}, true, {"OPOS for Receipt not installed."}, false},
      {36, "KDT330", {}, true, {"KDT330:emu:46 is not a KDT330."}, false},
  };
  InitProgramPaths(dir.File("OPOSETUP"));
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    dir.Write("registry", "[SOFTWARE\\Zelta]\nMainServer=SHOP0\n");
    for (const std::string& k : c.keys) RegCreateKey(root + k);
    monitor->printers = "emu:46=" + c.printer + '\0';
    form.tvwServerCollection.Clear();
    Discover();
    opened.clear();
    ui.prompts.clear();
    ui.answers.assign(5, MsgBoxResult::kYes);
    if (!c.yes) ui.answers[0] = MsgBoxResult::kNo;
    printer->QueueByte(c.id);
    Connect("A\\" + c.printer + ":emu:46");
    EXPECT_EQ(ui.PromptTexts(), c.prompts);
    EXPECT_EQ(opened.size(), c.opens ? 1u : 0u);
    EXPECT_FALSE(PrinterObj);  // the set-up lets the printer go before the window opens
    if (!c.opens) continue;
    for (const std::string& k : c.keys) {
      std::string port, name;
      RegReadString(root + k, "COMMPort", port);
      RegReadString(root + k, "MachineType", name);
      EXPECT_EQ(port + " " + name, "emu:46 " + c.printer) << k;
    }
    EXPECT_EQ(window.PanelHistory(2).end()[-2],
              "Updating registry values for "s + (c.id == 161 ? "KDM25" : "KDT330") + "...");
  }
}

TEST_F(TreeTest, ContextMenuFollowsTheImage) {
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
  EXPECT_EQ(net.creations.back(), "ZeltaServer.Monitor@A");
  EXPECT_FALSE(form.busy);
  EXPECT_EQ(TreeText(), "SHOPNET [Domain]\n  *A [Server]\n    Colour:emu:36 [Printer]\n  B [Server]\n");
  monitor->list_result = 0x10;
  RefreshCommand(form);
  EXPECT_EQ(TreeText(), "SHOPNET [Domain]\n  *A (Busy) [Server]\n  B [Server]\n");
  EXPECT_EQ(
      ui.messages.back(),
      "Raise error code:  4660 getting printer collection from server on A.\rDescription: Monitor failure");
  EXPECT_EQ(std::count(monitor->calls.begin(), monitor->calls.end(), "GetNetPrinterCollection"), 1);
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

// The server dialog adds a server to the tree, or chooses a main server whose list rebuilds the tree; closed
// without a choice, it changes nothing.
TEST_F(TreeTest, ServerDialogAddsAServerOrRebuildsFromTheNewMainServer) {
  net.Monitor("C")->printers = "emu:161=Slip\0"s;
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
