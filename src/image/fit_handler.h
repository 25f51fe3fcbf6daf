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

// The fit handler of slot i (the chkFit click, also run by the paper-width, colour and diffusion
// clicks): returns at once while the window is busy; otherwise prepares the logo with the slot's
// settings (width from the paper-width list, colour code from the colour list, diffusion from its
// check box; fit ticked scales to the width, else the picture keeps its size cut at the width), disables
// the thumbnail frame when the preparation failed, lays out the page's canvas and scroll bars, and
// clears the busy state. Precondition: 1 <= i <= state.slot_count().
void chkFit_Click(LogoWindowState& state, int16_t i);

}  // namespace zelta
