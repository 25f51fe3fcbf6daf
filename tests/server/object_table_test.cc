#include "server/object_table.h"

#include <gtest/gtest.h>

#include <set>

namespace zelta {
namespace {

using namespace std::chrono_literals;

struct Counter {
  explicit Counter(int* alive) : alive_(alive) { ++*alive_; }
  ~Counter() { --*alive_; }
  int* alive_;
};
struct Other {};

TEST(ObjectTable, ObjectsAreFoundByIdAndType) {
  ObjectTable table(1000ms);
  int alive = 0;
  uint64_t a = table.Add(std::make_shared<Counter>(&alive));
  uint64_t b = table.Add(std::make_shared<Other>());
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_TRUE(table.Begin<Counter>(a));
  EXPECT_FALSE(table.Begin<Other>(a));
  EXPECT_FALSE(table.Begin<Counter>(b));
  EXPECT_FALSE(table.Begin<Counter>(a + 1));
  EXPECT_FALSE(table.Begin<Counter>(0));
}

TEST(ObjectTable, AFullTableTakesNoMore) {
  ObjectTable table(1000ms, 2);
  int alive = 0;
  EXPECT_NE(table.Add(std::make_shared<Counter>(&alive)), 0u);
  uint64_t second = table.Add(std::make_shared<Counter>(&alive));
  EXPECT_EQ(table.Add(std::make_shared<Counter>(&alive)), 0u);
  EXPECT_EQ(alive, 2);  // the refused one is gone
  table.Drop(second);
  EXPECT_NE(table.Add(std::make_shared<Counter>(&alive)), 0u);
}

TEST(ObjectTable, IdsAreNotSequential) {
  ObjectTable table(1000ms);
  std::set<uint64_t> ids;
  uint64_t previous = 0;
  int close = 0;
  for (int i = 0; i < 100; ++i) {
    uint64_t id = table.Add(std::make_shared<Other>());
    ids.insert(id);
    if (id - previous < 1000) ++close;
    previous = id;
  }
  EXPECT_EQ(ids.size(), 100u);
  EXPECT_LT(close, 3);
}

TEST(ObjectTable, ExpiredObjectsAreDestroyedAndRenewedOnesKept) {
  ObjectTable table(100ms);
  int alive = 0;
  uint64_t kept = table.Add(std::make_shared<Counter>(&alive));
  uint64_t lost = table.Add(std::make_shared<Counter>(&alive));
  EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 50ms), 0u);
  std::this_thread::sleep_for(60ms);
  EXPECT_TRUE(table.Renew({kept}).empty());
  // lost is 120 ms old by then, kept 60 ms.
  EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 60ms), 1u);
  EXPECT_FALSE(table.Begin<Counter>(lost));
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(table.Renew({kept, lost}), std::vector<uint64_t>{lost});
}

TEST(ObjectTable, AnObjectInUseOutlivesItsLease) {
  ObjectTable table(10ms);
  int alive = 0;
  uint64_t id = table.Add(std::make_shared<Counter>(&alive));
  {
    auto use = table.Begin<Counter>(id);
    EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 1h), 0u);
    table.Drop(id);       // dropped from the table while the call runs...
    EXPECT_EQ(alive, 1);  // ...but kept until the call ends
  }
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(table.size(), 0u);
}

TEST(ObjectTable, TheReaperDropsObjectsNobodyRenews) {
  ObjectTable table(40ms);
  int alive = 0;
  table.Add(std::make_shared<Counter>(&alive));
  table.StartReaper();
  auto until = std::chrono::steady_clock::now() + 2s;
  while (table.size() > 0 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(table.size(), 0u);
  EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace zelta
