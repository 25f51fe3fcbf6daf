#include "image/read_bmp_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "image/bmp_test_files.h"
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

class ReadBmpFileTest : public ::testing::Test {
 protected:
  HBitmap Read(const std::string& bytes) { return ReadBmpFile(path = dir.Write("read.bmp", bytes)); }
  // The messages shown since the last call, then forgets them.
  std::vector<std::string> Messages() { return std::exchange(ui.messages, {}); }

  ScriptedUi ui;
  TempDir dir;
  std::string path;
};

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
    EXPECT_EQ(dib->bit_count(), bits);
    EXPECT_EQ(dib->colors().size(), n);
    ASSERT_EQ(std::pair(dib->width(), dib->height()), std::pair(13, 5));
    ASSERT_TRUE(WriteBmpFile(dir.File("back.bmp"), *dib));
    HBitmap back = ReadBmpFile(dir.File("back.bmp"));
    ASSERT_TRUE(back);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 13; ++x) {
        const uint32_t v = spec.pixel(x, y);
        const uint32_t want = bits <= 8 ? spec.colors[v]
                              : bits == 16
                                  ? expand5(v >> 10) << 16 | expand5((v >> 5) & 31) << 8 | expand5(v & 31)
                                  : v;
        ASSERT_EQ(ColorAt(*dib, x, y), want) << x << "," << y;
        ASSERT_EQ(ColorAt(*back, x, y), want) << x << "," << y << " written and read back";
      }
    }
    EXPECT_TRUE(Messages().empty());
  }
}

TEST_F(ReadBmpFileTest, ColourTableSizeFollowsTheOffset) {
  // A 1-bit file with a single entry: the missing one is black.
  BmpSpec spec{.width = 9, .bit_count = 1, .colors = {0xFFFFFF}};
  spec.pixel = [](int x, int) { return x == 8 ? 1u : 0u; };
  HBitmap dib = Read(MakeBmp(spec));
  ASSERT_TRUE(dib);
  EXPECT_EQ(std::pair(ColorAt(*dib, 0, 0), ColorAt(*dib, 8, 0)), std::pair(0xFFFFFFu, 0u));
}

// Files that are refused: some with a message naming the file, the others silently.
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
       [](BmpSpec& s) { s = {.bit_count = 8, .compression = 1, .colors = std::vector(256, 0u)}; }, kSilent},
      {"257 colour entries", [](BmpSpec& s) { s = {.bit_count = 8, .colors = std::vector(257, 1u)}; },
       kSilent},
      {"no width", [](BmpSpec& s) { s.width = 0; }, kBitmap},
      {"0 bits", [](BmpSpec& s) { s.bit_count = 0; }, kBitmap},
      {"15 bits", [](BmpSpec& s) { s.bit_count = 15; }, kBitmap},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BmpSpec spec{.width = 4};
    c.change(spec);
    EXPECT_FALSE(Read(MakeBmp(spec)));
    const std::vector<std::string> messages = Messages();
    if (c.message == kSilent) {
      EXPECT_TRUE(messages.empty());
    } else {
      EXPECT_EQ(messages, std::vector<std::string>{
                              c.message == kBitmap
                                  ? "Raise error on create compatible bitmap for image file <" + path + ">."
                                  : "Raise error while reading image structure information.\r\nBe sure the " +
                                        path + " is a valid image file."});
    }
  }
  EXPECT_TRUE(Read(MakeBmp({.bit_count = 8, .colors = std::vector(256, 1u)}))) << "256 entries are the most";
  const std::string missing = dir.File("no_such_logo.bmp");
  EXPECT_FALSE(ReadBmpFile(missing));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Raise error for open the file " + missing +
                                     ".\r\nExtended error description: No such file or directory"});
}

TEST_F(ReadBmpFileTest, AbsurdDimensionsAreRejectedWithoutAllocating) {
  for (auto [width, height, bits] : {std::tuple{100000, 100000, 24}, std::tuple{0x7FFFFFFF, 1, 32},
                                     std::tuple{0x7FFFFFFF, 0x7FFFFFFF, 1}, std::tuple{3, -2, 24}}) {
    SCOPED_TRACE(width);
    std::string bytes = MakeBmp({});  // a 1 × 1 file, then the dimensions patched
    for (int i = 0; i < 4; ++i) {
      bytes[18 + i] = static_cast<char>((static_cast<uint32_t>(width) >> (8 * i)) & 0xFF);
      bytes[22 + i] = static_cast<char>((static_cast<uint32_t>(height) >> (8 * i)) & 0xFF);
    }
    bytes[28] = static_cast<char>(bits);
    EXPECT_FALSE(Read(bytes));
    EXPECT_TRUE(Messages().empty());
  }
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
