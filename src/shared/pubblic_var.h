// The shared variables that cross windows. They live for the whole program run; tests reset them with
// ResetPubblicVar().
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shared/bitmap_array.h"
#include "shared/printer_object.h"

namespace zelta {

// The program's title: window captions and the title of plain message boxes.
inline constexpr char kProgramTitle[] = "Zelta - Logo";

// The printer object of the connected printer; empty when none.
extern std::shared_ptr<PrinterObject> PrinterObj;
// The printer's answer to GS I 1; 0 when no model was identified.
extern uint8_t PrinterModelId;
// Name of the window that status texts and the EndReq test refer to.
extern std::string CurrentFormName;
// Folder of the program, with a trailing '/'.
extern std::string AppFolder;
// True when the program works with the server of this machine only.
extern bool LocalInstallation;
// How many error-recovery requests were sent since the printer was last seen ready: 0, 1 or 2.
extern int16_t ErrorRecoveryStep;

// The logo window's bitmaps, indexed like its logo slots: the bitmap read from each new logo's file,
// and the printer-ready bitmap that the image library made of it. An empty handle means none.
extern BitmapArray LoadedBitmaps;
extern BitmapArray PreparedBitmaps;

// Puts every shared variable back to its state at program start.
void ResetPubblicVar();

}  // namespace zelta
