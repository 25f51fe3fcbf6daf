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

// A button or other plain control: what the window shows of it.
struct Control {
  bool enabled = true;
  bool visible = true;
};

// The progress bar in panel 3 of the status bar.
struct ProgressBarState {
  bool visible = false;
  int value = 0;
  int max = 10;
};

// What draws the record: told when the record changed and when the window has unloaded. The
// operations call it through Changed() and Unloaded(); a window without a screen needs none.
class LogoWindowView {
 public:
  virtual ~LogoWindowView() = default;
  virtual void StateChanged() = 0;
  virtual void WindowUnloaded() = 0;
};

// Text the memory labels show before they are filled.
inline constexpr char kMemUnknown[] = "- - - -";

struct LogoWindowState {
  std::vector<LogoSlot> slots;  // slot index i is slots[i - 1]
  std::vector<Tab> tabs;
  int selected_tab = 0;  // index into tabs; 0 = "All logos"
  int16_t LogoCount = 0;
  bool EndReq = false;
  bool busy = false;  // the hourglass
  std::string caption;

  // The gallery of the "All logos" page: the fixed visible area, the canvas moved under it and its
  // vertical scroll bar.
  PictureBox picFrameAll;
  PictureBox picSlideAll;
  ScrollBar vsbSlideAll;
  int vsbSlideAll_width = 17;
  // Height of the sample text "SAMPL" in the thumbnails' caption font (the window measures it).
  int caption_text_height = 13;

  Control cmdAddLogo, cmdDwldLogo, cmdDelLogo, cmdClearMem, cmdPrintLogo, cmdPrintMemLogos, cmdSelectAll,
      cmdSelectNone, cmdExit;
  std::string lblMemUsed = kMemUnknown;
  std::string lblMemFree = kMemUnknown;
  bool StartTimer_enabled = true;
  std::string panels[3];  // status panels 1 and 2; panel 3 holds the progress bar
  bool panel3_visible = false;
  ProgressBarState progress;
  bool unloaded = false;  // the window has gone; nothing is drawn any more

  LogoWindowView* view = nullptr;  // not owned
  void Changed() {
    if (view) view->StateChanged();
  }

  // Slot i. Precondition: 1 <= i <= slot_count().
  LogoSlot& Slot(int i) { return slots[static_cast<size_t>(i - 1)]; }
  const LogoSlot& Slot(int i) const { return slots[static_cast<size_t>(i - 1)]; }
  int slot_count() const { return static_cast<int>(slots.size()); }
};

// Sets or clears the hourglass and tells the view.
void SetHourglass(LogoWindowState& state, bool on);

// A slot's controls with their design-time properties, all hidden.
LogoSlot DesignSlot();

// The state when the window loads: one hidden design slot (index 1), the "All logos" tab, LogoCount 0,
// the buttons as designed (select, add, delete, download and print disabled until the printer has been
// read), and both shared bitmap arrays sized to bounds 1..1 with no bitmaps. The view is kept.
void InitLogoWindowState(LogoWindowState& state);

}  // namespace zelta
