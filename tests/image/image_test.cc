// The image side of the logo window: bitmaps read from files, their copies, stretches and conversion to the
// printer's inks; the gallery and each logo's page: slots, thumbnails, selection, tabs, adding files, and
// the preparation of a picture for the printer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

#include "image/add_logo.h"
#include "image/bmp_test_files.h"
#include "image/fit_handler.h"
#include "image/gallery.h"
#include "image/img_func.h"
#include "image/logo_slots.h"
#include "image/read_bmp_file.h"
#include "image/thumbnails.h"
#include "imglib/color_table.h"
#include "imglib/dither.h"
#include "imglib/zelta_img.h"
#include "platform/dib.h"
#include "platform/linear_light.h"
#include "shared/bytes.h"
#include "shared/pubblic_var.h"
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
  // Depths that are none, compression, top-down rows and more than kMaxDibBytes.
  for (const BitmapInfoHeader& h :
       {Header(4, 4, 0), Header(4, 4, 2), Header(4, 4, 3), Header(4, 4, 15), Header(4, 4, 64),
        BitmapInfoHeader{.biWidth = 4, .biHeight = 4, .biCompression = 1}, Header(4, -4, 24),
        Header(70000, 70000, 24)})
    EXPECT_FALSE(CreateDIBSection(h, nullptr, 0))
        << h.biWidth << "x" << h.biHeight << "x" << h.biBitCount << ", compression " << h.biCompression;
  EXPECT_EQ(DibStride(0x7FFFFFFF, 64), 0u) << "stride beyond 32 bits";
  const std::tuple<uint16_t, uint32_t, uint32_t> counts[] = {
      {4, 3, 3}, {4, 16, 16}, {4, 17, 0}, {8, 200, 200}, {24, 5, 0}};
  for (auto [bits, count, kept] : counts) {
    HBitmap d = CreateDIBSection(
        {.biWidth = 2, .biHeight = 2, .biBitCount = bits, .biClrUsed = count, .biClrImportant = count},
        nullptr, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(std::pair(d->header().biClrImportant, d->header().biClrUsed), std::pair(kept, kept))
        << bits << "/" << count;
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
  const std::tuple<int, int, std::vector<std::pair<int, int>>> cases[] = {
      {41, 37, {{9, 8}, {20, 18}, {40, 30}, {13, 37}, {1, 1}}},
      {1100, 1000, {{97, 91}, {550, 500}, {300, 700}}}};
  for (const auto& [w, h, sizes] : cases) {
    HBitmap src = CreateDib24(w, h);
    uint32_t seed = 7;
    for (size_t i = 0; i < src->size(); ++i) src->bits()[i] = (seed = seed * 1103515245u + 12345u) >> 24;
    const bool banded = w * h >= 1000000;
    for (auto [dw, dh] : sizes) {
      HBitmap dst = CreateDib24(dw, dh);
      StretchBltHalftone(*dst, 0, 0, dw, dh, *src, 0, 0, w, h);
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
  EXPECT_EQ(ColorAt(*four, 0, 0), 0xFF0000u) << "red maps to the red entry";
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

TEST(ZeltaImg, DiffusionKeepsTheLightOfEveryArea) {
  const std::tuple<uint32_t, InkSet, uint8_t, double, double> cases[] = {
      {0xBCBCBC, InkSet::kBlackWhite, 1, SrgbToLinear(188 / 255.0), 0.01},  // half the light: half paper
      {0x363636, InkSet::kBlackWhite, 1, SrgbToLinear(54 / 255.0), 0.01},
      {0xC81414, InkSet::kBlackRedWhite, 1, 0.725, 0.275},  // red: red ink on at least 45 %
      {0xC81414, InkSet::kBlackRedWhite, 2, 0.025, 0.025},  // and hardly any paper
      {0x808080, InkSet::kBlackRedWhite, 1, 0, 0},          // no red in a grey
  };
  for (auto [colour, inks, ink, share, within] : cases) {
    HBitmap pic = CreateDib24(64, 64);
    FillDib(*pic, colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
    std::vector<uint8_t> classes;
    DitherToInks(*pic, inks, DitherOptions{}, classes);
    EXPECT_NEAR(std::count(classes.begin(), classes.end(), ink) / static_cast<double>(classes.size()), share,
                within)
        << std::hex << colour << " ink " << int(ink);
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

class GalleryTest : public ::testing::Test {
 protected:
  GalleryTest() {
    ResetPubblicVar();
    SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(std::string(ZELTA_TEST_DATA).size()));
    InitLogoWindowState(state);
    state.cmdAddLogo.enabled = state.cmdSelectAll.enabled = state.cmdSelectNone.enabled = true;
  }
  ~GalleryTest() override { ResetPubblicVar(); }

  // A logo as the stored-logo list ("Logo(") or the add operation ("New(", with its tab) makes it.
  int16_t Add(const std::string& key, bool is_new) {
    const int16_t i = AllocateLogoSlot(state);
    LogoSlot& s = state.Slot(i);
    s.picThumb.tag = key;
    s.picThumbFrame.tag = (is_new ? "New(" : "Logo(") + key + ")";
    s.picThumbFrame.visible = true;
    if (is_new) state.tabs.push_back(Tab{s.picThumbFrame.tag, s.picThumbFrame.tag, i});
    return i;
  }
  // A w × h picture file: black left half, white right half, in the given depth.
  std::string Bmp(const std::string& name, int w, int h, int bits = 24) {
    BmpSpec bmp{.width = w, .height = h, .bit_count = bits};
    if (bits <= 8) bmp.colors = {0x000000, 0xFFFFFF};
    const uint32_t white = bits <= 8 ? 1u : 0xFFFFFFu;
    bmp.pixel = [w, white](int x, int) { return x < w / 2 ? 0u : white; };
    return dir.Write(name, MakeBmp(bmp));
  }
  std::string Buttons() const {  // delete, download, print
    return std::string(state.cmdDelLogo.enabled ? "D" : "-") + (state.cmdDwldLogo.enabled ? "W" : "-") +
           (state.cmdPrintLogo.enabled ? "P" : "-");
  }
  HBitmap Read(const std::string& bytes) { return ReadBmpFile(dir.Write("read.bmp", bytes)); }
  // The messages shown since the last call, then forgets them.
  std::vector<std::string> Messages() { return std::exchange(ui.messages, {}); }
  std::pair<int, int> PreparedSize(int16_t i) const {
    return PreparedBitmaps(i) ? std::pair(PreparedBitmaps(i)->width(), PreparedBitmaps(i)->height())
                              : std::pair(0, 0);
  }
  PictureBox& Frame(int16_t i) { return state.Slot(i).picThumbFrame; }
  bool Selected(int16_t i) const { return IsSelected(state.Slot(i)); }
  std::pair<int, int> Cell(int16_t i) { return {Frame(i).left, Frame(i).top}; }
  // Which slots show their page, as "1-" for the first shown and the second hidden.
  std::string Pages() const {
    std::string pages;
    for (const LogoSlot& s : state.slots) pages += s.picFrame.visible ? '1' : '-';
    return pages;
  }

  ScriptedUi ui;
  TempDir dir;
  LogoWindowState state;
};

using ReadBmpFileTest = GalleryTest;

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
    for (int i = 0; i < 13 * 5; ++i) {
      const int x = i % 13, y = i / 13;
      const uint32_t v = spec.pixel(x, y);
      const uint32_t want = bits <= 8 ? spec.colors[v]
                            : bits == 16
                                ? expand5(v >> 10) << 16 | expand5((v >> 5) & 31) << 8 | expand5(v & 31)
                                : v;
      ASSERT_EQ(std::tuple(ColorAt(*dib, x, y), ColorAt(*back, x, y), ColorAt(*wide, x, y)),
                std::tuple(want, want, want))
          << x << "," << y;
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
  const std::tuple<const char*, BmpSpec, std::string> cases[] = {
      {"offset off the entry step", {.width = 4, .offset = 56}, ""},
      {"negative colour table size", {.width = 4, .offset = 50}, structure},
      {"offset 51 truncates to no entries", {.width = 4, .offset = 51}, ""},
      {"compressed", {.bit_count = 8, .compression = 1, .colors = std::vector(256, 0u)}, ""},
      {"257 colour entries", {.bit_count = 8, .colors = std::vector(257, 1u)}, ""},
      {"no width", {.width = 0}, bitmap},
      {"0 bits", {.width = 4, .bit_count = 0}, bitmap},
      {"15 bits", {.width = 4, .bit_count = 15}, bitmap},
  };
  for (const auto& [name, bmp, message] : cases) {
    SCOPED_TRACE(name);  // an empty message: refused silently
    EXPECT_FALSE(Read(MakeBmp(bmp)));
    EXPECT_EQ(Messages(), message.empty() ? std::vector<std::string>{} : std::vector{message});
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
  EXPECT_TRUE(Read(bytes) && Read(bytes + "trailing")) << "extra bytes after the pixels do no harm";
}

TEST_F(GalleryTest, SlotsAreReusedOnceHiddenAndNewKeyCodesFillGapsInUpperCaseHex) {
  EXPECT_EQ(Add("00", false), 1);  // the design slot
  EXPECT_EQ(Add("01", false), 2);
  LoadedBitmaps(1) = CreateDib24(2, 2);
  const int16_t k02 = Add(ChooseNewKeyCode(state), true);
  // Growing keeps the bitmaps.
  EXPECT_EQ(std::tuple(k02, state.Slot(k02).picThumb.tag, PreparedBitmaps.UBound(), state.LogoCount,
                       static_cast<bool>(LoadedBitmaps(1))),
            std::tuple(3, "02", 3, 3, true));
  // New elements: thumbnail and panes shown; page, source and scroll bars hidden.
  const LogoSlot& s = state.Slot(k02);
  EXPECT_TRUE(s.picThumb.visible && s.picView.visible && s.picPreview.visible);
  EXPECT_FALSE(s.picFrame.visible || s.picLoad.visible || s.vsbSlide.visible);
  EXPECT_EQ(ChooseNewKeyCode(state), "03");
  Frame(k02).visible = false;  // deleted
  --state.LogoCount;
  EXPECT_EQ(ChooseNewKeyCode(state), "02");
  for (int k = 2; k < 10; ++k) Add(ChooseNewKeyCode(state), true);
  EXPECT_EQ(state.Slot(k02).picThumb.tag, "02") << "the hidden slot is taken first";
  EXPECT_EQ(std::tuple(state.slot_count(), state.LogoCount, ChooseNewKeyCode(state)),
            std::tuple(10, 10, "0A"));
  // Keys found out of order still count; a lower-case stored key does not block "0B".
  Add("0b", false);
  Add("0C", false);
  EXPECT_EQ(ChooseNewKeyCode(state), "0A");
  Add("0A", true);
  EXPECT_EQ(ChooseNewKeyCode(state), "0B");
}

TEST_F(GalleryTest, ThumbnailFitsAboveItsCaptionWithoutGrowing) {
  LogoSlot& s = state.Slot(Add("00", false));
  s.picThumbFrame.inner_w = 73;
  s.picThumbFrame.inner_h = 97;
  for (auto [w, h, thumb] : {
           std::tuple{325, 65, std::tuple(65, 13, 4, 36)},  // r = 0.2; top 35.5 rounds to even
           {20, 20, {20, 20, 26, 32}},                      // never enlarged
           {80, 80, {65, 65, 4, 10}},                       // the empty picture of a stored logo; 9.5 to even
           {40, 400, {8, 76, 33, 4}},                       // the height decides: 7.6 wide at 32.7
       }) {
    s.picLoad.inner_w = w;
    s.picLoad.inner_h = h;
    DrawThumbnail(state, 1);
    EXPECT_EQ(std::tuple(s.picThumb.inner_w, s.picThumb.inner_h, s.picThumb.left, s.picThumb.top), thumb)
        << w << "x" << h;
  }
}

TEST_F(GalleryTest, GridPutsStoredLogosFirstThenNewOnesAndScrollsWhenRowsOverflow) {
  state.picFrameAll.inner_w = 445;  // (445 + 2) / (73 + 2) = 5 columns
  state.picFrameAll.inner_h = 150;
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(state.picSlideAll.inner_h, 0) << "no logo, no negative canvas";
  const int16_t n1 = Add("05", true), s1 = Add("00", false), n2 = Add("06", true), s2 = Add("01", false),
                n3 = Add("07", true);
  std::swap(state.tabs[1], state.tabs[3]);  // tab order: New(07), New(06), New(05)
  ArrangeThumbnails(state, 0);
  EXPECT_EQ((std::vector{Cell(s1), Cell(s2), Cell(n3), Cell(n2), Cell(n1)}),
            (std::vector<std::pair<int, int>>{{0, 0}, {75, 0}, {150, 0}, {225, 0}, {300, 0}}));
  EXPECT_EQ(std::pair(state.vsbSlideAll.visible, state.picSlideAll.inner_h), std::pair(false, 97));
  // A sixth logo starts the second row: 445 - 17 = 428 wide, (430 / 75) = 5 columns still, 97 + 2 + 97 high.
  const int16_t s3 = Add("02", false);
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(std::tuple(Cell(s3), Cell(n1)), std::tuple(std::pair(150, 0), std::pair(0, 99)));
  const ScrollBar& bar = state.vsbSlideAll;
  EXPECT_EQ(std::tuple(bar.visible, state.picSlideAll.inner_w, bar.max, bar.value, bar.small_change,
                       bar.large_change, state.picSlideAll.top),
            std::tuple(true, 428, 46, 46, 48, 150, -46));
  ArrangeThumbnails(state, 1);
  EXPECT_EQ(bar.value, 0);
  vsbSlideAll_Change(state, 30);
  EXPECT_EQ(state.picSlideAll.top, -30);
  // Narrowing by the bar can cost a column: 452 / 75 = 6 columns; with the bar 435 / 75 = 5.
  state.picFrameAll.inner_w = 450;
  state.picFrameAll.inner_h = 90;
  for (int k = 0; k < 6; ++k) Add("1" + std::to_string(k), false);
  ArrangeThumbnails(state, 0);
  EXPECT_EQ(state.picSlideAll.inner_h, 3 * 99 - 2);
}

TEST_F(GalleryTest, SelectionDecidesTheButtons) {
  state.picFrameAll.inner_h = 150;
  const int16_t stored = Add("00", false), fresh = Add("01", true), below = Add("02", false);
  ArrangeThumbnails(state, 1);
  Frame(below).top = 200;  // partly below the visible 150 pixels
  state.vsbSlideAll.max = 1000;
  EXPECT_EQ(Buttons(), "---");
  for (auto [click, buttons] : {std::pair{stored, "D-P"}, {fresh, "DWP"}, {stored, "DW-"}, {fresh, "---"}}) {
    picThumbFrame_Click(state, click);
    EXPECT_EQ(Buttons(), buttons);
  }
  auto colours = [&](int16_t i) { return std::tuple(Frame(i).back_color, Frame(i).fore_color); };
  EXPECT_EQ(colours(stored), std::tuple(kColorButtonFace, kColorButtonText));
  picThumbFrame_Click(state, below);
  // Selected, and scrolled just far enough to show its bottom.
  EXPECT_EQ(std::tuple(colours(below), state.vsbSlideAll.value, state.picSlideAll.top),
            std::tuple(std::tuple(kColorHighlight, kColorHighlightText), 200 + 97 - 150, -147));
  picThumbFrame_Click(state, stored);
  EXPECT_EQ(state.vsbSlideAll.value, 0) << "scrolled up to its top";

  cmdSelectNone_Click(state);
  Frame(stored).visible = false;  // deleted: ignored by every rule
  SetSelected(state.Slot(stored), true);
  UpdateActionButtons(state);
  EXPECT_EQ(Buttons(), "---");
  picThumbFrame_Click(state, stored);
  EXPECT_TRUE(Selected(stored)) << "a hidden frame ignores clicks";
  cmdSelectAll_Click(state);
  EXPECT_EQ(std::tuple(Selected(fresh), Selected(below), Buttons()), std::tuple(true, true, "DWP"));
  state.busy = true;
  cmdSelectNone_Click(state);
  EXPECT_TRUE(Selected(fresh)) << "refused while busy";
  picThumbFrame_Click(state, fresh);
  EXPECT_FALSE(Selected(fresh)) << "a thumbnail click works while busy";
}

TEST_F(GalleryTest, TabsShowALogosPageAndAreRefusedWhileBusy) {
  const int16_t a = Add("00", true), b = Add("01", true);
  state.Slot(a).cmbColor.items = ColorModes(46);
  state.Slot(b).cmbColor.items = ColorModes(36);
  state.Slot(a).cmbColor.selected = state.Slot(b).cmbColor.selected = 1;  // "Two colors", "Color"
  ASSERT_TRUE(SelectTab(state, 1));
  EXPECT_EQ(std::tuple(Pages(), Buttons()), std::tuple("1-", "D-P"));
  EXPECT_FALSE(state.cmdAddLogo.enabled || state.cmdSelectAll.enabled || state.cmdSelectNone.enabled);
  state.cmdPrintLogo.enabled = false;
  ASSERT_TRUE(SelectTab(state, 2));
  EXPECT_EQ(std::tuple(Pages(), Buttons()), std::tuple("-1", "D--")) << "colour cannot be printed";
  state.busy = true;
  EXPECT_FALSE(SelectTab(state, 0));
  EXPECT_EQ(state.selected_tab, 2);
  state.busy = false;
  ASSERT_TRUE(SelectTab(state, 0));
  EXPECT_EQ(std::tuple(Pages(), Buttons()), std::tuple("--", "---"));
  EXPECT_TRUE(state.cmdAddLogo.enabled && state.cmdSelectAll.enabled);
}

TEST_F(GalleryTest, AddingTakesGoodFilesInOrderAndRefusesTheOthers) {
  PrinterModelId = 46;
  const std::string broken = dir.Write("broken.bmp", MakeBmp({}).substr(0, 40));
  std::filesystem::create_directory(dir.File("folder.bmp"));
  ui.open_results.push_back({Bmp("one.bmp", 300, 100), dir.Write("notes.txt", "x"), broken,
                             dir.Write("rle.bmp", MakeBmp({.compression = 1})), Bmp("TWO.BMP", 20, 10),
                             dir.File("folder.bmp")});
  std::vector<int> progress;
  ui.on_do_events = [&] {
    if (state.progress.visible && (progress.empty() || progress.back() != state.progress.value))
      progress.push_back(state.progress.value);
  };
  cmdAddLogo_Click(state);
  EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3, 4, 5})) << "one step per file";
  EXPECT_EQ(std::tuple(state.progress.max, state.LogoCount), std::tuple(6, 2));
  EXPECT_FALSE(state.progress.visible || state.panel3_visible || state.busy);
  std::vector<std::pair<std::string, int>> tabs;
  for (const Tab& t : state.tabs) tabs.emplace_back(t.caption, t.tag);
  EXPECT_EQ(tabs,
            (std::vector<std::pair<std::string, int>>{{"All logos", 0}, {"New(00)", 1}, {"New(01)", 2}}));
  const std::string not_loaded = "Raise error on load the current picture.\r\nThe new logo <";
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "The selected file notes.txt is not valid.\r\nPlease select a valid BMP file.",
                "Raise error for open the file " + broken +
                    ".\r\nExtended error description: The file is shorter than the headers of a bitmap.",
                not_loaded + "broken.bmp> is not loaded.",
                not_loaded + "rle.bmp> is not loaded.",
                "Raise error for open the file " + dir.File("folder.bmp") +
                    ".\r\nExtended error description: Is a directory",
                not_loaded + "folder.bmp> is not loaded.",
            }));

  // The first logo: the model's lists with black and white chosen, its view, thumbnail and preview.
  const LogoSlot& s = state.Slot(1);
  EXPECT_EQ(std::tuple(s.cmbPaperWidth.items, s.cmbPaperWidth.selected, s.cmbColor.items,
                       s.cmbColor.SelectedData()),
            std::tuple(PaperWidths(46), 0, ColorModes(46), 2));
  EXPECT_EQ(PreparedSize(1), std::pair(300, 100));
  EXPECT_TRUE(s.picView.picture && s.picThumb.picture && s.picThumbFrame.enabled);
}

TEST_F(GalleryTest, AddingStopsAtTwoHundredLogosWithOneMessage) {
  PrinterModelId = 36;
  for (int k = 0; k < 199; ++k) Add("x", false);
  const std::string bmp = Bmp("a.bmp", 700, 30);
  ui.open_results.push_back({bmp, bmp, bmp});
  cmdAddLogo_Click(state);
  EXPECT_EQ(std::pair(state.LogoCount, ui.messages),
            std::pair(int16_t{200}, std::vector<std::string>{"Too many logos."}));
  EXPECT_EQ(PreparedSize(200), std::pair(426, 30)) << "cut at the first paper width, 82.5 mm";
  ui.open_results.push_back({});  // cancelled
  cmdAddLogo_Click(state);
  EXPECT_FALSE(state.busy);
}

TEST_F(GalleryTest, EverySettingPreparesAgainAndTheColourDecidesPrinting) {
  PrinterModelId = 36;
  ui.open_results.push_back({Bmp("a.bmp", 50, 40)});
  cmdAddLogo_Click(state);
  LogoSlot& s = state.Slot(1);
  auto set = [&](auto& setting, int value, auto click) {
    setting = value;
    click(state, 1);
  };
  set(s.cmbColor.selected, 1, cmbColor_Click);  // "Color"
  EXPECT_FALSE(state.cmdPrintLogo.enabled);
  const uint64_t drawn = s.picPreview.drawn;
  set(s.cmbColor.selected, 0, cmbColor_Click);
  EXPECT_TRUE(state.cmdPrintLogo.enabled);
  set(s.chkErrorDiffusion, 1, chkErrorDiffusion_Click);
  set(s.chkFit, 1, cmbPaperWidth_Click);
  EXPECT_GT(s.picPreview.drawn, drawn);
  EXPECT_EQ(std::pair(PreparedSize(1), s.vsbSlide.value), std::pair(std::pair(426, 341), 0))
      << "fitted to the paper";
  set(s.chkFit, 0, chkFit_Click);
  EXPECT_EQ(PreparedSize(1), std::pair(50, 40)) << "the same result each time";
  state.busy = true;  // another operation runs: nothing happens
  set(s.cmbColor.selected, 1, cmbColor_Click);
  EXPECT_TRUE(state.cmdPrintLogo.enabled);
  set(s.chkFit, 1, chkFit_Click);
  EXPECT_EQ(PreparedSize(1), std::pair(50, 40));
  state.busy = false;
  SetCurrentPath("/nonexistent/", 13);
  chkFit_Click(state, 1);
  EXPECT_FALSE(s.picThumbFrame.enabled || state.busy) << "a failed preparation disables the thumbnail";
}

// Width × height at X, Y in a destination D high, and the width after.
TEST(TargetGeometry, ScaleCropOrFitInside) {
  const std::tuple<int, int, float, int32_t, int, std::string> cases[] = {
      // Scaled to the width (1), halves to even: 5 × 2.5 = 12.5 to 12, 7 × 2.5 = 17.5 to 18; small ones grow.
      {4, 5, 10, 1, 0, "10x12 at 0,0 in 12, width 10"},
      {4, 7, 10, 1, 0, "10x18 at 0,0 in 18, width 10"},
      // Cropped (2): the size kept, the width lowered to a narrower picture's.
      {300, 100, 560, 2, 0, "300x100 at 0,0 in 100, width 300"},
      {300, 100, 200, 2, 0, "200x100 at 0,0 in 100, width 200"},
      // Fitted inside (0), centred (one that is not enlarged: the unconverted view below).
      {800, 300, 200, 0, 150, "200x75 at 0,37 in 150, width 200"},
      {0, 300, 200, 0, 150, "0x0 at 0,0 in 150, width 200"},
  };
  for (auto [ws, hs, w, fit, dest_h, want] : cases) {
    float width = w;
    const TargetGeometry g = ComputeTargetGeometry(ws, hs, width, fit, dest_h);
    std::ostringstream got;
    got << g.W << "x" << g.H << " at " << g.X << "," << g.Y << " in " << g.D << ", width " << width;
    EXPECT_EQ(got.str(), want) << ws << "x" << hs << " to " << w << ", mode " << fit;
  }
}

class PrepareLogoImageTest : public GalleryTest {
 protected:
  PrepareLogoImageTest() { slot = AllocateLogoSlot(state); }

  void Load(int w, int h, int bits = 24) {
    LoadedBitmaps(slot) = ReadBmpFile(Bmp("in.bmp", w, h, bits));
    S().picLoad.inner_w = w;
    S().picLoad.inner_h = h;
  }
  // The zelta-logo-tool program's exit status; what it wrote to stderr is in the file "err".
  int RunTool(const std::string& args) {
    const int status =
        std::system((std::string(ZELTA_LOGO_TOOL) + " prepare " + args + " 2>" + dir.File("err")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool Prepare(float w, int32_t fit, int32_t code, int16_t diffusion = 0) {
    return PrepareLogoImage(slot, S().picLoad, S().picPreview, w, fit, code, diffusion);
  }
  // Width, height and the channels of pixel (x, y) of the prepared bitmap.
  std::tuple<int, int, int> Prepared(int x, int y) {
    const Dib& d = *PreparedBitmaps(slot);
    const uint8_t* p = d.Row(y) + 3 * x;
    return {d.width(), d.height(), p[0] + p[1] + p[2]};
  }
  LogoSlot& S() { return state.Slot(slot); }
  int16_t slot = 0;
};

TEST_F(PrepareLogoImageTest, EveryColourCodeAndDepthMakesATargetSizedBitmapAndNamesItsTable) {
  Load(300, 100);
  const char* tables[] = {"", kColorTableTwoColors, kColorTableBlackWhite, kColorTableColor};
  for (int code : {1, 2, 3}) {
    for (int16_t diffusion : {0, 1}) {
      ASSERT_TRUE(Prepare(560, 1, code, diffusion));
      // The left half is black dots, the right half paper.
      EXPECT_EQ(std::tuple(S().picPreview.tag, S().picPreview.inner_w, S().picPreview.inner_h,
                           Prepared(10, 90), Prepared(500, 90)),
                std::tuple(tables[code], 560, 187, std::tuple(560, 187, 0), std::tuple(560, 187, 3 * 255)));
    }
  }
  EXPECT_TRUE(ui.messages.empty());
  for (int bits : {1, 8, 24}) {  // cropping cuts the left columns of any depth
    Load(700, 40, bits);
    ASSERT_TRUE(Prepare(390, 2, 2));
    EXPECT_EQ(std::pair(Prepared(349, 0), Prepared(389, 0)),
              std::pair(std::tuple(390, 40, 0), std::tuple(390, 40, 3 * 255)))
        << bits << ": column 349 is in the black half";
  }
}

TEST_F(PrepareLogoImageTest, UnconvertedViewIsCentredAndLeavesThePreparedBitmap) {
  Load(100, 50);
  PictureBox& view = S().picView;
  view.inner_w = 200;
  view.inner_h = 150;
  view.border = 4;
  float w = 200;
  ASSERT_TRUE(PrepareLogoImage(slot, S().picLoad, view, w, 0, 0, 0));
  EXPECT_EQ(std::tuple(static_cast<bool>(PreparedBitmaps(slot)), view.outer_w(), view.inner_h),
            std::tuple(false, 204, 150));
  ASSERT_TRUE(view.picture);
  // Above the picture: cleared; its top left: black; its right half: white; below it: cleared.
  const Dib& p = *view.picture;
  EXPECT_EQ((std::vector<int>{p.Row(49)[150], p.Row(50)[150], p.Row(99)[447], p.Row(100)[150]}),
            (std::vector<int>{255, 0, 255, 255}));
}

TEST_F(PrepareLogoImageTest, FailuresShowTheirMessageAndOtherCodesDoNothing) {
  Load(30, 10);
  EXPECT_TRUE(Prepare(60, 1, 4) && Prepare(60, 1, -1) && !PreparedBitmaps(slot)) << "other codes do nothing";
  ASSERT_TRUE(Prepare(60, 1, 2));
  const Dib* before = PreparedBitmaps(slot).get();
  EXPECT_FALSE(Prepare(0, 1, 2)) << "a zero-width target cannot be made";
  EXPECT_EQ(PreparedBitmaps(slot).get(), before);
  SetCurrentPath("/nonexistent/", 13);
  EXPECT_FALSE(Prepare(60, 1, 2) || PreparedBitmaps(slot)) << "no colour table, no prepared bitmap";
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                "Raise error on read/write bytes image of current Logo.\r\nThe image funtions are not "
                "avaible for the current logo.",
                "Raise error on get the preview image of current logo\r\nPlease check the application "
                "component(s) and verify the color table files."}));
}

TEST(ModelLists, PaperWidthsAndColoursByModel) {
  EXPECT_EQ(std::tuple(PaperWidths(32)[2].second, PaperWidths(99).size(), PaperWidths(161).size(),
                       ColorModes(161).size()),
            std::tuple(390, 0u, 1u, 1u))
      << "161: black and white only";
}

TEST_F(PrepareLogoImageTest, TheToolPreparesAFileWritesItsDefinitionPacketAndRefusesBadInput) {
  ASSERT_EQ(RunTool(Bmp("in.bmp", 300, 100) + " --width 560 --fit --color two --diffusion --out " +
                    dir.File("out.bmp") + " --packet " + dir.File("packet.bin") + " --key 0A"),
            0)
      << dir.Read("err");
  EXPECT_TRUE(ReadBmpFile(dir.File("out.bmp"))) << "the prepared picture is written";
  const std::string bytes = dir.Read("packet.bin");
  ASSERT_EQ(bytes.size(), 7u + 2 * (70 * 187 + 1) + 10);
  EXPECT_EQ(std::pair(bytes.substr(10, 3), bytes[18]), std::pair(std::string("0A\x02", 3), '\xFF'))
      << "key 0A, two planes; the left of the first row is black dots";
  const std::string out = " --out " + dir.File("out.bmp");
  EXPECT_EQ(RunTool("/nonexistent/x.bmp --width 100" + out), 1);
  EXPECT_NE(dir.Read("err").find("The new logo </nonexistent/x.bmp> is not loaded."), std::string::npos);
  const std::string broken = dir.Write("broken.bmp", "BM not a bitmap");
  EXPECT_EQ(RunTool(broken + " --width 0" + out), 2);
  EXPECT_EQ(RunTool(broken + " --width 10" + out + " --packet p.bin"), 2) << "no key code";
}

// The byte strings packets such as the one above are built of, and numbers as messages show them.
TEST(Bytes, BuildingKeepsEveryByteHexDumpsCutAndNumbersGetALeadingBlankUnlessNegative) {
  Bytes b = B({29, 0, 255, 128});
  EXPECT_EQ(b, std::string("\x1d\0\xff\x80", 4));
  AppendLe16(b, 0x1234);
  AppendLe32(b, 0x89ABCDEF);
  EXPECT_EQ(b.substr(4), B({0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89}));
  EXPECT_EQ(std::tuple(ToHex(B({0x1D, 0x28, 0x0A})), ToHex(B({1, 2, 3}), 2), ToHex("")),
            std::tuple("1D 28 0A", "01 02 ...", ""));
  for (auto [n, text] :
       {std::pair{0LL, " 0"}, {3072LL, " 3072"}, {-5LL, "-5"}, {-2147221399LL, "-2147221399"}})
    EXPECT_EQ(Str(n), text);
}

}  // namespace
}  // namespace zelta::test
