#include "download/raster_packets.h"

#include <gtest/gtest.h>

#include "shared/bytes.h"

namespace zelta {
namespace {

Bytes Join(const Writes& w) {
  Bytes all;
  for (const Bytes& b : w) all += b;
  return all;
}

std::vector<Bytes> Rows(int count, int width, char fill) {
  return std::vector<Bytes>(static_cast<size_t>(count), Bytes(static_cast<size_t>(BytesPerRow(width)), fill));
}

uint32_t ParamCount(const Bytes& head) {
  return At(head, 3) | (At(head, 4) << 8) | (At(head, 5) << 16) | (static_cast<uint32_t>(At(head, 6)) << 24);
}

TEST(NvRasterWrites, BlackAndWhite576x120) {
  Writes w;
  ASSERT_TRUE(NvRasterWrites("03", 2, 576, 120, {Rows(120, 576, '\x0F')}, w));
  ASSERT_EQ(w.size(), 1u + 1 + 120);
  EXPECT_EQ(w[0], B({29, 56, 76, 203, 33, 0, 0, 48, 67, 48, '0', '3', 1, 64, 2, 120, 0}));
  EXPECT_EQ(w[1], B({49}));
  EXPECT_EQ(w[2].size(), 72u);
  EXPECT_EQ(Join(w).size(), 7u + 8651);  // N counts everything after p1..p4
}

TEST(NvRasterWrites, ColourHasSixPlanesByteAndExtraZero) {
  Writes w;
  ASSERT_TRUE(NvRasterWrites("KC", 3, 10, 3, {Rows(3, 10, '3'), Rows(3, 10, '2'), Rows(3, 10, '1')}, w));
  ASSERT_EQ(w[0].size(), 18u);
  EXPECT_EQ(ParamCount(w[0]), 3u * (2 * 3 + 1) + 11);
  EXPECT_EQ(At(w[0], 8), 255);
  EXPECT_EQ(At(w[0], 12), 6);
  EXPECT_EQ(At(w[0], 17), 0);
  const Bytes all = Join(w);
  EXPECT_EQ(all.size(), 7u + ParamCount(w[0]));
  EXPECT_EQ(all.substr(18, 7), "1333333");
  EXPECT_EQ(all.substr(25, 7), "2222222");
  EXPECT_EQ(all.substr(32, 7), "3111111");
}

TEST(RasterWrites, NarrowWidthsAndBadInput) {
  Writes w;
  ASSERT_TRUE(NvRasterWrites("00", 2, 1, 2, {Rows(2, 1, '\x80')}, w));
  EXPECT_EQ(w[2].size(), 1u);
  ASSERT_TRUE(NvRasterWrites("00", 2, 9, 1, {Rows(1, 9, 0)}, w));
  EXPECT_EQ(w[2].size(), 2u);
  EXPECT_FALSE(NvRasterWrites("0", 2, 9, 1, {Rows(1, 9, 0)}, w));
  EXPECT_FALSE(NvRasterWrites("00", 2, 9, 1, {Rows(1, 17, 0)}, w)) << "rows of the wrong length";
  EXPECT_FALSE(NvRasterWrites("00", 2, 9, 2, {Rows(1, 9, 0)}, w)) << "too few rows";
  EXPECT_FALSE(NvRasterWrites("00", 1, 9, 1, {Rows(1, 9, 0)}, w)) << "two colours need two planes";
  ASSERT_TRUE(NvRasterWrites("00", 2, 65535, 1, {Rows(1, 65535, 0)}, w)) << "the widest a header holds";
  EXPECT_EQ(w[2].size(), 8192u);
  EXPECT_FALSE(NvRasterWrites("00", 2, 65536, 1, {Rows(1, 65536, 0)}, w));
  EXPECT_TRUE(w.empty());
  EXPECT_FALSE(RasterBitImageWrites(100, {}, w)) << "no rows";
  EXPECT_FALSE(PrintBufferBandWrites(576, 49, {}, w)) << "no rows";
}

TEST(NvBitImageWrites, PaddingColumnsFillTheLastByteOfWidth) {
  NvBitImage a{100, 50, std::vector<Bytes>(100, Bytes(7, '\x55'))};
  NvBitImage b{8, 8, std::vector<Bytes>(8, Bytes(1, '\x01'))};
  Writes w;
  ASSERT_TRUE(NvBitImageWrites({a, b}, w));
  EXPECT_EQ(w[0], B({28, 113, 2}));
  EXPECT_EQ(w[1], B({13, 0, 7, 0}));
  for (int c = 0; c < 104; ++c) ASSERT_EQ(w[2 + c], Bytes(7, c < 100 ? '\x55' : '\0')) << c;
  EXPECT_EQ(w[106], B({1, 0, 1, 0}));
  EXPECT_EQ(w.size(), 1u + 1 + 104 + 1 + 8);
  EXPECT_FALSE(NvBitImageWrites({}, w));
  a.columns.pop_back();
  EXPECT_FALSE(NvBitImageWrites({a}, w));
}

TEST(NvBitImageWrites, LimitsOfTheCommandAreRefusedWithTheReason) {
  auto logo = [](int w, int h) {
    return NvBitImage{w, h,
                      std::vector<Bytes>(static_cast<size_t>(w), Bytes(static_cast<size_t>((h + 7) / 8), 0))};
  };
  const struct {
    int w, h;
    const char* why;  // empty: accepted
  } cases[] = {
      {8184, 2304, ""},
      {8185, 8, "Logo 1 is 8185 dots wide; the printer takes at most 8184."},
      {8, 2305, "Logo 1 is 2305 dots tall; the printer takes at most 2304."},
      {0, 8, "Logo 1 is empty."},
  };
  for (const auto& c : cases) {
    Writes w;
    std::string why;
    const bool ok = NvBitImageWrites({logo(c.w, c.h)}, w, &why);
    EXPECT_EQ(ok, why.empty()) << c.w << "x" << c.h;
    EXPECT_EQ(why, c.why);
  }
  std::string why;
  Writes w;
  EXPECT_FALSE(NvBitImageWrites(std::vector<NvBitImage>(256, logo(8, 8)), w, &why));
  EXPECT_EQ(why, "256 logos were chosen; the printer stores at most 255.");
}

}  // namespace
}  // namespace zelta
