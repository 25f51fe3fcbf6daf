#include <gtest/gtest.h>

#include "link/public_func.h"
#include "memory/nv_commands.h"
#include "shared/bytes.h"
#include "support/link_fixture.h"

namespace zelta::test {
namespace {

// A key-code list block: header, identifier, status, key codes, NUL.
Bytes KeyBlock(uint8_t status, const std::string& keys) { return B({0x37, 0x72, status}) + keys + B({0}); }

using RequestReplyTest = LinkTest;

TEST_F(RequestReplyTest, BlocksLoseTheirFramesAndAListIsJoinedInOrder) {
  const struct {
    int32_t multi_block;
    std::vector<Bytes> replies;
    Bytes payload;
  } cases[] = {
      {0, {B({0x37, 0x30}) + "3072" + B({0})}, "3072"},
      {1, {KeyBlock(0x41, "0102"), KeyBlock(0x41, "0A0B"), KeyBlock(0x40, "ZZ")}, "01020A0BZZ"},
      {1, {KeyBlock(0x40, "")}, ""},
      // Blocks shorter than their header give nothing, and one without a status ends the list.
      {1, {B({0x37, 0x72, 0x41}), B({0x37})}, ""},
      {0, {""}, ""},
      {0, {B({0x37})}, ""},
      {0, {B({0x37, 0x30})}, ""},
      {0, {B({0x37, 0x30, 0})}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToHex(c.replies[0]));
    printer = std::make_shared<ScriptedPrinter>();
    PrinterObj = printer;
    for (const Bytes& r : c.replies) printer->replies.push_back({kResultOk, r});
    PrinterErrorInfo info;
    const Bytes request = c.multi_block ? CmdKeyCodeList() : CmdNvCapacity();
    EXPECT_EQ(RequestReply(request, info, c.multi_block), c.payload);
    EXPECT_EQ(info.Number, kResultOk);
    EXPECT_EQ(printer->written, request);
    EXPECT_EQ(printer->write_log[0].mode, kWriteOrdinary);
    EXPECT_EQ(printer->Count("ReadReply"), static_cast<int>(c.replies.size()));
    EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
  }
}

TEST_F(RequestReplyTest, WriteFailuresPromptResumeOrAreDescribed) {
  constexpr auto R = MsgBoxResult::kRetry, C = MsgBoxResult::kCancel;
  const Bytes request = CmdPrintGraphics("03");
  const struct {
    int32_t result, accepted;
    std::vector<MsgBoxResult> answers;
    Bytes payload, written;
    std::string prompt, message, panel;
  } cases[] = {
      // clang-format off
      {kResultTimeout, 4, {R}, "1", request, "Timeout sending data. Printer off-line?", "", "Printer ready..."},
      {kResultTimeout, 0, {C}, "", "", "Timeout sending data. Printer off-line?", "", "(unchanged)"},
      {kResultPaperOut, 0, {C}, "", "", "Paper out.", "", "Printer error..."},
      {kResultBusy, 0, {C}, "", "", "Printer busy.", "", "Printer error..."},
      {kResultPortClosed, 0, {}, "", "", "", "Error " + std::to_string(kResultPortClosed) +
       " by ScriptedPrinter:\rScripted failure", "Printer error..."},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    printer = std::make_shared<ScriptedPrinter>();
    PrinterObj = printer;
    ui.prompts.clear();
    ui.messages.clear();
    form.SetStatusPanelText(1, "(unchanged)");
    printer->writes.push_back({c.result, c.accepted});
    printer->replies.push_back({kResultOk, B({0x37, 0x30, '1', 0})});
    ui.answers.assign(c.answers.begin(), c.answers.end());
    PrinterErrorInfo info;
    EXPECT_EQ(RequestReply(request, info, 0), c.payload);
    EXPECT_EQ(info.Number, c.payload.empty() ? c.result : kResultOk);
    EXPECT_EQ(printer->written, c.written) << "resumed from the first byte not written";
    EXPECT_EQ(ui.PromptTexts(), c.prompt.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{c.prompt + "\rPlease verify..."});
    EXPECT_EQ(ui.messages,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    EXPECT_EQ(form.StatusPanelText(1), c.panel);
  }
}

TEST_F(RequestReplyTest, ReplyTimeOutIsRetriedAndAFailureKeepsWhatCame) {
  for (int32_t failure : {kResultTimeout, kResultPortClosed}) {
    SCOPED_TRACE(failure);
    printer = std::make_shared<ScriptedPrinter>();
    PrinterObj = printer;
    ui.prompts.clear();
    printer->replies = {{kResultOk, KeyBlock(0x41, "0102")},
                        {kResultTimeout, ""},
                        {kResultOk, KeyBlock(0x41, "03")},
                        {failure, ""}};
    ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kCancel};
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
    if (bytes == B({16, 4, 1})) {
      check_times.push_back(ui.now);
      printer->QueueByte(0x1A);  // off line
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
    if (bytes == B({16, 4, 1})) printer->QueueByte(0x12);
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
