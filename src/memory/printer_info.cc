#include "memory/printer_info.h"

#include <climits>

#include "download/send_wait.h"
#include "image/logo_slots.h"
#include "image/thumbnails.h"
#include "link/forms.h"
#include "link/public_func.h"
#include "link/status_texts.h"
#include "memory/logo_window.h"
#include "memory/nv_commands.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr char kRetrievingInfo[] = "Retrieving printer information...";
constexpr char kUnknownFigure[] = "?";
constexpr uint8_t kTypePrintingOffered = 0x04;  // bit 2 of the GS I 2 answer
constexpr float kThumbnailPause = 0.1f;

bool HasMemoryDisplay(uint8_t model) { return model == 46 || model == 36 || model == 161; }

// The type check of models 161 and 10. False when it failed; the print buttons are then hidden.
bool CheckPrinterType(LogoWindowState& state) {
  auto fail = [&] {
    SetStatusText(kPanelInfo, kTextPrinterError);
    state.cmdPrintLogo.visible = state.cmdPrintMemLogos.visible = false;
    state.Changed();
    return false;
  };
  int32_t result = kResultOk;
  SendGraphicsData(CmdTypeId(), true, result);
  if (result != kResultOk) return fail();
  std::string byte;
  int32_t count = 0;
  const int32_t code = PrinterObj->ReadData(byte, 1, count);
  if (code != kResultOk || count < 1 || byte.empty()) {
    fail();
    PrinterErrorInfo info = LastPrinterError();
    if (info.Number == kResultOk) info.Number = code != kResultOk ? code : kResultTimeout;
    ShowMessage(RaisedErrorMessage(info));
    return false;
  }
  if (static_cast<uint8_t>(byte[0]) & kTypePrintingOffered) {
    if (PrinterModelId == 10) state.cmdPrintMemLogos.enabled = true;
  } else {
    state.cmdPrintLogo.visible = state.cmdPrintMemLogos.visible = false;
  }
  state.Changed();
  return true;
}

void Finish(LogoWindowState& state) {
  state.cmdSelectAll.enabled = state.cmdSelectNone.enabled = state.cmdAddLogo.enabled = true;
  SetStatusText(kPanelProgram, kTextReady);
  SetHourglass(state, false);
}

void ReleaseAndClose(LogoWindowState& state) {
  PrinterObj->ReleasePrinter();
  CloseLogoWindow(state);
}

}  // namespace

void ShowMemoryInfo(LogoWindowState& state, PrinterErrorInfo& info) {
  if (!HasMemoryDisplay(PrinterModelId)) return;
  auto unknown = [&] {
    state.lblMemUsed = state.lblMemFree = kUnknownFigure;
    state.Changed();
  };
  const Bytes capacity_text = RequestReply(CmdNvCapacity(), info, 0);
  if (info.Number != kResultOk) return unknown();
  const long long capacity = ParseDecimalReply(capacity_text);
  if (capacity < 0 || capacity > INT32_MAX) return unknown();
  const Bytes free_text = RequestReply(CmdNvRemaining(), info, 0);
  if (info.Number != kResultOk) return unknown();
  const long long free = ParseDecimalReply(free_text);
  if (free < 0 || free > INT32_MAX) return unknown();
  state.lblMemFree = free_text;
  state.lblMemUsed = std::to_string(capacity - free);
  state.Changed();
}

void StartTimer_Timer(LogoWindowState& state) {
  state.StartTimer_enabled = false;
  const uint8_t model = PrinterModelId;
  if (!HasMemoryDisplay(model) && model != 10) {
    SetStatusText(kPanelInfo, kTextPrinterReady);
    state.cmdPrintMemLogos.enabled = true;
    return Finish(state);
  }
  SetStatusText(kPanelProgram, kRetrievingInfo);
  if (!PrinterObj || PrinterObj->ClaimPrinter() != kResultOk) {
    SetStatusText(kPanelInfo, kTextPrinterError);
    ShowMessage(RaisedErrorMessage(LastPrinterError()));
    return CloseLogoWindow(state);
  }
  bool type_failed = false;
  if (model == 161 || model == 10) type_failed = !CheckPrinterType(state);
  if (model == 10 || type_failed) {
    PrinterObj->ReleasePrinter();
    return Finish(state);
  }

  PrinterErrorInfo info;
  ShowMemoryInfo(state, info);
  if (info.Number != kResultOk) return ReleaseAndClose(state);
  const Bytes keys = RequestReply(CmdKeyCodeList(), info, 1);
  if (info.Number != kResultOk) return ReleaseAndClose(state);
  for (size_t k = 0; k + 1 < keys.size(); k += 2) {
    state.cmdPrintMemLogos.enabled = true;
    const int16_t i = AllocateLogoSlot(state);
    const std::string key = keys.substr(k, 2);
    state.Slot(i).picThumb.tag = key;
    state.Slot(i).picThumbFrame.tag = "Logo(" + key + ")";
    DrawThumbnail(state, i);
    state.Slot(i).picThumbFrame.visible = true;
    ArrangeThumbnails(state, 0);
    WaitSeconds(kThumbnailPause);
  }
  SetStatusText(kPanelInfo, kTextPrinterReady);
  PrinterObj->ReleasePrinter();
  Finish(state);
}

}  // namespace zelta
