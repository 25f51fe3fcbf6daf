// "Print logo" of the logo window: prints logos without storing them.
#pragma once

#include "image/logo_window_state.h"

namespace zelta {

// Rows of a new logo that go into the print buffer at a time.
constexpr int kBandRows = 470;

// On the "All logos" page: the selected stored logos, each under its caption, one job each. On a new
// logo's page: the dots of its preview picture, in bands of at most kBandRows rows through the print
// buffer (GS 8 L function 112 per colour, the completion wait, GS ( L function 50), or as one GS v 0
// image on models 32, 10 and 161, with the progress bar in panel 3. Then the end of the paper (the cut,
// or nine line feeds on models 10 and 161).
//
// Clicks while the hourglass shows are ignored. The printer is claimed at the start and released on
// every path (by the completion wait itself when that fails). A close request made meanwhile closes the
// window once the print has finished or a job was stopped; after a failed send or wait the window stays
// open. A page whose preview is empty (or larger than 65535 dots either way) has nothing to send but
// the end of the paper.
void cmdPrintLogo_Click(LogoWindowState& state);

}  // namespace zelta
