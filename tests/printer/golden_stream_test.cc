// Golden byte streams: the program's own command bytes sent to each model of the virtual printer,
// and every byte of the answer.
#include <gtest/gtest.h>

#include "emu_test_util.h"
#include "memory/nv_commands.h"

namespace zelta::test {
namespace {

Bytes Block(int id, const Bytes& data) { return B({0x37, id}) + data + B({0}); }
Bytes KeyBlock(int status, const Bytes& keys) { return B({0x37, 0x72, status}) + keys + B({0}); }

struct GoldenCase {
  std::string name;
  int model;
  Bytes input;
  Bytes reply;
};

std::vector<GoldenCase> Cases() {
  const Bytes logo_bw = NvRasterPacket("A1", 576, 120, {Plane(576, 120, 0x81)});  // N = 8651
  const Bytes logo_2c =
      NvRasterPacket("B2", 9, 3, {Plane(9, 3, 0xFF), Plane(9, 3, 0x80)});  // N = 2*(2*3+1)+10
  const Bytes logo_3c =
      NvRasterPacket("K7", 16, 2, {Plane(16, 2, 1), Plane(16, 2, 2), Plane(16, 2, 4)}, true);
  std::vector<GoldenCase> cases = {
      {"type id 161 offers printing", 161, CmdTypeId(), B({0x04})},
      {"type id 10 offers printing", 10, CmdTypeId(), B({0x04})},
      {"ESC ? 0 on 161", 161, B({27, 63, 48}), B({'_', 8, '0'}) + "VX-7800" + B({0})},
      {"ESC ? 0 ignored by 46", 46, B({27, 63, 48}) + CmdModelId(), B({46})},
      {"capacity 46", 46, CmdNvCapacity(), Block(0x30, "393216")},
      {"capacity 36", 36, CmdNvCapacity(), Block(0x30, "262144")},
      {"capacity 161", 161, CmdNvCapacity(), Block(0x30, "131072")},
      {"long function numbers", 46, B({29, 40, 76, 2, 0, 48, 48, 29, 40, 76, 2, 0, 48, 51}),
       Block(0x30, "393216") + Block(0x33, "393216")},
      {"no NV graphics on 32", 32, CmdNvCapacity() + CmdKeyCodeList() + CmdModelId(), B({32})},
      {"no NV graphics on 176", 176, CmdNvRemaining() + CmdModelId(), B({176})},
      {"empty key list", 46, CmdKeyCodeList(), KeyBlock(0x40, "")},
      {"define then remaining", 46, logo_bw + CmdNvRemaining(), Block(0x33, "384565")},
      {"two colours charge N", 46, logo_2c + CmdNvRemaining(), Block(0x33, std::to_string(393216 - 24))},
      {"two colours refused by 161", 161, logo_2c + CmdKeyCodeList(), KeyBlock(0x40, "")},
      {"key list in byte order", 46,
       NvRasterPacket("C3", 8, 1, {Plane(8, 1, 1)}) + NvRasterPacket("A1", 8, 1, {Plane(8, 1, 1)}) +
           NvRasterPacket("B2", 8, 1, {Plane(8, 1, 1)}) + CmdKeyCodeList(),
       KeyBlock(0x40, "A1B2C3")},
      {"delete one", 46,
       NvRasterPacket("A1", 8, 1, {Plane(8, 1, 1)}) + NvRasterPacket("B2", 8, 1, {Plane(8, 1, 1)}) +
           CmdDeleteGraphics("A1") + CmdModelId() + CmdKeyCodeList(),
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
      {"real-time status of a ready printer", 46, B({16, 4, 1, 16, 4, 2, 16, 4, 3, 16, 4, 4}),
       B({0x12, 0x12, 0x12, 0x12})},
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
  return cases;
}

class GoldenStreamTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenStreamTest, RepliesByteForByte) {
  const GoldenCase& c = GetParam();
  auto printer = MakePrinter(c.model);
  ASSERT_TRUE(printer);
  Send(*printer, c.input);
  EXPECT_EQ(ToHex(Collect(*printer)), ToHex(c.reply));
}

INSTANTIATE_TEST_SUITE_P(Table, GoldenStreamTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           std::string name;
                           for (char ch : info.param.name)
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

}  // namespace
}  // namespace zelta::test
