#include "shared/bytes.h"

#include <gtest/gtest.h>

namespace zelta {
namespace {

TEST(Bytes, BuildKeepsNulAndHighBytesAndAppendsLittleEndian) {
  Bytes b = B({29, 0, 255, 128});
  EXPECT_EQ(b, std::string("\x1d\0\xff\x80", 4));
  AppendLe16(b, 0x1234);
  AppendLe32(b, 0x89ABCDEF);
  EXPECT_EQ(b.substr(4), B({0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}));
}

TEST(Bytes, HexDumpCutsLongInputAndNumbersGetALeadingBlankUnlessNegative) {
  EXPECT_EQ(ToHex(B({0x1D, 0x28, 0x0A})), "1D 28 0A");
  EXPECT_EQ(ToHex(B({1, 2, 3}), 2), "01 02 ...");
  EXPECT_EQ(ToHex(""), "");
  for (auto [n, text] :
       {std::pair{0LL, " 0"}, {3072LL, " 3072"}, {-5LL, "-5"}, {-2147221399LL, "-2147221399"}})
    EXPECT_EQ(Str(n), text);
}

}  // namespace
}  // namespace zelta
