#include "memory/nv_commands.h"

#include <gtest/gtest.h>

namespace zelta {
namespace {

// The exact bytes of every command, as the printer must see them.
TEST(NvCommands, ExactBytes) {
  const struct {
    Bytes got, want;
  } cases[] = {
      {CmdNvCapacity(), B({29, 40, 76, 2, 0, 48, 0})},
      {CmdNvRemaining(), B({29, 40, 76, 2, 0, 48, 3})},
      {CmdPrintBufferGraphics(), B({29, 40, 76, 2, 0, 48, 50})},
      {CmdKeyCodeList(), B({29, 40, 76, 4, 0, 48, 64, 'K', 'C'})},
      {CmdDeleteAllGraphics(), B({29, 40, 76, 5, 0, 48, 65, 'C', 'L', 'R'})},
      {CmdDeleteGraphics("03"), B({29, 40, 76, 4, 0, 48, 66, '0', '3'})},
      {CmdDeleteGraphics(B({0, 0x7F})), B({29, 40, 76, 4, 0, 48, 66, 0, 0x7F})},
      {CmdDeleteGraphics("7"), B({29, 40, 76, 4, 0, 48, 66, '7', ' '})},  // a short key keeps the frame
      {CmdPrintGraphics("123"), B({29, 40, 76, 6, 0, 48, 69, '1', '2', 1, 1})},
      {CmdPrintGraphics("0A"), B({29, 40, 76, 6, 0, 48, 69, '0', 'A', 1, 1})},
      {CmdModelId(), B({29, 'I', 1})},
      {CmdTypeId(), B({29, 'I', 2})},
      {CmdNormalPrintMode(), B({27, '!', 0})},
      {CmdFeedAndCut(), B({29, 'V', 'B', 15})},
      {CmdPrintNvBitImage(1), B({28, 'p', 1, 0})},
      {CmdPrintNvBitImage(255), B({28, 'p', 255, 0})},
      {CmdClearNvBitImages(), B({28, 'q', 1, 0, 0, 0, 0})},
      {CmdRealTimeCommands(false), B({29, 40, 68, 5, 0, 20, 1, 0, 2, 0})},
      {CmdRealTimeCommands(true), B({29, 40, 68, 5, 0, 20, 1, 1, 2, 1})},
  };
  for (const auto& c : cases) EXPECT_EQ(ToHex(c.got), ToHex(c.want));
}

TEST(NvCommands, DecimalReplies) {
  for (const auto& [text, value] : std::vector<std::pair<Bytes, long long>>{{"3072", 3072},
                                                                            {"0", 0},
                                                                            {"999999999999", 999999999999},
                                                                            {"", -1},
                                                                            {"12a", -1},
                                                                            {B({'1', 0}), -1},
                                                                            {"-1", -1},
                                                                            {"9999999999999", -1}}) {
    EXPECT_EQ(ParseDecimalReply(text), value) << text;
  }
}

TEST(NvCommands, CommandFamilyByModel) {
  EXPECT_TRUE(UsesNvBitImages(32));
  EXPECT_TRUE(UsesNvBitImages(10));
  for (int id : {0, 36, 46, 161, 176}) EXPECT_FALSE(UsesNvBitImages(id)) << id;
  for (int id : {36, 46, 161, 176}) EXPECT_TRUE(SupportsRealTimeSwitch(id)) << id;
  for (int id : {0, 10, 32, 37, 255}) EXPECT_FALSE(SupportsRealTimeSwitch(id)) << id;
}

}  // namespace
}  // namespace zelta
