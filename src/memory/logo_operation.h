// What every printer operation of the logo window shares: claiming the printer with the failure path,
// the progress bar in panel 3, the selected logos and the removal of a new logo's tab.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/logo_window_state.h"
#include "shared/bytes.h"

namespace zelta {

// Claims PrinterObj. On failure "Printer error..." on panel 1 and the message "Raised error ..." are
// shown and false is returned; nothing is then to be released.
bool ClaimPrinterOrTell();

// Claims PrinterObj as ClaimPrinterOrTell; on failure also "Ready..." on panel 2 and the normal
// pointer. On success "Printer ready..." is on panel 1.
bool ClaimForOperation(LogoWindowState& state);

// SendGraphicsData of data; true when it was sent.
bool SendLogoData(const Bytes& data, bool wait_on_timeout);

// The progress bar: shown in panel 3 with value 0 and max; set; hidden with panel 3.
void ShowProgress(LogoWindowState& state, int max);
void SetProgress(LogoWindowState& state, int value);
void HideProgress(LogoWindowState& state);

// Visible, selected slots in index order: the new logos ("New(") or the stored ones.
std::vector<int16_t> SelectedSlots(const LogoWindowState& state, bool new_logos);

// Removes the tab whose key is key, if any. The selected tab stays, or the gallery when it was that one.
void RemoveTab(LogoWindowState& state, const std::string& key);

// Deletes slot i's two bitmaps and hides its frame.
void ClearSlot(LogoWindowState& state, int16_t i);

}  // namespace zelta
