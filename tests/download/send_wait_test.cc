// SendGraphicsData, SendWrites and WaitGraphicsProcessed against the scripted printer.
#include "download/send_wait.h"

#include <gtest/gtest.h>

#include "download/raster_packets.h"
#include "support/link_fixture.h"

namespace zelta::test {
namespace {

const Bytes kData = "ABCDEFGHIJKLMNOPQRST";  // 20 bytes
const char kBusyText[] = "Error sending data: printer busy.\rPlease verify...";
const char kOfflineText[] = "Timeout sending data: printer offline?\rPlease verify...";
const std::string kLostText = "\rExtended error description: Connection to the printer lost.";

class SendWaitTest : public LinkTest {
 protected:
  SendWaitTest() { PrinterModelId = 46; }
  // Each returns its result and keeps it in last.
  int32_t Send(bool wait_on_timeout) {
    SendGraphicsData(kData, wait_on_timeout, last = 12345);
    return last;
  }
  int32_t Wait() {
    WaitGraphicsProcessed(info, last = 12345);
    return last;
  }
  void LoseThePrinter() {
    printer->last_error = {kResultPortClosed, "Connection to the printer lost.", "PortPrinter"};
  }
  // A timed-out write, then a busy object whose DLE EOT 1, 2, 3 are answered with status.
  void TimeOutBusy(std::vector<uint8_t> status) {
    printer->writes.push_back({kResultTimeout, 0});
    printer->busy_default = 1;
    printer->on_write = [this, status](const Bytes& bytes, int32_t) {
      for (size_t n = 1; n <= status.size(); ++n)
        if (bytes == B({16, 4, static_cast<int>(n)})) printer->QueueByte(status[n - 1]);
    };
  }
  // Status panels 1 and 2, the releases of the printer and the error number of the wait.
  std::tuple<std::string, std::string, int, int32_t> After() {
    return {form.StatusPanelText(1), form.StatusPanelText(2), printer->releases, info.Number};
  }
  PrinterErrorInfo info;
  int32_t last = 0;
};

TEST_F(SendWaitTest, PartialWritesResumeFromTheFirstByteNotTakenAfterEachRetry) {
  printer->writes = {{kResultBusy, 3}, {kResultTimeout, 4}, {kResultBusy, 0}, {}};
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kRetry, MsgBoxResult::kRetry};
  Send(false);
  EXPECT_EQ(std::tuple(last, printer->written, form.StatusPanelText(1)),
            std::tuple(kResultOk, kData, "Printer ready..."));
  ASSERT_EQ(printer->write_log.size(), 4u);
  EXPECT_EQ(
      std::tuple(printer->write_log[1].offered, printer->write_log[3].offered, printer->write_log[3].mode),
      std::tuple(kData.substr(3), kData.substr(7), kWriteOrdinary));
  EXPECT_EQ(ui.PromptTexts(), (std::vector<std::string>{kBusyText, kOfflineText, kBusyText}));
  EXPECT_EQ(std::pair(ui.prompts[0].buttons, ui.prompts[0].icon),
            std::pair(MsgBoxButtons::kRetryCancel, MsgBoxIcon::kInformation));
}

TEST_F(SendWaitTest, CancelGivesTheResultCodeAndOtherFailuresAreDescribed) {
  printer->writes = {{kResultBusy, 2}, {kResultPortClosed, 0}};
  ui.answers.push_back(MsgBoxResult::kCancel);
  Send(true);
  EXPECT_EQ(std::tuple(last, form.StatusPanelText(1), printer->Count("WriteData"), ui.messages.size()),
            std::tuple(kResultBusy, "Printer error...", 1, 0u));
  LoseThePrinter();
  EXPECT_EQ(Send(true), kResultPortClosed);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Raised error -2147221374 sending data to printer." + kLostText});
}

// With waitOnTimeout the wait runs in steps of 0.2 s while the object is busy, then sends the rest.
TEST_F(SendWaitTest, TimeoutWaitsWhileBusyThenResumes) {
  printer->writes.push_back({kResultTimeout, 8});
  printer->busy_states = {1, 1, 1, 0};
  std::vector<double> checks;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes != B({16, 4, 1})) return;
    checks.push_back(ui.now);
    printer->QueueByte(0x12);
  };
  EXPECT_EQ(Send(true), kResultOk);
  EXPECT_TRUE(ui.prompts.empty());
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_GE(std::min(checks[1] - checks[0], checks[2] - checks[1]), 0.2);
  EXPECT_EQ(printer->write_log.back().offered, kData.substr(8));
}

TEST_F(SendWaitTest, TimeoutWaitEndsWhenTheStatusFailsOrOnEndReq) {
  TimeOutBusy({0x1A, 0x52, 0x32});  // unrecoverable error
  EXPECT_EQ(Send(true), kResultTimeout);
  EXPECT_EQ(printer->Count("GetBusyState"), 1);
  TimeOutBusy({0x12});
  ui.on_do_events = [&] {
    if (ui.now > 1001.0) form.SetEndReq(true);
  };
  EXPECT_EQ(Send(true), kResultTimeout);
  EXPECT_LT(ui.now, 1001.3);
}

TEST_F(SendWaitTest, SendWritesStopsAtTheFirstFailureAndOnlyTheFirstWriteWaitsOutATimeout) {
  int32_t result = -1;
  SendWrites({"a", "bc", "def"}, result);
  EXPECT_EQ(std::pair(result, printer->write_log.size()), std::pair(kResultOk, size_t{3}));
  printer->written.clear();
  printer->writes = {{kResultTimeout, 0}, {}, {}, {kResultTimeout, 0}};  // head resent, row1, row2 times out
  ui.answers = {MsgBoxResult::kCancel};
  SendWrites({"head", "row1", "row2", "row3"}, result);
  EXPECT_EQ(std::pair(result, printer->written), std::pair(kResultTimeout, Bytes("headrow1")));
  EXPECT_EQ(ui.prompts.size(), 1u) << "the timed-out first write was resent without asking";
}

TEST_F(SendWaitTest, ModelIdAnswerEndsTheWait) {
  printer->write_timeout = 1500;
  printer->read_timeout = 700;
  printer->reads = {{kResultTimeout, ""}, {kResultOk, B({0x00})}, {kResultOk, B({46})}};
  EXPECT_EQ(Wait(), kResultOk);
  EXPECT_EQ(After(),
            std::tuple("Printer ready...", "Waiting for graphics data to be processed...", 0, kResultOk));
  EXPECT_EQ(std::pair(printer->written, printer->write_log[0].mode),
            std::pair(B({29, 'I', 1}), kWriteRealTime));
  // Time-outs set around the request and each poll, then put back.
  EXPECT_EQ(printer->write_timeouts_put, (std::vector<int32_t>{200, 1500}));
  EXPECT_EQ(printer->read_timeouts_put, (std::vector<int32_t>{50, 700, 50, 700, 50, 700}));
  EXPECT_EQ(form.PanelHistory(2).size(), 1u);
}

TEST_F(SendWaitTest, NoAnswerForEightSecondsAsksAndEachRetryAsksAgain) {
  ui.step = 0.05;  // each timed-out read moves the clock on by this through DoEvents
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kRetry, MsgBoxResult::kCancel};
  const double start = ui.now;
  EXPECT_EQ(Wait(), kResultTimeout);
  ASSERT_EQ(ui.prompts.size(), 3u);
  EXPECT_EQ(std::pair(ui.prompts[0].text, ui.prompts[0].buttons),
            std::pair(std::string("Timeout waiting for graphics data to be processed..."),
                      MsgBoxButtons::kRetryCancel));
  // The first question comes just after 8 s; the retries each after one more read time-out.
  EXPECT_NEAR(ui.now - start, 8.1, 0.1);
  EXPECT_EQ(printer->Count("ReadData"), static_cast<int>(ui.do_events) + 3);
  EXPECT_EQ(After(), std::tuple("", "Ready...", 1, kResultTimeout));
}

TEST_F(SendWaitTest, RequestNotSentRetryGoesOnAndCancelReleases) {
  printer->writes.push_back({kResultBusy, 0});
  ui.answers.push_back(MsgBoxResult::kRetry);
  Wait();
  EXPECT_EQ(std::tuple(last, form.StatusPanelText(1), printer->Count("ReadData")),
            std::tuple(kResultOk, "Printer error...", 0));
  printer->writes.push_back({kResultTimeout, 0});
  ui.answers.push_back(MsgBoxResult::kCancel);
  form.SetStatusPanelText(1, "(unchanged)");
  EXPECT_EQ(Wait(), kResultNotSent);
  EXPECT_EQ(ui.PromptTexts(), (std::vector<std::string>{kBusyText, kOfflineText}));
  EXPECT_EQ(After(), std::tuple("(unchanged)", "Ready...", 1, kResultTimeout));
}

TEST_F(SendWaitTest, FailedRequestOrReadReleasesAndDescribes) {
  LoseThePrinter();
  printer->writes.push_back({kResultPortClosed, 0});
  EXPECT_EQ(Wait(), kResultPortClosed);
  EXPECT_EQ(After(), std::tuple("Printer error...", "Ready...", 1, kResultPortClosed));
  EXPECT_EQ(std::pair(ui.messages.back(), info.Source),
            std::pair("Raised error -2147221374 by PortPrinter" + kLostText, std::string("PortPrinter")));
  printer->reads.push_back({kResultPortClosed, ""});
  Wait();
  EXPECT_EQ(std::tuple(last, printer->releases, ui.messages.size()), std::tuple(kResultPortClosed, 2, 2u));
}

}  // namespace
}  // namespace zelta::test
