#include "download/print_logo.h"

#include "download/raster_conversion.h"
#include "download/raster_packets.h"
#include "download/send_wait.h"
#include "image/gallery.h"
#include "link/forms.h"
#include "link/print_template.h"
#include "link/status_texts.h"
#include "memory/logo_operation.h"
#include "memory/logo_window.h"
#include "memory/nv_commands.h"
#include "memory/print_stored.h"
#include "platform/ui_hooks.h"
#include "shared/escpos.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr char kTextSendingGraphics[] = "Sending graphics data...";
constexpr char kTextPrintingLogos[] = "Printing logo(s)...";
constexpr uint32_t kFirstColour = 0x000000;   // black dots
constexpr uint32_t kSecondColour = 0xFF0000;  // red dots
constexpr int32_t kTwoColours = 1;            // ColorCode of a two-colour logo
constexpr int kMaxDots = 65535;

// How a print ended, which decides the way out.
enum class Outcome {
  kPrinted,     // everything sent: feed or cut, release, maybe close
  kStopped,     // a job did not go through: release, maybe close
  kSendFailed,  // a write failed: release, the window stays
  kWaitFailed,  // the completion wait failed and released the printer already
};

bool UsesRasterBitImage(int model_id) { return model_id == 32 || model_id == 10 || model_id == 161; }

// Converts and sends rows first .. first + count - 1 of the preview in colour, one write each, with
// the progress bar and the event loop moving on after every row.
bool SendPreviewRows(LogoWindowState& state, const PictureBox& preview, int first, int count,
                     uint32_t colour) {
  for (int y = first; y < first + count; ++y) {
    int32_t result = kResultOk;
    SendGraphicsData(PreviewRow(preview, y, colour), false, result);
    if (result != kResultOk) return false;
    ++state.progress.value;
    state.Changed();
    DoEvents();
  }
  return true;
}

Outcome PrintSelectedStoredLogos(LogoWindowState& state) {
  Bytes text = CmdNormalPrintMode();
  for (int i = 1; i <= state.slot_count(); ++i) {
    const LogoSlot& slot = state.Slot(i);
    if (!slot.picThumbFrame.visible || !IsSelected(slot) || IsNewLogoCaption(slot.picThumbFrame.tag))
      continue;
    text += StoredLogoPrintText(slot.picThumb.tag);
    if (PrintTemplate(text) != kTemplatePrinted) return Outcome::kStopped;
    SetStatusText(kPanelProgram, kTextPrintingLogos);
    text = B({escpos::kLf});
  }
  return Outcome::kPrinted;
}

// Bands of the print buffer: per band and colour the function-112 header and the band's rows, then the
// completion wait and function 50 that prints the band.
Outcome PrintThroughBuffer(LogoWindowState& state, const PictureBox& preview, bool two_colours) {
  const int width = preview.inner_w, height = preview.inner_h;
  ShowProgress(state, two_colours ? 2 * (height + 1) - 1 : height + 1);
  SetProgress(state, 1);
  struct Plane {
    uint8_t colour_byte;
    uint32_t dot_colour;
  };
  const Plane planes[] = {{escpos::kColor1, kFirstColour}, {escpos::kColor2, kSecondColour}};
  const int plane_count = two_colours ? 2 : 1;
  for (int row = 0; row < height;) {
    SetStatusText(kPanelProgram, kTextSendingGraphics);
    const int rows = row + kBandRows <= height ? kBandRows : height - row;
    const int start = row;
    for (int p = 0; p < plane_count; ++p) {
      int32_t result = kResultOk;
      SendGraphicsData(PrintBufferBandHeader(width, planes[p].colour_byte, rows), true, result);
      if (result != kResultOk) return Outcome::kSendFailed;
      DoEvents();
      if (!SendPreviewRows(state, preview, start, rows, planes[p].dot_colour)) return Outcome::kSendFailed;
    }
    PrinterErrorInfo info;
    int32_t result = kResultOk;
    WaitGraphicsProcessed(info, result);
    if (result != kResultOk) return Outcome::kWaitFailed;
    if (PrintTemplate(CmdPrintBufferGraphics()) != kTemplatePrinted) return Outcome::kStopped;
    DoEvents();
    row = start + rows;
  }
  return Outcome::kPrinted;
}

// One GS v 0 image of the black dots.
Outcome PrintRasterBitImage(LogoWindowState& state, const PictureBox& preview) {
  const int width = preview.inner_w, height = preview.inner_h;
  ShowProgress(state, height + 1);
  SetProgress(state, 1);
  SetStatusText(kPanelProgram, kTextSendingGraphics);
  int32_t result = kResultOk;
  SendGraphicsData(RasterBitImageHeader(width, height), true, result);
  if (result != kResultOk) return Outcome::kSendFailed;
  state.progress.value = 1;
  state.Changed();
  DoEvents();
  if (!SendPreviewRows(state, preview, 0, height, kFirstColour)) return Outcome::kSendFailed;
  PrinterErrorInfo info;
  WaitGraphicsProcessed(info, result);
  return result == kResultOk ? Outcome::kPrinted : Outcome::kWaitFailed;
}

Outcome PrintNewLogo(LogoWindowState& state) {
  const int tab = state.selected_tab;
  if (tab < 1 || tab >= static_cast<int>(state.tabs.size())) return Outcome::kPrinted;
  const int i = state.tabs[static_cast<size_t>(tab)].tag;
  if (i < 1 || i > state.slot_count()) return Outcome::kPrinted;
  const LogoSlot& slot = state.Slot(i);
  const PictureBox& preview = slot.picPreview;
  if (preview.inner_w < 1 || preview.inner_h < 1 || preview.inner_w > kMaxDots ||
      preview.inner_h > kMaxDots) {
    return Outcome::kPrinted;
  }
  if (UsesRasterBitImage(PrinterModelId)) return PrintRasterBitImage(state, preview);
  return PrintThroughBuffer(state, preview, slot.cmbColor.SelectedData() == kTwoColours);
}

void ReleaseForPrint() {
  if (PrinterObj) PrinterObj->ReleasePrinter();
}

}  // namespace

void cmdPrintLogo_Click(LogoWindowState& state) {
  if (state.busy) return;
  SetHourglass(state, true);
  SetStatusText(kPanelProgram, kTextPreparingPrint);
  if (!ClaimPrinterOrTell()) {
    SetStatusText(kPanelProgram, kTextReady);
    SetHourglass(state, false);
    return;
  }
  SetStatusText(kPanelInfo, kTextPrinterReady);

  const Outcome outcome = state.selected_tab < 1 ? PrintSelectedStoredLogos(state) : PrintNewLogo(state);
  switch (outcome) {
    case Outcome::kPrinted:
      HideProgress(state);
      PrintTemplate(EndOfPrintFeed(PrinterModelId));
      ReleaseForPrint();
      break;
    case Outcome::kStopped:
    case Outcome::kSendFailed:
      ReleaseForPrint();
      HideProgress(state);
      break;
    case Outcome::kWaitFailed:
      HideProgress(state);
      SetHourglass(state, false);
      return;
  }
  SetStatusText(kPanelProgram, kTextReady);
  SetHourglass(state, false);
  if (outcome != Outcome::kSendFailed && state.EndReq) CloseLogoWindow(state);
}

}  // namespace zelta
