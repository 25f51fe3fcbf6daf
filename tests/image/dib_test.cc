#include "platform/dib.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/linear_light.h"

namespace zelta {
namespace {

uint32_t At24(const Dib& d, int x, int y) {
  const uint8_t* p = d.Row(y) + 3 * x;
  return (p[2] << 16) | (p[1] << 8) | p[0];
}

void Put24(Dib& d, int x, int y, uint32_t c) {
  for (int i = 0; i < 3; ++i) d.Row(y)[3 * x + i] = static_cast<uint8_t>(c >> (8 * i));
}

BitmapInfoHeader Header(int w, int h, uint16_t bits) {
  BitmapInfoHeader header;
  header.biWidth = w;
  header.biHeight = h;
  header.biBitCount = bits;
  return header;
}

TEST(CreateDIBSection, RefusesWhatCannotBeABitmap) {
  for (uint16_t bits : {0, 2, 3, 15, 64})
    EXPECT_FALSE(CreateDIBSection(Header(4, 4, bits), nullptr, 0)) << bits;
  BitmapInfoHeader h = Header(4, 4, 24);
  h.biCompression = 1;
  EXPECT_FALSE(CreateDIBSection(h, nullptr, 0));
  EXPECT_FALSE(CreateDIBSection(Header(4, -4, 24), nullptr, 0));
  EXPECT_FALSE(CreateDIBSection(Header(70000, 70000, 24), nullptr, 0)) << "more than kMaxDibBytes";
  EXPECT_EQ(DibStride(0x7FFFFFFF, 64), 0u) << "stride beyond 32 bits";
  EXPECT_EQ(DibStride(13, 1), 4u);
  EXPECT_EQ(DibStride(13, 24), 40u);
}

TEST(CreateDIBSection, KeepsTheCountsOfUsedAndImportantColoursWithinTheTable) {
  const struct {
    uint16_t bits;
    uint32_t important, kept;
  } cases[] = {{4, 3, 3}, {4, 16, 16}, {4, 17, 0}, {8, 200, 200}, {24, 5, 0}};
  for (const auto& c : cases) {
    BitmapInfoHeader h = Header(2, 2, c.bits);
    h.biClrImportant = h.biClrUsed = c.important;
    HBitmap d = CreateDIBSection(h, nullptr, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->header().biClrImportant, c.kept) << c.bits << "/" << c.important;
    EXPECT_EQ(d->header().biClrUsed, c.kept);
  }
}

TEST(StretchBltHalftone, SameSizeIsAnExactCopyAndClipsToTheDestination) {
  HBitmap src = CreateDib24(5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) Put24(*src, x, y, 0x010203u * (x + 7 * y));
  }
  HBitmap dst = CreateDib24(5, 3);
  StretchBltHalftone(*dst, 0, 0, 5, 3, *src, 0, 0, 5, 3);
  EXPECT_EQ(std::memcmp(dst->bits(), src->bits(), src->size()), 0);
  HBitmap small = CreateDib24(2, 2);
  StretchBltHalftone(*small, -3, 1, 10, 10, *src, 0, 0, 5, 3);   // mostly outside: no crash
  StretchBltHalftone(*small, 0, 0, 2, 2, *src, 4, 2, 100, 100);  // source rectangle clipped
  EXPECT_EQ(At24(*small, 0, 0), At24(*src, 4, 2));
}

TEST(StretchBltHalftone, TwoEntryTableGetsAnOrderedDitherOfTheRightShare) {
  const RgbQuad bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  HBitmap dst = CreateDIBSection(Header(64, 64, 1), bw, 2);
  HBitmap grey = CreateDib24(128, 128);
  FillDib(*grey, 188, 188, 188);  // half the light
  StretchBltHalftone(*dst, 0, 0, 64, 64, *grey, 0, 0, 128, 128);
  int white = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) white += (dst->Row(y)[x / 8] >> (7 - x % 8)) & 1;
  }
  EXPECT_NEAR(white / 4096.0, 0.5, 0.03);
}

TEST(StretchBltHalftone, EveryByteValueSurvivesAnEnlargement) {
  HBitmap src = CreateDib24(256, 1);
  for (int x = 0; x < 256; ++x) std::fill_n(src->Row(0) + 3 * x, 3, static_cast<uint8_t>(x));
  HBitmap dst = CreateDib24(512, 2);
  StretchBltHalftone(*dst, 0, 0, 512, 2, *src, 0, 0, 256, 1);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(dst->Row(1)[6 * x], x);
}

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

// Reductions of noise against the plain area average. Pictures of a million pixels or more are stretched
// in two bands at once: there the first and last rows and every row near the band boundary are checked.
TEST(StretchBltHalftone, ReductionsMatchAPlainAreaAverage) {
  const struct {
    int w, h;
    std::vector<std::pair<int, int>> sizes;
  } cases[] = {{41, 37, {{9, 8}, {20, 18}, {40, 30}, {13, 37}, {1, 1}}},
               {1100, 1000, {{97, 91}, {550, 500}, {300, 700}}}};
  for (const auto& c : cases) {
    HBitmap src = CreateDib24(c.w, c.h);
    uint32_t seed = 7;
    for (size_t i = 0; i < src->size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      src->bits()[i] = static_cast<uint8_t>(seed >> 24);
    }
    const bool banded = c.w * c.h >= 1000000;
    for (auto [dw, dh] : c.sizes) {
      HBitmap dst = CreateDib24(dw, dh);
      StretchBltHalftone(*dst, 0, 0, dw, dh, *src, 0, 0, c.w, c.h);
      for (int y = 0; y < dh; ++y) {
        if (banded && y != 0 && y != dh - 1 && std::abs(y - dh / 2) > 3) continue;
        for (int x = banded ? y % 3 : 0; x < dw; x += banded ? 3 : 1) {
          for (int ch = 0; ch < 3; ++ch) {
            const double want = LinearToSrgb(ReferenceAverage(*src, dw, dh, x, y, ch)) * 255.0;
            ASSERT_NEAR(dst->Row(y)[3 * x + ch], want, 1.0) << dw << "x" << dh << " at " << x << "," << y;
          }
        }
      }
    }
  }
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

  const RgbQuad pal[3] = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}};
  HBitmap four = CreateDIBSection(Header(4, 1, 4), pal, 3);
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
