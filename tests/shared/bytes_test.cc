#include "shared/bytes.h"

#include <gtest/gtest.h>

namespace zelta {
namespace {

TEST(Bytes, BuildKeepsNulAndHighBytes) {
  Bytes b = B({29, 0, 255, 128});
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(At(b, 1), 0);
  EXPECT_EQ(At(b, 2), 255);
  EXPECT_EQ(At(b, 3), 128);
}

TEST(Bytes, LittleEndianNumbers) {
  Bytes b;
  AppendLe16(b, 0x1234);
  AppendLe32(b, 0x89ABCDEF);
  EXPECT_EQ(b, B({0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}));
}

TEST(Bytes, HexDumpCutsLongInput) {
  EXPECT_EQ(ToHex(B({0x1D, 0x28, 0x0A})), "1D 28 0A");
  EXPECT_EQ(ToHex(B({1, 2, 3}), 2), "01 02 ...");
  EXPECT_EQ(ToHex(""), "");
}

TEST(Str, LeadingBlankUnlessNegative) {
  EXPECT_EQ(Str(0), " 0");
  EXPECT_EQ(Str(3072), " 3072");
  EXPECT_EQ(Str(-5), "-5");
  EXPECT_EQ(Str(-2147221399), "-2147221399");
}

}  // namespace
}  // namespace zelta
