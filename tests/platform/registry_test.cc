#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace zelta::test {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() { ::setenv("ZELTA_REGISTRY", dir.File("registry").c_str(), 1); }
  ~RegistryTest() override { ::unsetenv("ZELTA_REGISTRY"); }
  // The result of reading and the value read, as "result value".
  std::string Read(const std::string& key, const std::string& name) {
    std::string value = "stale";
    const int32_t result = RegReadString(key, name, value);
    return std::to_string(result) + " " + value;
  }
  TempDir dir;
  const std::string zelta = "SOFTWARE\\Zelta\\", ok = std::to_string(kRegSuccess) + " ",
                    missing = std::to_string(kRegFileNotFound) + " ";
};

TEST_F(RegistryTest, ValuesReadBackAsWritten) {
  EXPECT_EQ(Read(zelta, "MainServer"), missing);  // no file
  dir.Write("registry", "[SOFTWARE\\Zelta]\nInstallationType=NETWORK\n");
  EXPECT_EQ(Read(zelta, "MainServer"), missing);
  EXPECT_EQ(Read("SOFTWARE\\Other\\", "InstallationType"), missing);
  EXPECT_EQ(Read(zelta, "InstallationType"), ok + "NETWORK");
  EXPECT_EQ(RegWriteString(zelta, "MainServer", "SHOP-01"), kRegSuccess);
  // Rewriting replaces; key paths and value names are compared without case.
  EXPECT_EQ(RegWriteString("software\\zelta", "MAINSERVER", "SHOP-02"), kRegSuccess);
  EXPECT_EQ(Read(zelta, "MainServer"), ok + "SHOP-02");
  EXPECT_EQ(dir.Read("registry").find("SHOP-01"), std::string::npos);
  // Awkward bytes survive the file; a string ends at its first NUL; 128 bytes or more do not fit.
  const std::string odd = "a=b\nc\r%41 [x] C:\\path ; not a comment";
  const std::pair<std::string, std::string> values[] = {
      {odd, ok + odd},
      {std::string("ab\0cd", 5), ok + "ab"},
      {std::string(127, 'a'), ok + std::string(127, 'a')},
      {std::string(128, 'a'), std::to_string(kRegMoreData) + " "}};
  for (const auto& [written, read] : values) {
    ASSERT_EQ(RegWriteString(zelta, "Value", written), kRegSuccess);
    EXPECT_EQ(Read(zelta, "Value"), read);
  }
}

TEST_F(RegistryTest, AMissingKeyIsNotCreatedByAWrite) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  const std::string key = "SOFTWARE\\OleForRetail\\ServiceOPOS\\POSPrinter\\KDT330";
  EXPECT_EQ(RegWriteString(key, "COMMPort", "COM1"), kRegFileNotFound);
  EXPECT_EQ(Read(key, "COMMPort"), missing);
  EXPECT_EQ(RegCreateKey(key), kRegSuccess);
  EXPECT_EQ(RegWriteString(key, "COMMPort", "COM1"), kRegSuccess);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  constexpr int kWriters = 4, kEach = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    if (pid_t pid = ::fork(); pid != 0) {
      children.push_back(pid);
      continue;
    }
    for (int i = 0; i < kEach; ++i) {
      if (RegWriteString(zelta, "W" + std::to_string(w) + "_" + std::to_string(i), "x") != 0) ::_exit(1);
    }
    ::_exit(0);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kEach; ++i)
      EXPECT_EQ(Read(zelta, "W" + std::to_string(w) + "_" + std::to_string(i)), ok + "x");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("registry.tmp")));
}

}  // namespace
}  // namespace zelta::test
