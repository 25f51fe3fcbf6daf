// The virtual printer's NV memories: define, redefine, delete, cut-off definitions, the multi-block
// key list and the state file across restarts.
#include "printer/nv_memory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "emu_test_util.h"
#include "memory/nv_commands.h"

namespace zelta::test {
namespace {

constexpr uint32_t kCapacity46 = 393216;
constexpr uint32_t kSmallLogoN = 1 * (2 * 2 + 1) + 10;

TEST(NvMemoryTest, RedefiningAKeyFreesTheOldSizeAndWhatDoesNotFitStoresNothing) {
  // Model 161 holds 131072 bytes: a logo of 400 × 2304 dots (N = 115211) fits once, not twice.
  auto p = MakePrinter(161);
  const Bytes plane = Plane(400, 2304, 0x0F);
  Send(*p, NvRasterPacket("B1", 400, 2304, {plane}) + NvRasterPacket("B2", 400, 2304, {plane}));
  EXPECT_EQ(Look(*p), "keys B1 | free " + std::to_string(131072 - 115211));
  // Replacing B1 by a larger logo fits, because the old one's space is given back: N = 51 × 2304 + 11.
  Send(*p, NvRasterPacket("B1", 408, 2304, {Plane(408, 2304, 0x0F)}));
  EXPECT_EQ(Look(*p), "keys B1 | free " + std::to_string(131072 - 117515));
  Send(*p, SmallLogo("B1"));
  EXPECT_EQ(Look(*p), "keys B1 | free " + std::to_string(131072 - kSmallLogoN));
  // A memory filled to the last byte.
  emu::NvMemory m(100, 0);
  EXPECT_TRUE(m.DefineGraphic("AA", {.width = 8, .height = 1, .planes = {B({1})}, .charged = 100}));
  EXPECT_EQ(m.GraphicsRemaining(), 0u);
  EXPECT_FALSE(m.DefineGraphic("AB", {.width = 8, .height = 1, .planes = {B({1})}, .charged = 1}));
}

TEST(NvMemoryTest, DefinitionCutOffByTheHostGoingAwayStoresNothing) {
  auto p = MakePrinter(46);
  Send(*p, SmallLogo("K1"));
  const Bytes packet = NvRasterPacket("K2", 576, 120, {Plane(576, 120, 0x55)});
  for (size_t cut : {size_t{3}, size_t{7}, size_t{18}, packet.size() / 2, packet.size() - 1}) {
    SCOPED_TRACE(cut);
    Send(*p, packet.substr(0, cut));
    p->Disconnect();
    Send(*p, CmdModelId());  // what the next host sends is read from a fresh start
    EXPECT_EQ(Look(*p), "keys K1 | free " + std::to_string(kCapacity46 - kSmallLogoN) + " | sent 2E");
  }
}

TEST(NvMemoryTest, KeyListComesInBlocksOfFortyAfterEachAckUntilCanOrAnotherCommand) {
  auto p = MakePrinter(46);
  Send(*p, Logos(85) + CmdKeyCodeList());
  const Bytes first = Collect(*p);
  EXPECT_EQ(first, KeyBlock(0x41, Keys(0, 40)));
  EXPECT_EQ(Collect(*p), "");  // nothing more until the host answers
  Send(*p, B({0x15}));         // NAK: the same block again
  EXPECT_EQ(Collect(*p), first);
  Send(*p, B({0x06}));  // ACK: the second block
  EXPECT_EQ(Collect(*p), KeyBlock(0x41, Keys(40, 80)));
  Send(*p, B({0x06}));
  EXPECT_EQ(Collect(*p), KeyBlock(0x40, Keys(80, 85)));
  Send(*p, B({0x06}) + CmdModelId());  // the list is over: an ACK now is just a byte
  EXPECT_EQ(Collect(*p), B({46}));
  // CAN, or a command that is no answer (carried out as such), ends the list early.
  for (const Bytes& end : {B({0x18}) + CmdModelId(), CmdModelId()}) {
    Send(*p, CmdKeyCodeList());
    ASSERT_EQ(Collect(*p), first);
    Send(*p, end);
    EXPECT_EQ(Collect(*p), B({46}));
  }
}

TEST(NvMemoryTest, StateFileSurvivesRestartsAndKilledWritersAndABadOneIsRefusedWithItsName) {
  const std::string dir = FreshDir("restart"), state = dir + "/nv.bin";
  auto p = MakePrinter(46, state);
  Send(*p, SmallLogo("A1") + SmallLogo("B2") + SmallLogo("C3") + CmdDeleteGraphics("B2"));
  EXPECT_EQ(p->StateError(), "");
  p = MakePrinter(46, state);
  EXPECT_EQ(Look(*p), "keys A1 C3 | free " + std::to_string(kCapacity46 - 2 * kSmallLogoN));
  std::string bytes, error;
  ASSERT_TRUE(emu::ReadWholeFile(state, bytes));
  emu::EmuOptions other;  // a file of another model
  other.model_id = 36;
  other.state_file = state;
  EXPECT_FALSE(emu::VirtualPrinter::Create(other, error));
  EXPECT_NE(error.find(state), std::string::npos);
  // Every truncation of a good file is refused and leaves the memory as it was.
  for (size_t n = 0; n < bytes.size(); ++n) {
    emu::NvMemory m(kCapacity46, 0);
    EXPECT_TRUE(!m.Deserialize(bytes.substr(0, n), 46, error) && m.KeyCodes().empty()) << n;
  }
  Send(*p, CmdPrintGraphics("C3") + CmdDeleteAllGraphics());
  p = MakePrinter(46, state);
  EXPECT_EQ(Look(*p), "keys | free " + std::to_string(kCapacity46));
  // Written through a temporary file that is renamed: nothing else is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  // A writer killed between writing its temporary file and renaming it leaves the file behind; the
  // next start clears those of processes that are gone and leaves a running writer's alone.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string stale = state + ".tmp." + std::to_string(gone);
  const std::string live = state + ".tmp." + std::to_string(getppid()), foreign = state + ".tmp.x1";
  for (const auto& f : {stale, live, foreign}) std::ofstream(f) << "half";
  ASSERT_TRUE(MakePrinter(46, state));
  std::string left;
  for (const auto& f : {stale, live, foreign}) left += std::filesystem::exists(f) ? '+' : '-';
  EXPECT_EQ(left, "-++");  // the stale one is gone
}

TEST(NvBitImageTest, DefineReplaceCutOffClearAndRestart) {
  const std::string state = FreshDir("bitimages") + "/nv.bin";
  // 100 × 50 dots: X = 13, Y = 7; the last 4 columns are padding.
  const Bytes columns = Bytes(700, '\x80') + Bytes(28, '\0');
  auto p = MakePrinter(10, state);
  Send(*p, NvBitImagePacket({{13, 7, columns}, {1, 1, Bytes(8, '\xFF')}}) + CmdModelId());
  EXPECT_EQ(Collect(*p), B({10}));
  p = MakePrinter(10, state);
  ASSERT_EQ(p->BitImageCount(), 2u);
  EXPECT_EQ(p->BitImageForTest(1)->columns, columns);
  Send(*p, NvBitImagePacket({{1, 1, Bytes(8, '\x01')}}));  // replaces every earlier image
  // A definition cut off by the host going away keeps the images there were.
  const Bytes packet = NvBitImagePacket({{2, 2, Bytes(32, '\x01')}, {1, 1, Bytes(8, '\x02')}});
  Send(*p, packet.substr(0, packet.size() - 1));
  p->Disconnect();
  Send(*p, CmdModelId());
  EXPECT_EQ(Collect(*p), B({10}));
  ASSERT_EQ(p->BitImageCount(), 1u);
  EXPECT_EQ(p->BitImageForTest(1)->columns, Bytes(8, '\x01'));
  Send(*p, CmdClearNvBitImages() + CmdModelId());
  EXPECT_EQ(Collect(*p), B({10}));
  EXPECT_EQ(p->BitImageCount(), 0u);
}

}  // namespace
}  // namespace zelta::test
