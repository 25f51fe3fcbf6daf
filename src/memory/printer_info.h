// What the logo window reads from the printer when it opens: the memory figures and the logos stored
// in NV graphics memory.
#pragma once

#include "image/logo_window_state.h"
#include "shared/printer_object.h"

namespace zelta {

// Fills the memory labels from GS ( L functions 48 and 51 on models 46, 36 and 161 (others: returns at
// once, info untouched): free as the printer sent it, used as capacity minus free. A failed request or
// a reply that is not a number shows "?" in both. info.Number is the result of the last request: 0 when
// both values were read (also for a reply that is not a number). The printer must be claimed.
void ShowMemoryInfo(LogoWindowState& state, PrinterErrorInfo& info);

// The start-up sequence, run once by the window's start timer: claims the printer; on models 161 and
// 10 asks GS I 2 whether printing is offered; on models 46, 36 and 161 reads the memory figures and the
// key-code list and shows one thumbnail "Logo(kc)" per stored logo, 0.1 s apart; releases the printer;
// then offers selecting and adding and clears the hourglass. A printer that cannot be claimed, or whose
// memory figures or list cannot be read, closes the window after the message.
void StartTimer_Timer(LogoWindowState& state);

}  // namespace zelta
