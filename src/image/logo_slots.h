// Logo slots: allocation and the key code of a new logo.
#pragma once

#include <cstdint>
#include <string>

#include "image/logo_window_state.h"

namespace zelta {

// The first slot whose thumbnail frame is hidden, else a new slot after the last one (the shared
// bitmap arrays grow with it, keeping their contents; the new slot's elements are visible except the
// thumbnail frame, the page, picLoad and the scroll bars). Adds 1 to LogoCount. A reused slot keeps
// its controls as they are: the caller re-initialises them.
int16_t AllocateLogoSlot(LogoWindowState& state);

// The smallest key, counting from "00" in upper-case hexadecimal, that no visible slot's picThumb Tag
// holds (exact, case-sensitive comparison).
std::string ChooseNewKeyCode(const LogoWindowState& state);

}  // namespace zelta
