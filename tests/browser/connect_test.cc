#include <gtest/gtest.h>

#include "browser/configuration.h"
#include "browser/connect_printer.h"
#include "browser/network_functions.h"
#include "fake_servers.h"
#include "platform/computer_name.h"
#include "platform/registry.h"

namespace zelta::test {
namespace {

using namespace std::string_literals;

class ConnectTest : public BrowserTest {
 protected:
  ConnectTest() : printer(std::make_shared<ScriptedPrinter>()) {
    SetMainServer("SHOP0");
    net.Collection("SHOP0")->servers = {"A"};
    monitor = net.Monitor("A");
    monitor->printers = "emu:46=Receipt\0"s;
    monitor->printer = printer;
    local = net.Monitor(GetComputerName());
    local->printer = printer;
    monitor->net_printers = "10.0.0.5:9100=Bar\0"s;
    AddServerNode(form, "", "", "");
    DiscoverServers(form);
    Variant("Logo");
  }
  void Variant(const std::string& file) { InitProgramPaths(dir.File(file)); }
  // Connects to the node with key as a double click on it does.
  void Connect(const std::string& key = "A\\Receipt:emu:46") {
    form.tvwServerCollection.Select(form.tvwServerCollection.Find(key));
    form.ItemHit = true;
    ConnectSelectedPrinter(form);
  }
  // The printer answers GS I 1 with id.
  void Answers(uint8_t id) { printer->QueueByte(id); }
  void ExpectNothingOpened() {
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(PrinterObj);
    EXPECT_EQ(printer->claims, printer->releases);
    EXPECT_EQ(window.StatusPanelText(2), "Ready...");
    EXPECT_FALSE(form.busy);
  }

  std::shared_ptr<ScriptedPrinter> printer;
  std::shared_ptr<FakeMonitor> monitor, local;
};

TEST_F(ConnectTest, IdentifiesByGsIOrEscQuestion) {
  struct Case {
    int32_t kind;
    std::vector<ScriptedPrinter::Read> reads;
    int32_t result;
    uint8_t id;
    std::string request;
  };
  const Case cases[] = {
      {1, {{0, "\x2e"}}, 0, 46, "\x1d\x49\x01"},
      {1, {{kResultTimeout, ""}}, kResultTimeout, 0, "\x1d\x49\x01"},
      {2, {{0, "\x5f\x08\x00"s}, {0, "VX-7800\0"s}}, 0, 161, "\x1b\x3f\x30"},
      {2, {{0, "\x5f\x08\x00"s}, {0, "VX-7801\0"s}}, 0, 0, "\x1b\x3f\x30"},
      {2, {{0, "\x5f\x07\x00"s}, {0, "VX-7800"s}}, 0, 0, "\x1b\x3f\x30"},  // no trailing byte
      {2, {{0, "\x5f\x00\x00"s}}, 0, 0, "\x1b\x3f\x30"},                   // empty model text
      {2, {{0, "\x5f\x08\x00"s}, {kResultTimeout, ""}}, kResultTimeout, 0, "\x1b\x3f\x30"},
  };
  for (const Case& c : cases) {
    ScriptedPrinter p;
    p.device_kind = c.kind;
    p.reads.assign(c.reads.begin(), c.reads.end());
    uint8_t id = 99;
    EXPECT_EQ(IdentifyPrinter(p, id), c.result);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(p.written, c.request);
    EXPECT_EQ(p.write_log[0].mode, kWriteRealTime);
  }
  ScriptedPrinter refused;
  refused.writes.push_back({kResultBusy, 0});
  uint8_t id = 0;
  EXPECT_EQ(IdentifyPrinter(refused, id), kResultBusy);
  EXPECT_EQ(refused.Count("ReadData"), 0);
}

TEST_F(ConnectTest, VariantAndModelChooseTheWindow) {
  struct Case {
    const char* variant;
    uint8_t id;
    int brasil;
    std::vector<PrinterWindow> windows;
    std::string message;
  };
  const Case cases[] = {
      {"Logo", 46, 0, {PrinterWindow::kLogoForm}, ""},
      {"Logo", 36, 0, {PrinterWindow::kLogoForm}, ""},
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
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.variant) + " " + std::to_string(c.id));
    opened.clear();
    ui.messages.clear();
    Variant(c.variant);
    dir.Write(std::string(c.variant) + ".INI", "[BRASIL]\nENABLED=" + std::to_string(c.brasil) + "\n");
    Answers(c.id);
    Connect();
    std::vector<PrinterWindow> windows;
    for (auto& [w, text] : opened) windows.push_back(w);
    EXPECT_EQ(windows, c.windows);
    EXPECT_EQ(ui.messages,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(printer->claims, printer->releases);
    if (!c.windows.empty()) {
      EXPECT_EQ(opened_model, c.id);
      EXPECT_EQ(opened_printer, printer);
    } else {
      EXPECT_FALSE(PrinterObj);
    }
    PrinterObj.reset();
  }
}

TEST_F(ConnectTest, ConnectsOnlyToAPrinterNodeHit) {
  form.tvwServerCollection.Select(form.tvwServerCollection.Find("A\\Receipt:emu:46"));
  form.ItemHit = false;
  ConnectSelectedPrinter(form);
  form.ItemHit = true;
  form.tvwServerCollection.Select(form.tvwServerCollection.Find("A"));
  ConnectSelectedPrinter(form);
  EXPECT_TRUE(monitor->calls.empty() || monitor->calls.back() == "GetNetPrinterCollection");
  ExpectNothingOpened();
}

TEST_F(ConnectTest, FailuresShowTheirMessageAndReleaseThePrinter) {
  struct Case {
    const char* name;
    std::function<void()> setup;
    std::string message;
  };
  const Case cases[] = {
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
         printer->reads.push_back({kResultTimeout, ""});
         printer->last_error = {kResultTimeout, "Time-out", "Printer"};
       },
       "Raised error-2147221399 on connection with Receipt on emu:46 of A.\r\nDescription: Time-out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    monitor->check_result = 0;
    monitor->printer = printer;
    printer->last_error = {0, "Scripted failure", "ScriptedPrinter"};
    ui.messages.clear();
    c.setup();
    Connect();
    EXPECT_EQ(ui.messages, std::vector<std::string>{c.message});
    ExpectNothingOpened();
  }
}

TEST_F(ConnectTest, NetPrinterGoesThroughThisComputerAndShowsTheHostReached) {
  local->port_back = "10.0.0.7";
  Answers(46);
  Connect("Bar:9100");
  EXPECT_EQ(local->calls, (std::vector<std::string>{"CheckPrinter Bar 9100", "GetPrinter Bar 9100"}));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].second, "Bar:9100(10.0.0.7)");
  EXPECT_EQ(form.tvwServerCollection.Node(form.tvwServerCollection.Find("Bar:9100"))->text,
            "Bar:9100(10.0.0.7)");
  // A net printer the server cannot hand out.
  local->printer = nullptr;
  PrinterObj.reset();
  Connect("Bar:9100");
  EXPECT_EQ(ui.messages.back(),
            "Raised error  4660  on connection with Bar:9100(10.0.0.7).\rDescription: Monitor failure");
}

class OposTest : public ConnectTest {
 protected:
  static constexpr char kRoot[] = "SOFTWARE\\OleForRetail\\ServiceOPOS\\";
  OposTest() { Variant("OPOSETUP"); }
  void Keys(const std::vector<std::string>& keys) {
    for (const std::string& k : keys) RegCreateKey(kRoot + k);
  }
  std::string Value(const std::string& key, const std::string& name) {
    std::string v;
    RegReadString(kRoot + key, name, v);
    return v;
  }
};

TEST_F(OposTest, WritesTheKeysOfTheModelInOrder) {
  Keys({"POSPrinter\\KDT330Device", "POSPrinter\\KDT330CDevice", "LineDisplay\\KDT330LineControl",
        "CashDrawer\\KDT330DrawerControl"});
  ui.answers = {MsgBoxResult::kYes};
  Answers(46);
  Connect();
  // Printer "Receipt" is not named like its model: the question first.
  EXPECT_EQ(ui.PromptTexts(),
            std::vector<std::string>{"Receipt:emu:46 is a KDT330.\rDo you want to continue?"});
  for (const char* key : {"POSPrinter\\KDT330Device", "POSPrinter\\KDT330CDevice",
                          "LineDisplay\\KDT330LineControl", "CashDrawer\\KDT330DrawerControl"}) {
    EXPECT_EQ(Value(key, "COMMPort"), "emu:46") << key;
    EXPECT_EQ(Value(key, "MachineType"), "Receipt") << key;
  }
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_FALSE(PrinterObj);  // the set-up lets the printer go before the window opens
  EXPECT_EQ(window.PanelHistory(2).end()[-2], "Updating registry values for KDT330...");
}

TEST_F(OposTest, MissingKeysAreReportedInTableOrder) {
  // Only the CDevice key: the set-up holds; the further keys are each reported, COMMPort first.
  Keys({"POSPrinter\\KDT330CDevice"});
  ui.answers.assign(6, MsgBoxResult::kYes);
  Answers(46);
  Connect();
  const std::string e = "Error updating registry value '";
  EXPECT_EQ(
      ui.PromptTexts(),
      (std::vector<std::string>{
          "Receipt:emu:46 is a KDT330.\rDo you want to continue?",
          e + "COMMPort' under 'SOFTWARE\\OleForRetail\\ServiceOPOS\\LineDisplay\\KDT330LineControl' key.",
          e + "MachineType' under 'SOFTWARE\\OleForRetail\\ServiceOPOS\\LineDisplay\\KDT330LineControl' key.",
          e + "COMMPort' under 'SOFTWARE\\OleForRetail\\ServiceOPOS\\CashDrawer\\KDT330DrawerControl' key.",
          e + "MachineType' under 'SOFTWARE\\OleForRetail\\ServiceOPOS\\CashDrawer\\KDT330DrawerControl' "
              "key."}));
  EXPECT_EQ(Value("POSPrinter\\KDT330CDevice", "COMMPort"), "emu:46");
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(OposTest, ModelChecksOfTheSetUp) {
  struct Case {
    const char* name;
    uint8_t id;
    std::string printers;  // the server's list
    std::vector<std::string> keys;
    MsgBoxResult answer;
    std::vector<std::string> prompts;
    bool opens;
  };
  const Case cases[] = {
      {"no POSPrinter key",
       46,
       "emu:46=KDT330\0"s,
       {},
       MsgBoxResult::kOk,
       {"OPOS for KDT330 not installed."},
       false},
      {"user declines",
       46,
       "emu:46=Receipt\0"s,
       {"POSPrinter\\KDT330Device"},
       MsgBoxResult::kNo,
       {"Receipt:emu:46 is a KDT330.\rDo you want to continue?"},
       false},
      {"printer named like its model: no question",
       161,
       "emu:46=KDM25\0"s,
       {"POSPrinter\\KDM25Device", "Micr\\KDM25MicrControl", "CheckScanner\\KDM25CheckScannerControl"},
       MsgBoxResult::kOk,
       {},
       true},
      {"a model without OPOS",
       36,
       "emu:46=Receipt\0"s,
       {},
       MsgBoxResult::kOk,
       {"OPOS for Receipt not installed."},
       false},
      {"a model without OPOS on a printer named like one",
       36,
       "emu:46=KDT330\0"s,
       {},
       MsgBoxResult::kOk,
       {"KDT330:emu:46 is not a KDT330."},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("registry", "[SOFTWARE\\Zelta]\nMainServer=SHOP0\n");
    Keys(c.keys);
    monitor->printers = c.printers;
    form.tvwServerCollection.Clear();
    AddServerNode(form, "", "", "");
    DiscoverServers(form);
    opened.clear();
    ui.prompts.clear();
    ui.answers = {c.answer};
    Answers(c.id);
    form.tvwServerCollection.Select(form.tvwServerCollection.Children(form.tvwServerCollection.Find("A"))[0]);
    form.ItemHit = true;
    ConnectSelectedPrinter(form);
    EXPECT_EQ(ui.PromptTexts(), c.prompts);
    EXPECT_EQ(opened.size(), c.opens ? 1u : 0u);
    EXPECT_FALSE(PrinterObj);
  }
}

}  // namespace
}  // namespace zelta::test
