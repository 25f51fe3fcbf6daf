#include <gtest/gtest.h>

#include "link/public_func.h"
#include "shared/bytes.h"
#include "support/link_fixture.h"

namespace zelta::test {
namespace {

// Status bytes as a printer sends them: bits 1 and 4 are always set.
constexpr int kOnline = 0x12, kOffline = 0x1A, kError = 0x12 | 0x40;
const Bytes kEot1 = B({16, 4, 1}), kEot12 = B({16, 4, 1, 16, 4, 2}), kEot123 = kEot12 + B({16, 4, 3});

class CheckRealTimeStatusTest : public LinkTest {
 protected:
  // Answers to the reads in order: a byte (0..255), or a result code the read fails with.
  void Answer(const std::vector<int>& answers) {
    for (int a : answers) {
      if (a >= 0 && a <= 255) {
        printer->QueueByte(static_cast<uint8_t>(a));
      } else {
        printer->reads.push_back({a, ""});
      }
    }
  }
};

TEST_F(CheckRealTimeStatusTest, AnswersGiveTheResultThePanelTextAndTheRecoveryStep) {
  const struct {
    std::vector<int> answers;  // to DLE EOT 1, 2 and 3
    int16_t step_before, result, step_after;
    const char* text;
    Bytes sent;
  } cases[] = {
      // clang-format off
      {{kOnline}, 2, kRtReady, 0, "Printer ready...", kEot1},
      {{kOffline, 0x12 | 0x04}, 1, kRtWaiting, 1, "Cover open. Waiting...", kEot12},
      {{kOffline, 0x12 | 0x04 | 0x40}, 0, kRtWaiting, 0, "Cover open. Waiting...", kEot12},  // cover beats error
      {{kOffline, 0x12 | 0x08}, 0, kRtWaiting, 0, "Paper is being fed...", kEot12},
      {{kOffline, 0x12 | 0x08 | 0x20}, 0, kRtWaiting, 0, "Paper is being fed...", kEot12},
      {{kOffline, 0x12 | 0x20}, 0, kRtWaiting, 0, "Printing is being stopped due to paper end. Waiting...", kEot12},
      {{kOffline, 0x12}, 0, kRtWaiting, 0, "Unknown offline status...", kEot12},
      // A recoverable error (auto-cutter): DLE ENQ 1, then DLE ENQ 2, then given up.
      {{kOffline, kError, 0x12 | 0x08}, 0, kRtRecovering, 1, "Error occurred. Waiting...", kEot123 + B({16, 5, 1})},
      {{kOffline, kError, 0x12 | 0x08}, 1, kRtRecovering, 2, "Error occurred. Waiting...", kEot123 + B({16, 5, 2})},
      {{kOffline, kError, 0x12 | 0x08}, 2, kRtFailed, 2, "Unable to recover printer error. Please check printer...",
       kEot123},
      {{kOffline, kError, 0x12 | 0x20}, 1, kRtFailed, 0, "Unrecoverable printer error. Please check printer...",
       kEot123},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToHex(c.sent) + " step " + std::to_string(c.step_before));
    printer->written.clear();
    ErrorRecoveryStep = c.step_before;
    Answer(c.answers);
    EXPECT_EQ(CheckRealTimeStatus(), c.result);
    EXPECT_EQ(ErrorRecoveryStep, c.step_after);
    EXPECT_EQ(form.StatusPanelText(1), c.text);
    EXPECT_EQ(printer->written, c.sent);
    for (const auto& w : printer->write_log) EXPECT_EQ(w.mode, kWriteRealTime);
  }
  EXPECT_TRUE(ui.prompts.empty() && ui.messages.empty());
}

TEST_F(CheckRealTimeStatusTest, FailuresAreRetriedOnRequestOrDescribedOnce) {
  using W = ScriptedPrinter::Write;
  constexpr auto R = MsgBoxResult::kRetry, C = MsgBoxResult::kCancel;
  const std::string raised = "Raised error " + std::to_string(kResultPortClosed) +
                             " by ScriptedPrinter\rExtended error description: Scripted failure";
  const struct {
    const char* name;
    std::vector<W> writes;
    std::vector<int> answers;
    std::vector<MsgBoxResult> choices;
    int16_t result;
    Bytes sent;
    std::string prompt, message;
  } cases[] = {
      // clang-format off
      {"busy, retried", {{kResultBusy, 0}}, {kOnline}, {R}, kRtReady, kEot1, "Printer busy.", ""},
      {"busy, cancelled: no message", {{kResultBusy, 0}}, {}, {C}, kRtFailed, "", "Printer busy.", ""},
      {"no status, retried", {}, {kResultTimeout, kOnline}, {R}, kRtReady, kEot1 + kEot1,
       "Timeout getting status: printer offline?", ""},
      {"request refused", {{kResultPortClosed, 0}}, {}, {}, kRtFailed, "", "", raised},
      {"cause lost", {}, {kOffline, kResultPortClosed}, {}, kRtFailed, kEot12, "", raised},
      {"DLE ENQ refused", {{}, {}, {}, {kResultPortClosed, 0}}, {kOffline, kError, 0x12}, {}, kRtFailed, kEot123, "",
       raised},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    printer = std::make_shared<ScriptedPrinter>();
    PrinterObj = printer;
    ui.prompts.clear();
    ui.messages.clear();
    ErrorRecoveryStep = 1;
    printer->writes.assign(c.writes.begin(), c.writes.end());
    Answer(c.answers);
    ui.answers.assign(c.choices.begin(), c.choices.end());
    EXPECT_EQ(CheckRealTimeStatus(), c.result);
    EXPECT_EQ(ErrorRecoveryStep, 0);
    EXPECT_EQ(printer->written, c.sent);
    EXPECT_EQ(ui.PromptTexts(), c.prompt.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{c.prompt + "\rPlease verify..."});
    for (const auto& p : ui.prompts)
      EXPECT_TRUE(p.buttons == MsgBoxButtons::kRetryCancel && p.icon == MsgBoxIcon::kInformation);
    EXPECT_EQ(ui.messages,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
  }
  PrinterObj.reset();
  ui.messages.clear();
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Raised error " + std::to_string(kResultNoPrinter) +
                                     " by ZeltaLogo\rExtended error description: No printer is connected."});
}

}  // namespace
}  // namespace zelta::test
