#include "link/print_template.h"

#include <langinfo.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "link/forms.h"
#include "link/public_func.h"
#include "link/status_texts.h"
#include "platform/ui_hooks.h"
#include "shared/escpos.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr char kTextPrinting[] = "Printing...";
constexpr double kStatePollInterval = 0.4;  // seconds between printer-state queries
constexpr uint8_t kDateTimeMark = '#';      // ESC "#" opens a date or time field
constexpr uint8_t kTimeSelector = 't';

// ---- Syntax ----

// Removes every comment; each search starts again at the front, so a "/*" that the removal of an
// earlier comment brings together is a comment as well.
void RemoveComments(std::string& line) {
  for (size_t open = line.find("/*"); open != std::string::npos; open = line.find("/*")) {
    const size_t close = line.find("*/", open);
    if (close == std::string::npos) {
      line.erase(open);
    } else {
      line.erase(open, close + 2 - open);
    }
  }
}

// One number of a byte escape: decimal digits with blanks around them, 0..255.
bool ParseEscapeByte(const std::string& field, uint8_t& value) {
  const size_t first = field.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const size_t last = field.find_last_not_of(" \t");
  int v = 0;
  for (size_t i = first; i <= last; ++i) {
    const char c = field[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 255) return false;
  }
  value = static_cast<uint8_t>(v);
  return true;
}

// The bytes of the text between "<" and ">"; false when a number is not one.
bool ParseEscape(const std::string& inner, Bytes& bytes) {
  bytes.clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = inner.find(',', start);
    uint8_t value = 0;
    if (!ParseEscapeByte(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start),
                         value)) {
      return false;
    }
    bytes.push_back(static_cast<char>(value));
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

std::string TwoDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// The text of a date or time field (escape bytes ESC "#" selector variant ...).
std::string DateTimeField(const Bytes& escape, const TemplateClock& clock) {
  const TemplateTime t = clock.now ? clock.now() : TemplateTime{};
  const uint8_t selector = At(escape, 2), variant = At(escape, 3);
  if (selector == kTimeSelector) {
    std::string text = TwoDigits(t.hour) + clock.time_separator + TwoDigits(t.minute);
    if (variant == 1) text += clock.time_separator + TwoDigits(t.second);
    return text;
  }
  const std::string day = TwoDigits(t.day), month = TwoDigits(t.month);
  if (variant == 2) return day + month;
  const std::string year = variant == 1 ? std::to_string(t.year) : TwoDigits(((t.year % 100) + 100) % 100);
  return day + clock.date_separator + month + clock.date_separator + year;
}

// The separator that a strftime format puts between its first two fields; fallback when there is none.
std::string FormatSeparator(const char* format, const std::string& fallback) {
  if (!format) return fallback;
  const std::string f = format;
  size_t pos = f.find('%');
  if (pos == std::string::npos) return fallback;
  pos += 1;
  if (pos < f.size() && (f[pos] == 'E' || f[pos] == 'O')) ++pos;  // modifiers
  pos += 1;
  const size_t next = f.find('%', pos);
  if (next == std::string::npos || next == pos) return fallback;
  return f.substr(pos, next - pos);
}

TemplateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// ---- Sending ----

void ShowPrintError(int32_t code) {
  PrinterErrorInfo info = LastPrinterError();
  if (info.Number == kResultOk) info.Number = code;
  ShowMessage(ErrorByMessage(info));
}

// Waits until GetPrinterState says the printer is ready. before_text: the wait ahead of the text,
// which marks a refused query on panel 1; the wait after it describes a cancelled one.
bool WaitPrinterReady(bool before_text) {
  if (!PrinterObj) {
    ShowPrintError(kResultNoPrinter);
    return false;
  }
  for (;;) {
    int32_t state = 0;
    int32_t mode = 1;
    const int32_t code = PrinterObj->GetPrinterState(state, mode);
    if (code == kResultBusy || code == kResultPaperOut) {
      if (before_text) SetStatusText(kPanelInfo, kTextPrinterError);
      if (RetryPrompt(code == kResultBusy ? "Printer busy." : "Paper out.")) continue;
      if (!before_text) ShowPrintError(code);
      return false;
    }
    if (code != kResultOk) {
      ShowPrintError(code);
      return false;
    }
    SetStatusText(kPanelInfo, PrinterStateText(state));
    if (state == kStateReady) return true;
    if (state == kStateUnrecoverable) {
      SetStatusText(kPanelProgram, kTextReady);
      return false;
    }
    const double t0 = Timer();
    do {
      DoEvents();
      if (CurrentEndReq()) {
        SetStatusText(kPanelProgram, kTextReady);
        return false;
      }
    } while (Timer() - t0 < kStatePollInterval);
  }
}

// Writes one expanded line, resuming after what the printer object accepted.
bool SendLine(const Bytes& line) {
  size_t pos = 0;
  for (;;) {
    const Bytes rest = line.substr(pos);
    int32_t written = 0;
    const int32_t code =
        PrinterObj->WriteData(rest, static_cast<int32_t>(rest.size()), written, kWriteOrdinary);
    pos += static_cast<size_t>(std::clamp<int32_t>(written, 0, static_cast<int32_t>(rest.size())));
    if (code == kResultOk) return true;
    const char* prompt = code == kResultTimeout    ? "Timeout sending data. Printer off-line?"
                         : code == kResultBusy     ? "Printer busy."
                         : code == kResultPaperOut ? "Paper out."
                                                   : nullptr;
    if (prompt && RetryPrompt(prompt)) continue;
    ShowPrintError(code);
    return false;
  }
}

}  // namespace

TemplateClock SystemTemplateClock() {
  TemplateClock clock;
  clock.now = LocalNow;
  clock.date_separator = FormatSeparator(nl_langinfo(D_FMT), "/");
  clock.time_separator = FormatSeparator(nl_langinfo(T_FMT), ":");
  return clock;
}

bool ExpandTemplateLine(const std::string& line, const TemplateClock& clock, Bytes& out) {
  out.clear();
  std::string text = line;
  RemoveComments(text);
  if (text.empty()) return line.empty();

  Bytes escape;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('<', i);
    const size_t close = open == std::string::npos ? std::string::npos : text.find('>', open + 1);
    if (close == std::string::npos) {  // no escape left: the rest is text
      out.append(text, i, std::string::npos);
      break;
    }
    out.append(text, i, open - i);
    if (!ParseEscape(text.substr(open + 1, close - open - 1), escape)) {
      out.append(text, open, close + 1 - open);
    } else if (escape.size() >= 4 && At(escape, 0) == escpos::kEsc && At(escape, 1) == kDateTimeMark) {
      out += DateTimeField(escape, clock);
    } else {
      out += escape;
    }
    i = close + 1;
  }
  return true;
}

int16_t PrintTemplate(const std::string& text, const TemplateClock& clock) {
  SetStatusText(kPanelProgram, kTextPrinting);
  if (!WaitPrinterReady(true)) {
    SetStatusText(kPanelProgram, kTextReady);
    return kTemplateStopped;
  }
  size_t pos = 0;
  Bytes out;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    const std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 2;
    if (!ExpandTemplateLine(line, clock, out)) continue;
    if (!SendLine(out)) {
      SetStatusText(kPanelProgram, kTextReady);
      return kTemplateStopped;
    }
  }
  const bool ready = WaitPrinterReady(false);
  SetStatusText(kPanelProgram, kTextReady);
  return ready ? kTemplatePrinted : kTemplateStopped;
}

int16_t PrintTemplate(const std::string& text) { return PrintTemplate(text, SystemTemplateClock()); }

}  // namespace zelta
