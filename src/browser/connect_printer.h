// Connecting to the printer node selected in the server tree: the printer object from its server, the
// model asked of the printer itself (GS I 1 or ESC ? 0 as the object's device kind says), the check
// that this program works with that model, and then the window of the program variant.
#pragma once

#include <cstdint>
#include <string>

#include "browser/browser_state.h"
#include "shared/printer_object.h"

namespace zelta {

// Runs when the user asks to connect (double click, Enter, the context menu's Connect). Nothing while
// the window is busy; only "Ready..." when ItemHit is false or the selected node is no printer. On
// success PrinterObj and PrinterModelId are left for the window that opens; on every failure PrinterObj
// is empty and the printer released.
void ConnectSelectedPrinter(StartFormState& form);

// The printer's model ID: GS I 1 (device kind 1) or ESC ? 0, whose "VX-7800" answer stands for 161
// and any other for 0. The printer must be claimed. Returns the first failing result (0 on success).
int32_t IdentifyPrinter(PrinterObject& printer, uint8_t& model_id);

}  // namespace zelta
