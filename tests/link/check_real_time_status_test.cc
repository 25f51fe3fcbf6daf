#include <gtest/gtest.h>

#include "link/public_func.h"
#include "shared/bytes.h"
#include "support/link_fixture.h"

namespace zelta::test {
namespace {

// Status bytes as a printer sends them: bits 1 and 4 are always set.
constexpr uint8_t kOnline = 0x12;
constexpr uint8_t kOffline = 0x1A;

class CheckRealTimeStatusTest : public LinkTest {
 protected:
  // Queues the answers to DLE EOT 1, 2 and 3.
  void Answer(std::initializer_list<int> bytes) {
    for (int b : bytes) printer->QueueByte(static_cast<uint8_t>(b));
  }
};

TEST_F(CheckRealTimeStatusTest, ReadyPrinterResetsTheRecoveryStep) {
  ErrorRecoveryStep = 2;
  Answer({kOnline});
  EXPECT_EQ(CheckRealTimeStatus(), kRtReady);
  EXPECT_EQ(printer->written, B({16, 4, 1}));
  EXPECT_EQ(printer->write_log[0].mode, kWriteRealTime);
  EXPECT_EQ(ErrorRecoveryStep, 0);
  EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
  EXPECT_TRUE(ui.messages.empty());
}

struct OfflineCase {
  uint8_t cause;
  const char* text;
  int16_t result;
};

TEST_F(CheckRealTimeStatusTest, OfflineCausesAreTestedInOrder) {
  const OfflineCase cases[] = {
      {0x12 | 0x04, "Cover open. Waiting...", kRtWaiting},
      {0x12 | 0x04 | 0x40, "Cover open. Waiting...", kRtWaiting},  // cover beats error
      {0x12 | 0x08, "Paper is being fed...", kRtWaiting},
      {0x12 | 0x08 | 0x20, "Paper is being fed...", kRtWaiting},
      {0x12 | 0x20, "Printing is being stopped due to paper end. Waiting...", kRtWaiting},
      {0x12, "Unknown offline status...", kRtWaiting},
  };
  for (const auto& c : cases) {
    printer->written.clear();
    Answer({kOffline, c.cause});
    EXPECT_EQ(CheckRealTimeStatus(), c.result) << int(c.cause);
    EXPECT_EQ(form.StatusPanelText(1), c.text) << int(c.cause);
    EXPECT_EQ(printer->written, B({16, 4, 1, 16, 4, 2})) << int(c.cause);
  }
  EXPECT_TRUE(ui.prompts.empty());
}

TEST_F(CheckRealTimeStatusTest, RecoverableErrorThatDoesNotClearIsGivenUpOnTheThirdTime) {
  const uint8_t error_cause = 0x12 | 0x40;
  const uint8_t recoverable = 0x12 | 0x08;  // auto-cutter error, recoverable
  Answer({kOffline, error_cause, recoverable});
  EXPECT_EQ(CheckRealTimeStatus(), kRtRecovering);
  EXPECT_EQ(printer->written, B({16, 4, 1, 16, 4, 2, 16, 4, 3, 16, 5, 1}));
  EXPECT_EQ(ErrorRecoveryStep, 1);
  EXPECT_EQ(form.StatusPanelText(1), "Error occurred. Waiting...");

  printer->written.clear();
  Answer({kOffline, error_cause, recoverable});
  EXPECT_EQ(CheckRealTimeStatus(), kRtRecovering);
  EXPECT_EQ(printer->written, B({16, 4, 1, 16, 4, 2, 16, 4, 3, 16, 5, 2}));
  EXPECT_EQ(ErrorRecoveryStep, 2);

  printer->written.clear();
  Answer({kOffline, error_cause, recoverable});
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(printer->written, B({16, 4, 1, 16, 4, 2, 16, 4, 3}));
  EXPECT_EQ(form.StatusPanelText(1), "Unable to recover printer error. Please check printer...");
  EXPECT_TRUE(ui.messages.empty());

  // Seen ready again: the next episode starts with DLE ENQ 1 once more.
  Answer({kOnline});
  EXPECT_EQ(CheckRealTimeStatus(), kRtReady);
  printer->written.clear();
  Answer({kOffline, error_cause, recoverable});
  EXPECT_EQ(CheckRealTimeStatus(), kRtRecovering);
  EXPECT_EQ(printer->written.substr(9), B({16, 5, 1}));
}

TEST_F(CheckRealTimeStatusTest, UnrecoverableErrorGivesUpAndResetsTheStep) {
  ErrorRecoveryStep = 1;
  Answer({kOffline, 0x12 | 0x40, 0x12 | 0x20});
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(ErrorRecoveryStep, 0);
  EXPECT_EQ(form.StatusPanelText(1), "Unrecoverable printer error. Please check printer...");
  EXPECT_EQ(printer->written.size(), 9u);  // no DLE ENQ
}

TEST_F(CheckRealTimeStatusTest, BusyWriteIsRetriedOnRequest) {
  printer->writes.push_back({kResultBusy, 0});
  ui.answers.push_back(MsgBoxResult::kRetry);
  Answer({kOnline});
  EXPECT_EQ(CheckRealTimeStatus(), kRtReady);
  ASSERT_EQ(ui.prompts.size(), 1u);
  EXPECT_EQ(ui.prompts[0].text, "Printer busy.\rPlease verify...");
  EXPECT_EQ(ui.prompts[0].buttons, MsgBoxButtons::kRetryCancel);
  EXPECT_EQ(ui.prompts[0].icon, MsgBoxIcon::kInformation);
  EXPECT_EQ(printer->Count("WriteData"), 2);
}

TEST_F(CheckRealTimeStatusTest, CancelAfterBusyFailsWithoutAMessage) {
  ErrorRecoveryStep = 1;
  printer->writes.push_back({kResultBusy, 0});
  ui.answers.push_back(MsgBoxResult::kCancel);
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(ErrorRecoveryStep, 0);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(printer->Count("GetLastError"), 0);
}

TEST_F(CheckRealTimeStatusTest, StatusTimeoutRetryStartsAgainWithTheRequest) {
  printer->reads.push_back({kResultTimeout, ""});
  ui.answers.push_back(MsgBoxResult::kRetry);
  Answer({kOnline});
  EXPECT_EQ(CheckRealTimeStatus(), kRtReady);
  EXPECT_EQ(ui.PromptTexts(),
            std::vector<std::string>{"Timeout getting status: printer offline?\rPlease verify..."});
  EXPECT_EQ(printer->written, B({16, 4, 1, 16, 4, 1}));
}

TEST_F(CheckRealTimeStatusTest, OtherFailuresAreDescribedOnce) {
  printer->writes.push_back({kResultPortClosed, 0});
  printer->last_error = {kResultPortClosed, "Connection to the printer lost.", "PortPrinter"};
  ErrorRecoveryStep = 2;
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(ErrorRecoveryStep, 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(
      ui.messages[0],
      "Raised error -2147221374 by PortPrinter\rExtended error description: Connection to the printer lost.");
  EXPECT_TRUE(ui.prompts.empty());
}

TEST_F(CheckRealTimeStatusTest, FailuresOfTheFollowUpRequestsGoToTheFailureStep) {
  // The off-line cause never arrives.
  Answer({kOffline});
  printer->reads.push_back({kResultPortClosed, ""});
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(ui.messages.size(), 1u);

  // A failed DLE ENQ write.
  ui.messages.clear();
  Answer({kOffline, 0x12 | 0x40, 0x12});
  printer->writes.push_back({});
  printer->writes.push_back({});
  printer->writes.push_back({});
  printer->writes.push_back({kResultPortClosed, 0});
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(ErrorRecoveryStep, 0);
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(CheckRealTimeStatusTest, NoPrinterObjectIsAFailureWithAMessage) {
  PrinterObj.reset();
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_NE(ui.messages[0].find("No printer is connected."), std::string::npos);
}

}  // namespace
}  // namespace zelta::test
