#include "server/served_objects.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "shared/result_codes.h"
#include "support/scripted_printer.h"

namespace zelta {
namespace {

using test::ScriptedPrinter;
using namespace std::string_literals;

// Opens scripted printers and remembers the specs asked for.
struct Factory {
  std::vector<std::string> specs;
  std::vector<ScriptedPrinter*> printers;
  std::string refuse;  // a spec to refuse

  PortPrinterFactory Make() {
    return
        [this](const std::string& spec, int32_t kind, std::string& error) -> std::unique_ptr<PrinterObject> {
          specs.push_back(spec);
          if (spec == refuse) {
            error = "bad spec " + spec;
            return nullptr;
          }
          auto p = std::make_unique<ScriptedPrinter>();
          p->device_kind = kind;
          printers.push_back(p.get());
          return p;
        };
  }
};

ServerConfig ShopConfig() {
  ServerConfig c;
  c.server_name = "SHOP1";
  c.printers = {{"Receipt", "emu:36", 1}, {"Slip", "serial:/dev/ttyS0:9600", 2}};
  c.net_printers = {{"127.0.0.5", 9100, "Bar", 1}, {"127.0.0.6", 9101, "Bar", 1}};
  return c;
}

TEST(ServedObjects, PrintersAreOpenedFromTheirSpecs) {
  Factory f;
  ServerState state;
  std::string error;
  ASSERT_TRUE(state.Open(ShopConfig(), f.Make(), error)) << error;
  EXPECT_EQ(f.specs, (std::vector<std::string>{"emu:36", "serial:/dev/ttyS0:9600", "tcp:127.0.0.5:9100",
                                               "tcp:127.0.0.6:9101"}));
}

TEST(ServedObjects, ARefusedSpecStopsTheStartWithThePrintersName) {
  Factory f;
  f.refuse = "serial:/dev/ttyS0:9600";
  ServerState state;
  std::string error;
  EXPECT_FALSE(state.Open(ShopConfig(), f.Make(), error));
  EXPECT_EQ(error, "printer Slip: bad spec serial:/dev/ttyS0:9600");
}

TEST(ServedObjects, CollectionsUseTheListFormats) {
  Factory f;
  ServerState state;
  std::string error;
  ASSERT_TRUE(state.Open(ShopConfig(), f.Make(), error));
  ServerMonitor m(state);
  EXPECT_EQ(m.PrinterCollection(), "emu:36=Receipt\0serial:/dev/ttyS0:9600=Slip\0"s);
  EXPECT_EQ(m.NetPrinterCollection(),
            "127.0.0.5:9100=Bar\0"
            "127.0.0.6:9101=Bar\0"s);
}

TEST(ServedObjects, CheckPrinterFindsPrintersAndSaysWhenOneIsTaken) {
  Factory f;
  ServerState state;
  std::string error;
  ASSERT_TRUE(state.Open(ShopConfig(), f.Make(), error));
  ServerMonitor m(state);
  std::string name = "receipt", port = "COM9";
  EXPECT_EQ(m.CheckPrinter(name, port), kResultOk);
  EXPECT_EQ(name, "Receipt");
  EXPECT_EQ(port, "emu:36");  // the port comes back as configured

  name = "Nobody", port = "emu:36";
  EXPECT_EQ(m.CheckPrinter(name, port), kResultNotFound);
  EXPECT_EQ(m.LastError().Description, "No printer of this name is attached to the server.");
  EXPECT_EQ(m.LastError().Source, "ZeltaServer.Monitor");

  std::shared_ptr<PrinterSession> s;
  name = "Receipt", port = "emu:36";
  ASSERT_EQ(m.GetPrinter(name, port, s), kResultOk);
  ASSERT_EQ(s->ClaimPrinter(), kResultOk);
  EXPECT_EQ(m.CheckPrinter(name, port), kResultClaimedElsewhere);
  s->ReleasePrinter();
  EXPECT_EQ(m.CheckPrinter(name, port), kResultOk);
}

TEST(ServedObjects, NetPrintersAreFoundByNameAndPortAndHandedOutWithTheirHost) {
  Factory f;
  ServerState state;
  std::string error;
  ASSERT_TRUE(state.Open(ShopConfig(), f.Make(), error));
  ServerMonitor m(state);
  std::shared_ptr<PrinterSession> s;
  std::string name = "Bar", port = "9101";
  ASSERT_EQ(m.GetPrinter(name, port, s), kResultOk);
  EXPECT_EQ(port, "127.0.0.6");
  EXPECT_EQ(&s->port(), state.catalog.Find("Bar", "9101").get());

  name = "Ghost", port = "9100";
  EXPECT_EQ(m.GetPrinter(name, port, s), kResultNotFound);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(m.LastError().Description, "No printer Ghost on 9100 is attached to SHOP1.");
}

TEST(ServedObjects, SessionsOfOnePrinterShareItsPort) {
  Factory f;
  ServerState state;
  std::string error;
  ASSERT_TRUE(state.Open(ShopConfig(), f.Make(), error));
  ServerMonitor m(state);
  std::shared_ptr<PrinterSession> a, b;
  std::string name = "Receipt", port = "emu:36";
  ASSERT_EQ(m.GetPrinter(name, port, a), kResultOk);
  ASSERT_EQ(m.GetPrinter(name, port, b), kResultOk);
  EXPECT_EQ(a->ClaimPrinter(), kResultOk);
  EXPECT_EQ(b->ClaimPrinter(), kResultClaimedElsewhere);
  EXPECT_EQ(f.printers[0]->claims, 1);
}

TEST(ServedObjects, ResultTextsExplainCheckPrinterResults) {
  EXPECT_EQ(ServerMonitor::ResultText(kResultOk), "The printer is available.");
  EXPECT_EQ(ServerMonitor::ResultText(kResultClaimedElsewhere),
            "The printer is in use by another client. Try again when it is released.");
  EXPECT_EQ(ServerMonitor::ResultText(0x12345), "Unknown result code 0x00012345.");
}

TEST(ServedObjects, TheServerCollectionKeepsItsListOnDisk) {
  char pattern[] = "/tmp/zelta_served_XXXXXX";
  std::string dir = mkdtemp(pattern);
  ServerConfig c = ShopConfig();
  c.main_server = true;
  c.server_list_file = dir + "/servers.txt";
  Factory f;
  std::string error;
  {
    ServerState state;
    ASSERT_TRUE(state.Open(c, f.Make(), error)) << error;
    ServerCollection col(state);
    EXPECT_EQ(col.ServerInfo(), "Main server SHOP1: 0 servers registered.");
    EXPECT_EQ(col.AddServer("SHOP1"), kResultOk);
    EXPECT_EQ(col.AddServer("SHOP2"), kResultOk);
    EXPECT_EQ(col.RemoveServer("SHOP3"), kResultNotFound);
    EXPECT_EQ(col.LastError().Number, kResultNotFound);
    EXPECT_EQ(col.LastError().Source, "ZeltaMainServer.ServerCollection");
  }
  ServerState again;
  ASSERT_TRUE(again.Open(c, f.Make(), error));
  ServerCollection col(again);
  EXPECT_EQ(col.ServerList(), "SHOP1\0SHOP2\0"s);
  EXPECT_EQ(col.ServerInfo(), "Main server SHOP1: 2 servers registered.");
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace zelta
