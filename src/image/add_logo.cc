#include "image/add_logo.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "image/fit_handler.h"
#include "image/img_func.h"
#include "image/logo_slots.h"
#include "image/read_bmp_file.h"
#include "image/thumbnails.h"
#include "link/forms.h"
#include "platform/ui_hooks.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

constexpr char kCrLf[] = "\r\n";

bool HasBmpExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".bmp";
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Fill(ListBox& list, std::vector<std::pair<std::string, int32_t>> items) {
  list.items = std::move(items);
  list.selected = -1;
}

}  // namespace

bool AddLogoFile(LogoWindowState& state, const std::string& path, const std::string& shown_name) {
  if (!HasBmpExtension(shown_name)) {
    ShowMessage("The selected file " + shown_name + " is not valid." + kCrLf +
                "Please select a valid BMP file.");
    return false;
  }
  HBitmap picture = ReadBmpFile(path);
  if (!picture) {
    ShowMessage(std::string("Raise error on load the current picture.") + kCrLf + "The new logo <" +
                shown_name + "> is not loaded.");
    return false;
  }
  const int16_t i = AllocateLogoSlot(state);
  {
    LogoSlot& slot = state.Slot(i);
    SetSelected(slot, false);
    slot.chkFit = 0;
    slot.chkErrorDiffusion = 0;
    Fill(slot.cmbPaperWidth, PaperWidths(PrinterModelId));
    Fill(slot.cmbColor, ColorModes(PrinterModelId));
  }
  DoEvents();
  {
    // The source picture keeps the file's size; its pixels stay in LoadedBitmaps.
    PictureBox& load = state.Slot(i).picLoad;
    load.picture.reset();
    load.inner_w = picture->width();
    load.inner_h = picture->height();
    LoadedBitmaps(i) = std::move(picture);
  }
  DoEvents();
  const std::string key = ChooseNewKeyCode(state);
  state.Slot(i).picThumb.tag = key;
  state.Slot(i).picThumbFrame.tag = "New(" + key + ")";
  DrawThumbnail(state, i);
  DoEvents();
  {
    LogoSlot& slot = state.Slot(i);
    float width = static_cast<float>(slot.picView.inner_w);
    if (!PrepareLogoImage(i, slot.picLoad, slot.picView, width, 0, 0, 0)) slot.picThumbFrame.enabled = false;
  }
  const std::string caption = state.Slot(i).picThumbFrame.tag;
  state.tabs.push_back(Tab{caption, caption, i});
  state.Slot(i).picThumbFrame.visible = true;
  ArrangeThumbnails(state, 0);

  // The first colour entry is chosen while busy, so its click does nothing; the first paper width then
  // builds the first preview through its click.
  state.Slot(i).cmbColor.selected = state.Slot(i).cmbColor.items.empty() ? -1 : 0;
  SetHourglass(state, false);
  if (!state.Slot(i).cmbPaperWidth.items.empty()) {
    state.Slot(i).cmbPaperWidth.selected = 0;
    cmbPaperWidth_Click(state, i);
  }
  SetHourglass(state, true);
  return true;
}

void cmdAddLogo_Click(LogoWindowState& state) {
  if (state.busy) return;
  SetHourglass(state, true);
  std::vector<std::string> files;
  if (!Ui().OpenFiles(kAddLogoTitle, kAddLogoFilter, files) || files.empty()) {
    SetHourglass(state, false);
    return;
  }
  // One file is named by its full path, several by their names in the chosen folder.
  const bool several = files.size() > 1;
  // Several files show their progress in panel 3.
  state.panel3_visible = state.progress.visible = several;
  state.progress.max = static_cast<int>(files.size());
  state.progress.value = 0;
  for (const std::string& path : files) {
    DoEvents();
    const std::string name = several ? BaseName(path) : path;
    if (HasBmpExtension(name) && state.LogoCount >= kMaxLogos) {
      ArrangeThumbnails(state, 0);
      ShowMessage("Too many logos.");
      break;
    }
    AddLogoFile(state, path, name);
    ++state.progress.value;
    state.Changed();
  }
  state.panel3_visible = state.progress.visible = false;
  ArrangeThumbnails(state, 0);
  SetHourglass(state, false);
}

}  // namespace zelta
