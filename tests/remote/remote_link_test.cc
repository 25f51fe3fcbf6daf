// The monitor and the connection check through zelta-server to virtual printers on every kind of port.
#include "memory/nv_commands.h"
#include "remote_fixture.h"

namespace zelta::test {
namespace {

// The identification of the connection check: claim, not busy, GS I 1 in real-time mode, one byte.
int Identify(PrinterObject& p) {
  int32_t v = -1, written = 0, count = 0;
  if (p.ClaimPrinter() != kResultOk) return -1;
  EXPECT_EQ(p.GetBusyState(v), kResultOk);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(p.GetDeviceKind(v), kResultOk);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(p.WriteData(CmdModelId(), 3, written, kWriteRealTime), kResultOk);
  std::string buffer(1, ' ');
  int model = p.ReadData(buffer, 1, count) == kResultOk && count == 1 ? At(buffer, 0) : -1;
  EXPECT_EQ(p.ReleasePrinter(), kResultOk);
  return model;
}

using RemoteLinkTest = RemoteTest;

TEST_F(RemoteLinkTest, MonitorCallsAndTheConnectionCheckOnEveryKindOfPort) {
  StartVirtualPrinter(36);
  ServerConfig c = ShopConfig();
  const std::string nv_dir = MakeTempDir();
  const std::string receipt_spec = "tcp:127.0.0.1:" + std::to_string(tcp->Port());
  const std::string counter_spec = "emu:46:" + nv_dir + "/counter.nv";
  c.printers = {{"Receipt", receipt_spec, 1}, {"Counter", counter_spec, 1}};
  c.net_printers = {{"127.0.0.1", static_cast<uint16_t>(tcp->Port()), "Bar", 1}};
  StartServer(c, DefaultPortPrinterFactory());
  auto monitor = Monitor();
  ASSERT_NE(monitor, nullptr);
  int32_t result = -1;
  std::string list(255, ' ');
  EXPECT_EQ(monitor->GetPrinterCollection(list, result), kResultOk);
  EXPECT_EQ(list, receipt_spec + "=Receipt" + '\0' + counter_spec + "=Counter" + '\0');
  list.assign(255, ' ');
  EXPECT_EQ(monitor->GetNetPrinterCollection(list, result), kResultOk);
  EXPECT_EQ(list, "127.0.0.1:" + std::to_string(tcp->Port()) + "=Bar" + '\0');

  const struct {
    const char* name;
    std::string port;
    int model;
  } printers[] = {
      {"Receipt", receipt_spec, 36}, {"Counter", counter_spec, 46}, {"Bar", std::to_string(tcp->Port()), 36}};
  for (const auto& p : printers) {
    std::string name = p.name, port = p.port, text;
    EXPECT_EQ(monitor->CheckPrinter(name, port, result), kResultOk) << p.name;
    EXPECT_EQ(monitor->GetResultText(result, text), kResultOk);
    EXPECT_EQ(text, "The printer is available.");
    std::shared_ptr<PrinterObject> printer;
    ASSERT_EQ(monitor->GetPrinter(name, port, printer), kResultOk) << p.name;
    EXPECT_EQ(Identify(*printer), p.model) << p.name;
  }
  std::system(("rm -rf " + nv_dir).c_str());
}

}  // namespace
}  // namespace zelta::test
