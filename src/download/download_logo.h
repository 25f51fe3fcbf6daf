// Storing the selected new logos in the printer's NV memory.
#pragma once

#include "image/logo_window_state.h"

namespace zelta {

// The "Download logo" click: nothing while busy; on a logo's own page only the close request is
// applied. Otherwise claims the printer and stores every visible, selected new logo, in slot order:
// on models 32 and 10 all at once as NV bit images (FS q, black dots only); on the others each as NV
// graphics (GS 8 L) under its key code, after checking that the free memory shown holds it (OK skips
// the logo, Cancel ends). Rows and columns are sent one write each with a yield in between, the
// progress bar following. After each logo the memory figures are read again and the key-code list
// tells whether the printer holds it: then it loses its tab and becomes "Logo(kc)", else it stays new
// and the user is told that the printer's memory is full. Every path releases the printer; a close request is
// applied at the end of a download that ran to its end.
void cmdDwldLogo_Click(LogoWindowState& state);

}  // namespace zelta
