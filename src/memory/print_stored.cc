#include "memory/print_stored.h"

#include "memory/logo_operation.h"

#include "link/forms.h"
#include "link/print_template.h"
#include "link/public_func.h"
#include "link/status_texts.h"
#include "memory/logo_window.h"
#include "memory/nv_commands.h"
#include "shared/escpos.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr int kFeedLines = 9;         // line feeds that end a job on printers without a cutter
constexpr int kLastNvBitImage = 255;  // FS p prints images 1..255
constexpr size_t kKeyCodeLength = 2;

// The job of models 32 and 10: every NV bit image, then the end of the paper.
Bytes AllNvBitImagesText(int model_id) {
  Bytes text;
  for (int n = 1; n <= kLastNvBitImage; ++n) text += CmdPrintNvBitImage(n);
  return text + EndOfPrintFeed(model_id);
}

// One job per stored logo of the key-code list; the first starts in normal character mode, the
// others with a blank line. Nothing when the list cannot be read.
void PrintKeyCodeList() {
  PrinterErrorInfo info;
  const Bytes keys = RequestReply(CmdKeyCodeList(), info, 1);
  if (info.Number != kResultOk) return;
  const size_t count = keys.size() / kKeyCodeLength;
  Bytes text = CmdNormalPrintMode();
  for (size_t k = 0; k < count; ++k) {
    text += StoredLogoPrintText(keys.substr(k * kKeyCodeLength, kKeyCodeLength));
    if (k + 1 == count) text += EndOfPrintFeed(PrinterModelId);
    if (PrintTemplate(text) != kTemplatePrinted) return;
    text = B({escpos::kLf});
  }
}

}  // namespace

Bytes StoredLogoPrintText(const std::string& key) {
  return "Logo " + key + B({escpos::kLf}) + CmdPrintGraphics(key);
}

Bytes EndOfPrintFeed(int model_id) {
  if (model_id == 10 || model_id == 161) return Bytes(kFeedLines, static_cast<char>(escpos::kLf));
  return CmdFeedAndCut();
}

void cmdPrintMemLogos_Click(LogoWindowState& state) {
  if (state.busy) return;
  SetHourglass(state, true);
  SetStatusText(kPanelProgram, kTextPreparingPrint);
  const bool claimed = ClaimPrinterOrTell();
  if (claimed) {
    SetStatusText(kPanelInfo, kTextPrinterReady);
    if (UsesNvBitImages(PrinterModelId)) {
      PrintTemplate(AllNvBitImagesText(PrinterModelId));
    } else {
      PrintKeyCodeList();
    }
    const int32_t released = PrinterObj ? PrinterObj->ReleasePrinter() : kResultNoPrinter;
    if (released != kResultOk) {
      PrinterErrorInfo info = LastPrinterError();
      if (info.Number == kResultOk) info.Number = released;
      ShowMessage(RaisedErrorMessage(info));
    }
  }
  SetStatusText(kPanelProgram, kTextReady);
  SetHourglass(state, false);
  if (state.EndReq) CloseLogoWindow(state);
}

}  // namespace zelta
