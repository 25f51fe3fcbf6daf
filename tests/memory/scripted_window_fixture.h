// The logo window's tests against the scripted printer: shared variables reset before and after, the
// program's folder and the data folder set, the printer as PrinterObj.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/configuration.h"
#include "image/bmp_test_files.h"
#include "image/logo_slots.h"
#include "imglib/zelta_img.h"
#include "link/forms.h"
#include "memory/logo_window.h"
#include "shared/pubblic_var.h"
#include "support/link_fixture.h"
#include "support/scripted_printer.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {

using Pixel = std::function<uint32_t(int, int)>;
// A w × h BMP in dir: by default a black frame around a red square on white.
inline std::string Picture(const TempDir& dir, const std::string& file, int w, int h, Pixel pixel = nullptr) {
  BmpSpec spec;
  spec.width = w;
  spec.height = h;
  spec.pixel = pixel ? pixel : [w, h](int x, int y) {
    if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) return 0u;
    return (x > w / 3 && x < 2 * w / 3) ? 0xFF0000u : 0xFFFFFFu;
  };
  return dir.Write(file, MakeBmp(spec));
}

// A decimal reply block (memory figures) and a key-code list block.
inline Bytes Block(const std::string& digits) { return B({0x37, 0x30}) + digits + B({0}); }
inline Bytes KeyBlock(uint8_t status, const std::string& keys) {
  return B({0x37, 0x72, status}) + keys + B({0});
}

// Shared variables reset; the program's folder and the current folder are the test data folder.
inline void UseTestDataFolder() {
  ResetPubblicVar();
  InitProgramPaths("/nonexistent/zelta/Logo");
  AppFolder = ZELTA_TEST_DATA;
  SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(AppFolder.size()));
}

class ScriptedWindowTest : public ::testing::Test {
 protected:
  ScriptedWindowTest() {
    UseTestDataFolder();
    SetStartFormShower(nullptr);
    NewPrinter();
  }
  ~ScriptedWindowTest() override {
    window.reset();
    ResetPubblicVar();
  }
  void NewPrinter(const std::vector<MsgBoxResult>& answers = {}) { printer = FreshPrinter(ui, answers); }
  // Replies to the memory figures and the key-code list.
  void ScriptMemory(const std::string& capacity, const std::string& free, const std::string& keys) {
    printer->replies.push_back({kResultOk, Block(capacity)});
    printer->replies.push_back({kResultOk, Block(free)});
    printer->replies.push_back({kResultOk, KeyBlock(0x40, keys)});
  }
  // A logo of the gallery read from the printer (or a new one), visible unless told.
  int16_t Stored(const std::string& key, bool selected = true, bool is_new = false, bool visible = true) {
    LogoWindowState& s = window->state;
    const int16_t i = AllocateLogoSlot(s);
    s.Slot(i).picThumb.tag = key;
    s.Slot(i).picThumbFrame.tag = (is_new ? "New(" : "Logo(") + key + ")";
    s.Slot(i).picThumbFrame.visible = visible;
    SetSelected(s.Slot(i), selected);
    return i;
  }
  // The window in one line: the visible thumbnails' captions, the tabs, the logo count, used/free memory,
  // the printer's claims/releases, a busy pointer or a progress bar left showing, the messages shown.
  std::string Shown() const {
    const LogoWindowState& s = window->state;
    std::string out;
    for (const LogoSlot& slot : s.slots)
      if (slot.picThumbFrame.visible) out += slot.picThumbFrame.tag + " ";
    out += "tabs " + std::to_string(s.tabs.size()) + ", count " + std::to_string(s.LogoCount) + ", " +
           s.lblMemUsed + "/" + s.lblMemFree + ", claims " + std::to_string(printer->claims) + "/" +
           std::to_string(printer->releases);
    if (s.busy) out += ", busy";
    if (s.progress.visible || s.panel3_visible) out += ", progress";
    for (const std::string& m : ui.messages) out += " | " + m;
    return out;
  }

  ScriptedUi ui;
  TempDir dir;
  std::shared_ptr<ScriptedPrinter> printer;
  std::unique_ptr<LogoWindow> window;
};

}  // namespace zelta::test
