// Adding new logos from BMP files to the logo window.
#pragma once

#include <cstdint>
#include <string>

#include "image/logo_window_state.h"

namespace zelta {

// Most logo slots the window holds.
constexpr int16_t kMaxLogos = 200;

// The Open dialog of the add operation.
inline constexpr char kAddLogoTitle[] = "Select one or more files";
inline constexpr char kAddLogoFilter[] = "BMP Files (*.bmp)|*.bmp";

// The "Add logo" click: nothing while busy. Asks for BMP files through the Open dialog and adds each in
// the order chosen: a name without the .bmp extension, a file that cannot be read and the files past
// 200 logos are refused with their messages while the others are still added. Each logo gets a slot,
// the next free key code, the caption "New(key)", the paper widths and colour modes of PrinterModelId,
// a thumbnail, a tab, its unconverted view and a first black and white preview at the first paper width
// (none for a model without paper widths). Yields to the event loop between the steps of each file;
// several files show their count done on the progress bar, hidden again at the end.
void cmdAddLogo_Click(LogoWindowState& state);

// Adds the logo of one file as the add operation does (no dialog, no busy test); shown_name is the name
// used in messages. False when the file was refused.
bool AddLogoFile(LogoWindowState& state, const std::string& path, const std::string& shown_name);

}  // namespace zelta
