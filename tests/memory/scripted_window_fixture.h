// The logo window's tests against the scripted printer: shared variables reset before and after, the
// program's folder and the data folder set, the printer as PrinterObj.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "browser/configuration.h"
#include "imglib/zelta_img.h"
#include "link/forms.h"
#include "memory/logo_window.h"
#include "shared/pubblic_var.h"
#include "support/scripted_printer.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {

// A decimal reply block (memory figures) and a key-code list block.
inline Bytes Block(const std::string& digits) { return B({0x37, 0x30}) + digits + B({0}); }
inline Bytes KeyBlock(uint8_t status, const std::string& keys) {
  return B({0x37, 0x72, status}) + keys + B({0});
}

class ScriptedWindowTest : public ::testing::Test {
 protected:
  ScriptedWindowTest() : printer(std::make_shared<ScriptedPrinter>()) {
    ResetPubblicVar();
    InitProgramPaths("/nonexistent/zelta/Logo");
    AppFolder = ZELTA_TEST_DATA;
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(AppFolder.size()));
    SetStartFormShower(nullptr);
    PrinterObj = printer;
  }
  ~ScriptedWindowTest() override { ResetPubblicVar(); }

  ScriptedUi ui;
  TempDir dir;
  std::shared_ptr<ScriptedPrinter> printer;
};

}  // namespace zelta::test
