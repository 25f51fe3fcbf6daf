#include "platform/dib.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/linear_light.h"

namespace zelta {
namespace {

uint32_t At24(const Dib& d, int x, int y) {
  const uint8_t* p = d.Row(y) + 3 * x;
  return (p[2] << 16) | (p[1] << 8) | p[0];
}

void Put24(Dib& d, int x, int y, uint32_t c) {
  uint8_t* p = d.Row(y) + 3 * x;
  p[0] = c & 0xFF;
  p[1] = (c >> 8) & 0xFF;
  p[2] = c >> 16;
}

TEST(CreateDIBSection, RefusesWhatCannotBeABitmap) {
  BitmapInfoHeader h;
  h.biWidth = 4;
  h.biHeight = 4;
  for (uint16_t bits : {0, 2, 3, 15, 64}) {
    h.biBitCount = bits;
    EXPECT_FALSE(CreateDIBSection(h, nullptr, 0)) << bits;
  }
  h.biBitCount = 24;
  h.biCompression = 1;
  EXPECT_FALSE(CreateDIBSection(h, nullptr, 0));
  h.biCompression = 0;
  h.biHeight = -4;
  EXPECT_FALSE(CreateDIBSection(h, nullptr, 0));
  h.biHeight = 70000;
  h.biWidth = 70000;
  EXPECT_FALSE(CreateDIBSection(h, nullptr, 0)) << "more than kMaxDibBytes";
  EXPECT_EQ(DibStride(0x7FFFFFFF, 64), 0u) << "stride beyond 32 bits";
  EXPECT_EQ(DibStride(13, 1), 4u);
  EXPECT_EQ(DibStride(13, 24), 40u);
}

TEST(CreateDIBSection, KeepsTheCountsOfUsedAndImportantColoursWithinTheTable) {
  BitmapInfoHeader h;
  h.biWidth = h.biHeight = 2;
  const struct {
    uint16_t bits;
    uint32_t important, kept;
  } cases[] = {{4, 3, 3}, {4, 16, 16}, {4, 17, 0}, {8, 200, 200}, {24, 5, 0}};
  for (const auto& c : cases) {
    h.biBitCount = c.bits;
    h.biClrImportant = h.biClrUsed = c.important;
    HBitmap d = CreateDIBSection(h, nullptr, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->header().biClrImportant, c.kept) << c.bits << "/" << c.important;
    EXPECT_EQ(d->header().biClrUsed, c.kept);
  }
}

TEST(StretchBltHalftone, AveragesInLinearLight) {
  // A 2 × 2 checker of black and white becomes one pixel of half the light: sRGB 188, not 128.
  HBitmap src = CreateDib24(2, 2);
  Put24(*src, 0, 0, 0xFFFFFF);
  Put24(*src, 1, 1, 0xFFFFFF);
  HBitmap dst = CreateDib24(1, 1);
  StretchBltHalftone(*dst, 0, 0, 1, 1, *src, 0, 0, 2, 2);
  const int v = static_cast<int>(At24(*dst, 0, 0) & 0xFF);
  EXPECT_NEAR(v, 188, 1);
}

TEST(StretchBltHalftone, ThirdsWeighPartialPixels) {
  // 3 columns to 2: each destination pixel takes one whole and half of the middle column.
  HBitmap src = CreateDib24(3, 1);
  Put24(*src, 0, 0, 0xFFFFFF);
  HBitmap dst = CreateDib24(2, 1);
  StretchBltHalftone(*dst, 0, 0, 2, 1, *src, 0, 0, 3, 1);
  const double left = SrgbToLinear((At24(*dst, 0, 0) & 0xFF) / 255.0);
  EXPECT_NEAR(left, 2.0 / 3.0, 0.01);
  EXPECT_EQ(At24(*dst, 1, 0), 0u);
}

TEST(StretchBltHalftone, SameSizeIsAnExactCopyAndClipsToTheDestination) {
  HBitmap src = CreateDib24(5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) Put24(*src, x, y, 0x010203u * (x + 7 * y));
  }
  HBitmap dst = CreateDib24(5, 3);
  StretchBltHalftone(*dst, 0, 0, 5, 3, *src, 0, 0, 5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(At24(*dst, x, y), At24(*src, x, y));
  }
  HBitmap small = CreateDib24(2, 2);
  StretchBltHalftone(*small, -3, 1, 10, 10, *src, 0, 0, 5, 3);   // mostly outside: no crash
  StretchBltHalftone(*small, 0, 0, 2, 2, *src, 4, 2, 100, 100);  // source rectangle clipped
  EXPECT_EQ(At24(*small, 0, 0), At24(*src, 4, 2));
}

TEST(StretchBltHalftone, TwoEntryTableGetsAnOrderedDitherOfTheRightShare) {
  BitmapInfoHeader h;
  h.biWidth = 64;
  h.biHeight = 64;
  h.biBitCount = 1;
  const RgbQuad bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  HBitmap dst = CreateDIBSection(h, bw, 2);
  HBitmap grey = CreateDib24(128, 128);
  FillDib(*grey, 188, 188, 188);  // half the light
  StretchBltHalftone(*dst, 0, 0, 64, 64, *grey, 0, 0, 128, 128);
  int white = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) white += (dst->Row(y)[x / 8] >> (7 - x % 8)) & 1;
  }
  EXPECT_NEAR(white / 4096.0, 0.5, 0.03);
}

TEST(BitBlt, ClipsAndConvertsDepths) {
  HBitmap src = CreateDib24(4, 4);
  FillDib(*src, 255, 0, 0);
  Put24(*src, 0, 0, 0x00FF00);
  HBitmap dst = CreateDib24(3, 3);
  BitBlt(*dst, 1, 1, 10, 10, *src, 0, 0);
  EXPECT_EQ(At24(*dst, 0, 0), 0u);
  EXPECT_EQ(At24(*dst, 1, 1), 0x00FF00u);
  EXPECT_EQ(At24(*dst, 2, 2), 0xFF0000u);
  BitBlt(*dst, -1, -1, 2, 2, *src, 0, 0);  // negative destination: the source moves with it
  EXPECT_EQ(At24(*dst, 0, 0), 0xFF0000u);

  BitmapInfoHeader h;
  h.biWidth = 4;
  h.biHeight = 1;
  h.biBitCount = 4;
  const RgbQuad pal[3] = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}};
  HBitmap four = CreateDIBSection(h, pal, 3);
  BitBlt(*four, 0, 0, 4, 1, *src, 0, 1);
  std::vector<uint8_t> row(12);
  ScanLineTo24(*four, 0, row.data());
  EXPECT_EQ(row[2], 255) << "red maps to the red entry";
}

TEST(GetNearestPaletteIndex, ExactFirstThenClosest) {
  const std::vector<RgbQuad> pal = {{0, 0, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}, {0, 0, 255, 0}};
  EXPECT_EQ(GetNearestPaletteIndex(pal, 255, 0, 0), 1) << "the lowest of two equal entries";
  EXPECT_EQ(GetNearestPaletteIndex(pal, 200, 20, 20), 1);
  EXPECT_EQ(GetNearestPaletteIndex(pal, 220, 220, 220), 2);
  EXPECT_EQ(GetNearestPaletteIndex(pal, 60, 60, 60), 0);
  EXPECT_EQ(GetNearestPaletteIndex({}, 1, 2, 3), -1);
}

TEST(LinearLight, TablesRoundTrip) {
  const LinearLight& ll = Linear();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(ll.ToSrgb(ll.to_linear[i]), i);
  EXPECT_EQ(ll.ToSrgb(-1.0f), 0);
  EXPECT_EQ(ll.ToSrgb(2.0f), 255);
}

}  // namespace
}  // namespace zelta

namespace zelta {
namespace {

TEST(StretchBltHalftone, EveryByteValueSurvivesAnEnlargement) {
  HBitmap src = CreateDib24(256, 1);
  for (int x = 0; x < 256; ++x) std::fill_n(src->Row(0) + 3 * x, 3, static_cast<uint8_t>(x));
  HBitmap dst = CreateDib24(512, 2);
  StretchBltHalftone(*dst, 0, 0, 512, 2, *src, 0, 0, 256, 1);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(dst->Row(1)[6 * x], x);
}

}  // namespace
}  // namespace zelta

namespace zelta {
namespace {

// Area average in linear light, computed plainly in double precision.
double ReferenceAverage(const Dib& src, int dw, int dh, int x, int y, int channel) {
  const double sx = static_cast<double>(src.width()) / dw, sy = static_cast<double>(src.height()) / dh;
  double sum = 0;
  for (int j = 0; j < src.height(); ++j) {
    const double cy = std::max(0.0, std::min<double>(j + 1, (y + 1) * sy) - std::max<double>(j, y * sy));
    for (int i = 0; i < src.width() && cy > 0; ++i) {
      const double cx = std::max(0.0, std::min<double>(i + 1, (x + 1) * sx) - std::max<double>(i, x * sx));
      sum += cx * cy * SrgbToLinear(src.Row(j)[3 * i + channel] / 255.0);
    }
  }
  return sum / (sx * sy);
}

TEST(StretchBltHalftone, ReductionsMatchAPlainAreaAverage) {
  HBitmap src = CreateDib24(41, 37);
  uint32_t seed = 7;
  for (int y = 0; y < 37; ++y) {
    for (int x = 0; x < 3 * 41; ++x) {
      seed = seed * 1103515245u + 12345u;
      src->Row(y)[x] = static_cast<uint8_t>(seed >> 24);
    }
  }
  for (auto [dw, dh] : {std::pair{9, 8}, std::pair{20, 18}, std::pair{40, 30}, std::pair{13, 37}}) {
    HBitmap dst = CreateDib24(dw, dh);
    StretchBltHalftone(*dst, 0, 0, dw, dh, *src, 0, 0, 41, 37);
    for (int y = 0; y < dh; ++y) {
      for (int x = 0; x < dw; ++x) {
        for (int c = 0; c < 3; ++c) {
          const double want = LinearToSrgb(ReferenceAverage(*src, dw, dh, x, y, c)) * 255.0;
          ASSERT_NEAR(dst->Row(y)[3 * x + c], want, 1.0) << dw << "x" << dh << " at " << x << "," << y;
        }
      }
    }
  }
}

// Pictures of a million pixels or more are stretched in two bands at once; the rows on both sides of
// the band boundary must come out as a plain area average too.
TEST(StretchBltHalftone, LargePicturesInTwoBandsMatchAPlainAreaAverage) {
  constexpr int kW = 1100, kH = 1000;
  HBitmap src = CreateDib24(kW, kH);
  uint32_t seed = 11;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < 3 * kW; ++x) {
      seed = seed * 1103515245u + 12345u;
      src->Row(y)[x] = static_cast<uint8_t>(seed >> 24);
    }
  }
  for (auto [dw, dh] : {std::pair{97, 91}, std::pair{550, 500}, std::pair{300, 700}}) {
    HBitmap dst = CreateDib24(dw, dh);
    StretchBltHalftone(*dst, 0, 0, dw, dh, *src, 0, 0, kW, kH);
    // The first and last rows, and every row near the middle where the bands meet.
    for (int y : {0, dh / 2 - 3, dh / 2 - 2, dh / 2 - 1, dh / 2, dh / 2 + 1, dh / 2 + 2, dh - 1}) {
      for (int x = y % 3; x < dw; x += 3) {
        for (int c = 0; c < 3; ++c) {
          const double want = LinearToSrgb(ReferenceAverage(*src, dw, dh, x, y, c)) * 255.0;
          ASSERT_NEAR(dst->Row(y)[3 * x + c], want, 1.0) << dw << "x" << dh << " at " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace zelta
