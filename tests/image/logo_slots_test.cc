#include "image/logo_slots.h"

#include <gtest/gtest.h>

#include "shared/pubblic_var.h"

namespace zelta {
namespace {

class LogoSlotsTest : public ::testing::Test {
 protected:
  LogoSlotsTest() { InitLogoWindowState(state); }
  ~LogoSlotsTest() override { ResetPubblicVar(); }

  // Takes a slot and shows it with the given key, as the add operation does.
  int16_t Add(const std::string& key, const std::string& prefix = "New(") {
    const int16_t i = AllocateLogoSlot(state);
    state.Slot(i).picThumb.tag = key;
    state.Slot(i).picThumbFrame.tag = prefix + key + ")";
    state.Slot(i).picThumbFrame.visible = true;
    return i;
  }
  LogoWindowState state;
};

TEST_F(LogoSlotsTest, AllocationReusesHiddenSlotsAndGrowsTheArrays) {
  EXPECT_EQ(Add("00"), 1);  // the design slot
  EXPECT_EQ(Add("01"), 2);
  EXPECT_EQ(LoadedBitmaps.UBound(), 2);
  LoadedBitmaps(1) = CreateDib24(2, 2);
  EXPECT_EQ(Add("02"), 3);
  EXPECT_TRUE(LoadedBitmaps(1)) << "growing keeps the bitmaps";
  EXPECT_EQ(PreparedBitmaps.UBound(), 3);
  EXPECT_EQ(state.LogoCount, 3);

  // New elements: thumbnail, panes shown; frame, page, source and scroll bars hidden.
  const LogoSlot& s = state.Slot(3);
  EXPECT_TRUE(s.picThumb.visible);
  EXPECT_TRUE(s.picView.visible);
  EXPECT_TRUE(s.picPreview.visible);
  EXPECT_FALSE(s.picFrame.visible);
  EXPECT_FALSE(s.picLoad.visible);
  EXPECT_FALSE(s.vsbSlide.visible);

  state.Slot(2).picThumbFrame.visible = false;  // deleted
  --state.LogoCount;
  EXPECT_EQ(AllocateLogoSlot(state), 2);
  EXPECT_EQ(state.slot_count(), 3);
  EXPECT_EQ(state.LogoCount, 3);
}

TEST_F(LogoSlotsTest, KeyCodesFillGapsFromZero) {
  Add("00", "Logo(");
  Add("01", "Logo(");
  const int16_t k02 = Add(ChooseNewKeyCode(state));
  EXPECT_EQ(state.Slot(k02).picThumb.tag, "02");
  EXPECT_EQ(ChooseNewKeyCode(state), "03");
  state.Slot(k02).picThumbFrame.visible = false;
  EXPECT_EQ(ChooseNewKeyCode(state), "02");
}

TEST_F(LogoSlotsTest, KeyCodesAreUpperCaseHexAndCaseSensitive) {
  for (int k = 0; k < 10; ++k) Add(ChooseNewKeyCode(state));
  EXPECT_EQ(state.Slot(10).picThumb.tag, "09");
  EXPECT_EQ(ChooseNewKeyCode(state), "0A");
  // Keys found out of order still count; a lower-case stored key does not block "0A".
  Add("0b", "Logo(");
  Add("0C", "Logo(");
  EXPECT_EQ(ChooseNewKeyCode(state), "0A");
  Add("0A");
  EXPECT_EQ(ChooseNewKeyCode(state), "0B");
}

TEST_F(LogoSlotsTest, SelectionIsTheHighlightColours) {
  LogoSlot& s = state.Slot(1);
  EXPECT_FALSE(IsSelected(s));
  SetSelected(s, true);
  EXPECT_TRUE(IsSelected(s));
  EXPECT_EQ(s.picThumbFrame.back_color, kColorHighlight);
  SetSelected(s, false);
  EXPECT_EQ(s.picThumbFrame.back_color, kColorButtonFace);
  EXPECT_EQ(s.picThumbFrame.fore_color, kColorButtonText);
}

}  // namespace
}  // namespace zelta
