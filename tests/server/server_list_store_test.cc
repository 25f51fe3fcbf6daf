#include "server/server_list_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shared/result_codes.h"
#include "support/temp_dir.h"

namespace zelta {
namespace {

using Names = std::vector<std::string>;

class ServerListStoreTest : public ::testing::Test {
 protected:
  // A store of path, loaded.
  std::unique_ptr<ServerListStore> Loaded() {
    auto store = std::make_unique<ServerListStore>(path);
    EXPECT_TRUE(store->Load(error)) << error;
    return store;
  }

  test::TempDir dir;
  const std::string path = dir.File("servers.txt");
  std::string error;
};

TEST_F(ServerListStoreTest, ChangesSurviveAReloadAndNamesAreListedOnceWhateverTheirCase) {
  {
    auto store = Loaded();  // the file is not there yet: an empty list
    EXPECT_TRUE(store->Names().empty());
    EXPECT_EQ(store->Add("SHOP1", error), kResultOk);
    EXPECT_EQ(store->Add("SHOP2", error), kResultOk);
    EXPECT_EQ(store->Add("BACKOFFICE", error), kResultOk);
    EXPECT_EQ(store->Add("Shop1", error), kResultOk);
    EXPECT_EQ(store->Remove("shop2", error), kResultOk);
  }
  EXPECT_EQ(dir.Read("servers.txt"), "SHOP1\nBACKOFFICE\n");
  EXPECT_EQ(Loaded()->Names(), (Names{"SHOP1", "BACKOFFICE"}));
}

TEST_F(ServerListStoreTest, BadNamesAndUnknownNamesAreRefusedAndChangeNothing) {
  auto store = Loaded();
  ASSERT_EQ(store->Add("A", error), kResultOk);
  for (const std::string& name :
       std::vector<std::string>{"", "two\nlines", std::string(256, 'x'), std::string("nul\0", 4)})
    EXPECT_EQ(store->Add(name, error), kResultBadArgument) << name;
  EXPECT_EQ(store->Remove("B", error), kResultNotFound);
  EXPECT_EQ(error, "The server B is not in the server list.");
  EXPECT_EQ(store->Names(), Names{"A"});
  EXPECT_EQ(dir.Read("servers.txt"), "A\n");
}

TEST_F(ServerListStoreTest, DamagedLinesAndALeftoverTemporaryFileAreIgnored) {
  dir.Write("servers.txt",
            "ONE\r\n\n\x01"
            "bad\nTWO\none\n");
  dir.Write("servers.txt.tmp.999", "HALF");  // a write that was cut short by a crash
  EXPECT_EQ(Loaded()->Names(), (Names{"ONE", "TWO"}));
}

TEST_F(ServerListStoreTest, AFailedWriteKeepsTheListAndLeavesNoTemporaryFile) {
  auto store = Loaded();
  ASSERT_EQ(store->Add("A", error), kResultOk);
  // The list's own name taken by a folder: the rename over it fails.
  ASSERT_EQ(unlink(path.c_str()), 0);
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  EXPECT_EQ(store->Add("B", error), kResultFailure);
  EXPECT_NE(error.find("cannot be written"), std::string::npos);
  EXPECT_EQ(store->Names(), Names{"A"});
  EXPECT_NE(access((path + ".tmp." + std::to_string(getpid())).c_str(), F_OK), 0);
  // A folder that is not there fails the write as well.
  ServerListStore missing(dir.File("missing/servers.txt"));
  ASSERT_TRUE(missing.Load(error));
  EXPECT_EQ(missing.Add("A", error), kResultFailure);
  EXPECT_TRUE(missing.Names().empty());
}

}  // namespace
}  // namespace zelta
