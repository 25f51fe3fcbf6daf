#include "image/fit_handler.h"

#include <algorithm>
#include <cmath>

#include "image/img_func.h"
#include "platform/ui_hooks.h"

namespace zelta {
namespace {

// One scroll bar over a canvas extent and the window onto it.
void LayOutScrollBar(ScrollBar& bar, int canvas, int window) {
  bar.value = 0;
  const double max = std::nearbyint(static_cast<double>(canvas) - window);
  if (max < 0) {
    bar.max = 0;
    bar.visible = false;
    return;
  }
  bar.max = static_cast<int>(std::min(max, 32767.0));
  bar.visible = true;
  bar.small_change = canvas / 8;
  bar.large_change = canvas / 4;
}

}  // namespace

std::vector<std::pair<std::string, int32_t>> PaperWidths(uint8_t model_id) {
  switch (model_id) {
    case 10:
    case 161:
      return {{"76 mm", 400}};
    case 36:
      return {{"82.5 mm", 426}, {"76 mm", 400}, {"70 mm", 360}};
    case 32:
    case 46:
      return {{"80 mm", 560}, {"60 mm", 417}, {"58 mm", 390}};
    default:
      return {};
  }
}

std::vector<std::pair<std::string, int32_t>> ColorModes(uint8_t model_id) {
  std::vector<std::pair<std::string, int32_t>> modes{{"Black & white", 2}};
  if (model_id == 46) modes.emplace_back("Two colors", 1);
  if (model_id == 36) modes.emplace_back("Color", 3);
  return modes;
}

void chkFit_Click(LogoWindowState& state, int16_t i) {
  if (state.busy) return;
  SetHourglass(state, true);
  DoEvents();
  LogoSlot& slot = state.Slot(i);
  float width = static_cast<float>(slot.cmbPaperWidth.SelectedData());
  const int32_t color_code = slot.cmbColor.SelectedData();
  const int16_t diffusion = slot.chkErrorDiffusion;
  const int32_t fit_mode = slot.chkFit == 1 ? 1 : 2;
  if (!PrepareLogoImage(i, slot.picLoad, slot.picPreview, width, fit_mode, color_code, diffusion)) {
    slot.picThumbFrame.enabled = false;
  }

  // The canvas holds both panes with equal margins; it scrolls under the page.
  PictureBox& canvas = slot.picSlide;
  const PictureBox& view = slot.picView;
  const PictureBox& preview = slot.picPreview;
  canvas.inner_h = preview.top + preview.outer_h() + view.top;
  const PictureBox& wider = view.outer_w() > preview.outer_w() ? view : preview;
  canvas.inner_w = 2 * wider.left + wider.outer_w();
  canvas.left = 0;
  canvas.top = 0;
  LayOutScrollBar(slot.vsbSlide, canvas.outer_h(), slot.picFrameSlide.outer_h());
  LayOutScrollBar(slot.hsbSlide, canvas.outer_w(), slot.picFrame.outer_w());
  SetHourglass(state, false);
}

void cmbPaperWidth_Click(LogoWindowState& state, int16_t i) { chkFit_Click(state, i); }

void cmbColor_Click(LogoWindowState& state, int16_t i) {
  if (state.busy) return;
  const int32_t code = state.Slot(i).cmbColor.SelectedData();
  state.cmdPrintLogo.enabled = code == 1 || code == 2;
  chkFit_Click(state, i);
}

void chkErrorDiffusion_Click(LogoWindowState& state, int16_t i) { chkFit_Click(state, i); }

}  // namespace zelta
