// What the virtual printer puts on paper: rows in their colours at the right dots, and one PNG file per
// receipt. (Captions on paper are checked by the logo road test.)
#include "printer/paper.h"

#include <gtest/gtest.h>

#include <fstream>

#include "emu_test_util.h"
#include "memory/nv_commands.h"

namespace zelta::test {
namespace {

uint32_t Be32(const std::string& s, size_t i) {
  return static_cast<uint32_t>(At(s, i)) << 24 | At(s, i + 1) << 16 | At(s, i + 2) << 8 | At(s, i + 3);
}

TEST(PaperTest, RowsLandAtTheirDotsInTheirColoursAndScale) {
  emu::Paper paper(16, "", "t", 1000);
  const Bytes black = B({0x80, 0x01, 0xFF});  // dots 0 and 15; the third byte is beyond the paper
  const Bytes red = B({0x40, 0x01});          // dots 1 and 15: red covers black at 15
  paper.PrintRows({&black, &red}, {emu::kInkBlack, emu::kInkRed}, 2, 1, 1, 1);
  EXPECT_EQ(paper.Dot(0, 0), emu::kInkBlack);
  EXPECT_EQ(paper.Dot(1, 0), emu::kInkRed);
  EXPECT_EQ(paper.Dot(15, 0), emu::kInkRed);
  EXPECT_EQ(paper.Dot(2, 0), emu::kPaperWhite);
  EXPECT_EQ(paper.Dot(16, 0), emu::kPaperWhite);
  // Scaled twice each way: dot 0 of the next row covers 2 × 2 dots.
  const Bytes one = B({0x80});
  paper.PrintRows({&one}, {emu::kInkBlack}, 1, 1, 2, 2);
  EXPECT_EQ(paper.Rows(), 3);
  EXPECT_EQ(paper.Dot(1, 2), emu::kInkBlack);
  EXPECT_EQ(paper.Dot(2, 1), emu::kPaperWhite);
}

TEST(PaperTest, EachCutWritesOneReceiptAsPng) {
  auto p = MakePrinter(46, "", FreshDir("paper"));
  const Bytes logo = NvRasterPacket("A1", 16, 8, {Plane(16, 8, 0xFF), Plane(16, 8, 0x0F)});
  Send(*p, logo + CmdNormalPrintMode() + "Logo A1" + B({10}) + CmdPrintGraphics("A1") + CmdFeedAndCut());
  Send(*p, CmdFeedAndCut());  // nothing printed: no file
  Send(*p, PrintBufferPacket(16, 4, 49, Plane(16, 4, 0xF0)) +
               PrintBufferPacket(16, 4, 50, Plane(16, 4, 0x0F)) + CmdPrintBufferGraphics());
  EXPECT_NE(p->TearOff(), "");
  const std::vector<std::string> files = p->PaperFiles();
  ASSERT_EQ(files.size(), 2u);
  std::ifstream in(files[0], std::ios::binary);
  const std::string png(std::istreambuf_iterator<char>(in), {});
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(Be32(png, 16), 560u);  // the paper width of model 46
  EXPECT_GE(Be32(png, 20), 24u + 8u + 96u);
  // Without a paper folder nothing is kept, and nothing fails either.
  p = MakePrinter(46);
  Send(*p, logo + CmdPrintGraphics("A1"));
  EXPECT_EQ(p->TearOff(), "");
}

}  // namespace
}  // namespace zelta::test
