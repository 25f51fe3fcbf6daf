#include <gtest/gtest.h>

#include "link/forms.h"
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

}  // namespace
}  // namespace zelta::test
