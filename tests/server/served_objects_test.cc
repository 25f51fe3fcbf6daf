// The printers the server opens and hands out, over scripted printers, without the network. What the
// Monitor and the ServerCollection answer is checked through the network in remote_objects_test.
#include "server/served_objects.h"

#include <gtest/gtest.h>

#include "shared/result_codes.h"
#include "support/scripted_printer.h"

namespace zelta {
namespace {

using test::ScriptedPrinter;
using namespace std::string_literals;

class ServedObjectsTest : public ::testing::Test {
 protected:
  ServedObjectsTest() {
    config.server_name = "SHOP1";
    config.printers = {{"Receipt", "emu:36", 1}, {"Slip", "serial:/dev/ttyS0:9600", 2}};
    config.net_printers = {{"127.0.0.5", 9100, "Bar", 1}, {"127.0.0.6", 9101, "Bar", 1}};
  }
  // Opens config's printers as scripted ones, refusing the port named refuse.
  bool Open(ServerState& s, const std::string& refuse = "") {
    auto factory = [this, refuse](const std::string& spec, int32_t kind,
                                  std::string& why) -> std::unique_ptr<PrinterObject> {
      specs.push_back(spec);
      if (spec == refuse) return why = "bad spec " + spec, nullptr;
      auto p = std::make_unique<ScriptedPrinter>();
      p->device_kind = kind;
      return p;
    };
    return s.Open(config, factory, error);
  }

  ServerConfig config;
  ServerState state;
  std::vector<std::string> specs;
  std::string error;
};

TEST_F(ServedObjectsTest, PrintersAreOpenedFromTheirSpecsAndListed) {
  ASSERT_TRUE(Open(state)) << error;
  EXPECT_EQ(specs, (std::vector<std::string>{"emu:36", "serial:/dev/ttyS0:9600", "tcp:127.0.0.5:9100",
                                             "tcp:127.0.0.6:9101"}));
  ServerMonitor m(state);
  EXPECT_EQ(m.PrinterCollection(), "emu:36=Receipt\0serial:/dev/ttyS0:9600=Slip\0"s);
  EXPECT_EQ(m.NetPrinterCollection(),
            "127.0.0.5:9100=Bar\0"
            "127.0.0.6:9101=Bar\0"s);
  ServerState refused;
  EXPECT_FALSE(Open(refused, "serial:/dev/ttyS0:9600"));
  EXPECT_EQ(error, "printer Slip: bad spec serial:/dev/ttyS0:9600");
}

TEST_F(ServedObjectsTest, NetPrintersOfOneNameAreFoundByTheirPort) {
  ASSERT_TRUE(Open(state)) << error;
  ServerMonitor m(state);
  std::shared_ptr<PrinterSession> s;
  std::string name = "Bar", port = "9101";
  ASSERT_EQ(m.GetPrinter(name, port, s), kResultOk);
  EXPECT_EQ(port, "127.0.0.6");
  EXPECT_EQ(&s->port(), state.catalog.Find("Bar", "9101").get());
}

TEST(ServedObjects, ResultTextsExplainCheckPrinterResults) {
  EXPECT_EQ(ServerMonitor::ResultText(kResultOk), "The printer is available.");
  EXPECT_EQ(ServerMonitor::ResultText(kResultClaimedElsewhere),
            "The printer is in use by another client. Try again when it is released.");
  EXPECT_EQ(ServerMonitor::ResultText(0x12345), "Unknown result code 0x00012345.");
}

}  // namespace
}  // namespace zelta
