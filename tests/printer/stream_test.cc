// The byte stream as the virtual printer reads it: the framer, each model's golden answers, what lands on
// paper, and a short fuzz run of the seeds, their truncations and mutations (long runs: libFuzzer).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <tuple>

#include "emu_test_util.h"
#include "fuzz_escpos_input.h"
#include "memory/nv_commands.h"
#include "printer/escpos_framer.h"
#include "printer/paper.h"

namespace zelta::test {
namespace {

// The commands the framer cuts stream into, each in hex (" ..." after one cut off at max bytes), with
// '|' between them.
std::string Frames(const Bytes& stream, size_t max = 1024) {
  emu::EscPosFramer f(max);
  std::string out;
  for (char c : stream)
    f.Feed(static_cast<uint8_t>(c), [&out](const std::string& cmd, bool whole) {
      out += (out.empty() ? "" : "|") + ToHex(cmd) + (whole ? "" : " ...");
    });
  return out;
}

// The bytes of hex such as "1B 40|0A": pairs of digits, blanks and '|' between them.
Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); ++i)
    if (std::isxdigit(hex[i])) out.push_back(static_cast<char>(std::stoi(hex.substr(i++, 2), nullptr, 16)));
  return out;
}

TEST(FramerTest, SplitsEachKindOfCommandWholeAndUnknownOnesShort) {
  const std::string commands =
      "41|0A|10 04 01|10 05 02|10 14 01 00 01|"
      "1B 40|1B 21 38|1B 70 00 19 FA|1B 2A 21 02 00 01 02 03 04 05 06|1B 44 08 10 00|"
      "1B 26 03 41 41 01 01 02 03|1C 70 01 00|1C 71 02 01 00 01 00 01 02 03 04 05 06 07 08 00 00 00 00|"
      "1C 28 41 02 00 30 31|1D 28 4C 02 00 30 00|1D 38 4C 0C 00 00 00 30 43 30 41 31 01 08 00 01 00 31 FF|"
      "1D 49 01|1D 56 42 0F|1D 56 00|1D 76 30 00 01 00 02 00 AA 55|1D 6B 04 31 32 00|1D 6B 41 02 31 32|"
      "1D 2A 01 01 01 02 03 04 05 06 07 08|"
      // Unknown commands take two bytes, a lone DLE one, and ESC & with 9 (out of range) its header.
      "1B F0|78|1D F0|78|10|78|10|1D 49 01|1B 26 09 41 42|78";
  EXPECT_EQ(Frames(FromHex(commands)), commands);
}

TEST(FramerTest, NothingComesOutOfATruncatedCommandAndALongOneIsCountedButNotKept) {
  const Bytes packet = Gs8L(B({48, 67, 48, 'K', '1', 1, 16, 0, 2, 0, 49, 1, 2, 3, 4}));
  for (size_t n = 1; n < packet.size(); ++n) EXPECT_EQ(Frames(packet.substr(0, n)), "") << n;
  EXPECT_EQ(Frames(packet), ToHex(packet));
  const Bytes big = Gs8L(Bytes(5000, '\x11'));
  EXPECT_EQ(Frames(big + B({29, 'I', 1}), 100), ToHex(big.substr(0, 100)) + " ...|1D 49 01");
}

Bytes Block(int id, const Bytes& data) { return B({0x37, id}) + data + B({0}); }

// The program's own command bytes sent to each model, and every byte of the answer.
TEST(GoldenStreamTest, RepliesByteForByte) {
  const Bytes logo_bw = NvRasterPacket("A1", 576, 120, {Plane(576, 120, 0x81)});  // N = 8651
  const Bytes logo_2c =
      NvRasterPacket("B2", 9, 3, {Plane(9, 3, 0xFF), Plane(9, 3, 0x80)});  // N = 2*(2*3+1)+10
  const Bytes logo_3c =
      NvRasterPacket("K7", 16, 2, {Plane(16, 2, 1), Plane(16, 2, 2), Plane(16, 2, 4)}, true);
  // The model ID, key list, remaining capacity and an empty key list.
  const Bytes id = CmdModelId(), list = CmdKeyCodeList(), left = CmdNvRemaining(), none = KeyBlock(0x40, "");
  std::vector<std::tuple<std::string, int, Bytes, Bytes>> cases = {
      // name, model, input, reply
      {"type id 161 offers printing", 161, CmdTypeId(), B({0x04})},
      {"type id 10 offers printing", 10, CmdTypeId(), B({0x04})},
      {"capacity 36", 36, CmdNvCapacity(), Block(0x30, "262144")},
      {"capacity 161", 161, CmdNvCapacity(), Block(0x30, "131072")},
      {"ESC ? 0 ignored by 46", 46, B({27, 63, 48}) + id, B({46})},
      {"long function numbers", 46, B({29, 40, 76, 2, 0, 48, 48, 29, 40, 76, 2, 0, 48, 51}),
       Block(0x30, "393216") + Block(0x33, "393216")},
      {"no NV graphics on 32", 32, CmdNvCapacity() + list + id, B({32})},
      {"no NV graphics on 176", 176, left + id, B({176})},
      {"two colours charge N", 46, logo_2c + left, Block(0x33, std::to_string(393216 - 24))},
      {"two colours refused by 161", 161, logo_2c + list, none},
      {"key list in byte order", 46, SmallLogo("C3") + SmallLogo("A1") + SmallLogo("B2") + list,
       KeyBlock(0x40, "A1B2C3")},
      {"delete one", 46, SmallLogo("A1") + SmallLogo("B2") + CmdDeleteGraphics("A1") + id + list,
       B({46}) + KeyBlock(0x40, "B2")},
      {"delete all", 46, logo_bw + logo_2c + CmdDeleteAllGraphics() + id + left + list,
       B({46}) + Block(0x33, "393216") + none},
      {"bad key code stores nothing", 46, NvRasterPacket(B({31, 'A'}), 8, 1, {Plane(8, 1, 1)}) + list, none},
      {"wrong count stores nothing", 46,
       B({29, '8', 'L', 12, 0, 0, 0, 48, 67, 48, 'A', '1', 1, 16, 0, 1, 0, 49, 0xFF}) + list, none},
      {"colour logo on 36", 36, logo_3c + left + list,
       Block(0x33, std::to_string(262144 - (3 * (2 * 2 + 1) + 11))) + KeyBlock(0x40, "K7")},
      {"colour logo refused by 46", 46, logo_3c + list, none},
      {"model id waits for the definition", 46, logo_bw + id + left, B({46}) + Block(0x33, "384565")},
      {"print and cut send nothing", 46,
       CmdNormalPrintMode() + "Logo A1\n" + CmdPrintGraphics("A1") + CmdFeedAndCut() + id, B({46})},
      {"bit images clear on 10", 10, CmdClearNvBitImages() + id, B({10})},
      {"bit image printed on 32", 32,
       NvBitImagePacket({{1, 1, Bytes(8, '\xFF')}}) + CmdPrintNvBitImage(1) + id, B({32})},
      {"garbage then model id", 46, B({0xFF, 0x1B, 0x99, 0x1D, 0x99, 0x1C, 0x99, 0x10, 0x99}) + id, B({46})},
  };
  for (int model : {46, 36, 161, 32, 10, 176})
    cases.push_back({"model id " + std::to_string(model), model, CmdModelId(), B({model})});
  for (const auto& [name, model, input, reply] : cases) {
    SCOPED_TRACE(name);
    auto printer = MakePrinter(model);
    ASSERT_TRUE(printer);
    Send(*printer, input);
    EXPECT_EQ(ToHex(Collect(*printer)), ToHex(reply));
  }
}

uint32_t Be32(const std::string& s, size_t i) {
  return static_cast<uint32_t>(At(s, i)) << 24 | At(s, i + 1) << 16 | At(s, i + 2) << 8 | At(s, i + 3);
}

// One row of the paper as text: '.' white, 'k' black, 'r' red.
std::string Row(const emu::Paper& paper, int y, int width) {
  std::string row;
  for (int x = 0; x < width; ++x) row += ".kr"[paper.Dot(x, y)];
  return row;
}

TEST(PaperTest, RowsLandAtTheirDotsInTheirColoursAndScale) {
  emu::Paper paper(16, "", "t", 1000);
  const Bytes black = B({0x80, 0x01, 0xFF});  // dots 0 and 15; the third byte is beyond the paper
  const Bytes red = B({0x40, 0x01});          // dots 1 and 15: red covers black at 15
  paper.PrintRows({&black, &red}, {emu::kInkBlack, emu::kInkRed}, 2, 1, 1, 1);
  EXPECT_EQ(Row(paper, 0, 17), "kr.............r.");
  // Scaled twice each way: dots 0 and 2 of the next row cover 2 × 2 dots each.
  const Bytes two = B({0xA0});
  paper.PrintRows({&two}, {emu::kInkBlack}, 1, 1, 2, 2);
  EXPECT_EQ(paper.Rows(), 3);
  EXPECT_EQ(Row(paper, 1, 8) + Row(paper, 2, 8), "kk..kk..kk..kk..");
}

TEST(PaperTest, EachCutWritesOneReceiptAsPng) {
  auto p = MakePrinter(46, "", FreshDir("paper"));
  const Bytes logo = NvRasterPacket("A1", 16, 8, {Plane(16, 8, 0xFF), Plane(16, 8, 0x0F)});
  Send(*p, logo + CmdNormalPrintMode() + "Logo A1" + B({10}) + CmdPrintGraphics("A1") + CmdFeedAndCut());
  Send(*p, CmdFeedAndCut());  // nothing printed: no file
  // GS 8 L function 112: one band of 16 × 4 dots in each colour (c = 49, 50) into the print buffer.
  for (int c : {49, 50})
    Send(*p, Gs8L(B({48, 112, 48, 1, 1, c, 16, 0, 4, 0}) + Plane(16, 4, c == 49 ? 0xF0 : 0x0F)));
  Send(*p, CmdPrintBufferGraphics());
  EXPECT_NE(p->TearOff(), "");
  ASSERT_EQ(p->PaperFiles().size(), 2u);
  std::string png;
  ASSERT_TRUE(emu::ReadWholeFile(p->PaperFiles()[0], png) && png.size() > 33) << png.size();
  // The signature, the header chunk, the paper width of model 46 and at least the height printed.
  EXPECT_EQ(png.substr(1, 3) + png.substr(12, 4) + " " + std::to_string(Be32(png, 16)), "PNGIHDR 560");
  EXPECT_GE(Be32(png, 20), 24u + 8u + 96u);
  // Without a paper folder nothing is kept, and nothing fails either.
  p = MakePrinter(46);
  Send(*p, logo + CmdPrintGraphics("A1"));
  EXPECT_EQ(p->TearOff(), "");
}

TEST(FuzzReplayTest, SeedsTheirTruncationsAndMutationsRunClean) {
  auto run = [](const std::string& s) {
    emu::FuzzEscPosInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  std::vector<std::string> corpus;
  for (const auto& e : std::filesystem::directory_iterator(ZELTA_FUZZ_CORPUS)) {
    ASSERT_TRUE(emu::ReadWholeFile(e.path(), corpus.emplace_back()));
    for (size_t n = 0; n <= corpus.back().size(); ++n) run(corpus.back().substr(0, n));
  }
  ASSERT_GE(corpus.size(), 5u);
  std::mt19937 rng(20261205);
  for (int i = 0; i < 3000; ++i) {
    std::string s = corpus[rng() % corpus.size()];
    for (int e = 1 + rng() % 8; e > 0 && !s.empty(); --e) {
      const size_t at = rng() % s.size();
      const int edit = rng() % 3;  // 0: change a byte, 1: insert one, 2: delete one
      s.replace(at, edit == 1 ? 0 : 1, edit == 2 ? 0 : 1, static_cast<char>(rng()));
    }
    run(s);
  }
}

}  // namespace
}  // namespace zelta::test
