// The printer object over the in-process virtual printer: claim, write, read, reply blocks, status.
#include <gtest/gtest.h>

#include "memory/nv_commands.h"
#include "printer/emu_host.h"
#include "printer/emu_port.h"
#include "printer/port_printer.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

class EmuPrinterTest : public ::testing::Test {
 protected:
  // Each test gets its own virtual printer: the spec names a state file nobody else uses.
  std::string Spec(int model) {
    return "emu:" + std::to_string(model) + ":" + ::testing::TempDir() + "/emu-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + std::to_string(model) +
           ".nv";
  }
  std::unique_ptr<PrinterObject> Open(int model) {
    const std::string spec = Spec(model);
    std::remove(spec.substr(spec.find(':', 4) + 1).c_str());
    std::string error;
    auto p = OpenPortPrinter(spec, kDeviceKindGsI, error);
    EXPECT_TRUE(p) << error;
    return p;
  }
  int32_t Write(PrinterObject& p, const Bytes& b, int32_t mode = kWriteOrdinary) {
    int32_t written = 0;
    int32_t r = p.WriteData(b, static_cast<int32_t>(b.size()), written, mode);
    EXPECT_EQ(r != kResultOk || written == static_cast<int32_t>(b.size()), true);
    return r;
  }
};

TEST_F(EmuPrinterTest, AnswersModelIdAfterClaim) {
  auto p = Open(46);
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  ASSERT_EQ(Write(*p, CmdModelId(), kWriteRealTime), kResultOk);
  std::string buf(1, ' ');
  int32_t count = 0;
  ASSERT_EQ(p->ReadData(buf, 1, count), kResultOk);
  EXPECT_EQ(buf, B({46}));
  EXPECT_EQ(p->ReleasePrinter(), kResultOk);
}

TEST_F(EmuPrinterTest, CapacityReplyIsOneBlock) {
  auto p = Open(46);
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  ASSERT_EQ(Write(*p, CmdNvCapacity()), kResultOk);
  Bytes block;
  int32_t count = 0;
  ASSERT_EQ(p->ReadReply(block, count, 0), kResultOk);
  EXPECT_EQ(ToHex(block), ToHex(B({0x37, 0x30}) + "393216" + B({0})));
}

TEST(TcpPrinterTest, AnswersModelIdOverLoopback) {
  std::string error;
  emu::EmuOptions options;
  options.model_id = 161;
  std::shared_ptr<emu::VirtualPrinter> printer = emu::VirtualPrinter::Create(options, error);
  ASSERT_TRUE(printer) << error;
  auto server = emu::EmuTcpServer::Start(printer, "127.0.0.1", 0, error);
  ASSERT_TRUE(server) << error;
  auto p = OpenPortPrinter("tcp:127.0.0.1:" + std::to_string(server->Port()), kDeviceKindGsI, error);
  ASSERT_TRUE(p) << error;
  ASSERT_EQ(p->ClaimPrinter(), kResultOk);
  int32_t written = 0;
  ASSERT_EQ(p->WriteData(CmdModelId(), 3, written, kWriteRealTime), kResultOk);
  std::string buf(1, ' ');
  int32_t count = 0;
  ASSERT_EQ(p->ReadData(buf, 1, count), kResultOk);
  EXPECT_EQ(buf, B({161}));
  EXPECT_EQ(p->ReleasePrinter(), kResultOk);
}

}  // namespace
}  // namespace zelta
