#include <gtest/gtest.h>

#include "download/send_wait.h"
#include "support/link_fixture.h"

namespace zelta::test {
namespace {

class WaitGraphicsProcessedTest : public LinkTest {
 protected:
  WaitGraphicsProcessedTest() { PrinterModelId = 46; }
  int32_t Run() {
    int32_t result = 12345;
    WaitGraphicsProcessed(info, result);
    return result;
  }
  PrinterErrorInfo info;
};

TEST_F(WaitGraphicsProcessedTest, ModelIdAnswerEndsTheWait) {
  printer->write_timeout = 1500;
  printer->read_timeout = 700;
  printer->reads = {{kResultTimeout, ""}, {kResultOk, B({0x00})}, {kResultOk, B({46})}};
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(info.Number, 0);
  EXPECT_EQ(printer->written, B({29, 'I', 1}));
  EXPECT_EQ(printer->write_log[0].mode, kWriteRealTime);
  // Time-outs set around the request and each poll, then put back.
  EXPECT_EQ(printer->write_timeouts_put, (std::vector<int32_t>{200, 1500}));
  EXPECT_EQ(printer->read_timeouts_put, (std::vector<int32_t>{50, 700, 50, 700, 50, 700}));
  EXPECT_EQ(form.PanelHistory(2), std::vector<std::string>{"Waiting for graphics data to be processed..."});
  EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
  EXPECT_EQ(printer->releases, 0);
}

TEST_F(WaitGraphicsProcessedTest, NoAnswerForEightSecondsAsksAndEachRetryAsksAgain) {
  // Reads time out forever; each takes the fake clock 0.05 s further through DoEvents.
  ui.step = 0.05;
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kRetry, MsgBoxResult::kCancel};
  double start = ui.now;
  EXPECT_EQ(Run(), kResultTimeout);
  ASSERT_EQ(ui.prompts.size(), 3u);
  EXPECT_EQ(ui.prompts[0].text, "Timeout waiting for graphics data to be processed...");
  EXPECT_EQ(ui.prompts[0].buttons, MsgBoxButtons::kRetryCancel);
  // The first question comes just after 8 s; the retries each after one more read time-out.
  EXPECT_GT(ui.now - start, 8.0);
  EXPECT_LT(ui.now - start, 8.2);
  EXPECT_EQ(printer->Count("ReadData"), static_cast<int>(ui.do_events) + 3);
  EXPECT_EQ(printer->releases, 1);
  EXPECT_EQ(form.StatusPanelText(2), "Ready...");
  EXPECT_EQ(info.Number, kResultTimeout);
}

TEST_F(WaitGraphicsProcessedTest, AnswerAfterARetryIsAccepted) {
  ui.step = 1.0;
  for (int i = 0; i < 10; ++i) printer->reads.push_back({kResultTimeout, ""});
  printer->reads.push_back({kResultOk, B({46})});
  ui.answers = {MsgBoxResult::kRetry};
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui.prompts.size(), 1u);
  EXPECT_EQ(printer->releases, 0);
}

TEST_F(WaitGraphicsProcessedTest, RequestNotSentRetryGoesOnAndCancelReleases) {
  printer->writes.push_back({kResultBusy, 0});
  ui.answers.push_back(MsgBoxResult::kRetry);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui.prompts[0].text, "Error sending data: printer busy.\rPlease verify...");
  EXPECT_EQ(form.StatusPanelText(1), "Printer error...");
  EXPECT_EQ(printer->Count("ReadData"), 0);

  printer->writes.push_back({kResultTimeout, 0});
  ui.answers.push_back(MsgBoxResult::kCancel);
  form.SetStatusPanelText(1, "(unchanged)");
  EXPECT_EQ(Run(), kResultNotSent);
  EXPECT_EQ(ui.prompts[1].text, "Timeout sending data: printer offline?\rPlease verify...");
  EXPECT_EQ(form.StatusPanelText(1), "(unchanged)");
  EXPECT_EQ(form.StatusPanelText(2), "Ready...");
  EXPECT_EQ(printer->releases, 1);
  EXPECT_EQ(info.Number, kResultTimeout);
}

TEST_F(WaitGraphicsProcessedTest, FailedRequestOrReadReleasesAndDescribes) {
  printer->last_error = {kResultPortClosed, "Connection to the printer lost.", "PortPrinter"};
  printer->writes.push_back({kResultPortClosed, 0});
  EXPECT_EQ(Run(), kResultPortClosed);
  EXPECT_EQ(printer->releases, 1);
  EXPECT_EQ(
      ui.messages.back(),
      "Raised error -2147221374 by PortPrinter\rExtended error description: Connection to the printer lost.");
  EXPECT_EQ(form.StatusPanelText(1), "Printer error...");
  EXPECT_EQ(form.StatusPanelText(2), "Ready...");
  EXPECT_EQ(info.Source, "PortPrinter");

  printer->reads.push_back({kResultPortClosed, ""});
  EXPECT_EQ(Run(), kResultPortClosed);
  EXPECT_EQ(printer->releases, 2);
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
}  // namespace zelta::test
