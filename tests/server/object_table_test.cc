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

const std::string kMe = "client-a", kOther = "client-b";

TEST(ObjectTable, ObjectsAreFoundByIdTypeAndClient) {
  ObjectTable table(1000ms);
  int alive = 0;
  ObjectId a = table.Add(std::make_shared<Counter>(&alive), kMe);
  ObjectId b = table.Add(std::make_shared<Other>(), kMe);
  ASSERT_EQ(a.size(), kObjectIdBytes);
  EXPECT_NE(a, b);
  EXPECT_TRUE(table.Begin<Counter>(a, kMe));
  EXPECT_FALSE(table.Begin<Other>(a, kMe));
  EXPECT_FALSE(table.Begin<Counter>(b, kMe));
  ObjectId near = a;
  near.back() ^= 1;
  EXPECT_FALSE(table.Begin<Counter>(near, kMe));
  // Another client that knows the id can neither use, renew nor drop the object.
  EXPECT_FALSE(table.Begin<Counter>(a, kOther));
  EXPECT_EQ(table.Renew({a}, kOther), std::vector<ObjectId>{a});  // answered like an unknown id
  table.Drop(a, kOther);
  EXPECT_TRUE(table.Begin<Counter>(a, kMe));
  EXPECT_EQ(alive, 1);
}

TEST(ObjectTable, FullTableAndFullClientShareTakeNoMore) {
  ObjectTable table(1000ms, 3, 2);
  int alive = 0;
  EXPECT_FALSE(table.Add(std::make_shared<Counter>(&alive), kMe).empty());
  ObjectId second = table.Add(std::make_shared<Counter>(&alive), kMe);
  EXPECT_FALSE(second.empty());
  EXPECT_TRUE(table.Add(std::make_shared<Counter>(&alive), kMe).empty());  // my share is full
  EXPECT_EQ(alive, 2);                                                     // the refused one is gone
  EXPECT_FALSE(table.Add(std::make_shared<Counter>(&alive), kOther).empty());
  EXPECT_TRUE(table.Add(std::make_shared<Counter>(&alive), "c").empty());  // the table is full
  table.Drop(second, kMe);
  EXPECT_FALSE(table.Add(std::make_shared<Counter>(&alive), kMe).empty());
}

TEST(ObjectTable, IdsAreRandom) {
  ObjectTable table(1000ms, 4096, 4096);
  std::set<ObjectId> ids;
  std::set<std::string> prefixes;
  for (int i = 0; i < 200; ++i) {
    ObjectId id = table.Add(std::make_shared<Other>(), kMe);
    ids.insert(id);
    prefixes.insert(id.substr(0, 2));
  }
  EXPECT_EQ(ids.size(), 200u);
  EXPECT_GT(prefixes.size(), 190u);  // no shared structure between neighbours
}

TEST(ObjectTable, LeasesRunOutUnlessRenewedOrInUse) {
  ObjectTable table(100ms);
  int alive = 0;
  ObjectId kept = table.Add(std::make_shared<Counter>(&alive), kMe);
  ObjectId lost = table.Add(std::make_shared<Counter>(&alive), kMe);
  EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 50ms), 0u);
  std::this_thread::sleep_for(60ms);
  EXPECT_TRUE(table.Renew({kept}, kMe).empty());
  // lost is 120 ms old by then, kept 60 ms.
  EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 60ms), 1u);
  EXPECT_FALSE(table.Begin<Counter>(lost, kMe));
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(table.Renew({kept, lost}, kMe), std::vector<ObjectId>{lost});
  {
    auto use = table.Begin<Counter>(kept, kMe);
    EXPECT_EQ(table.Expire(ObjectTable::Clock::now() + 1h), 0u);  // a call in progress holds it
    table.Drop(kept, kMe);  // dropped from the table while the call runs...
    EXPECT_EQ(alive, 1);    // ...but kept until the call ends
  }
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(table.size(), 0u);
}

}  // namespace
}  // namespace zelta
