// The byte stream as the virtual printer reads it: the framer that tells where each command ends, the
// golden answers of each model to the program's own commands, what lands on paper (captions are
// checked by the logo road test), and a short fuzz run: the seed corpus, every truncation of it and a
// few thousand mutations from a fixed seed (the long runs use the libFuzzer target).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "emu_test_util.h"
#include "fuzz_escpos_input.h"
#include "memory/nv_commands.h"
#include "printer/escpos_framer.h"
#include "printer/paper.h"

namespace zelta::test {
namespace {

std::vector<Bytes> Frame(const Bytes& stream) {
  emu::EscPosFramer f(1024);
  std::vector<Bytes> out;
  for (char c : stream)
    f.Feed(static_cast<uint8_t>(c), [&out](const std::string& cmd, bool) { out.push_back(cmd); });
  return out;
}

TEST(FramerTest, SplitsEachKindOfCommandWhole) {
  const std::vector<Bytes> commands = {
      B({'A'}),
      B({10}),
      B({16, 4, 1}),
      B({16, 5, 2}),
      B({16, 20, 1, 0, 1}),
      B({27, '@'}),
      B({27, '!', 0x38}),
      B({27, 'p', 0, 25, 250}),
      B({27, '*', 33, 2, 0, 1, 2, 3, 4, 5, 6}),
      B({27, 'D', 8, 16, 0}),
      B({27, '&', 3, 'A', 'A', 1, 1, 2, 3}),
      B({28, 'p', 1, 0}),
      B({28, 'q', 2, 1, 0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0}),
      B({28, '(', 'A', 2, 0, 48, 49}),
      B({29, '(', 'L', 2, 0, 48, 0}),
      Gs8L(B({48, 67, 48, 'A', '1', 1, 8, 0, 1, 0, 49, 0xFF})),
      B({29, 'I', 1}),
      B({29, 'V', 'B', 15}),
      B({29, 'V', 0}),
      B({29, 'v', '0', 0, 1, 0, 2, 0, 0xAA, 0x55}),
      B({29, 'k', 4, '1', '2', 0}),
      B({29, 'k', 65, 2, '1', '2'}),
      B({29, '*', 1, 1, 1, 2, 3, 4, 5, 6, 7, 8}),
  };
  Bytes stream;
  for (const Bytes& c : commands) stream += c;
  EXPECT_EQ(Frame(stream), commands);
}

TEST(FramerTest, NothingComesOutOfATruncatedCommandAndALongOneIsCountedButNotKept) {
  const Bytes packet = Gs8L(B({48, 67, 48, 'K', '1', 1, 16, 0, 2, 0, 49, 1, 2, 3, 4}));
  for (size_t n = 1; n < packet.size(); ++n) EXPECT_TRUE(Frame(packet.substr(0, n)).empty()) << n;
  EXPECT_EQ(Frame(packet).size(), 1u);
  emu::EscPosFramer f(100);
  std::vector<std::pair<Bytes, bool>> out;
  for (char c : Gs8L(Bytes(5000, '\x11')) + B({29, 'I', 1}))
    f.Feed(static_cast<uint8_t>(c), [&out](const std::string& cmd, bool whole) {
      out.push_back({cmd, whole});
    });
  ASSERT_EQ(out.size(), 2u);
  EXPECT_FALSE(out[0].second);
  EXPECT_EQ(out[0].first.size(), 100u);
  EXPECT_EQ(out[1], std::make_pair(B({29, 'I', 1}), true));
}

TEST(FramerTest, UnknownCommandsTakeTwoBytesALoneDleOneAndBadUserCharactersTheirHeader) {
  using V = std::vector<Bytes>;
  EXPECT_EQ(Frame(B({27, 0xF0, 'x'})), (V{B({27, 0xF0}), B({'x'})}));
  EXPECT_EQ(Frame(B({29, 0xF0, 'x'})), (V{B({29, 0xF0}), B({'x'})}));
  EXPECT_EQ(Frame(B({16, 'x'})), (V{B({16}), B({'x'})}));
  EXPECT_EQ(Frame(B({16, 29, 'I', 1})), (V{B({16}), B({29, 'I', 1})}));
  EXPECT_EQ(Frame(B({27, '&', 9, 'A', 'B', 'x'})),
            (V{B({27, '&', 9, 'A', 'B'}), B({'x'})}));  // 9 is out of range
}

Bytes Block(int id, const Bytes& data) { return B({0x37, id}) + data + B({0}); }
Bytes KeyBlock(int status, const Bytes& keys) { return B({0x37, 0x72, status}) + keys + B({0}); }

struct GoldenCase {
  std::string name;
  int model;
  Bytes input;
  Bytes reply;
};

// The program's own command bytes sent to each model, and every byte of the answer.
TEST(GoldenStreamTest, RepliesByteForByte) {
  const Bytes logo_bw = NvRasterPacket("A1", 576, 120, {Plane(576, 120, 0x81)});  // N = 8651
  const Bytes logo_2c =
      NvRasterPacket("B2", 9, 3, {Plane(9, 3, 0xFF), Plane(9, 3, 0x80)});  // N = 2*(2*3+1)+10
  const Bytes logo_3c =
      NvRasterPacket("K7", 16, 2, {Plane(16, 2, 1), Plane(16, 2, 2), Plane(16, 2, 4)}, true);
  std::vector<GoldenCase> cases = {
      {"type id 161 offers printing", 161, CmdTypeId(), B({0x04})},
      {"type id 10 offers printing", 10, CmdTypeId(), B({0x04})},
      {"capacity 46", 46, CmdNvCapacity(), Block(0x30, "393216")},
      {"capacity 36", 36, CmdNvCapacity(), Block(0x30, "262144")},
      {"capacity 161", 161, CmdNvCapacity(), Block(0x30, "131072")},
      {"ESC ? 0 on 161", 161, B({27, 63, 48}), B({'_', 8, '0'}) + "VX-7800" + B({0})},
      {"ESC ? 0 ignored by 46", 46, B({27, 63, 48}) + CmdModelId(), B({46})},
      {"long function numbers", 46, B({29, 40, 76, 2, 0, 48, 48, 29, 40, 76, 2, 0, 48, 51}),
       Block(0x30, "393216") + Block(0x33, "393216")},
      {"no NV graphics on 32", 32, CmdNvCapacity() + CmdKeyCodeList() + CmdModelId(), B({32})},
      {"no NV graphics on 176", 176, CmdNvRemaining() + CmdModelId(), B({176})},
      {"two colours charge N", 46, logo_2c + CmdNvRemaining(), Block(0x33, std::to_string(393216 - 24))},
      {"two colours refused by 161", 161, logo_2c + CmdKeyCodeList(), KeyBlock(0x40, "")},
      {"key list in byte order", 46, SmallLogo("C3") + SmallLogo("A1") + SmallLogo("B2") + CmdKeyCodeList(),
       KeyBlock(0x40, "A1B2C3")},
      {"delete one", 46,
       SmallLogo("A1") + SmallLogo("B2") + CmdDeleteGraphics("A1") + CmdModelId() + CmdKeyCodeList(),
       B({46}) + KeyBlock(0x40, "B2")},
      {"delete all", 46,
       logo_bw + logo_2c + CmdDeleteAllGraphics() + CmdModelId() + CmdNvRemaining() + CmdKeyCodeList(),
       B({46}) + Block(0x33, "393216") + KeyBlock(0x40, "")},
      {"bad key code stores nothing", 46,
       NvRasterPacket(B({31, 'A'}), 8, 1, {Plane(8, 1, 1)}) + CmdKeyCodeList(), KeyBlock(0x40, "")},
      {"wrong count stores nothing", 46,
       B({29, '8', 'L', 12, 0, 0, 0, 48, 67, 48, 'A', '1', 1, 16, 0, 1, 0, 49, 0xFF}) + CmdKeyCodeList(),
       KeyBlock(0x40, "")},
      {"colour logo on 36", 36, logo_3c + CmdNvRemaining() + CmdKeyCodeList(),
       Block(0x33, std::to_string(262144 - (3 * (2 * 2 + 1) + 11))) + KeyBlock(0x40, "K7")},
      {"colour logo refused by 46", 46, logo_3c + CmdKeyCodeList(), KeyBlock(0x40, "")},
      {"model id waits for the definition", 46, logo_bw + CmdModelId() + CmdNvRemaining(),
       B({46}) + Block(0x33, "384565")},
      {"print and cut send nothing", 46,
       CmdNormalPrintMode() + "Logo A1" + B({10}) + CmdPrintGraphics("A1") + CmdFeedAndCut() + CmdModelId(),
       B({46})},
      {"bit images clear on 10", 10, CmdClearNvBitImages() + CmdModelId(), B({10})},
      {"bit image printed on 32", 32,
       NvBitImagePacket({{1, 1, Bytes(8, '\xFF')}}) + CmdPrintNvBitImage(1) + CmdModelId(), B({32})},
      {"garbage then model id", 46, B({0xFF, 0x1B, 0x99, 0x1D, 0x99, 0x1C, 0x99, 0x10, 0x99}) + CmdModelId(),
       B({46})},
  };
  for (int model : {46, 36, 161, 32, 10, 176})
    cases.push_back({"model id " + std::to_string(model), model, CmdModelId(), B({model})});
  for (const GoldenCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto printer = MakePrinter(c.model);
    ASSERT_TRUE(printer);
    Send(*printer, c.input);
    EXPECT_EQ(ToHex(Collect(*printer)), ToHex(c.reply));
  }
}

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
  // Scaled twice each way: dots 0 and 2 of the next row cover 2 × 2 dots each.
  const Bytes two = B({0xA0});
  paper.PrintRows({&two}, {emu::kInkBlack}, 1, 1, 2, 2);
  EXPECT_EQ(paper.Rows(), 3);
  EXPECT_EQ(paper.Dot(1, 2), emu::kInkBlack);
  EXPECT_EQ(paper.Dot(5, 2), emu::kInkBlack);
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

TEST(FuzzReplayTest, SeedsTheirTruncationsAndMutationsRunClean) {
  auto run = [](const std::string& s) {
    emu::FuzzEscPosInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  std::vector<std::string> corpus;
  for (const auto& e : std::filesystem::directory_iterator(ZELTA_FUZZ_CORPUS)) {
    std::ifstream in(e.path(), std::ios::binary);
    corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    for (size_t n = 0; n <= corpus.back().size(); ++n) run(corpus.back().substr(0, n));
  }
  ASSERT_GE(corpus.size(), 5u);
  std::mt19937 rng(20261205);
  for (int i = 0; i < 3000; ++i) {
    std::string s = corpus[rng() % corpus.size()];
    for (int e = 1 + rng() % 8; e > 0 && !s.empty(); --e) {
      const size_t at = rng() % s.size();
      const int edit = rng() % 3;  // 0: change a byte, 1: insert one, 2: delete one
      if (edit == 0) s[at] = static_cast<char>(rng());
      if (edit == 1) s.insert(at, 1, static_cast<char>(rng()));
      if (edit == 2) s.erase(at, 1);
    }
    run(s);
  }
}

}  // namespace
}  // namespace zelta::test
