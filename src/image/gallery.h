// Paging through the logo window and selecting logos: the tabs, the thumbnail selection, the select
// buttons, the action buttons that follow the selection, and the scrolling of a logo's page.
#pragma once

#include <cstdint>

#include "image/logo_window_state.h"

namespace zelta {

// True when a frame's caption marks a logo added from a file (not stored in the printer).
bool IsNewLogoCaption(const std::string& caption);

// Enables "Delete logo" when a visible thumbnail is selected, "Download logo" when a selected one is a
// new logo and "Print logo" when a selected one is stored; disables each otherwise.
void UpdateActionButtons(LogoWindowState& state);

// A click on slot i's thumbnail (frame or picture): scrolls the gallery just enough to show the frame,
// toggles its selection and updates the buttons. Works while busy; nothing for a hidden frame.
void picThumbFrame_Click(LogoWindowState& state, int16_t i);

// Select all / select none: every visible frame; nothing while busy.
void cmdSelectAll_Click(LogoWindowState& state);
void cmdSelectNone_Click(LogoWindowState& state);

// True when a tab change must be refused (the window is busy).
bool TabStrip_BeforeClick(const LogoWindowState& state);
// The selected tab (state.selected_tab) changed: a logo's tab shows its page and offers delete (and
// print for a black and white or two-colour logo); "All logos" shows the gallery and the buttons follow
// the selection. Nothing while busy.
void TabStrip_Click(LogoWindowState& state);
// Selects tab index (0 = "All logos") as a click does: refused while busy; true when it changed.
bool SelectTab(LogoWindowState& state, int index);

// The page's scroll bars of slot i moved: the canvas follows.
void hsbSlide_Change(LogoWindowState& state, int16_t i, int value);
void vsbSlide_Change(LogoWindowState& state, int16_t i, int value);

}  // namespace zelta
