#include "memory/delete_logos.h"

#include <algorithm>
#include <vector>

#include "download/send_wait.h"
#include "image/gallery.h"
#include "image/thumbnails.h"
#include "link/forms.h"
#include "link/public_func.h"
#include "link/status_texts.h"
#include "memory/logo_operation.h"
#include "memory/logo_window.h"
#include "memory/nv_commands.h"
#include "memory/printer_info.h"
#include "platform/ui_hooks.h"
#include "shared/pubblic_var.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr double kDeleteWait = 10.0;  // seconds per deleted logo
constexpr uint32_t kClearWaitMs = 10000;
constexpr uint32_t kClearFirstReadMs = 6000;
constexpr uint32_t kClearReadStepMs = 100;
constexpr int32_t kPollReadTimeout = 50;
constexpr char kDeletionTimeout[] = "Timeout waiting for logo deletion: printer offline?";

bool Ask(const std::string& question) {
  return MsgBox(question, MsgBoxButtons::kYesNo, MsgBoxIcon::kQuestion) == MsgBoxResult::kYes;
}

// One poll for the completion byte with a short read time-out.
int32_t ReadOneByte(std::string& byte, int32_t& count) {
  int32_t saved = 0;
  PrinterObj->GetReadTimeout(saved);
  PrinterObj->PutReadTimeout(kPollReadTimeout);
  byte.assign(1, ' ');
  count = 0;
  const int32_t result = PrinterObj->ReadData(byte, 1, count);
  PrinterObj->PutReadTimeout(saved);
  return result;
}

// The window gives up after a printer failure while waiting: released, closed.
void GiveUp(LogoWindowState& state) {
  PrinterObj->ReleasePrinter();
  CloseLogoWindow(state);
}

void FailedWait(LogoWindowState& state, int32_t result) {
  PrinterErrorInfo info = LastPrinterError();
  if (info.Number == kResultOk) info.Number = result;
  ShowMessage("Raise error " + std::to_string(info.Number) + " on delete memory logo(s).\r\n" +
              "Extended error description: " + info.Description);
  GiveUp(state);
}

enum class Waited { kDone, kClosed };

// Waits on the seconds clock for the model ID after one delete command.
Waited WaitDeleted(LogoWindowState& state) {
  double start = Timer();
  std::string byte;
  int32_t count = 0;
  for (;;) {
    const int32_t result = ReadOneByte(byte, count);
    const double elapsed = Timer() - start;
    SetProgress(state, static_cast<int>(std::min(elapsed, kDeleteWait)));
    const bool got_byte = result == kResultOk && count >= 1 && !byte.empty();
    if (got_byte && static_cast<uint8_t>(byte[0]) == PrinterModelId) return Waited::kDone;
    if (got_byte && elapsed <= kDeleteWait) continue;  // something else: read again at once
    if (!got_byte && result != kResultOk && result != kResultTimeout && result != kResultBusy) {
      FailedWait(state, result);
      return Waited::kClosed;
    }
    if (elapsed <= kDeleteWait) {
      DoEvents();
      continue;
    }
    if (!RetryPrompt(kDeletionTimeout)) {
      GiveUp(state);
      return Waited::kClosed;
    }
    SetProgress(state, 0);
    start = Timer();
  }
}

// Waits on the tick count for the model ID after clearing the memory.
Waited WaitCleared(LogoWindowState& state) {
  uint32_t start = GetTickCount();
  uint32_t next = start + kClearFirstReadMs;
  std::string byte;
  int32_t count = 0;
  for (;;) {
    while (static_cast<int32_t>(GetTickCount() - next) < 0) {
      SetProgress(state, static_cast<int>(std::min(GetTickCount() - start, kClearWaitMs)));
      DoEvents();
    }
    const int32_t result = ReadOneByte(byte, count);
    const uint32_t now = GetTickCount();
    SetProgress(state, static_cast<int>(std::min(now - start, kClearWaitMs)));
    next = now + kClearReadStepMs;
    if (result == kResultOk && count >= 1 && !byte.empty()) {
      if (static_cast<uint8_t>(byte[0]) == PrinterModelId) return Waited::kDone;
      if (now - start < kClearWaitMs) continue;  // another byte is ignored
    } else if (result != kResultOk && result != kResultTimeout && result != kResultBusy) {
      FailedWait(state, result);
      return Waited::kClosed;
    } else if (now - start < kClearWaitMs) {
      continue;
    }
    if (!RetryPrompt(kDeletionTimeout)) {
      GiveUp(state);
      return Waited::kClosed;
    }
    SetProgress(state, 0);
    start = GetTickCount();
    next = start + kClearReadStepMs;
  }
}

// A new logo goes without printer traffic.
void DropNewLogo(LogoWindowState& state, int16_t i) {
  const std::string caption = state.Slot(i).picThumbFrame.tag;
  ClearSlot(state, i);
  RemoveTab(state, caption);
  --state.LogoCount;
}

void Finish(LogoWindowState& state) {
  HideProgress(state);
  SetStatusText(kPanelProgram, kTextReady);
  SetHourglass(state, false);
}

}  // namespace

void cmdDelLogo_Click(LogoWindowState& state) {
  if (state.busy) return;
  SetHourglass(state, true);
  const int tab = state.selected_tab;
  if (tab >= 1 && tab < static_cast<int>(state.tabs.size())) {
    const Tab page = state.tabs[static_cast<size_t>(tab)];
    if (Ask("Are you sure you want to delete " + page.caption + "?") && page.tag >= 1 &&
        page.tag <= state.slot_count()) {
      DropNewLogo(state, page.tag);
      ArrangeThumbnails(state, 1);
      // The page of the tab now selected (the gallery) shows, with its buttons.
      SetHourglass(state, false);
      TabStrip_Click(state);
    }
    SetHourglass(state, false);
    return;
  }

  std::vector<int16_t> chosen;
  for (int i = 1; i <= state.slot_count(); ++i) {
    if (state.Slot(i).picThumbFrame.visible && IsSelected(state.Slot(i)))
      chosen.push_back(static_cast<int16_t>(i));
  }
  const std::string question =
      chosen.size() <= 1
          ? "Are you sure you want to delete " +
                (chosen.empty() ? std::string() : state.Slot(chosen.back()).picThumbFrame.tag) + "?"
          : "Are you sure you want to delete these" + std::to_string(chosen.size()) + " logos?";
  if (!Ask(question)) return SetHourglass(state, false);
  SetStatusText(kPanelProgram, "Preparing for deletion...");
  if (!ClaimForOperation(state)) return;

  bool stored_deleted = false;
  for (int16_t i : chosen) {
    const std::string caption = state.Slot(i).picThumbFrame.tag;
    SetStatusText(kPanelProgram, "Deleting " + caption + "...");
    if (IsNewLogoCaption(caption)) {
      DropNewLogo(state, i);
      continue;
    }
    ShowProgress(state, 10);
    if (!SendLogoData(CmdDeleteGraphics(state.Slot(i).picThumb.tag) + CmdModelId(), true)) {
      PrinterObj->ReleasePrinter();
      return Finish(state);
    }
    ClearSlot(state, i);
    if (WaitDeleted(state) == Waited::kClosed) return;
    --state.LogoCount;
    stored_deleted = true;
  }
  SetStatusText(kPanelProgram, "Updating...");
  HideProgress(state);
  ArrangeThumbnails(state, 1);
  UpdateActionButtons(state);
  if (stored_deleted) {
    PrinterErrorInfo info;
    ShowMemoryInfo(state, info);
  }
  PrinterObj->ReleasePrinter();
  Finish(state);
}

void cmdClearMem_Click(LogoWindowState& state) {
  if (state.busy) return;
  SetHourglass(state, true);
  if (!Ask("Are you sure you want to delete all stored logos?")) return SetHourglass(state, false);
  SetStatusText(kPanelProgram, "Preparing for deletion...");
  if (!ClaimForOperation(state)) return;
  ShowProgress(state, static_cast<int>(kClearWaitMs));
  DoEvents();
  if (UsesNvBitImages(PrinterModelId)) {
    if (SendLogoData(CmdClearNvBitImages() + CmdModelId(), true)) {
      SetStatusText(kPanelProgram, "Clearing memory...");
      if (WaitCleared(state) == Waited::kClosed) return;
    }
  } else if (SendLogoData(CmdDeleteAllGraphics() + CmdModelId(), true)) {
    SetStatusText(kPanelProgram, "Deleting logo(s)...");
    for (int i = 1; i <= state.slot_count(); ++i) {
      LogoSlot& s = state.Slot(i);
      if (s.picThumbFrame.visible && !IsNewLogoCaption(s.picThumbFrame.tag)) {
        s.picThumbFrame.visible = false;
        --state.LogoCount;
      }
    }
    ArrangeThumbnails(state, 1);
    UpdateActionButtons(state);
    if (WaitCleared(state) == Waited::kClosed) return;
    SetStatusText(kPanelProgram, "Updating...");
    PrinterErrorInfo info;
    ShowMemoryInfo(state, info);
  }
  PrinterObj->ReleasePrinter();
  Finish(state);
}

}  // namespace zelta
