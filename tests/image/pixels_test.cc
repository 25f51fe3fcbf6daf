// Pixels: bitmaps read from files, their copies and stretches, and the conversion to the printer's inks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "image/bmp_test_files.h"
#include "image/read_bmp_file.h"
#include "imglib/color_table.h"
#include "imglib/dither.h"
#include "imglib/zelta_img.h"
#include "platform/dib.h"
#include "platform/linear_light.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

// The colour of pixel (x, y), y from the top, as 0xRRGGBB.
uint32_t ColorAt(const Dib& dib, int x, int y) {
  std::vector<uint8_t> row(3 * static_cast<size_t>(dib.width()));
  ScanLineTo24(dib, dib.height() - 1 - y, row.data());
  return (row[3 * x + 2] << 16) | (row[3 * x + 1] << 8) | row[3 * x];
}

void Put24(Dib& d, int x, int y, uint32_t c) {
  for (int i = 0; i < 3; ++i) d.Row(y)[3 * x + i] = static_cast<uint8_t>(c >> (8 * i));
}

BitmapInfoHeader Header(int w, int h, uint16_t bits) {
  return {.biWidth = w, .biHeight = h, .biBitCount = bits};
}

TEST(CreateDIBSection, RefusesWhatCannotBeABitmapAndKeepsColourCountsWithinTheTable) {
  for (uint16_t bits : {0, 2, 3, 15, 64})
    EXPECT_FALSE(CreateDIBSection(Header(4, 4, bits), nullptr, 0)) << bits;
  EXPECT_FALSE(CreateDIBSection({.biWidth = 4, .biHeight = 4, .biCompression = 1}, nullptr, 0))
      << "compressed";
  EXPECT_FALSE(CreateDIBSection(Header(4, -4, 24), nullptr, 0));
  EXPECT_FALSE(CreateDIBSection(Header(70000, 70000, 24), nullptr, 0)) << "more than kMaxDibBytes";
  EXPECT_EQ(DibStride(0x7FFFFFFF, 64), 0u) << "stride beyond 32 bits";
  // The counts of used and important colours are kept within the table.
  const struct {
    uint16_t bits;
    uint32_t important, kept;
  } cases[] = {{4, 3, 3}, {4, 16, 16}, {4, 17, 0}, {8, 200, 200}, {24, 5, 0}};
  for (const auto& c : cases) {
    BitmapInfoHeader h = Header(2, 2, c.bits);
    h.biClrImportant = h.biClrUsed = c.important;
    HBitmap d = CreateDIBSection(h, nullptr, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(std::pair(d->header().biClrImportant, d->header().biClrUsed), std::pair(c.kept, c.kept))
        << c.bits << "/" << c.important;
  }
}

TEST(StretchBltHalftone, SameSizeCopiesExactlyEnlargingKeepsEveryByteAndBothClip) {
  HBitmap src = CreateDib24(5, 3);
  for (int i = 0; i < 15; ++i) Put24(*src, i % 5, i / 5, 0x010203u * (i % 5 + 7 * (i / 5)));
  HBitmap dst = CreateDib24(5, 3);
  StretchBltHalftone(*dst, 0, 0, 5, 3, *src, 0, 0, 5, 3);
  EXPECT_EQ(std::memcmp(dst->bits(), src->bits(), src->size()), 0);
  HBitmap small = CreateDib24(2, 2);
  StretchBltHalftone(*small, -3, 1, 10, 10, *src, 0, 0, 5, 3);   // mostly outside: no crash
  StretchBltHalftone(*small, 0, 0, 2, 2, *src, 4, 2, 100, 100);  // source rectangle clipped
  EXPECT_EQ(ColorAt(*small, 0, 0), ColorAt(*src, 4, 2));
  HBitmap ramp = CreateDib24(256, 1);
  for (int x = 0; x < 256; ++x) std::fill_n(ramp->Row(0) + 3 * x, 3, static_cast<uint8_t>(x));
  HBitmap wide = CreateDib24(512, 2);
  StretchBltHalftone(*wide, 0, 0, 512, 2, *ramp, 0, 0, 256, 1);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(wide->Row(1)[6 * x], x);
}

TEST(StretchBltHalftone, TwoEntryTableGetsAnOrderedDitherOfTheRightShare) {
  const RgbQuad bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  HBitmap dst = CreateDIBSection(Header(64, 64, 1), bw, 2);
  HBitmap grey = CreateDib24(128, 128);
  FillDib(*grey, 188, 188, 188);  // half the light
  StretchBltHalftone(*dst, 0, 0, 64, 64, *grey, 0, 0, 128, 128);
  int white = 0;
  for (int i = 0; i < 64 * 64; ++i) white += (dst->Row(i / 64)[i % 64 / 8] >> (7 - i % 8)) & 1;
  EXPECT_NEAR(white / 4096.0, 0.5, 0.03);
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
  EXPECT_EQ(std::tuple(ColorAt(*dst, 0, 0), ColorAt(*dst, 1, 1), ColorAt(*dst, 2, 2)),
            std::tuple(0u, 0x00FF00u, 0xFF0000u));
  BitBlt(*dst, -1, -1, 2, 2, *src, 0, 0);  // negative destination: the source moves with it
  EXPECT_EQ(ColorAt(*dst, 0, 0), 0xFF0000u);

  const RgbQuad pal[3] = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}};
  HBitmap four = CreateDIBSection(Header(4, 1, 4), pal, 3);
  BitBlt(*four, 0, 0, 4, 1, *src, 0, 1);
  std::vector<uint8_t> row(12);
  ScanLineTo24(*four, 0, row.data());
  EXPECT_EQ(row[2], 255) << "red maps to the red entry";
}

TEST(GetNearestPaletteIndex, ExactFirstThenClosest) {
  // Red: the lowest of two equal entries; dark red: the lowest of two equally close ones.
  const std::vector<RgbQuad> pal = {{0, 0, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}, {0, 0, 255, 0}};
  EXPECT_EQ((std::vector{GetNearestPaletteIndex(pal, 255, 0, 0), GetNearestPaletteIndex(pal, 200, 20, 20),
                         GetNearestPaletteIndex(pal, 220, 220, 220), GetNearestPaletteIndex(pal, 60, 60, 60),
                         GetNearestPaletteIndex({}, 1, 2, 3)}),
            (std::vector{1, 1, 2, 0, -1}));
}

TEST(LinearLight, TablesRoundTrip) {
  const LinearLight& ll = Linear();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(ll.ToSrgb(ll.to_linear[i]), i);
  EXPECT_EQ(std::tuple(ll.ToSrgb(-1.0f), ll.ToSrgb(2.0f)), std::tuple(0, 255)) << "clamped";
}

TEST(ZeltaImg, OutputHoldsOnlyTheTableColoursAndBadCodesFail) {
  SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
  // A horizontal grey ramp above a red-to-blue ramp.
  HBitmap pic = CreateDib24(120, 80);
  for (int i = 0; i < 120 * 80; ++i) {
    const uint32_t v = i % 120 * 255 / 119;
    Put24(*pic, i % 120, i / 120, i / 120 < 40 ? v * 0x010101u : (255 - v) << 16 | v);
  }
  for (auto [code, file, most] :
       {std::tuple{1, kColorTableTwoColors, 3u}, std::tuple{2, kColorTableBlackWhite, 2u},
        std::tuple{3, kColorTableColor, 8u}}) {
    ColorTable table;
    std::string error;
    ASSERT_EQ(LoadColorTableFile(ZELTA_TEST_DATA + std::string(file), table, error), ColorTableStatus::kOk);
    std::set<uint32_t> palette;
    for (const RgbQuad& q : table.palette) palette.insert((q.rgbRed << 16) | (q.rgbGreen << 8) | q.rgbBlue);
    for (int32_t diffusion : {0, 1}) {
      std::string text(256, ' ');
      int32_t length = -1;
      HBitmap out = ProcessImg(*pic, diffusion, code, text, length);
      ASSERT_TRUE(out);
      std::set<uint32_t> colours;
      for (int i = 0; i < 120 * 80; ++i) colours.insert(ColorAt(*out, i % 120, i / 120));
      EXPECT_LE(colours.size(), most) << code;
      EXPECT_TRUE(std::includes(palette.begin(), palette.end(), colours.begin(), colours.end())) << code;
    }
  }
  std::string text = "unchanged";
  int32_t length = 0;
  EXPECT_FALSE(ProcessImg(*pic, 1, 0, text, length) || ProcessImg(*pic, 1, 4, text, length));
  SetCurrentPath("/nonexistent/", 13);
  EXPECT_FALSE(ProcessImg(*pic, 1, 2, text, length)) << "no colour table";
  EXPECT_EQ(text, "unchanged");
}

// Flat colours diffused to inks: each ink takes its share of the light.
TEST(ZeltaImg, DiffusionKeepsTheLightOfEveryArea) {
  const struct {
    uint8_t r, g, b;
    InkSet inks;
    uint8_t ink;
    double share, within;
  } cases[] = {
      {188, 188, 188, InkSet::kBlackWhite, 1, SrgbToLinear(188 / 255.0), 0.01},  // half the light: half paper
      {54, 54, 54, InkSet::kBlackWhite, 1, SrgbToLinear(54 / 255.0), 0.01},
      {200, 20, 20, InkSet::kBlackRedWhite, 1, 0.725, 0.275},  // red: red ink on at least 45 %
      {200, 20, 20, InkSet::kBlackRedWhite, 2, 0.025, 0.025},  // and hardly any paper
      {128, 128, 128, InkSet::kBlackRedWhite, 1, 0, 0},        // no red in a grey
  };
  for (const auto& c : cases) {
    HBitmap pic = CreateDib24(64, 64);
    FillDib(*pic, c.r, c.g, c.b);
    std::vector<uint8_t> classes;
    DitherToInks(*pic, c.inks, DitherOptions{}, classes);
    const double share =
        static_cast<double>(std::count(classes.begin(), classes.end(), c.ink)) / classes.size();
    EXPECT_NEAR(share, c.share, c.within)
        << int(c.r) << "," << int(c.g) << "," << int(c.b) << " ink " << int(c.ink);
  }
}

TEST(ZeltaImg, ThresholdCutsBetweenInkAndPaper) {
  // Dark grey strokes on light grey paper: Otsu cuts between them, so both survive as they are.
  HBitmap pic = CreateDib24(40, 10);
  FillDib(*pic, 200, 200, 200);
  for (int y = 0; y < 10; ++y) std::fill_n(pic->Row(y), 3 * 10, 90);
  std::vector<uint8_t> classes;
  DitherToInks(*pic, InkSet::kBlackWhite, DitherOptions{.diffusion = false}, classes);
  EXPECT_EQ(std::tuple(classes[5], classes[25]), std::tuple(0, 1));
  uint32_t histogram[256] = {};
  histogram[77] = 10;
  EXPECT_EQ(OtsuThreshold(histogram), 128) << "one grey only: the middle";
}

class ReadBmpFileTest : public ::testing::Test {
 protected:
  HBitmap Read(const std::string& bytes) { return ReadBmpFile(dir.Write("read.bmp", bytes)); }
  // The messages shown since the last call, then forgets them.
  std::vector<std::string> Messages() { return std::exchange(ui.messages, {}); }

  ScriptedUi ui;
  TempDir dir;
};

// Each read bitmap is also written back and read again, and converted to 24 bits.
TEST_F(ReadBmpFileTest, EveryDepthKeepsEveryPixelReadAndWrittenBack) {
  auto expand5 = [](uint32_t v) { return (v << 3) | (v >> 2); };
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    BmpSpec spec{.width = 13, .height = 5, .bit_count = bits};  // rows padded in every depth
    const uint32_t n = bits <= 8 ? 1u << bits : 0;
    for (uint32_t i = 0; i < n; ++i) spec.colors.push_back((i * 0x010203u * 37u) & 0xFFFFFF);
    // Values that differ between neighbours, rows and the padding position.
    spec.pixel = [n, bits](int x, int y) -> uint32_t {
      if (bits <= 8) return static_cast<uint32_t>(x * 7 + y * 3) % n;
      if (bits == 16) return static_cast<uint32_t>((x << 10) | (y << 5) | (x + y));  // 5-5-5
      return static_cast<uint32_t>(0x102030 * (x + 1) + 0x0A0B0C * y) & 0xFFFFFF;
    };
    HBitmap dib = Read(MakeBmp(spec));
    ASSERT_TRUE(dib);
    ASSERT_EQ(std::tuple(dib->bit_count(), dib->colors().size(), dib->width(), dib->height()),
              std::tuple(bits, size_t{n}, 13, 5));
    ASSERT_TRUE(WriteBmpFile(dir.File("back.bmp"), *dib));
    HBitmap back = ReadBmpFile(dir.File("back.bmp"));
    HBitmap wide = ConvertTo24Bpp({dib->header(), dib->colors()}, dib->bits());
    ASSERT_TRUE(back && wide && wide->bit_count() == 24);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 13; ++x) {
        const uint32_t v = spec.pixel(x, y);
        const uint32_t want = bits <= 8 ? spec.colors[v]
                              : bits == 16
                                  ? expand5(v >> 10) << 16 | expand5((v >> 5) & 31) << 8 | expand5(v & 31)
                                  : v;
        ASSERT_EQ(std::tuple(ColorAt(*dib, x, y), ColorAt(*back, x, y), ColorAt(*wide, x, y)),
                  std::tuple(want, want, want))
            << x << "," << y;
      }
    }
    EXPECT_TRUE(Messages().empty());
  }
  EXPECT_FALSE(ConvertTo24Bpp({Header(3, 2, 7), {}}, reinterpret_cast<const uint8_t*>("bits"))) << "7 bits";
}

// The offset decides the colour table's size. Files that are refused: some with a message naming the file,
// the others silently.
TEST_F(ReadBmpFileTest, RefusedFilesAndTheirMessages) {
  const std::string file = dir.File("read.bmp");
  const std::string structure = "Raise error while reading image structure information.\r\nBe sure the " +
                                file + " is a valid image file.",
                    bitmap = "Raise error on create compatible bitmap for image file <" + file + ">.";
  const struct {
    const char* name;
    BmpSpec spec;
    std::string message;  // empty: refused silently
  } cases[] = {
      {"offset off the entry step", {.width = 4, .offset = 56}, ""},
      {"negative colour table size", {.width = 4, .offset = 50}, structure},
      {"offset 51 truncates to no entries", {.width = 4, .offset = 51}, ""},
      {"compressed", {.bit_count = 8, .compression = 1, .colors = std::vector(256, 0u)}, ""},
      {"257 colour entries", {.bit_count = 8, .colors = std::vector(257, 1u)}, ""},
      {"no width", {.width = 0}, bitmap},
      {"0 bits", {.width = 4, .bit_count = 0}, bitmap},
      {"15 bits", {.width = 4, .bit_count = 15}, bitmap},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Read(MakeBmp(c.spec)));
    EXPECT_EQ(Messages(), c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
  }
  EXPECT_TRUE(Read(MakeBmp({.bit_count = 8, .colors = std::vector(256, 1u)}))) << "256 entries are the most";
  const std::string missing = dir.File("no_such_logo.bmp");
  EXPECT_FALSE(ReadBmpFile(missing));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Raise error for open the file " + missing +
                                     ".\r\nExtended error description: No such file or directory"});
  // A 1-bit file with a single entry: the missing one is black.
  HBitmap one = Read(MakeBmp({.width = 9, .bit_count = 1, .colors = {0xFFFFFF}, .pixel = [](int x, int) {
                                return x == 8 ? 1u : 0u;
                              }}));
  ASSERT_TRUE(one);
  EXPECT_EQ(std::pair(ColorAt(*one, 0, 0), ColorAt(*one, 8, 0)), std::pair(0xFFFFFFu, 0u));
}

TEST_F(ReadBmpFileTest, EveryTruncatedPrefixFails) {
  BmpSpec spec{.width = 5, .height = 3, .bit_count = 4, .colors = {0x000000, 0xFFFFFF, 0xFF0000}};
  spec.pixel = [](int x, int y) { return static_cast<uint32_t>((x + y) % 3); };
  const std::string bytes = MakeBmp(spec);
  for (size_t n = 0; n < bytes.size(); ++n) {
    ASSERT_FALSE(Read(bytes.substr(0, n))) << n;
    // A file that ends within its headers is named as unreadable; later cuts fail quietly.
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), n < 54 ? 1u : 0u) << n;
    for (const std::string& m : messages) EXPECT_NE(m.find("shorter than the headers"), std::string::npos);
  }
  EXPECT_TRUE(Read(bytes));
  EXPECT_TRUE(Read(bytes + "trailing")) << "extra bytes after the pixels do no harm";
}

}  // namespace
}  // namespace zelta::test
