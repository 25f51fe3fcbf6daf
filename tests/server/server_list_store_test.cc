#include "server/server_list_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "shared/result_codes.h"

namespace zelta {
namespace {

class ServerListStoreTest : public ::testing::Test {
 protected:
  ServerListStoreTest() {
    char pattern[] = "/tmp/zelta_store_XXXXXX";
    dir_ = mkdtemp(pattern);
    path_ = dir_ + "/servers.txt";
  }
  ~ServerListStoreTest() override { std::system(("rm -rf " + dir_).c_str()); }

  std::string FileText() {
    std::ifstream f(path_);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }

  std::string dir_, path_;
};

TEST_F(ServerListStoreTest, MissingFileIsAnEmptyList) {
  ServerListStore store(path_);
  std::string error;
  EXPECT_TRUE(store.Load(error));
  EXPECT_TRUE(store.Names().empty());
}

TEST_F(ServerListStoreTest, ChangesSurviveAReload) {
  std::string error;
  {
    ServerListStore store(path_);
    ASSERT_TRUE(store.Load(error));
    EXPECT_EQ(store.Add("SHOP1", error), kResultOk);
    EXPECT_EQ(store.Add("SHOP2", error), kResultOk);
    EXPECT_EQ(store.Add("BACKOFFICE", error), kResultOk);
    EXPECT_EQ(store.Remove("shop2", error), kResultOk);
  }
  EXPECT_EQ(FileText(), "SHOP1\nBACKOFFICE\n");
  ServerListStore again(path_);
  ASSERT_TRUE(again.Load(error));
  EXPECT_EQ(again.Names(), (std::vector<std::string>{"SHOP1", "BACKOFFICE"}));
}

TEST_F(ServerListStoreTest, NamesAreListedOnceWhateverTheirCase) {
  ServerListStore store(path_);
  std::string error;
  ASSERT_TRUE(store.Load(error));
  EXPECT_EQ(store.Add("Shop1", error), kResultOk);
  EXPECT_EQ(store.Add("SHOP1", error), kResultOk);
  EXPECT_EQ(store.Names(), std::vector<std::string>{"Shop1"});
}

TEST_F(ServerListStoreTest, BadNamesAndUnknownNamesAreRefusedAndChangeNothing) {
  ServerListStore store(path_);
  std::string error;
  ASSERT_TRUE(store.Load(error));
  ASSERT_EQ(store.Add("A", error), kResultOk);
  EXPECT_EQ(store.Add("", error), kResultBadArgument);
  EXPECT_EQ(store.Add("two\nlines", error), kResultBadArgument);
  EXPECT_EQ(store.Add(std::string(256, 'x'), error), kResultBadArgument);
  EXPECT_EQ(store.Add(std::string("nul\0", 4), error), kResultBadArgument);
  EXPECT_EQ(store.Remove("B", error), kResultNotFound);
  EXPECT_EQ(error, "The server B is not in the server list.");
  EXPECT_EQ(store.Names(), std::vector<std::string>{"A"});
  EXPECT_EQ(FileText(), "A\n");
}

TEST_F(ServerListStoreTest, DamagedLinesAndALeftoverTemporaryFileAreIgnored) {
  {
    std::ofstream f(path_, std::ios::binary);
    f << "ONE\r\n\n" << char(1) << "bad\nTWO\none\n";
    std::ofstream t(path_ + ".tmp.999", std::ios::binary);
    t << "HALF";  // a write that was cut short by a crash
  }
  ServerListStore store(path_);
  std::string error;
  ASSERT_TRUE(store.Load(error));
  EXPECT_EQ(store.Names(), (std::vector<std::string>{"ONE", "TWO"}));
}

TEST_F(ServerListStoreTest, AFailedWriteKeepsTheListAndLeavesNoTemporaryFile) {
  ServerListStore store(path_);
  std::string error;
  ASSERT_TRUE(store.Load(error));
  ASSERT_EQ(store.Add("A", error), kResultOk);
  // The list's own name taken by a folder: the rename over it fails.
  ASSERT_EQ(unlink(path_.c_str()), 0);
  ASSERT_EQ(mkdir(path_.c_str(), 0700), 0);
  EXPECT_EQ(store.Add("B", error), kResultFailure);
  EXPECT_NE(error.find("cannot be written"), std::string::npos);
  EXPECT_EQ(store.Names(), std::vector<std::string>{"A"});
  EXPECT_NE(access((path_ + ".tmp." + std::to_string(getpid())).c_str(), F_OK), 0);
}

TEST_F(ServerListStoreTest, AFolderThatIsNotThereFailsTheWrite) {
  ServerListStore store(dir_ + "/missing/servers.txt");
  std::string error;
  ASSERT_TRUE(store.Load(error));
  EXPECT_EQ(store.Add("A", error), kResultFailure);
  EXPECT_TRUE(store.Names().empty());
}

}  // namespace
}  // namespace zelta
