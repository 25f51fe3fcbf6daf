// The printer link routines, unchanged, through the network printer object to a virtual printer behind
// zelta-server.
#include "download/send_wait.h"
#include "link/public_func.h"
#include "memory/nv_commands.h"
#include "printer/emu_host.h"
#include "remote_fixture.h"
#include "shared/pubblic_var.h"
#include "support/fake_form.h"
#include "support/scripted_ui.h"

namespace zelta::test {
namespace {

class RemoteLinkTest : public RemoteTest {
 protected:
  RemoteLinkTest() : form("LogoForm") {
    ResetPubblicVar();
    CurrentFormName = "LogoForm";
  }
  ~RemoteLinkTest() override {
    PrinterObj.reset();
    ResetPubblicVar();
    if (!nv_dir.empty()) std::system(("rm -rf " + nv_dir).c_str());
  }

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
  void SetUp() override {
    std::string error;
    emu::EmuOptions options;
    options.model_id = 36;
    emu = emu::VirtualPrinter::Create(options, error);
    ASSERT_TRUE(emu) << error;
    tcp = emu::EmuTcpServer::Start(emu, "127.0.0.1", 0, error);
    ASSERT_TRUE(tcp) << error;
    ServerConfig c = ShopConfig();
    nv_dir = MakeTempDir();
    receipt_spec = "tcp:127.0.0.1:" + std::to_string(tcp->Port());
    counter_spec = "emu:46:" + nv_dir + "/counter.nv";
    c.printers = {{"Receipt", receipt_spec, 1}, {"Counter", counter_spec, 1}};
    c.net_printers = {{"127.0.0.1", static_cast<uint16_t>(tcp->Port()), "Bar", 1}};
    StartServer(c, DefaultPortPrinterFactory());
    auto monitor = Monitor();
    ASSERT_NE(monitor, nullptr);
    std::string name = "Receipt", port;
    ASSERT_EQ(monitor->GetPrinter(name, port, PrinterObj), kResultOk);
  }

  ScriptedUi ui;
  FakeForm form;
  std::string nv_dir, receipt_spec, counter_spec;
  std::shared_ptr<emu::VirtualPrinter> emu;
  std::unique_ptr<emu::EmuTcpServer> tcp;
};

TEST_F(RemoteLinkTest, MonitorCallsAndTheConnectionCheckOnEveryKindOfPort) {
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
}

TEST_F(RemoteLinkTest, RealTimeStatusOfAReadyPrinterAndOfOneWithItsCoverOpen) {
  ASSERT_EQ(PrinterObj->ClaimPrinter(), kResultOk);
  EXPECT_EQ(CheckRealTimeStatus(), kRtReady);
  EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
  emu->SetFault(emu::EmuFault::kCoverOpen, true);
  EXPECT_EQ(CheckRealTimeStatus(), kRtWaiting);
  EXPECT_EQ(form.StatusPanelText(1), "Cover open. Waiting...");
  EXPECT_EQ(PrinterObj->ReleasePrinter(), kResultOk);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RemoteLinkTest, RequestsAndTheirReplyBlocks) {
  ASSERT_EQ(PrinterObj->ClaimPrinter(), kResultOk);
  PrinterErrorInfo info;
  Bytes capacity = RequestReply(CmdNvCapacity(), info, 0);
  ASSERT_EQ(info.Number, kResultOk) << info.Description;
  EXPECT_GT(ParseDecimalReply(capacity), 0);
  Bytes remaining = RequestReply(CmdNvRemaining(), info, 0);
  ASSERT_EQ(info.Number, kResultOk) << info.Description;
  EXPECT_EQ(ParseDecimalReply(remaining), static_cast<long long>(emu->NvRemaining()));
  PrinterObj->ReleasePrinter();
}

TEST_F(RemoteLinkTest, ALogoDownloadStoresTheLogo) {
  ASSERT_EQ(PrinterObj->ClaimPrinter(), kResultOk);
  const uint32_t before = emu->NvRemaining();
  int32_t result = -1;
  SendGraphicsData(DefineLogo("A1", 576, 200, 0x5a), false, result);
  ASSERT_EQ(result, kResultOk);
  PrinterModelId = 36;
  PrinterErrorInfo info;
  WaitGraphicsProcessed(info, result);
  ASSERT_EQ(result, kResultOk) << info.Description;
  EXPECT_EQ(emu->KeyCodes(), std::vector<std::string>{"A1"});
  EXPECT_LT(emu->NvRemaining(), before);

  Bytes list = RequestReply(CmdKeyCodeList(), info, 1);
  ASSERT_EQ(info.Number, kResultOk) << info.Description;
  EXPECT_NE(list.find("A1"), std::string::npos) << ToHex(list);
  PrinterObj->ReleasePrinter();
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace zelta::test
