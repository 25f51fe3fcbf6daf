#include <gtest/gtest.h>

#include "download/send_wait.h"
#include "support/link_fixture.h"

namespace zelta::test {
namespace {

using SendGraphicsDataTest = LinkTest;

const Bytes kData = "ABCDEFGHIJKLMNOPQRST";  // 20 bytes

TEST_F(SendGraphicsDataTest, WholeWriteSucceeds) {
  int32_t result = -1;
  SendGraphicsData(kData, true, result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(printer->written, kData);
  EXPECT_EQ(printer->write_log[0].mode, kWriteOrdinary);
  EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
}

TEST_F(SendGraphicsDataTest, FiveOfTwentyThenTimeoutResendsTheLastFifteenAfterRetry) {
  printer->writes.push_back({kResultTimeout, 5});
  ui.answers.push_back(MsgBoxResult::kRetry);
  int32_t result = -1;
  SendGraphicsData(kData, false, result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(printer->write_log.size(), 2u);
  EXPECT_EQ(printer->write_log[1].offered, kData.substr(5));
  EXPECT_EQ(printer->written, kData);
  EXPECT_EQ(ui.PromptTexts(),
            std::vector<std::string>{"Timeout sending data: printer offline?\rPlease verify..."});
}

TEST_F(SendGraphicsDataTest, SeveralPartialWritesAddUp) {
  printer->writes = {{kResultBusy, 3}, {kResultTimeout, 4}, {kResultBusy, 0}, {}};
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kRetry, MsgBoxResult::kRetry};
  int32_t result = -1;
  SendGraphicsData(kData, false, result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(printer->written, kData);
  EXPECT_EQ(printer->write_log[3].offered, kData.substr(7));
  EXPECT_EQ(ui.prompts[0].text, "Error sending data: printer busy.\rPlease verify...");
  EXPECT_EQ(ui.prompts[0].buttons, MsgBoxButtons::kRetryCancel);
  EXPECT_EQ(ui.prompts[0].icon, MsgBoxIcon::kInformation);
}

TEST_F(SendGraphicsDataTest, CancelGivesTheResultCode) {
  printer->writes.push_back({kResultBusy, 2});
  ui.answers.push_back(MsgBoxResult::kCancel);
  int32_t result = 0;
  SendGraphicsData(kData, true, result);
  EXPECT_EQ(result, kResultBusy);
  EXPECT_EQ(form.StatusPanelText(1), "Printer error...");
  EXPECT_EQ(printer->Count("WriteData"), 1);
}

// With waitOnTimeout the wait runs in steps of 0.2 s while the object is busy, then sends the rest.
TEST_F(SendGraphicsDataTest, TimeoutWaitsWhileBusyThenResumes) {
  printer->writes.push_back({kResultTimeout, 8});
  printer->busy_states = {1, 1, 1, 0};
  std::vector<double> checks;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes == B({16, 4, 1})) {
      checks.push_back(ui.now);
      printer->QueueByte(0x12);
    }
  };
  int32_t result = -1;
  SendGraphicsData(kData, true, result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(ui.prompts.empty());
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_GE(checks[1] - checks[0], 0.2);
  EXPECT_GE(checks[2] - checks[1], 0.2);
  Bytes data_written;
  for (const auto& w : printer->write_log) {
    if (w.mode == kWriteOrdinary) data_written += w.offered.substr(0, w.accepted);
  }
  EXPECT_EQ(data_written, kData);
  EXPECT_EQ(printer->write_log.back().offered, kData.substr(8));
}

TEST_F(SendGraphicsDataTest, TimeoutWaitEndsWhenStatusFails) {
  printer->writes.push_back({kResultTimeout, 0});
  printer->busy_default = 1;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes == B({16, 4, 1})) printer->QueueByte(0x1A);
    if (bytes == B({16, 4, 2})) printer->QueueByte(0x52);
    if (bytes == B({16, 4, 3})) printer->QueueByte(0x32);
  };
  int32_t result = 0;
  SendGraphicsData(kData, true, result);
  EXPECT_EQ(result, kResultTimeout);
  EXPECT_EQ(printer->Count("GetBusyState"), 1);
}

TEST_F(SendGraphicsDataTest, TimeoutWaitEndsOnEndReq) {
  printer->writes.push_back({kResultTimeout, 0});
  printer->busy_default = 1;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes == B({16, 4, 1})) printer->QueueByte(0x12);
  };
  ui.on_do_events = [&] {
    if (ui.now > 1001.0) form.SetEndReq(true);
  };
  int32_t result = 0;
  SendGraphicsData(kData, true, result);
  EXPECT_EQ(result, kResultTimeout);
  EXPECT_LT(ui.now, 1001.3);
}

TEST_F(SendGraphicsDataTest, OtherFailureIsDescribed) {
  printer->writes.push_back({kResultPortClosed, 0});
  printer->last_error = {kResultPortClosed, "Connection to the printer lost.", "PortPrinter"};
  int32_t result = 0;
  SendGraphicsData(kData, true, result);
  EXPECT_EQ(result, kResultPortClosed);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Raised error -2147221374 sending data to printer.\r"
                                     "Extended error description: Connection to the printer lost."});
}

}  // namespace
}  // namespace zelta::test
