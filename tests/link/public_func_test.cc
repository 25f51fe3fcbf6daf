// The printer link's routines against the scripted printer: the real-time status with its recovery
// steps, the request and its reply blocks, and the pause that keeps the window alive.
#include "link/public_func.h"

#include <gtest/gtest.h>

#include "memory/nv_commands.h"
#include "shared/bytes.h"
#include "support/link_fixture.h"

namespace zelta::test {
namespace {

// Status bytes as a printer sends them: bits 1 and 4 are always set.
constexpr int kOnline = 0x12, kOffline = 0x1A, kError = 0x12 | 0x40;
constexpr auto kR = MsgBoxResult::kRetry, kC = MsgBoxResult::kCancel;
const Bytes kEot1 = B({16, 4, 1}), kEot12 = B({16, 4, 1, 16, 4, 2}), kEot123 = kEot12 + B({16, 4, 3});
const std::string kRaised = "Raised error " + std::to_string(kResultPortClosed) +
                            " by ScriptedPrinter\rExtended error description: Scripted failure";

// A key-code list block: header, identifier, status, key codes, NUL.
Bytes KeyBlock(uint8_t status, const std::string& keys) { return B({0x37, 0x72, status}) + keys + B({0}); }
// No text, or the one text (a prompt's with the line the prompt adds).
std::vector<std::string> Texts(const std::string& text, const std::string& suffix = "") {
  return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text + suffix};
}

class PublicFuncTest : public LinkTest {
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
  // The status check's result by name, the recovery step after it and panel 1's text; every request it
  // wrote must have gone as real-time.
  std::string Check() {
    const int16_t result = CheckRealTimeStatus();
    for (const auto& w : printer->write_log) EXPECT_EQ(w.mode, kWriteRealTime);
    const char* const names[] = {"ready", "waiting", "failed", "recovering"};
    return std::string(result >= 0 && result < 4 ? names[result] : "?") + ", step " +
           std::to_string(ErrorRecoveryStep) + ", " + form.StatusPanelText(1);
  }
};
using CheckRealTimeStatusTest = PublicFuncTest;
using RequestReplyTest = PublicFuncTest;

TEST_F(CheckRealTimeStatusTest, AnswersAndFailuresGiveTheResultThePanelTextAndTheRecoveryStep) {
  using W = ScriptedPrinter::Write;
  const struct {
    std::vector<int> answers;  // to DLE EOT 1, 2 and 3
    int16_t step_before;
    std::string outcome;  // the result, the recovery step after it and panel 1's text
    Bytes sent;
    std::vector<W> writes = {};
    std::vector<MsgBoxResult> choices = {};
    std::string prompt = "", message = "";
  } cases[] = {
      // clang-format off
      {{kOnline}, 2, "ready, step 0, Printer ready...", kEot1},
      {{kOffline, 0x12 | 0x04}, 1, "waiting, step 1, Cover open. Waiting...", kEot12},
      {{kOffline, 0x12 | 0x04 | 0x40}, 0, "waiting, step 0, Cover open. Waiting...", kEot12},  // cover beats error
      {{kOffline, 0x12 | 0x08}, 0, "waiting, step 0, Paper is being fed...", kEot12},
      {{kOffline, 0x12 | 0x08 | 0x20}, 0, "waiting, step 0, Paper is being fed...", kEot12},
      {{kOffline, 0x12 | 0x20}, 0, "waiting, step 0, Printing is being stopped due to paper end. Waiting...", kEot12},
      {{kOffline, 0x12}, 0, "waiting, step 0, Unknown offline status...", kEot12},
      // A recoverable error (auto-cutter): DLE ENQ 1, then DLE ENQ 2, then given up.
      {{kOffline, kError, 0x12 | 0x08}, 0, "recovering, step 1, Error occurred. Waiting...", kEot123 + B({16, 5, 1})},
      {{kOffline, kError, 0x12 | 0x08}, 1, "recovering, step 2, Error occurred. Waiting...", kEot123 + B({16, 5, 2})},
      {{kOffline, kError, 0x12 | 0x08}, 2, "failed, step 2, Unable to recover printer error. Please check printer...",
       kEot123},
      {{kOffline, kError, 0x12 | 0x20}, 1, "failed, step 0, Unrecoverable printer error. Please check printer...",
       kEot123},
      // Busy and no status are retried on request; a cancel is not followed by a message.
      {{kOnline}, 1, "ready, step 0, Printer ready...", kEot1, {{kResultBusy, 0}}, {kR}, "Printer busy."},
      {{}, 1, "failed, step 0, (unchanged)", "", {{kResultBusy, 0}}, {kC}, "Printer busy."},
      {{kResultTimeout, kOnline}, 1, "ready, step 0, Printer ready...", kEot1 + kEot1, {}, {kR},
       "Timeout getting status: printer offline?"},
      // The request refused, the cause lost, DLE ENQ refused: described.
      {{}, 1, "failed, step 0, (unchanged)", "", {{kResultPortClosed, 0}}, {}, "", kRaised},
      {{kOffline, kResultPortClosed}, 1, "failed, step 0, (unchanged)", kEot12, {}, {}, "", kRaised},
      {{kOffline, kError, 0x12}, 1, "failed, step 0, Error occurred. Waiting...", kEot123, {{}, {}, {}, {kResultPortClosed, 0}},
       {}, "", kRaised},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToHex(c.sent) + " step " + std::to_string(c.step_before) + " " + c.prompt + c.message);
    NewPrinter(c.choices);
    form.SetStatusPanelText(1, "(unchanged)");
    ErrorRecoveryStep = c.step_before;
    printer->writes.assign(c.writes.begin(), c.writes.end());
    Answer(c.answers);
    EXPECT_EQ(Check(), c.outcome);
    EXPECT_EQ(printer->written, c.sent);
    EXPECT_EQ(ui.PromptTexts(), Texts(c.prompt, "\rPlease verify..."));
    for (const auto& p : ui.prompts)
      EXPECT_TRUE(p.buttons == MsgBoxButtons::kRetryCancel && p.icon == MsgBoxIcon::kInformation);
    EXPECT_EQ(ui.messages, Texts(c.message));
  }
  NewPrinter();
  PrinterObj.reset();
  EXPECT_EQ(CheckRealTimeStatus(), kRtFailed);
  EXPECT_EQ(ui.messages, Texts("Raised error " + std::to_string(kResultNoPrinter) +
                               " by ZeltaLogo\rExtended error description: No printer is connected."));
}

TEST_F(RequestReplyTest, BlocksLoseTheirFramesAndWriteFailuresPromptResumeOrAreDescribed) {
  const Bytes one = B({0x37, 0x30, '1', 0});
  const std::string timeout = "Timeout sending data. Printer off-line?";
  const struct {
    int32_t multi_block;
    std::vector<Bytes> replies;
    Bytes payload;
    ScriptedPrinter::Write write = {};  // the first write of the request
    std::vector<MsgBoxResult> answers = {};
    int32_t number = kResultOk;  // the request's error; the replies are read only when it is none
    bool sent = true;  // all of the request reached the printer, resumed from the first byte not written
    std::string prompt = "", message = "", panel = "Printer ready...";
  } cases[] = {
      // clang-format off
      {0, {B({0x37, 0x30}) + "3072" + B({0})}, "3072"},
      {1, {KeyBlock(0x41, "0102"), KeyBlock(0x41, "0A0B"), KeyBlock(0x40, "ZZ")}, "01020A0BZZ"},
      {1, {KeyBlock(0x40, "")}, ""},
      // Blocks shorter than their header give nothing, and one without a status ends the list.
      {1, {B({0x37, 0x72, 0x41}), B({0x37})}, ""},
      {0, {B({0x37})}, ""},
      {0, {B({0x37, 0x30})}, ""},
      {0, {B({0x37, 0x30, 0})}, ""},
      // Write failures.
      {0, {one}, "1", {kResultTimeout, 4}, {kR}, kResultOk, true, timeout},
      {0, {one}, "", {kResultTimeout, 0}, {kC}, kResultTimeout, false, timeout, "", "(unchanged)"},
      {0, {one}, "", {kResultPaperOut, 0}, {kC}, kResultPaperOut, false, "Paper out.", "", "Printer error..."},
      {0, {one}, "", {kResultBusy, 0}, {kC}, kResultBusy, false, "Printer busy.", "", "Printer error..."},
      {0, {one}, "", {kResultPortClosed, 0}, {}, kResultPortClosed, false, "",
       "Error " + std::to_string(kResultPortClosed) + " by ScriptedPrinter:\rScripted failure", "Printer error..."},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToHex(c.replies[0]) + " " + c.prompt + c.message);
    NewPrinter(c.answers);
    form.SetStatusPanelText(1, "(unchanged)");
    printer->writes.push_back(c.write);
    for (const Bytes& r : c.replies) printer->replies.push_back({kResultOk, r});
    PrinterErrorInfo info;
    const Bytes request = c.multi_block ? CmdKeyCodeList() : CmdNvCapacity();
    EXPECT_EQ(RequestReply(request, info, c.multi_block), c.payload);
    EXPECT_EQ(info.Number, c.number);
    EXPECT_EQ(printer->written, c.sent ? request : "");
    EXPECT_EQ(printer->write_log[0].mode, kWriteOrdinary);
    EXPECT_EQ(printer->Count("ReadReply"), c.number == kResultOk ? static_cast<int>(c.replies.size()) : 0);
    EXPECT_EQ(ui.PromptTexts(), Texts(c.prompt, "\rPlease verify..."));
    EXPECT_EQ(ui.messages, Texts(c.message));
    EXPECT_EQ(form.StatusPanelText(1), c.panel);
  }
}

TEST_F(RequestReplyTest, ReplyTimeOutIsRetriedAndAFailureKeepsWhatCame) {
  for (int32_t failure : {kResultTimeout, kResultPortClosed}) {
    SCOPED_TRACE(failure);
    NewPrinter({kR, kC});
    printer->replies = {{kResultOk, KeyBlock(0x41, "0102")},
                        {kResultTimeout, ""},
                        {kResultOk, KeyBlock(0x41, "03")},
                        {failure, ""}};
    PrinterErrorInfo info;
    EXPECT_EQ(RequestReply(CmdKeyCodeList(), info, 1), "010203");
    EXPECT_EQ(info.Number, failure);
    EXPECT_EQ(ui.PromptTexts(),
              std::vector<std::string>(failure == kResultTimeout ? 2 : 1,
                                       "Timeout getting data: printer offline?\rPlease verify..."));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(form.StatusPanelText(1), failure == kResultTimeout ? "Printer error..." : "Printer ready...");
  }
}

// A printer whose object stays busy: the real-time status is checked about five times a second, and the
// request is given up as soon as that status comes out failed.
TEST_F(RequestReplyTest, BusyObjectIsCheckedFiveTimesASecondUntilStatusFails) {
  printer->busy_default = 1;
  std::vector<double> check_times;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes == kEot1) {
      check_times.push_back(ui.now);
      printer->QueueByte(kOffline);
    } else if (bytes == B({16, 4, 2})) {
      printer->QueueByte(check_times.size() < 10 ? 0x16 : 0x52);  // cover open, then error
    } else if (bytes == B({16, 4, 3})) {
      printer->QueueByte(0x32);  // unrecoverable
    }
  };
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "");
  EXPECT_EQ(info.Number, kResultTimeout);
  ASSERT_EQ(check_times.size(), 10u);
  for (size_t i = 1; i < check_times.size(); ++i) {
    EXPECT_GT(check_times[i] - check_times[i - 1], 0.2);
    EXPECT_LT(check_times[i] - check_times[i - 1], 0.2 + 2 * ui.step);
  }
  for (const auto& w : printer->write_log) EXPECT_EQ(w.mode, kWriteRealTime) << "nothing but status requests";
  EXPECT_EQ(form.StatusPanelText(1), "Unrecoverable printer error. Please check printer...");
}

TEST_F(RequestReplyTest, BusyObjectIsWaitedForUntilItFreesUpOrTheWindowCloses) {
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes == kEot1) printer->QueueByte(kOnline);
  };
  printer->busy_states = {1, 1, 0};
  printer->replies.push_back({kResultOk, B({0x37, 0x31}) + "512" + B({0})});
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "512");
  EXPECT_EQ(printer->Count("GetBusyState"), 3);

  printer->busy_default = 1;
  const int end_at = ui.do_events + 30;
  ui.on_do_events = [&] {
    if (ui.do_events == end_at) form.SetEndReq(true);
  };
  EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "");
  EXPECT_EQ(info.Number, kResultTimeout);
  EXPECT_EQ(ui.do_events, end_at);
  EXPECT_EQ(printer->Count("ReadReply"), 1);

  const int writes = printer->Count("WriteData");
  EXPECT_EQ(RequestReply(Bytes(32767, 'x'), info, 0), "") << "too long";
  EXPECT_EQ(info.Number, kResultBadArgument);
  EXPECT_EQ(printer->Count("WriteData"), writes);
}

TEST(WaitSeconds, YieldsUntilTheTimeHasPassed) {
  ScriptedUi ui;
  ui.step = 0.25;
  const double start = ui.now;
  WaitSeconds(1.0f);
  EXPECT_GE(ui.now - start, 1.0);
  EXPECT_EQ(ui.do_events, 4);
}

}  // namespace
}  // namespace zelta::test
