#include <gtest/gtest.h>

#include "link/forms.h"
#include "link/status_texts.h"
#include "shared/pubblic_var.h"
#include "support/fake_form.h"

namespace zelta::test {
namespace {

TEST(Forms, FirstOpenWindowWithTheNameWinsAndClosedOnesAreGone) {
  auto first = std::make_unique<FakeForm>("LogoForm");
  FakeForm second("LogoForm");
  CurrentFormName = "LogoForm";
  EXPECT_EQ(FindCurrentForm(), first.get());
  first.reset();
  EXPECT_EQ(FindCurrentForm(), &second);
  CurrentFormName = "NoSuchForm";
  EXPECT_EQ(FindCurrentForm(), nullptr);
  SetStatusText(1, "nobody sees this");  // no window: nothing happens
  EXPECT_FALSE(CurrentEndReq());
  ResetPubblicVar();
}

TEST(StatusTexts, EveryPrinterState) {
  EXPECT_EQ(PrinterStateText(0), "Printer ready...");
  EXPECT_EQ(PrinterStateText(1), "Cover open. Waiting...");
  EXPECT_EQ(PrinterStateText(2), "Paper is being fed...");
  EXPECT_EQ(PrinterStateText(3), "Printing is being stopped due to paper end. Waiting...");
  EXPECT_EQ(PrinterStateText(4), "Error occurred. Waiting...");
  EXPECT_EQ(PrinterStateText(5), "Unrecoverable printer error. Please check printer...");
  EXPECT_EQ(PrinterStateText(7), "Paper is near end. Waiting...");
  EXPECT_EQ(PrinterStateText(8), "Paper out. Waiting...");
  EXPECT_EQ(PrinterStateText(9), "Unknown answer. Waiting...");
  for (int s : {6, -1, 10, 255}) EXPECT_EQ(PrinterStateText(s), "Unknown offline status. Waiting...") << s;
}

}  // namespace
}  // namespace zelta::test
