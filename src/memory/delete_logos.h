// Removing logos: the selected ones (or the logo whose page is shown), and the printer's whole logo
// memory.
#pragma once

#include "image/logo_window_state.h"

namespace zelta {

// The "Delete logo" click: nothing while busy. On a new logo's page, after a Yes, that logo goes (no
// printer traffic). In the gallery, after a Yes, every selected logo goes in slot order: a new one at
// once, a stored one by GS ( L function 66 and GS I 1, its thumbnail hidden as soon as the command is
// sent, then waiting (up to 10 s on the seconds clock, then Retry or Cancel) for the model ID that says
// the printer has done it. The memory figures are read again once at the end when a stored logo went.
// A printer that fails while waiting closes the window after the message; every path releases it.
void cmdDelLogo_Click(LogoWindowState& state);

// The "Delete all logos" click: nothing while busy. After a Yes, FS q with an empty image (models 32 and
// 10) or GS ( L function 65 (others, whose stored thumbnails then go) followed by GS I 1, and a wait on
// the tick count for the model ID: the first read after 6000 ms, then every 100 ms, up to 10000 ms
// before asking Retry or Cancel.
void cmdClearMem_Click(LogoWindowState& state);

}  // namespace zelta
