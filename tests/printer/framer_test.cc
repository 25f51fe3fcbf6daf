// The framer that tells where each command ends: every command kind, every truncation, and the
// commands it does not know.
#include <gtest/gtest.h>

#include "printer/escpos_framer.h"
#include "shared/bytes.h"

namespace zelta::test {
namespace {

std::vector<Bytes> Frame(const Bytes& stream, size_t max = 1024) {
  emu::EscPosFramer f(max);
  std::vector<Bytes> out;
  for (char c : stream)
    f.Feed(static_cast<uint8_t>(c), [&out](const std::string& cmd, bool) { out.push_back(cmd); });
  return out;
}

Bytes Le32Body(const Bytes& head, const Bytes& body) {
  Bytes out = head;
  AppendLe32(out, static_cast<uint32_t>(body.size()));
  return out + body;
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
      Le32Body(B({29, '8', 'L'}), B({48, 67, 48, 'A', '1', 1, 8, 0, 1, 0, 49, 0xFF})),
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

TEST(FramerTest, NothingComesOutOfATruncatedCommand) {
  const Bytes packet = Le32Body(B({29, '8', 'L'}), B({48, 67, 48, 'K', '1', 1, 16, 0, 2, 0, 49, 1, 2, 3, 4}));
  for (size_t n = 1; n < packet.size(); ++n) {
    EXPECT_TRUE(Frame(packet.substr(0, n)).empty()) << n;
  }
  EXPECT_EQ(Frame(packet).size(), 1u);
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

TEST(FramerTest, LongCommandIsCountedButNotKept) {
  const Bytes body(5000, '\x11');
  const Bytes packet = Le32Body(B({29, '8', 'L'}), body) + B({29, 'I', 1});
  emu::EscPosFramer f(100);
  std::vector<std::pair<Bytes, bool>> out;
  for (char c : packet)
    f.Feed(static_cast<uint8_t>(c), [&out](const std::string& cmd, bool whole) {
      out.push_back({cmd, whole});
    });
  ASSERT_EQ(out.size(), 2u);
  EXPECT_FALSE(out[0].second);
  EXPECT_EQ(out[0].first.size(), 100u);
  EXPECT_EQ(out[1], std::make_pair(B({29, 'I', 1}), true));
}

}  // namespace
}  // namespace zelta::test
