// Fitting a logo to the paper width: the paper widths of each printer model and the fit handler that
// turns a slot's settings into a new preparation and lays out the slot's page.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/logo_window_state.h"

namespace zelta {

// The paper widths offered for a printer model: list text and printable width in dots, default
// first. Empty for a model outside the table.
std::vector<std::pair<std::string, int32_t>> PaperWidths(uint8_t model_id);

// The colour modes offered for a printer model: list text and ColorCode, in list order. "Black & white"
// for every model, "Two colors" for 46 and "Color" for 36.
std::vector<std::pair<std::string, int32_t>> ColorModes(uint8_t model_id);

// The fit handler of slot i (the chkFit click, also run by the paper-width, colour and diffusion
// clicks): returns at once while the window is busy; otherwise prepares the logo with the slot's
// settings (width from the paper-width list, colour code from the colour list, diffusion from its
// check box; fit ticked scales to the width, else the picture keeps its size cut at the width), disables
// the thumbnail frame when the preparation failed, lays out the page's canvas and scroll bars, and
// clears the busy state. Precondition: 1 <= i <= state.slot_count().
void chkFit_Click(LogoWindowState& state, int16_t i);

// The paper-width list of slot i was clicked: the fit handler runs.
void cmbPaperWidth_Click(LogoWindowState& state, int16_t i);
// The colour list of slot i was clicked: nothing while busy; otherwise "Print logo" is offered for
// black and white and two colours only, and the fit handler prepares the logo in the new mode.
void cmbColor_Click(LogoWindowState& state, int16_t i);
// The error diffusion box of slot i was clicked: the fit handler runs.
void chkErrorDiffusion_Click(LogoWindowState& state, int16_t i);

}  // namespace zelta
