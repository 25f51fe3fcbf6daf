// The usual set-up of a printer-link test: scripted UI with a fake clock, the logo window as the
// current form, and a scripted printer as PrinterObj. Shared variables are reset before and after.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "shared/pubblic_var.h"
#include "support/fake_form.h"
#include "support/scripted_printer.h"
#include "support/scripted_ui.h"

namespace zelta::test {

// A fresh scripted printer as PrinterObj; nothing asked or shown yet on ui, the given answers queued.
inline std::shared_ptr<ScriptedPrinter> FreshPrinter(ScriptedUi& ui,
                                                     const std::vector<MsgBoxResult>& answers = {}) {
  auto printer = std::make_shared<ScriptedPrinter>();
  PrinterObj = printer;
  ui.prompts.clear();
  ui.messages.clear();
  ui.answers.assign(answers.begin(), answers.end());
  return printer;
}

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() : printer(std::make_shared<ScriptedPrinter>()), form("LogoForm") {
    ResetPubblicVar();
    CurrentFormName = "LogoForm";
    PrinterObj = printer;
  }
  ~LinkTest() override { ResetPubblicVar(); }
  void NewPrinter(const std::vector<MsgBoxResult>& answers = {}) { printer = FreshPrinter(ui, answers); }

  ScriptedUi ui;
  std::shared_ptr<ScriptedPrinter> printer;
  FakeForm form;
};

}  // namespace zelta::test
