#include <gtest/gtest.h>
#include <stdlib.h>

#include "browser/about_info.h"
#include "browser/local_machine.h"
#include "browser/server_tree.h"
#include "platform/computer_name.h"
#include "platform/instance_lock.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

TEST(InstanceLock, SecondInstanceFindsTheLockHeldUntilTheFirstEnds) {
  TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  {
    InstanceLock first("LOGO");
    ASSERT_TRUE(first.Held()) << first.error();
    InstanceLock second("LOGO");
    EXPECT_FALSE(second.Held());
    InstanceLock other("OPOSETUP");  // another program variant runs beside it
    EXPECT_TRUE(other.Held());
  }
  InstanceLock again("LOGO");
  EXPECT_TRUE(again.Held());
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(ComputerName, ShortNameAndDomain) {
  const std::string me = GetComputerName();
  EXPECT_TRUE(!me.empty() && me.size() < 32u && me.find('.') == std::string::npos) << me;
  setenv("USERDOMAIN", "SHOPNET", 1);
  EXPECT_EQ(UserDomain(), "SHOPNET");
  unsetenv("USERDOMAIN");
  EXPECT_FALSE(UserDomain().empty());
}

TEST(LoopbackMachine, ThisComputerIsReachedOnLoopback) {
  const std::pair<const char*, const char*> table[] = {{"till1", "127.0.0.1"},
                                                       {"TILL1:47101", "127.0.0.1:47101"},
                                                       {"till2", "till2"},
                                                       {"till10:1", "till10:1"}};
  for (auto [in, out] : table) EXPECT_EQ(LoopbackMachine(in, "till1"), out) << in;
  EXPECT_EQ(LoopbackMachine("till1", ""), "till1");
}

TEST(AboutTexts, ReleaseFromTheVersionInformation) {
  const std::pair<const char*, const char*> table[] = {{"1.15.0001", "Release 1.15.1"},
                                                       {"2.0.0", "Release 2.0.0"},
                                                       {"3", "Release 3.0.0"},
                                                       {"x.7.09", "Release 0.7.9"}};
  for (auto [version, text] : table) EXPECT_EQ(MakeAboutTexts("P", "D", version).version, text) << version;
}

TEST(ServerTree, KeysAreUniqueAndChildrenSortWhenAsked) {
  ServerTree t;
  int root = t.Add(0, "Root", "NET", kImageDomain);
  t.Node(root)->sorted = true;
  int b = t.Add(root, "b", "b", kImageServer);
  t.Add(root, "A", "A", kImageServer);
  t.Add(b, "b\\P:1", "P:1", kImagePrinter, "1");
  EXPECT_EQ(t.Add(root, "A", "again", kImageServer), 0);
  EXPECT_EQ(t.Add(99, "x", "x", kImageServer), 0);
  EXPECT_EQ(t.DisplayOrder(), (std::vector<int>{root, t.Find("A"), b, t.Find("b\\P:1")}));
  t.Select(b);
  t.Remove(b);
  EXPECT_EQ(t.Selected(), 0);
  EXPECT_EQ(t.Count(), 2);
  EXPECT_EQ(t.First(), root);
}

}  // namespace
}  // namespace zelta::test
