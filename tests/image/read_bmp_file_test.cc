#include "image/read_bmp_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "image/bmp_test_files.h"
#include "support/scripted_ui.h"

namespace zelta {
namespace {

using test::BmpSpec;
using test::MakeBmp;
using test::WriteTempFile;

// The colour of pixel (x, y), y from the top, as 0xRRGGBB.
uint32_t ColorAt(const Dib& dib, int x, int y) {
  std::vector<uint8_t> row(3 * static_cast<size_t>(dib.width()));
  ScanLineTo24(dib, dib.height() - 1 - y, row.data());
  return (row[3 * x + 2] << 16) | (row[3 * x + 1] << 8) | row[3 * x];
}

class ReadBmpFileTest : public ::testing::Test {
 protected:
  HBitmap Read(const std::string& bytes) {
    path = WriteTempFile("read_bmp_test.bmp", bytes);
    return ReadBmpFile(path);
  }
  test::ScriptedUi ui;
  std::string path;
};

// Pixel patterns that differ between neighbours, rows and the padding position.
uint32_t Pattern(int x, int y, uint32_t modulo) { return static_cast<uint32_t>((x * 7 + y * 3) % modulo); }

TEST_F(ReadBmpFileTest, PalettedDepthsKeepEveryPixel) {
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    BmpSpec spec;
    spec.bit_count = bits;
    spec.width = 13;  // rows padded in every depth
    spec.height = 5;
    const uint32_t n = 1u << bits;
    for (uint32_t i = 0; i < n; ++i) spec.colors.push_back((i * 0x010203u * 37u) & 0xFFFFFF);
    spec.pixel = [n](int x, int y) { return Pattern(x, y, n); };
    HBitmap dib = Read(MakeBmp(spec));
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->bit_count(), bits);
    EXPECT_EQ(dib->width(), 13);
    EXPECT_EQ(dib->height(), 5);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 13; ++x)
        ASSERT_EQ(ColorAt(*dib, x, y), spec.colors[Pattern(x, y, n)]) << x << "," << y;
    }
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST_F(ReadBmpFileTest, DirectColourDepthsKeepEveryPixel) {
  for (int bits : {16, 24, 32}) {
    SCOPED_TRACE(bits);
    BmpSpec spec;
    spec.bit_count = bits;
    spec.width = 7;
    spec.height = 3;
    spec.pixel = [bits](int x, int y) -> uint32_t {
      if (bits == 16) return static_cast<uint32_t>((x << 10) | (y << 5) | (x + y));  // 5-5-5
      return static_cast<uint32_t>(0x102030 * (x + 1) + 0x0A0B0C * y) & 0xFFFFFF;
    };
    HBitmap dib = Read(MakeBmp(spec));
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->bit_count(), bits);
    EXPECT_TRUE(dib->colors().empty());
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 7; ++x) {
        uint32_t want = spec.pixel(x, y);
        if (bits == 16) {
          auto e = [](uint32_t v) { return (v << 3) | (v >> 2); };
          want = (e((want >> 10) & 31) << 16) | (e((want >> 5) & 31) << 8) | e(want & 31);
        }
        ASSERT_EQ(ColorAt(*dib, x, y), want) << x << "," << y;
      }
    }
  }
}

TEST_F(ReadBmpFileTest, ColourTableSizeFollowsTheOffset) {
  BmpSpec spec;
  spec.bit_count = 1;
  spec.width = 9;
  spec.colors = {0x000000, 0xFF0000};
  ASSERT_EQ(MakeBmp(spec).substr(10, 1), std::string(1, '\x3E'));  // offset 62
  spec.pixel = [](int x, int) { return x == 8 ? 1u : 0u; };
  HBitmap dib = Read(MakeBmp(spec));
  ASSERT_TRUE(dib);
  EXPECT_EQ(ColorAt(*dib, 8, 0), 0xFF0000u);
  EXPECT_EQ(ColorAt(*dib, 7, 0), 0u);

  // A 1-bit file with a single entry: the missing entry is black.
  spec.colors = {0xFFFFFF};
  dib = Read(MakeBmp(spec));
  ASSERT_TRUE(dib);
  EXPECT_EQ(ColorAt(*dib, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(ColorAt(*dib, 8, 0), 0u);
}

// Files that are refused: some with the message naming the file, the others silently.
TEST_F(ReadBmpFileTest, RefusedFilesAndTheirMessages) {
  enum { kSilent, kStructure, kBitmap };
  const struct {
    const char* name;
    std::function<void(BmpSpec&)> change;
    int message;
  } cases[] = {
      {"offset off the entry step", [](BmpSpec& s) { s.offset = 56; }, kSilent},
      {"negative colour table size", [](BmpSpec& s) { s.offset = 50; }, kStructure},
      {"offset 51 truncates to no entries", [](BmpSpec& s) { s.offset = 51; }, kSilent},
      {"compressed",
       [](BmpSpec& s) {
         s.bit_count = 8;
         s.colors.assign(256, 0);
         s.compression = 1;
       },
       kSilent},
      {"257 colour entries",
       [](BmpSpec& s) {
         s.bit_count = 8;
         s.colors.assign(257, 0x123456);
       },
       kSilent},
      {"no width", [](BmpSpec& s) { s.width = 0; }, kBitmap},
      {"0 bits", [](BmpSpec& s) { s.bit_count = 0; }, kBitmap},
      {"2 bits", [](BmpSpec& s) { s.bit_count = 2; }, kBitmap},
      {"3 bits", [](BmpSpec& s) { s.bit_count = 3; }, kBitmap},
      {"15 bits", [](BmpSpec& s) { s.bit_count = 15; }, kBitmap},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ui.messages.clear();
    BmpSpec spec;
    spec.width = 4;
    c.change(spec);
    EXPECT_FALSE(Read(MakeBmp(spec)));
    if (c.message == kSilent) {
      EXPECT_TRUE(ui.messages.empty());
    } else {
      ASSERT_EQ(ui.messages.size(), 1u);
      EXPECT_EQ(ui.messages[0],
                c.message == kBitmap
                    ? "Raise error on create compatible bitmap for image file <" + path + ">."
                    : "Raise error while reading image structure information.\r\nBe sure the " + path +
                          " is a valid image file.");
    }
  }
  // 256 entries are the most a table holds.
  BmpSpec spec;
  spec.bit_count = 8;
  spec.colors.assign(256, 0x123456);
  EXPECT_TRUE(Read(MakeBmp(spec)));
}

TEST_F(ReadBmpFileTest, UnopenableFileIsReported) {
  const std::string missing = ::testing::TempDir() + "no_such_logo.bmp";
  EXPECT_FALSE(ReadBmpFile(missing));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Raise error for open the file " + missing +
                                ".\r\nExtended error description: No such file or directory");
}

TEST_F(ReadBmpFileTest, AbsurdDimensionsAreRejectedWithoutAllocating) {
  struct Case {
    int width, height, bits;
  };
  for (Case c : {Case{100000, 100000, 24}, Case{0x7FFFFFFF, 1, 32}, Case{0x7FFFFFFF, 0x7FFFFFFF, 1},
                 Case{3, -2, 24}}) {
    SCOPED_TRACE(c.width);
    std::string bytes = MakeBmp(BmpSpec{});  // a 1 × 1 file, then the dimensions patched
    for (int i = 0; i < 4; ++i) {
      bytes[18 + i] = static_cast<char>((static_cast<uint32_t>(c.width) >> (8 * i)) & 0xFF);
      bytes[22 + i] = static_cast<char>((static_cast<uint32_t>(c.height) >> (8 * i)) & 0xFF);
    }
    bytes[28] = static_cast<char>(c.bits);
    EXPECT_FALSE(Read(bytes));
    EXPECT_TRUE(ui.messages.empty());
  }
}

TEST_F(ReadBmpFileTest, EveryTruncatedPrefixFails) {
  BmpSpec spec;
  spec.bit_count = 4;
  spec.width = 5;
  spec.height = 3;
  spec.colors = {0x000000, 0xFFFFFF, 0xFF0000};
  spec.pixel = [](int x, int y) { return static_cast<uint32_t>((x + y) % 3); };
  const std::string bytes = MakeBmp(spec);
  for (size_t n = 0; n < bytes.size(); ++n) {
    ui.messages.clear();
    ASSERT_FALSE(Read(bytes.substr(0, n))) << n;
    // A file that ends within its headers is named as unreadable; later cuts fail quietly.
    ASSERT_EQ(ui.messages.size(), n < 54 ? 1u : 0u) << n;
    if (n < 54) {
      EXPECT_NE(ui.messages[0].find("shorter than the headers"), std::string::npos);
    }
  }
  EXPECT_TRUE(Read(bytes));
  // Extra bytes after the pixels do no harm.
  EXPECT_TRUE(Read(bytes + "trailing"));
}

TEST(WriteBmpFile, RoundTripsEveryDepth) {
  test::ScriptedUi ui;
  for (int bits : {1, 4, 8, 24, 32}) {
    BitmapInfoHeader h;
    h.biWidth = 11;
    h.biHeight = 4;
    h.biBitCount = static_cast<uint16_t>(bits);
    std::vector<RgbQuad> colors;
    for (int i = 0; i < 16; ++i) colors.push_back({uint8_t(i * 16), uint8_t(255 - i), uint8_t(i), 0});
    HBitmap dib = CreateDIBSection(h, colors.data(), colors.size());
    ASSERT_TRUE(dib);
    for (size_t i = 0; i < dib->size(); ++i) dib->bits()[i] = static_cast<uint8_t>(i * 13 + 5);
    const std::string path = test::WriteTempFile("round_trip.bmp", "");
    ASSERT_TRUE(WriteBmpFile(path, *dib));
    HBitmap back = ReadBmpFile(path);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), dib->size());
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 11; ++x) ASSERT_EQ(ColorAt(*back, x, y), ColorAt(*dib, x, y));
    }
  }
}

}  // namespace
}  // namespace zelta
