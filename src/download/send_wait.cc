#include "download/send_wait.h"

#include <algorithm>

#include "link/forms.h"
#include "link/public_func.h"
#include "link/status_texts.h"
#include "memory/nv_commands.h"
#include "platform/ui_hooks.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr float kBusyStep = 0.2f;        // seconds between busy checks of a timed-out write
constexpr double kProcessingWait = 8.0;  // seconds to wait for the answer to GS I 1
constexpr int32_t kIdWriteTimeout = 200;
constexpr int32_t kPollReadTimeout = 50;

// The end of a failed wait: the printer is released and the user told why.
void FailWait(PrinterErrorInfo& info, int32_t code, int32_t& result) {
  SetStatusText(kPanelInfo, kTextPrinterError);
  info = LastPrinterError();
  if (info.Number == kResultOk) info.Number = code;
  if (PrinterObj) PrinterObj->ReleasePrinter();
  ShowMessage(RaisedErrorMessage(info));
  SetStatusText(kPanelProgram, kTextReady);
  result = code;
}

void CancelWait(int32_t code, int32_t& result) {
  if (PrinterObj) PrinterObj->ReleasePrinter();
  SetStatusText(kPanelProgram, kTextReady);
  result = code;
}

}  // namespace

void SendGraphicsData(const Bytes& data, bool wait_on_timeout, int32_t& result) {
  if (!PrinterObj) {
    PrinterErrorInfo info = LastPrinterError();
    ShowMessage("Raised error " + std::to_string(info.Number) + " sending data to printer." + "\r" +
                "Extended error description: " + info.Description);
    result = info.Number;
    return;
  }
  PrinterObject& printer = *PrinterObj;
  size_t pos = 0;
  for (;;) {
    int32_t written = 0;
    Bytes rest = data.substr(std::min(pos, data.size()));
    int32_t code = printer.WriteData(rest, static_cast<int32_t>(rest.size()), written, kWriteOrdinary);
    size_t accepted = static_cast<size_t>(std::clamp<int32_t>(written, 0, static_cast<int32_t>(rest.size())));
    if (code == kResultOk) {
      SetStatusText(kPanelInfo, kTextPrinterReady);
      result = kResultOk;
      return;
    }
    if (code == kResultTimeout && wait_on_timeout) {
      // The printer pushes back: wait while the object is busy, then send the rest.
      for (;;) {
        int32_t busy = 0;
        if (printer.GetBusyState(busy) != kResultOk || busy != 1) {
          SetStatusText(kPanelInfo, kTextPrinterReady);
          break;
        }
        if (CheckRealTimeStatus() == kRtFailed) {
          result = kResultTimeout;
          return;
        }
        WaitSeconds(kBusyStep);
        if (CurrentEndReq()) {
          result = kResultTimeout;
          return;
        }
      }
      pos += accepted;
      continue;
    }
    if (code == kResultBusy || code == kResultTimeout) {
      if (code == kResultBusy) SetStatusText(kPanelInfo, kTextPrinterError);
      const char* text = code == kResultBusy ? "Error sending data: printer busy."
                                             : "Timeout sending data: printer offline?";
      if (!RetryPrompt(text)) {
        result = code;
        return;
      }
      pos += accepted;
      continue;
    }
    PrinterErrorInfo info = LastPrinterError();
    ShowMessage("Raised error " + std::to_string(info.Number) + " sending data to printer." + "\r" +
                "Extended error description: " + info.Description);
    result = code;
    return;
  }
}

void WaitGraphicsProcessed(PrinterErrorInfo& info, int32_t& result) {
  result = kResultNotSent;
  SetStatusText(kPanelProgram, kTextWaitingGraphics);
  if (!PrinterObj) {
    FailWait(info, kResultNoPrinter, result);
    return;
  }
  PrinterObject& printer = *PrinterObj;

  // The identification request, sent with a short write time-out.
  int32_t saved_timeout = 0;
  printer.GetWriteTimeout(saved_timeout);
  printer.PutWriteTimeout(kIdWriteTimeout);
  Bytes request = CmdModelId();
  int32_t written = 0;
  info.Number = printer.WriteData(request, static_cast<int32_t>(request.size()), written, kWriteRealTime);
  printer.PutWriteTimeout(saved_timeout);

  if (info.Number == kResultBusy || info.Number == kResultTimeout) {
    if (info.Number == kResultBusy) {
      SetStatusText(kPanelInfo, kTextPrinterError);
      if (RetryPrompt("Error sending data: printer busy.")) {
        result = kResultOk;
        return;
      }
    } else if (RetryPrompt("Timeout sending data: printer offline?")) {
      result = kResultOk;
      return;
    }
    CancelWait(kResultNotSent, result);
    return;
  }
  if (info.Number != kResultOk) {
    FailWait(info, info.Number, result);
    return;
  }

  // Poll for the model ID; every answer before it is something else the printer had to say.
  double t0 = Timer();
  for (;;) {
    int32_t saved_read = 0;
    printer.GetReadTimeout(saved_read);
    printer.PutReadTimeout(kPollReadTimeout);
    std::string buffer(1, ' ');
    int32_t count = 0;
    info.Number = printer.ReadData(buffer, 1, count);
    printer.PutReadTimeout(saved_read);

    if (info.Number == kResultOk && count >= 1 && !buffer.empty()) {
      if (static_cast<uint8_t>(buffer[0]) == PrinterModelId) {
        SetStatusText(kPanelInfo, kTextPrinterReady);
        result = kResultOk;
        return;
      }
      DoEvents();
      continue;
    }
    if (info.Number == kResultTimeout || info.Number == kResultOk) {
      if (Timer() - t0 <= kProcessingWait) {
        DoEvents();
        continue;
      }
      if (MsgBox("Timeout waiting for graphics data to be processed...", MsgBoxButtons::kRetryCancel,
                 MsgBoxIcon::kInformation) == MsgBoxResult::kRetry) {
        continue;
      }
      info.Number = kResultTimeout;
      CancelWait(kResultTimeout, result);
      return;
    }
    FailWait(info, info.Number, result);
    return;
  }
}

}  // namespace zelta
