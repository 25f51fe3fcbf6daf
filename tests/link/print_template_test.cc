#include "link/print_template.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "support/link_fixture.h"

namespace zelta::test {
namespace {

TemplateClock FixedClock(TemplateTime t, std::string date_sep = "/", std::string time_sep = ":") {
  TemplateClock clock;
  clock.now = [t] { return t; };
  clock.date_separator = std::move(date_sep);
  clock.time_separator = std::move(time_sep);
  return clock;
}

class PrintTemplateTest : public LinkTest {
 protected:
  std::vector<Bytes> Writes() const {
    std::vector<Bytes> out;
    for (const auto& w : printer->write_log) out.push_back(w.offered);
    return out;
  }
  const TemplateClock clock = FixedClock({2026, 3, 7, 14, 5, 9});
};

TEST_F(PrintTemplateTest, SyntaxTurnsEachLineIntoOneWrite) {
  const std::pair<std::string, std::vector<Bytes>> cases[] = {
      // Lines and comments.
      {"abc/* note */def", {"abcdef"}},
      {"/* only a comment */", {}},
      {"", {}},
      {"a\r\n\r\nb", {"a", "", "b"}},  // an empty line is an empty write
      {"a\r\n/* x */\r\nb\r\n", {"a", "b"}},
      {"a\rb\nc", {"a\rb\nc"}},  // only CR LF separates lines
      {"x/* open\r\nnext", {"x", "next"}},
      {"a/*/b", {"ab"}},  // "*/" is searched from the "/*" on
      {"//*x*/*y", {}},   // the removal brings "/" and "*" together: another comment
      {"a*/b/", {"a*/b/"}},
      // Byte escapes.
      {"A<27,64>B", {B({65, 27, 64, 66})}},
      {"< 27 , 64 >", {B({27, 64})}},
      {"<0><255><0027>", {B({0, 255, 27})}},
      // Escapes that are not bytes stay text, and a "<" without a ">" after it is text.
      {"<256><><1,,2><-1><+1><2 7><1.0><<27>a>b<27", {"<256><><1,,2><-1><+1><2 7><1.0><<27>a>b<27"}},
      {"<27\r\n>", {"<27", ">"}},         // the ">" must be on the same line
      {"<27/* c */,64>", {B({27, 64})}},  // comments go first
      {"<47,42>x<42,47>", {"/*x*/"}},     // escapes never make comments
      {"<28,112,60,0>", {B({28, 112, 60, 0})}},
      // Date and time fields (7 March 2026, 14:05:09) beyond the four of the next test.
      {"<27,35,0,1>", {"07/03/2026"}},
      {"< 27, 35, 116, 1, 99 >", {"14:05:09"}},  // bytes after the fourth are dropped
      {"<27,35,116>", {B({27, 35, 116})}},       // too short: sent as bytes
      {"<27,36,116,1>", {B({27, 36, 116, 1})}},
      {"T=<27,35,116,1>;D=<27,35,100,2>", {"T=14:05:09;D=0703"}},
  };
  for (const auto& [text, writes] : cases) {
    SCOPED_TRACE(ToHex(text));
    printer->write_log.clear();
    EXPECT_EQ(PrintTemplate(text, clock), kTemplatePrinted);
    EXPECT_EQ(Writes(), writes);
  }
  EXPECT_TRUE(ui.prompts.empty() && ui.messages.empty());
}

TEST_F(PrintTemplateTest, DateAndTimeUseTheGivenSeparatorsAndTwoDigitFields) {
  const std::tuple<TemplateTime, std::string, std::string, Bytes> cases[] = {
      {{2026, 3, 7, 14, 5, 9}, ".", "-", "07.03.2026 07.03.26 14-05-09 14-05"},
      {{1999, 12, 31, 0, 0, 0}, "/", ":", "31/12/1999 31/12/99 00:00:00 00:00"},
      {{2000, 1, 1, 23, 59, 59}, "-", ".", "01-01-2000 01-01-00 23.59.59 23.59"},
  };
  for (const auto& [t, date_sep, time_sep, expected] : cases) {
    printer->written.clear();
    PrintTemplate("<27,35,100,1> <27,35,100,3> <27,35,116,1> <27,35,116,9>",
                  FixedClock(t, date_sep, time_sep));
    EXPECT_EQ(printer->written, expected);
  }
  // The system clock names the separators of its locale (the C locale's are "/" and ":").
  const TemplateClock system = SystemTemplateClock();
  EXPECT_EQ(system.date_separator + system.time_separator, "/:");
  ASSERT_TRUE(system.now);
  EXPECT_GE(system.now().year, 2024);
}

// Prompt texts by letter: T time-out, B busy, P paper out.
std::vector<std::string> Prompts(const std::string& letters) {
  const std::map<char, std::string> text = {
      {'T', "Timeout sending data. Printer off-line?"}, {'B', "Printer busy."}, {'P', "Paper out."}};
  std::vector<std::string> out;
  for (char c : letters) out.push_back(text.at(c) + "\rPlease verify...");
  return out;
}
// The message naming code n; none for 0.
std::vector<std::string> Messages(int32_t n) {
  if (n == 0) return {};
  return {"Error " + std::to_string(n) + " by ScriptedPrinter:\rScripted failure"};
}

TEST_F(PrintTemplateTest, LineWritesResumeAfterRetryAndStopOnCancelOrFailure) {
  using W = ScriptedPrinter::Write;
  constexpr auto R = MsgBoxResult::kRetry, C = MsgBoxResult::kCancel;
  // The port's writes, the answers to the prompts, every write of the text in order, the prompts, and the
  // code the message names (0: none, everything sent).
  using Case = std::tuple<std::vector<W>, std::vector<MsgBoxResult>, std::vector<Bytes>, std::string, int>;
  const Case cases[] = {
      // clang-format off
      {{{kResultOk}, {kResultTimeout, 3}}, {R}, {"ab", "cdefgh", "fgh"}, "T", 0},
      {{{kResultOk}, {kResultBusy, 0}}, {R}, {"ab", "cdefgh", "cdefgh"}, "B", 0},
      {{{kResultPaperOut, 1}, {kResultPaperOut, 0}}, {R, R}, {"ab", "b", "b", "cdefgh"}, "PP", 0},
      {{{kResultBusy, 1}}, {C}, {"ab"}, "B", kResultBusy},
      {{{kResultOk}, {kResultPortClosed, 2}}, {}, {"ab", "cdefgh"}, "", kResultPortClosed},
      // clang-format on
  };
  for (const auto& [writes, answers, offered, prompts, failure] : cases) {
    SCOPED_TRACE(prompts + std::to_string(failure));
    NewPrinter(answers);
    printer->writes.assign(writes.begin(), writes.end());
    EXPECT_EQ(PrintTemplate("ab\r\ncdefgh", clock), failure ? kTemplateStopped : kTemplatePrinted);
    EXPECT_EQ(Writes(), offered);
    EXPECT_EQ(ui.PromptTexts(), Prompts(prompts));
    EXPECT_EQ(printer->Count("GetPrinterState"), failure ? 1 : 2) << "no wait after a stopped text";
    EXPECT_EQ(form.StatusPanelText(2), "Ready...");
    EXPECT_EQ(ui.messages, Messages(failure));
    if (!failure) {
      EXPECT_EQ(printer->written, "abcdefgh");
    }
    EXPECT_EQ(printer->claims + printer->releases, 0) << "the caller owns the claim";
  }
}

TEST_F(PrintTemplateTest, WaitsForAReadyPrinterBeforeAndAfterTheText) {
  // Panel 1 texts by letter.
  // clang-format off
  const std::map<char, std::string> text = {
      {'R', "Printer ready..."}, {'C', "Cover open. Waiting..."}, {'F', "Paper is being fed..."},
      {'S', "Printing is being stopped due to paper end. Waiting..."}, {'W', "Error occurred. Waiting..."},
      {'N', "Paper is near end. Waiting..."}, {'U', "Unknown offline status. Waiting..."},
      {'A', "Unknown answer. Waiting..."}, {'O', "Paper out. Waiting..."},
      {'X', "Unrecoverable printer error. Please check printer..."}, {'E', "Printer error..."}};
  // clang-format on
  constexpr auto R = MsgBoxResult::kRetry, C = MsgBoxResult::kCancel;
  const int32_t busy = kResultBusy, paper = kResultPaperOut, closed = kResultPortClosed;
  const struct {
    std::vector<int32_t> results;  // GetPrinterState results, in order (then 0)
    std::vector<int32_t> states;   // the states of the calls that succeed
    std::vector<MsgBoxResult> answers;
    bool end_req, sent;  // end_req: the window is asked to close during the third pause
    int16_t result;
    std::string panel1, prompts;
    int32_t failure;     // the code the message names; 0: no message
    double min_seconds;  // time the waits took at least
  } cases[] = {
      // clang-format off
      {{}, {0, 0}, {}, false, true, 0, "RR", "", 0, 0},
      {{}, {1, 7, 0, 0}, {}, false, true, 0, "CNRR", "", 0, 0.8},
      {{}, {6, -1, 10, 9, 0, 8, 0}, {}, false, true, 0, "UUUAROR", "", 0, 2.0},
      {{}, {2, 3, 4, 0, 0}, {}, false, true, 0, "FSWRR", "", 0, 1.2},
      {{}, {5}, {}, false, false, 2, "X", "", 0, 0},
      {{}, {0, 5}, {}, false, true, 2, "RX", "", 0, 0},
      {{busy}, {0, 0}, {R}, false, true, 0, "ERR", "B", 0, 0},
      {{paper}, {}, {C}, false, false, 2, "E", "P", 0, 0},  // no message before the text
      {{0, paper}, {0}, {C}, false, true, 2, "R", "P", paper, 0},
      {{closed}, {}, {}, false, false, 2, "", "", closed, 0},
      {{}, std::vector<int32_t>(1000, 1), {}, true, false, 2, "CCC", "", 0, 0.8},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.panel1 + "/" + c.prompts);
    NewPrinter(c.answers);
    form.history.clear();
    form.SetEndReq(false);
    printer->printer_state_results.assign(c.results.begin(), c.results.end());
    printer->printer_states.assign(c.states.begin(), c.states.end());
    const int end_at = ui.do_events + 85;
    ui.on_do_events = [&] {
      if (c.end_req && ui.do_events == end_at) form.SetEndReq(true);
    };
    const double t0 = ui.now;
    EXPECT_EQ(PrintTemplate("xy", clock), c.result);
    ui.on_do_events = nullptr;
    EXPECT_EQ(printer->written, c.sent ? "xy" : "");
    std::vector<std::string> panel1;
    for (char k : c.panel1) panel1.push_back(text.at(k));
    EXPECT_EQ(form.PanelHistory(1), panel1);
    EXPECT_EQ(ui.PromptTexts(), Prompts(c.prompts));
    EXPECT_EQ(ui.messages, Messages(c.failure));
    EXPECT_GE(ui.now - t0, c.min_seconds - 1e-9);
    EXPECT_LT(ui.now - t0, c.min_seconds + 0.45);
    const auto panel2 = form.PanelHistory(2);
    EXPECT_EQ(panel2.empty() ? "" : panel2.front() + "/" + panel2.back(), "Printing.../Ready...");
  }
}

}  // namespace
}  // namespace zelta::test
