// The print template: every print job of the program is a text with a small escape syntax that is
// turned into printer bytes and sent line by line, between two waits for a ready printer.
//
// Syntax, one line at a time (lines end with CR LF, which is not sent):
//   - "/*" starts a comment that ends after the next "*/" (searched from the "/*" itself, so "/*/" is a
//     whole comment) or, without one, at the end of the line. Comments go first; a line that only held
//     comments is not sent at all, a line that was empty to begin with is sent as an empty write.
//   - "<n,n,...>" sends the bytes n (decimal 0..255, blanks around each allowed). When any number is not
//     one, the escape is sent as the characters it is made of; a "<" without a later ">" is text.
//   - An escape of four or more bytes that starts ESC "#" is replaced by the date or the time:
//     <27,35,116,1> "hh:mm:ss", <27,35,116,x> "hh:mm", <27,35,d,1> "dd/mm/yyyy", <27,35,d,2> "ddmm",
//     <27,35,d,x> "dd/mm/yy" (d any byte but 116), with the system's separators in place of "/" and ":".
//     Bytes after the fourth are dropped; a shorter ESC "#" escape is sent as its bytes.
//   - Everything else is sent byte for byte, so command bytes pass through unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "shared/bytes.h"

namespace zelta {

// Results of PrintTemplate.
constexpr int16_t kTemplatePrinted = 0;
constexpr int16_t kTemplateStopped = 2;

// A local date and time as the date and time fields print it (month and day from 1, hours 0..23).
struct TemplateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Where the date and time fields come from.
struct TemplateClock {
  std::function<TemplateTime()> now;
  std::string date_separator = "/";
  std::string time_separator = ":";
};

// This machine's local time, with the date and time separators of the current locale's date and time
// formats (nl_langinfo D_FMT and T_FMT; "/" and ":" where a format names none, as in the C locale).
TemplateClock SystemTemplateClock();

// Turns one line (without its CR LF) into the bytes to send. False when the line became empty by the
// removal of its comments and is not sent.
bool ExpandTemplateLine(const std::string& line, const TemplateClock& clock, Bytes& out);

// Sends text to PrinterObj (already claimed): "Printing..." on panel 2, a wait for a ready printer, the
// lines in order, another wait, "Ready..." on panel 2. Busy, paper-out and time-out results prompt for
// a retry (a write resumes at its first byte not accepted); any other failure, a Cancel, an
// unrecoverable printer or a close request of the current window stops it. Returns kTemplatePrinted
// when the whole text was sent and the printer reported ready again, else kTemplateStopped. The printer
// stays claimed either way.
int16_t PrintTemplate(const std::string& text, const TemplateClock& clock);
// The same with SystemTemplateClock().
int16_t PrintTemplate(const std::string& text);

}  // namespace zelta
