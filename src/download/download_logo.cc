#include "download/download_logo.h"

#include <string>
#include <vector>

#include "download/raster_conversion.h"
#include "download/raster_packets.h"
#include "download/send_wait.h"
#include "image/gallery.h"
#include "link/forms.h"
#include "link/public_func.h"
#include "link/status_texts.h"
#include "memory/logo_operation.h"
#include "memory/logo_window.h"
#include "memory/nv_commands.h"
#include "memory/printer_info.h"
#include "platform/ui_hooks.h"
#include "shared/escpos.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr float kFirstImageWait = 7.0f;  // seconds the printer needs after the first FS q image's size

// The end of a failed download: the printer released, the progress gone.
void CleanUp(LogoWindowState& state) {
  if (PrinterObj) PrinterObj->ReleasePrinter();
  SetHourglass(state, false);
  HideProgress(state);
  SetStatusText(kPanelProgram, kTextReady);
}

// The end of a failed completion wait: the wait has released the printer already.
void WaitFailed(LogoWindowState& state) {
  SetHourglass(state, false);
  HideProgress(state);
}

// Free NV memory as the label shows it; false when it holds no whole number.
bool ShownFree(const LogoWindowState& state, long long& free) {
  const long long shown = ParseDecimalReply(state.lblMemFree);
  if (shown < 0) return false;
  free = shown;
  return true;
}

enum class Fit { kFits, kSkip, kStop };

// The memory check of one logo of n bytes.
Fit CheckMemory(LogoWindowState& state, uint32_t n) {
  long long free = -1;
  for (;;) {
    ShownFree(state, free);
    if (free >= 0) break;
    if (free == -2 && MsgBox("Error retrieving memory info. \rRetry?", MsgBoxButtons::kRetryCancel,
                             MsgBoxIcon::kQuestion) != MsgBoxResult::kRetry) {
      return Fit::kStop;
    }
    free = -2;
    PrinterErrorInfo info;
    ShowMemoryInfo(state, info);
    if (info.Number != kResultOk) return Fit::kStop;
  }
  if (n <= free) return Fit::kFits;
  return MsgBox("Not enough space in memory for this logo.\rDo you want to try the next?",
                MsgBoxButtons::kOkCancel, MsgBoxIcon::kQuestion) == MsgBoxResult::kOk
             ? Fit::kSkip
             : Fit::kStop;
}

// One logo as NV graphics. False when the download must end (after its clean-up).
bool DownloadGraphics(LogoWindowState& state, int16_t i) {
  LogoSlot& slot = state.Slot(i);
  const std::string key = slot.picThumb.tag;
  SetStatusText(kPanelProgram, "Sending Logo(" + key + ") graphics data...");
  ColorTable table;
  if (!ReadLogoColorTable(slot.picPreview.tag, table)) {
    CleanUp(state);
    return false;
  }
  DoEvents();
  const Dib* prepared = PreparedBitmaps.Has(i) ? PreparedBitmaps(i).get() : nullptr;
  const int32_t colour_code = slot.cmbColor.SelectedData();
  Bytes head;
  uint32_t n = 0;
  ColorTableConverter converter;
  std::string error;
  if (!prepared) {
    ShowMessage(slot.picThumbFrame.tag + " has no prepared picture: choose its settings again and retry.");
    CleanUp(state);
    return false;
  }
  if (!NvRasterHeader(key, colour_code, prepared->width(), prepared->height(), head, n) ||
      !converter.Start(*prepared, table, colour_code, error)) {
    ShowMessage(error.empty() ? slot.picThumbFrame.tag + " is too large for the printer." : error);
    CleanUp(state);
    return false;
  }
  switch (CheckMemory(state, n)) {
    case Fit::kSkip:
      SetProgress(state, 0);
      return true;
    case Fit::kStop:
      CleanUp(state);
      return false;
    case Fit::kFits:
      break;
  }
  // Raster bytes may hold the codes of real-time requests: where the printer can, they are read as
  // plain data until the definition has ended.
  const bool switch_real_time = SupportsRealTimeSwitch(PrinterModelId);
  if (!SendLogoData((switch_real_time ? CmdRealTimeCommands(false) : Bytes()) + head, true))
    return CleanUp(state), false;
  const int planes = converter.plane_count(), height = converter.height();
  ShowProgress(state, planes * height);
  DoEvents();
  if (!SendLogoData(B({escpos::kColor1}), false)) return CleanUp(state), false;
  // The first colour goes as it is converted; the others wait in memory.
  std::vector<Bytes> later[2];
  const int plane_index[3] = {converter.first(), converter.second(), converter.third()};
  PlaneRow rows;
  for (int y = 0; y < height; ++y) {
    if (!converter.ConvertRow(y, rows, error)) {
      ShowMessage(error);
      return CleanUp(state), false;
    }
    if (!SendLogoData(rows[static_cast<size_t>(plane_index[0])], false)) return CleanUp(state), false;
    for (int p = 1; p < planes; ++p)
      later[p - 1].push_back(std::move(rows[static_cast<size_t>(plane_index[p])]));
    DoEvents();
    SetProgress(state, y + 1);
  }
  for (int p = 1; p < planes; ++p) {
    if (!SendLogoData(B({escpos::kColor1 + p}), false)) return CleanUp(state), false;
    DoEvents();
    for (int y = 0; y < height; ++y) {
      if (!SendLogoData(later[p - 1][static_cast<size_t>(y)], false)) return CleanUp(state), false;
      SetProgress(state, p * height + y + 1);
      DoEvents();
    }
  }
  if (switch_real_time && !SendLogoData(CmdRealTimeCommands(true), false)) return CleanUp(state), false;
  SetProgress(state, 0);
  PrinterErrorInfo info;
  int32_t result = kResultOk;
  WaitGraphicsProcessed(info, result);
  // A logo the printer did not confirm stays new, with its page, so that it can be sent again.
  if (result != kResultOk) return WaitFailed(state), false;
  SetStatusText(kPanelProgram, "Updating...");
  ShowMemoryInfo(state, info);
  SetProgress(state, 0);
  // A printer whose memory filled up meanwhile (another client stored logos since the figures were
  // read) drops the definition and still answers: its key-code list tells.
  PrinterErrorInfo list_info;
  const Bytes keys = RequestReply(CmdKeyCodeList(), list_info, 1);
  bool listed = list_info.Number != kResultOk;  // no list: the printer's answer above is taken as it is
  for (size_t k = 0; k + 1 < keys.size() && !listed; k += 2) listed = keys.compare(k, 2, key) == 0;
  if (!listed) {
    ShowMessage("The printer did not store " + slot.picThumbFrame.tag + ": its memory is full.\r\n" +
                "Delete logos to make room, then download it again.");
    return true;
  }
  // Stored: the logo loses its page and takes the caption of a stored logo.
  RemoveTab(state, slot.picThumbFrame.tag);
  slot.picThumbFrame.tag = "Logo(" + key + ")";
  ++slot.picThumbFrame.drawn;
  return true;
}

// Every listed logo as NV bit images 1 .. n. False when the download ended early.
bool DownloadBitImages(LogoWindowState& state, const std::vector<int16_t>& list) {
  std::string why;
  if (list.size() > 255)
    why = std::to_string(list.size()) + " logos were chosen; the printer stores at most 255.";
  for (size_t k = 0; k < list.size() && why.empty(); ++k) {
    const int16_t i = list[k];
    const Dib* prepared = PreparedBitmaps.Has(i) ? PreparedBitmaps(i).get() : nullptr;
    if (!prepared) {
      why =
          state.Slot(i).picThumbFrame.tag + " has no prepared picture: choose its settings again and retry.";
    } else {
      NvBitImageFits(prepared->width(), prepared->height(), k + 1, &why);
    }
  }
  if (!why.empty()) {
    ShowMessage("The logos cannot be stored as NV bit images.\r\n" + why);
    return CleanUp(state), false;
  }
  if (!SendLogoData(B({escpos::kFs, escpos::kq, static_cast<int>(list.size())}), true))
    return CleanUp(state), false;
  DoEvents();
  for (size_t k = 0; k < list.size(); ++k) {
    const Dib& prepared = *PreparedBitmaps(list[k]);
    const int w = prepared.width(), x = BytesPerRow(w), y = BytesPerRow(prepared.height());
    ShowProgress(state, 8 * x);
    Bytes size;
    AppendLe16(size, static_cast<uint32_t>(x));
    AppendLe16(size, static_cast<uint32_t>(y));
    if (!SendLogoData(size, false)) return CleanUp(state), false;
    if (k == 0) {
      WaitSeconds(kFirstImageWait);
    } else {
      DoEvents();
    }
    SetStatusText(kPanelProgram, "Downloading " + state.Slot(list[k]).picThumbFrame.tag + " as logo" +
                                     std::to_string(k + 1) + "...");
    for (int c = 0; c < 8 * x; ++c) {
      if (!SendLogoData(c < w ? BlackDotColumn(prepared, c) : Bytes(static_cast<size_t>(y), '\0'), false)) {
        return CleanUp(state), false;
      }
      DoEvents();
      SetProgress(state, c + 1);
    }
  }
  PrinterErrorInfo info;
  int32_t result = kResultOk;
  WaitGraphicsProcessed(info, result);
  if (result != kResultOk) return WaitFailed(state), false;
  return true;
}

}  // namespace

void cmdDwldLogo_Click(LogoWindowState& state) {
  if (state.busy) return;
  SetHourglass(state, true);
  if (state.selected_tab >= 1) {
    SetHourglass(state, false);
    if (state.EndReq) CloseLogoWindow(state);
    return;
  }
  SetStatusText(kPanelProgram, "Preparing to download logo(s)...");
  if (!ClaimForOperation(state)) return;
  ShowProgress(state, 10);
  const std::vector<int16_t> list = SelectedSlots(state, true);
  if (UsesNvBitImages(PrinterModelId)) {
    // An empty FS q would clear the printer's images: with nothing chosen nothing is sent.
    if (!list.empty() && !DownloadBitImages(state, list)) return;
  } else {
    for (int16_t i : list) {
      if (!DownloadGraphics(state, i)) return;
    }
  }
  state.cmdPrintMemLogos.enabled = true;
  UpdateActionButtons(state);
  PrinterObj->ReleasePrinter();
  HideProgress(state);
  SetStatusText(kPanelProgram, kTextReady);
  SetHourglass(state, false);
  if (state.EndReq) CloseLogoWindow(state);
}

}  // namespace zelta
