// Printing the logos that the printer stores: "Print all logos" of the logo window, and the pieces of
// a print job that every print operation of the window shares.
#pragma once

#include <string>

#include "image/logo_window_state.h"
#include "shared/bytes.h"

namespace zelta {

inline constexpr char kTextPreparingPrint[] = "Preparing to print logo(s)...";

// The caption "Logo " + key + LF, then GS ( L function 69 that prints the stored logo key at scale 1.
Bytes StoredLogoPrintText(const std::string& key);

// What ends a print job on a model: nine line feeds on models 10 and 161, else GS V B 15 (feed and cut).
Bytes EndOfPrintFeed(int model_id);

// "Print all logos": every stored logo under its caption. Models 32 and 10 print NV bit images 1..255
// in one job (then the cut on model 32, nine line feeds on model 10); other models read the key-code
// list and print one job per logo, the last one followed by the cut (nine line feeds on model 161),
// stopping at the first job that does not go through. The printer is claimed at the start and released
// at the end (its release failure is shown); the hourglass shows meanwhile and clicks while it shows
// are ignored. A close request made meanwhile closes the window at the end.
void cmdPrintMemLogos_Click(LogoWindowState& state);

}  // namespace zelta
