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
  TempDir dir;
};

TEST_F(RegistryTest, WrittenValueReadsBack) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\nInstallationType=NETWORK\n");
  EXPECT_EQ(RegWriteString("SOFTWARE\\Zelta\\", "MainServer", "SHOP-01"), kRegSuccess);
  std::string value;
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "MainServer", value), kRegSuccess);
  EXPECT_EQ(value, "SHOP-01");
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "InstallationType", value), kRegSuccess);
  EXPECT_EQ(value, "NETWORK");
  // Rewriting replaces; key paths and value names are compared without case.
  EXPECT_EQ(RegWriteString("software\\zelta", "MAINSERVER", "SHOP-02"), kRegSuccess);
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "MainServer", value), kRegSuccess);
  EXPECT_EQ(value, "SHOP-02");
  EXPECT_EQ(dir.Read("registry").find("SHOP-01"), std::string::npos);
}

TEST_F(RegistryTest, MissingFileKeyOrValueReadsEmpty) {
  std::string value = "stale";
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "MainServer", value), kRegFileNotFound);
  EXPECT_EQ(value, "");
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  value = "stale";
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "MainServer", value), kRegFileNotFound);
  EXPECT_EQ(value, "");
  EXPECT_EQ(RegReadString("SOFTWARE\\Other\\", "MainServer", value), kRegFileNotFound);
}

TEST_F(RegistryTest, AMissingKeyIsNotCreatedByAWrite) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  EXPECT_EQ(RegWriteString("SOFTWARE\\OleForRetail\\ServiceOPOS\\POSPrinter\\KDT330", "COMMPort", "COM1"),
            kRegFileNotFound);
  std::string value;
  EXPECT_EQ(RegReadString("SOFTWARE\\OleForRetail\\ServiceOPOS\\POSPrinter\\KDT330", "COMMPort", value),
            kRegFileNotFound);
  EXPECT_EQ(RegCreateKey("SOFTWARE\\OleForRetail\\ServiceOPOS\\POSPrinter\\KDT330"), kRegSuccess);
  EXPECT_EQ(RegWriteString("SOFTWARE\\OleForRetail\\ServiceOPOS\\POSPrinter\\KDT330", "COMMPort", "COM1"),
            kRegSuccess);
}

TEST_F(RegistryTest, ValuesOf128BytesOrMoreDoNotFit) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  std::string value;
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\", "MainServer", std::string(127, 'a')), kRegSuccess);
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "MainServer", value), kRegSuccess);
  EXPECT_EQ(value.size(), 127u);
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\", "MainServer", std::string(128, 'a')), kRegSuccess);
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "MainServer", value), kRegMoreData);
  EXPECT_EQ(value, "");
}

TEST_F(RegistryTest, AwkwardBytesSurviveTheFile) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  const std::string odd = "a=b\nc\r%41 [x] C:\\path ; not a comment";
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\", "Odd", odd), kRegSuccess);
  std::string value;
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "Odd", value), kRegSuccess);
  EXPECT_EQ(value, odd);
  // A string ends at its first NUL.
  ASSERT_EQ(RegWriteString("SOFTWARE\\Zelta\\", "Nul", std::string("ab\0cd", 5)), kRegSuccess);
  EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "Nul", value), kRegSuccess);
  EXPECT_EQ(value, "ab");
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  constexpr int kWriters = 4, kEach = 25;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = ::fork();
    if (pid == 0) {
      for (int i = 0; i < kEach; ++i) {
        if (RegWriteString("SOFTWARE\\Zelta\\", "W" + std::to_string(w) + "_" + std::to_string(i), "x") !=
            0) {
          ::_exit(1);
        }
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::string value;
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kEach; ++i) {
      EXPECT_EQ(RegReadString("SOFTWARE\\Zelta\\", "W" + std::to_string(w) + "_" + std::to_string(i), value),
                0);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("registry.tmp")));
}

}  // namespace
}  // namespace zelta::test
