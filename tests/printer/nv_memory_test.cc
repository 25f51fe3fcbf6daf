// The virtual printer's NV memories: define, redefine, delete, clear, cut-off definitions, the
// multi-block key list and the state file across restarts.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "emu_test_util.h"
#include "memory/nv_commands.h"
#include "printer/nv_memory.h"

namespace zelta::test {
namespace {

constexpr uint32_t kCapacity46 = 393216;

Bytes SmallLogo(const std::string& key, uint8_t fill = 0xAA) {
  return NvRasterPacket(key, 16, 2, {Plane(16, 2, fill)});
}
constexpr uint32_t kSmallLogoN = 1 * (2 * 2 + 1) + 10;

std::string Key(int i) {
  return std::string(1, static_cast<char>('!' + i / 90)) + static_cast<char>('!' + i % 90);
}

TEST(NvMemoryTest, RedefiningAKeyReplacesItAndFreesTheOldSize) {
  auto p = MakePrinter(46);
  Send(*p, NvRasterPacket("A1", 576, 120, {Plane(576, 120, 0xFF)}));
  EXPECT_EQ(p->NvRemaining(), kCapacity46 - 8651);
  Send(*p, SmallLogo("A1"));
  EXPECT_EQ(p->KeyCodes(), std::vector<std::string>{"A1"});
  EXPECT_EQ(p->NvRemaining(), kCapacity46 - kSmallLogoN);
}

TEST(NvMemoryTest, DefinitionThatDoesNotFitStoresNothing) {
  // Model 161 holds 131072 bytes: a logo of 400 × 2304 dots (N = 115211) fits once, not twice.
  auto p = MakePrinter(161);
  const Bytes big = NvRasterPacket("B1", 400, 2304, {Plane(400, 2304, 0x0F)});
  Send(*p, big);
  const uint32_t after_first = p->NvRemaining();
  EXPECT_EQ(after_first, 131072u - 115211u);
  Bytes second = big;
  second[10] = 'B';
  second[11] = '2';
  Send(*p, second);
  EXPECT_EQ(p->KeyCodes(), std::vector<std::string>{"B1"});
  EXPECT_EQ(p->NvRemaining(), after_first);
  // Replacing B1 by the same size fits, because the old one's space is given back.
  Send(*p, big);
  EXPECT_EQ(p->NvRemaining(), after_first);
}

TEST(NvMemoryTest, ExactFitIsAccepted) {
  emu::NvMemory m(100, 0);
  emu::NvGraphic g;
  g.width = 8;
  g.height = 1;
  g.planes = {B({1})};
  g.charged = 100;
  EXPECT_TRUE(m.DefineGraphic("AA", g));
  EXPECT_EQ(m.GraphicsRemaining(), 0u);
  g.charged = 1;
  EXPECT_FALSE(m.DefineGraphic("AB", g));
}

TEST(NvMemoryTest, DefinitionCutOffByTheHostGoingAwayStoresNothing) {
  auto p = MakePrinter(46);
  Send(*p, SmallLogo("K1"));
  const uint32_t before = p->NvRemaining();
  const Bytes packet = NvRasterPacket("K2", 576, 120, {Plane(576, 120, 0x55)});
  for (size_t cut : {size_t{3}, size_t{7}, size_t{18}, packet.size() / 2, packet.size() - 1}) {
    Send(*p, packet.substr(0, cut));
    p->Disconnect();
    // What the next host sends is read from a fresh start.
    Send(*p, CmdModelId());
    EXPECT_EQ(Collect(*p), B({46})) << "cut at " << cut;
    EXPECT_EQ(p->KeyCodes(), std::vector<std::string>{"K1"}) << "cut at " << cut;
    EXPECT_EQ(p->NvRemaining(), before);
  }
}

TEST(NvMemoryTest, KeyListComesInBlocksOfFortyAfterEachAck) {
  auto p = MakePrinter(46);
  Bytes all;
  for (int i = 0; i < 85; ++i) all += SmallLogo(Key(i));
  Send(*p, all);
  ASSERT_EQ(p->KeyCodes().size(), 85u);

  Send(*p, CmdKeyCodeList());
  const Bytes first = Collect(*p);
  ASSERT_EQ(first.size(), 3u + 80 + 1);
  EXPECT_EQ(ToHex(first.substr(0, 3)), "37 72 41");
  EXPECT_EQ(first.substr(3, 4), Key(0) + Key(1));
  EXPECT_EQ(Collect(*p), "");  // nothing more until the host answers

  Send(*p, B({0x15}));  // NAK: the same block again
  EXPECT_EQ(Collect(*p), first);
  Send(*p, B({0x06}));  // ACK: the second block
  const Bytes second = Collect(*p);
  EXPECT_EQ(ToHex(second.substr(0, 3)), "37 72 41");
  EXPECT_EQ(second.substr(3, 2), Key(40));
  Send(*p, B({0x06}));
  const Bytes third = Collect(*p);
  EXPECT_EQ(third, B({0x37, 0x72, 0x40}) + Key(80) + Key(81) + Key(82) + Key(83) + Key(84) + B({0}));
  // The list is over: an ACK now is just a byte.
  Send(*p, B({0x06}) + CmdModelId());
  EXPECT_EQ(Collect(*p), B({46}));
}

TEST(NvMemoryTest, CanOrAnotherCommandEndsTheKeyList) {
  auto p = MakePrinter(46);
  Bytes all;
  for (int i = 0; i < 41; ++i) all += SmallLogo(Key(i));
  Send(*p, all + CmdKeyCodeList());
  ASSERT_EQ(Collect(*p).size(), 84u);
  Send(*p, B({0x18}) + CmdModelId());
  EXPECT_EQ(Collect(*p), B({46}));
  Send(*p, CmdKeyCodeList());
  ASSERT_EQ(Collect(*p).size(), 84u);
  Send(*p, CmdModelId());  // not an answer: the list ends and the command is carried out
  EXPECT_EQ(Collect(*p), B({46}));
}

TEST(NvMemoryTest, SurvivesARestartThroughTheStateFile) {
  const std::string dir = FreshDir("restart");
  const std::string state = dir + "/nv.bin";
  {
    auto p = MakePrinter(46, state);
    Send(*p, SmallLogo("A1") + SmallLogo("B2") + SmallLogo("C3") + CmdDeleteGraphics("B2"));
    EXPECT_EQ(p->StateError(), "");
  }
  {
    auto p = MakePrinter(46, state);
    EXPECT_EQ(p->KeyCodes(), (std::vector<std::string>{"A1", "C3"}));
    EXPECT_EQ(p->NvRemaining(), kCapacity46 - 2 * kSmallLogoN);
    Send(*p, CmdPrintGraphics("C3") + CmdDeleteAllGraphics());
  }
  auto p = MakePrinter(46, state);
  EXPECT_TRUE(p->KeyCodes().empty());
  EXPECT_EQ(p->NvRemaining(), kCapacity46);
  // Written through a temporary file that is renamed: nothing else is left in the folder.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST(NvMemoryTest, BadStateFileIsRefusedWithItsName) {
  const std::string dir = FreshDir("badstate");
  const std::string state = dir + "/nv.bin";
  {
    auto p = MakePrinter(46, state);
    Send(*p, SmallLogo("A1"));
  }
  std::string bytes;
  ASSERT_TRUE(emu::ReadWholeFile(state, bytes));
  emu::EmuOptions options;
  options.model_id = 36;  // a file of another model
  options.state_file = state;
  std::string error;
  EXPECT_FALSE(emu::VirtualPrinter::Create(options, error));
  EXPECT_NE(error.find(state), std::string::npos);
  // Every truncation of a good file is refused and leaves the memory as it was.
  for (size_t n = 0; n < bytes.size(); ++n) {
    emu::NvMemory m(kCapacity46, 0);
    std::string why;
    EXPECT_FALSE(m.Deserialize(bytes.substr(0, n), 46, why)) << n;
    EXPECT_TRUE(m.KeyCodes().empty());
  }
}

TEST(NvBitImageTest, DefinePrintClearAndRestart) {
  const std::string dir = FreshDir("bitimages");
  const std::string state = dir + "/nv.bin";
  // 100 × 50 dots: X = 13, Y = 7; the last 4 columns are padding.
  Bytes columns;
  for (int x = 0; x < 104; ++x) columns += x < 100 ? Bytes(7, static_cast<char>(0x80)) : Bytes(7, '\0');
  {
    auto p = MakePrinter(10, state);
    Send(*p, NvBitImagePacket({{13, 7, columns}, {1, 1, Bytes(8, '\xFF')}}) + CmdModelId());
    EXPECT_EQ(Collect(*p), B({10}));
    ASSERT_EQ(p->BitImageCount(), 2u);
    EXPECT_EQ(p->BitImageForTest(1)->columns, columns);
  }
  auto p = MakePrinter(10, state);
  EXPECT_EQ(p->BitImageCount(), 2u);
  // A new definition replaces every earlier image.
  Send(*p, NvBitImagePacket({{1, 1, Bytes(8, '\x01')}}));
  EXPECT_EQ(p->BitImageCount(), 1u);
  Send(*p, CmdClearNvBitImages() + CmdModelId());
  EXPECT_EQ(Collect(*p), B({10}));
  EXPECT_EQ(p->BitImageCount(), 0u);
}

TEST(NvBitImageTest, CutOffDefinitionKeepsTheEarlierImages) {
  auto p = MakePrinter(32);
  Send(*p, NvBitImagePacket({{1, 1, Bytes(8, '\x0F')}}));
  const Bytes packet = NvBitImagePacket({{2, 2, Bytes(32, '\x01')}, {1, 1, Bytes(8, '\x02')}});
  Send(*p, packet.substr(0, packet.size() - 1));
  p->Disconnect();
  Send(*p, CmdModelId());
  EXPECT_EQ(Collect(*p), B({32}));
  ASSERT_EQ(p->BitImageCount(), 1u);
  EXPECT_EQ(p->BitImageForTest(1)->columns, Bytes(8, '\x0F'));
}

// A writer killed between writing its temporary file and renaming it leaves the file behind; the
// next start clears those of processes that are gone and leaves a running writer's alone.
TEST(NvMemoryTest, TemporariesOfKilledWritersAreRemovedAtStart) {
  const std::string dir = FreshDir("stale_tmp");
  const std::string state = dir + "/46.nv";
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string stale = state + ".tmp." + std::to_string(gone);
  const std::string live = state + ".tmp." + std::to_string(getppid());
  const std::string other = state + ".tmp.x1";
  for (const auto& f : {stale, live, other}) std::ofstream(f) << "half";
  auto printer = MakePrinter(46, state);
  ASSERT_TRUE(printer);
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(live));
  EXPECT_TRUE(std::filesystem::exists(other));
}

}  // namespace
}  // namespace zelta::test
