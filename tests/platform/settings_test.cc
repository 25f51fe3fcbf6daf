// The two settings stores: INI files read as the program's tables are, and the registry file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ini_file.h"
#include "platform/registry.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

using namespace std::string_literals;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { ::setenv("ZELTA_REGISTRY", dir.File("registry").c_str(), 1); }
  ~SettingsTest() override { ::unsetenv("ZELTA_REGISTRY"); }
  // The result of reading the registry and the value read, as "result value".
  std::string Read(const std::string& key, const std::string& name) {
    std::string value = "stale";
    const int32_t result = RegReadString(key, name, value);
    return std::to_string(result) + " " + value;
  }
  TempDir dir;
  const std::string zelta = "SOFTWARE\\Zelta\\", ok = std::to_string(kRegSuccess) + " ",
                    missing = std::to_string(kRegFileNotFound) + " ";
  const std::string ini =
      dir.Write("Logo.INI",
                "; a comment\r\n[PRINTER ID]\r\n KDT330 = 11808 \r\nKDM410=36\r\nloose line\r\n"
                "\r\n[printer brand]\nKDT330=BRENNICA\nQuoted=\"  spaced  \"\nKDT330=second\n"
                "[BRASIL]\nENABLED=1\nNegative=-4\nJunk=abc\nLead=12ab\n[PRINTER ID]\nIgnored=1\n");
};

TEST_F(SettingsTest, IniSectionIsEntriesEachEndedByNulCutToSizeMinusTwo) {
  const std::string full = "KDT330=11808\0KDM410=36\0loose line\0"s;  // 34 characters
  EXPECT_EQ(GetPrivateProfileSection("printer id", 256, ini), full);
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 35, ini), full);  // entries and the final NUL fit
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 34, ini), full.substr(0, 32));
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 2, ini), "");
  EXPECT_EQ(GetPrivateProfileSection("NOPE", 256, ini), "");
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 256, dir.File("missing.INI")), "");
}

TEST_F(SettingsTest, IniStringsAndIntegersByNameWithoutCaseFirstWins) {
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "kdt330", "", 128, ini), "BRENNICA");
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "Quoted", "", 128, ini), "  spaced  ");
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "Missing", "dflt", 128, ini), "dflt");
  EXPECT_EQ(GetPrivateProfileString("NOPE", "KDT330", "dflt", 128, ini), "dflt");
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "KDT330", "", 5, ini), "BREN");
  EXPECT_EQ(GetPrivateProfileString("PRINTER ID", "Ignored", "none", 128, ini), "none");
  // Integers read the leading digits.
  const std::pair<const char*, int> ints[] = {
      {"ENABLED", 1}, {"Missing", 7}, {"Negative", 0}, {"Junk", 0}, {"Lead", 12}};
  for (auto [name, value] : ints) EXPECT_EQ(GetPrivateProfileInt("BRASIL", name, 7, ini), value) << name;
  EXPECT_EQ(GetPrivateProfileInt("BRASIL", "ENABLED", 0, dir.File("missing.INI")), 0);
}

TEST_F(SettingsTest, RegistryValuesReadBackAsWritten) {
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
  // A missing key is not created by a write.
  const std::string key = "SOFTWARE\\OleForRetail\\ServiceOPOS\\POSPrinter\\KDT330";
  EXPECT_EQ(RegWriteString(key, "COMMPort", "COM1"), kRegFileNotFound);
  EXPECT_EQ(Read(key, "COMMPort"), missing);
  EXPECT_EQ(RegCreateKey(key), kRegSuccess);
  EXPECT_EQ(RegWriteString(key, "COMMPort", "COM1"), kRegSuccess);
}

TEST_F(SettingsTest, ConcurrentRegistryWritersLoseNothing) {
  dir.Write("registry", "[SOFTWARE\\Zelta]\n");
  constexpr int kWriters = 4, kEach = 25;
  auto name = [](int w, int i) { return "W" + std::to_string(w) + "_" + std::to_string(i); };
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    if (pid_t pid = ::fork(); pid != 0) {
      children.push_back(pid);
      continue;
    }
    for (int i = 0; i < kEach; ++i)
      if (RegWriteString(zelta, name(w, i), "x") != 0) ::_exit(1);
    ::_exit(0);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int i = 0; i < kWriters * kEach; ++i) EXPECT_EQ(Read(zelta, name(i / kEach, i % kEach)), ok + "x");
  EXPECT_FALSE(std::filesystem::exists(dir.File("registry.tmp")));
}

}  // namespace
}  // namespace zelta::test
