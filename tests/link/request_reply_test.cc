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

TEST_F(RequestReplyTest, SingleBlockLosesHeaderAndNul) {
  printer->replies.push_back({kResultOk, B({0x37, 0x30}) + "3072" + B({0})});
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdNvCapacity(), info, 0), "3072");
  EXPECT_EQ(info.Number, 0);
  EXPECT_EQ(printer->written, CmdNvCapacity());
  EXPECT_EQ(printer->write_log[0].mode, kWriteOrdinary);
  EXPECT_EQ(form.StatusPanelText(1), "Printer ready...");
  EXPECT_EQ(ParseDecimalReply("3072"), 3072);
}

TEST_F(RequestReplyTest, KeyCodeListInThreeBlocksIsJoinedInOrder) {
  printer->replies.push_back({kResultOk, KeyBlock(0x41, "0102")});
  printer->replies.push_back({kResultOk, KeyBlock(0x41, "0A0B")});
  printer->replies.push_back({kResultOk, KeyBlock(0x40, "ZZ")});
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdKeyCodeList(), info, 1), "01020A0BZZ");
  EXPECT_EQ(info.Number, 0);
  EXPECT_EQ(printer->Count("ReadReply"), 3);
}

TEST_F(RequestReplyTest, EmptyAndShortBlocksGiveNoData) {
  PrinterErrorInfo info;
  printer->replies.push_back({kResultOk, KeyBlock(0x40, "")});
  EXPECT_EQ(RequestReply(CmdKeyCodeList(), info, 1), "");
  EXPECT_EQ(info.Number, 0);

  // Blocks shorter than their header: nothing for them, and a block without status ends the list.
  printer->replies.push_back({kResultOk, B({0x37, 0x72, 0x41})});
  printer->replies.push_back({kResultOk, B({0x37})});
  EXPECT_EQ(RequestReply(CmdKeyCodeList(), info, 1), "");
  EXPECT_EQ(printer->replies.size(), 0u);

  for (const Bytes& reply : {Bytes(), B({0x37}), B({0x37, 0x30}), B({0x37, 0x30, 0})}) {
    printer->replies.push_back({kResultOk, reply});
    EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "") << ToHex(reply);
    EXPECT_EQ(info.Number, 0);
  }
}

TEST_F(RequestReplyTest, PartialWriteResumesFromFirstByteNotWritten) {
  Bytes request = CmdPrintGraphics("03");
  printer->writes.push_back({kResultTimeout, 4});
  ui.answers.push_back(MsgBoxResult::kRetry);
  printer->replies.push_back({kResultOk, B({0x37, 0x30, '1', 0})});
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(request, info, 0), "1");
  ASSERT_EQ(printer->write_log.size(), 2u);
  EXPECT_EQ(printer->write_log[1].offered, request.substr(4));
  EXPECT_EQ(printer->written, request);
  EXPECT_EQ(ui.PromptTexts(),
            std::vector<std::string>{"Timeout sending data. Printer off-line?\rPlease verify..."});
}

TEST_F(RequestReplyTest, RetryableWriteResultsPromptAndCancelReturnsEmpty) {
  struct Case {
    int32_t result;
    const char* prompt;
    const char* panel;
  };
  const Case cases[] = {
      {kResultPaperOut, "Paper out.\rPlease verify...", "Printer error..."},
      {kResultBusy, "Printer busy.\rPlease verify...", "Printer error..."},
      {kResultTimeout, "Timeout sending data. Printer off-line?\rPlease verify...", "(unchanged)"},
  };
  for (const auto& c : cases) {
    ui.prompts.clear();
    form.SetStatusPanelText(1, "(unchanged)");
    printer->writes.push_back({c.result, 0});
    ui.answers.push_back(MsgBoxResult::kCancel);
    PrinterErrorInfo info;
    EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "");
    EXPECT_EQ(info.Number, c.result);
    EXPECT_EQ(ui.PromptTexts(), std::vector<std::string>{c.prompt});
    EXPECT_EQ(form.StatusPanelText(1), c.panel);
    EXPECT_EQ(printer->Count("ReadReply"), 0);
  }
}

TEST_F(RequestReplyTest, OtherWriteFailureIsShownInTheErrorForm) {
  printer->writes.push_back({kResultPortClosed, 0});
  printer->last_error = {kResultPortClosed, "Connection to the printer lost.", "PortPrinter"};
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "");
  EXPECT_EQ(info.Number, kResultPortClosed);
  EXPECT_EQ(info.Source, "PortPrinter");
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Error -2147221374 by PortPrinter:\rConnection to the printer lost."});
  EXPECT_EQ(form.StatusPanelText(1), "Printer error...");
}

TEST_F(RequestReplyTest, ReplyTimeoutRetriesAndCancelKeepsWhatCame) {
  printer->replies.push_back({kResultOk, KeyBlock(0x41, "0102")});
  printer->replies.push_back({kResultTimeout, ""});
  printer->replies.push_back({kResultOk, KeyBlock(0x41, "03")});
  printer->replies.push_back({kResultTimeout, ""});
  ui.answers = {MsgBoxResult::kRetry, MsgBoxResult::kCancel};
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdKeyCodeList(), info, 1), "010203");
  EXPECT_EQ(info.Number, kResultTimeout);
  EXPECT_EQ(ui.PromptTexts(),
            (std::vector<std::string>{"Timeout getting data: printer offline?\rPlease verify...",
                                      "Timeout getting data: printer offline?\rPlease verify..."}));
  EXPECT_EQ(form.StatusPanelText(1), "Printer error...");
}

TEST_F(RequestReplyTest, ReplyFailureEndsWithoutMessage) {
  printer->replies.push_back({kResultOk, KeyBlock(0x41, "07")});
  printer->replies.push_back({kResultPortClosed, ""});
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdKeyCodeList(), info, 1), "07");
  EXPECT_EQ(info.Number, kResultPortClosed);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(ui.prompts.empty());
}

// A printer whose object stays busy: the real-time status is checked about five times a second, and the
// request is given up as soon as that status comes out 2.
TEST_F(RequestReplyTest, BusyObjectIsCheckedFiveTimesASecondUntilStatusFails) {
  printer->busy_default = 1;
  std::vector<double> check_times;
  printer->on_write = [&](const Bytes& bytes, int32_t mode) {
    if (mode != kWriteRealTime || bytes.size() != 3) return;
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
    double gap = check_times[i] - check_times[i - 1];
    EXPECT_GT(gap, 0.2);
    EXPECT_LT(gap, 0.2 + 2 * ui.step);
  }
  // Nothing but status requests went out.
  for (const auto& w : printer->write_log) EXPECT_EQ(w.mode, kWriteRealTime);
  EXPECT_EQ(form.StatusPanelText(1), "Unrecoverable printer error. Please check printer...");
}

TEST_F(RequestReplyTest, EndReqEndsTheBusyWait) {
  printer->busy_default = 1;
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes == B({16, 4, 1})) printer->QueueByte(0x12);
  };
  ui.on_do_events = [&] {
    if (ui.do_events == 30) form.SetEndReq(true);
  };
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "");
  EXPECT_EQ(info.Number, kResultTimeout);
  EXPECT_EQ(ui.do_events, 30);
  EXPECT_EQ(printer->Count("ReadReply"), 0);
}

TEST_F(RequestReplyTest, BusyObjectThatFreesUpThenSends) {
  printer->busy_states = {1, 1, 0};
  printer->on_write = [&](const Bytes& bytes, int32_t) {
    if (bytes == B({16, 4, 1})) printer->QueueByte(0x12);
  };
  printer->replies.push_back({kResultOk, B({0x37, 0x31}) + "512" + B({0})});
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(CmdNvRemaining(), info, 0), "512");
  EXPECT_EQ(printer->Count("GetBusyState"), 3);
}

TEST_F(RequestReplyTest, OversizedRequestIsRefused) {
  PrinterErrorInfo info;
  EXPECT_EQ(RequestReply(Bytes(32767, 'x'), info, 0), "");
  EXPECT_EQ(info.Number, kResultBadArgument);
  EXPECT_EQ(printer->Count("WriteData"), 0);
}

TEST(WaitSeconds, YieldsUntilTheTimeHasPassed) {
  ScriptedUi ui;
  ui.step = 0.25;
  double start = ui.now;
  WaitSeconds(1.0f);
  EXPECT_GE(ui.now - start, 1.0);
  EXPECT_EQ(ui.do_events, 4);
}

}  // namespace
}  // namespace zelta::test
