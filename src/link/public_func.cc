#include "link/public_func.h"

#include "link/forms.h"
#include "link/status_texts.h"
#include "platform/ui_hooks.h"
#include "shared/escpos.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr double kBusyCheckInterval = 0.2;  // seconds between status checks while the object is busy
constexpr size_t kMaxRequest = 32767;       // the send position is a signed 16-bit counter

Bytes DleEot(uint8_t n) { return B({escpos::kDle, escpos::kEot, n}); }
Bytes DleEnq(uint8_t n) { return B({escpos::kDle, escpos::kEnq, n}); }

// Writes a real-time request and reads its one-byte answer. Any failure (a reply that does not come
// included) returns false.
bool QueryByte(PrinterObject& printer, uint8_t n, uint8_t& answer) {
  int32_t written = 0;
  if (printer.WriteData(DleEot(n), 3, written, kWriteRealTime) != kResultOk) return false;
  std::string buffer(1, ' ');
  int32_t count = 0;
  if (printer.ReadData(buffer, 1, count) != kResultOk || count < 1 || buffer.empty()) return false;
  answer = static_cast<uint8_t>(buffer[0]);
  return true;
}

}  // namespace

bool RetryPrompt(const std::string& text) {
  std::string message = text + "\r" + kTextPleaseVerify;
  return MsgBox(message, MsgBoxButtons::kRetryCancel, MsgBoxIcon::kInformation) == MsgBoxResult::kRetry;
}

PrinterErrorInfo LastPrinterError() {
  PrinterErrorInfo info;
  if (!PrinterObj) {
    info.Number = kResultNoPrinter;
    info.Description = "No printer is connected.";
    info.Source = "ZeltaLogo";
    return info;
  }
  if (PrinterObj->GetLastError(info) != kResultOk && info.Description.empty()) {
    info.Description = "The printer object could not describe its last error.";
  }
  return info;
}

std::string RaisedErrorMessage(const PrinterErrorInfo& info) {
  return "Raised error " + std::to_string(info.Number) + " by " + info.Source + "\r" +
         "Extended error description: " + info.Description;
}

std::string ErrorByMessage(const PrinterErrorInfo& info) {
  return "Error " + std::to_string(info.Number) + " by " + info.Source + ":" + "\r" + info.Description;
}

int16_t CheckRealTimeStatus() {
  bool cancelled = false;
  auto failure = [&cancelled]() -> int16_t {
    ErrorRecoveryStep = 0;
    if (!cancelled) ShowMessage(RaisedErrorMessage(LastPrinterError()));
    return kRtFailed;
  };
  if (!PrinterObj) return failure();
  PrinterObject& printer = *PrinterObj;

  // Printer status, with a retry on busy and on a status that does not come.
  uint8_t status = 0;
  for (;;) {
    int32_t written = 0;
    int32_t result = printer.WriteData(DleEot(escpos::kStatusPrinter), 3, written, kWriteRealTime);
    if (result == kResultBusy) {
      if (RetryPrompt("Printer busy.")) continue;
      cancelled = true;
      return failure();
    }
    if (result != kResultOk) return failure();

    std::string buffer(1, ' ');
    int32_t count = 0;
    result = printer.ReadData(buffer, 1, count);
    if (result == kResultTimeout || (result == kResultOk && (count < 1 || buffer.empty()))) {
      if (RetryPrompt("Timeout getting status: printer offline?")) continue;
      cancelled = true;
      return failure();
    }
    if (result != kResultOk) return failure();
    status = static_cast<uint8_t>(buffer[0]);
    break;
  }

  if (!(status & escpos::kPrinterStatusOffline)) {
    ErrorRecoveryStep = 0;
    SetStatusText(kPanelInfo, kTextPrinterReady);
    return kRtReady;
  }

  uint8_t cause = 0;
  if (!QueryByte(printer, escpos::kStatusOffline, cause)) return failure();
  if (cause & escpos::kOfflineCoverOpen) {
    SetStatusText(kPanelInfo, kTextCoverOpen);
    return kRtWaiting;
  }
  if (cause & escpos::kOfflineFeedButton) {
    SetStatusText(kPanelInfo, kTextPaperFed);
    return kRtWaiting;
  }
  if (!(cause & escpos::kOfflineError)) {
    SetStatusText(kPanelInfo, (cause & escpos::kOfflinePaperEnd) ? kTextPaperEndStop : kTextUnknownOffline);
    return kRtWaiting;
  }
  SetStatusText(kPanelInfo, kTextErrorOccurred);

  uint8_t error = 0;
  if (!QueryByte(printer, escpos::kStatusError, error)) return failure();
  if (error & escpos::kErrorUnrecoverable) {
    ErrorRecoveryStep = 0;
    SetStatusText(kPanelInfo, kTextUnrecoverable);
    return kRtFailed;
  }
  if (ErrorRecoveryStep >= 2) {
    SetStatusText(kPanelInfo, kTextRecoveryFailed);
    return kRtFailed;
  }
  uint8_t request = ErrorRecoveryStep == 0 ? escpos::kRecoverAndRestart : escpos::kRecoverClearBuffers;
  int32_t written = 0;
  if (printer.WriteData(DleEnq(request), 3, written, kWriteRealTime) != kResultOk) return failure();
  ErrorRecoveryStep = static_cast<int16_t>(ErrorRecoveryStep + 1);
  return kRtRecovering;
}

Bytes RequestReply(const Bytes& request, PrinterErrorInfo& info, int32_t multi_block) {
  if (!PrinterObj) {
    info = LastPrinterError();
    SetStatusText(kPanelInfo, kTextPrinterError);
    ShowMessage(ErrorByMessage(info));
    return {};
  }
  PrinterObject& printer = *PrinterObj;
  if (request.size() >= kMaxRequest) {
    info.Number = kResultBadArgument;
    info.Description = "The request is longer than 32766 bytes.";
    info.Source = "RequestReply";
    return {};
  }

  // 1. Wait while the object is busy with earlier data, checking the printer five times a second.
  int32_t busy = 0;
  int32_t result = printer.GetBusyState(busy);
  double last_check = 0;
  bool checked = false;
  while (result == kResultOk && busy == 1) {
    DoEvents();
    if (!checked || Timer() - last_check > kBusyCheckInterval) {
      checked = true;
      last_check = Timer();
      if (CheckRealTimeStatus() == kRtFailed) {
        info.Number = kResultTimeout;
        return {};
      }
    }
    if (CurrentEndReq()) {
      info.Number = kResultTimeout;
      return {};
    }
    result = printer.GetBusyState(busy);
  }

  // 2. Send, resuming from the first byte not accepted.
  size_t pos = 0;
  for (;;) {
    int32_t written = 0;
    Bytes rest = request.substr(pos);
    info.Number = printer.WriteData(rest, static_cast<int32_t>(rest.size()), written, kWriteOrdinary);
    if (written > 0) pos += std::min<size_t>(written, rest.size());
    if (info.Number == kResultOk) {
      SetStatusText(kPanelInfo, kTextPrinterReady);
      break;
    }
    std::string prompt;
    if (info.Number == kResultPaperOut) {
      SetStatusText(kPanelInfo, kTextPrinterError);
      prompt = "Paper out.";
    } else if (info.Number == kResultTimeout) {
      prompt = "Timeout sending data. Printer off-line?";
    } else if (info.Number == kResultBusy) {
      SetStatusText(kPanelInfo, kTextPrinterError);
      prompt = "Printer busy.";
    } else {
      SetStatusText(kPanelInfo, kTextPrinterError);
      int32_t code = info.Number;
      info = LastPrinterError();
      if (info.Number == kResultOk) info.Number = code;
      ShowMessage(ErrorByMessage(info));
      return {};
    }
    if (!RetryPrompt(prompt)) return {};
  }

  // 3. Receive one or more blocks.
  Bytes payload;
  for (;;) {
    Bytes data;
    int32_t count = 0;
    info.Number = printer.ReadReply(data, count, multi_block);
    if (info.Number == kResultTimeout) {
      SetStatusText(kPanelInfo, kTextPrinterError);
      if (RetryPrompt("Timeout getting data: printer offline?")) continue;
      return payload;
    }
    SetStatusText(kPanelInfo, kTextPrinterReady);
    if (info.Number != kResultOk) return payload;

    if (multi_block == 0) {
      // 4. Header and identifier before the data, NUL after it.
      return data.size() > 3 ? data.substr(2, data.size() - 3) : Bytes();
    }
    // 5. Header, identifier and status before the data, NUL after it.
    if (data.size() > 4) payload += data.substr(3, data.size() - 4);
    if (data.size() < 3 || At(data, 2) != escpos::kReplyMoreBlocks) return payload;
  }
}

void WaitSeconds(float seconds) {
  double t0 = Timer();
  do {
    DoEvents();
  } while (Timer() - t0 < seconds);
}

}  // namespace zelta
