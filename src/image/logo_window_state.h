// The logo window as a plain record: its logo slots (one element of each per-logo control array),
// tabs, LogoCount and busy state. The bitmaps of the slots are in the shared arrays LoadedBitmaps and
// PreparedBitmaps, indexed like the slots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/picture_box.h"

namespace zelta {

// One element of each per-logo control array.
struct LogoSlot {
  PictureBox picThumbFrame;  // Visible = slot in use; Tag = caption "New(kc)" or "Logo(kc)"
  PictureBox picThumb;       // Tag = KeyCode, two characters
  PictureBox picFrame;       // the logo's page
  PictureBox picLoad;        // the file's picture at its own size (inner size = source size)
  PictureBox picFrameSlide;  // window onto the canvas
  PictureBox picSlide;       // the canvas
  PictureBox picView;        // "Original image"
  PictureBox picPreview;     // "Preview"; Tag = colour table file of the last preparation
  ScrollBar hsbSlide, vsbSlide;
  ListBox cmbPaperWidth;  // ItemData = printable width in dots
  ListBox cmbColor;       // ItemData = ColorCode
  int16_t chkFit = 0;     // check box values, 0 or 1
  int16_t chkErrorDiffusion = 0;
};

// A slot is selected when its thumbnail frame has the highlight colours.
bool IsSelected(const LogoSlot& slot);
void SetSelected(LogoSlot& slot, bool selected);

struct Tab {
  std::string key;
  std::string caption;
  int16_t tag = 0;  // slot index; 0 for "All logos"
};

struct LogoWindowState {
  std::vector<LogoSlot> slots;  // slot index i is slots[i - 1]
  std::vector<Tab> tabs;
  int selected_tab = 0;
  int16_t LogoCount = 0;
  bool EndReq = false;
  bool busy = false;  // the hourglass
  bool cmdPrintLogo_enabled = true;

  // Slot i. Precondition: 1 <= i <= slot_count().
  LogoSlot& Slot(int i) { return slots[static_cast<size_t>(i - 1)]; }
  const LogoSlot& Slot(int i) const { return slots[static_cast<size_t>(i - 1)]; }
  int slot_count() const { return static_cast<int>(slots.size()); }
};

// A slot's controls with their design-time properties, all hidden.
LogoSlot DesignSlot();

// The state when the window loads: one hidden design slot (index 1), the "All logos" tab, LogoCount 0,
// and both shared bitmap arrays sized to bounds 1..1 with no bitmaps.
void InitLogoWindowState(LogoWindowState& state);

}  // namespace zelta
