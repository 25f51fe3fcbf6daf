#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/temp_dir.h"

namespace zelta::test {
namespace {

std::string Nul(std::string s) {
  std::replace(s.begin(), s.end(), '|', '\0');
  return s;
}

class IniTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string ini = dir.Write("Logo.INI",
                              "; a comment\r\n"
                              "[PRINTER ID]\r\n"
                              " KDT330 = 11808 \r\n"
                              "KDM410=36\r\n"
                              "loose line\r\n"
                              "\r\n"
                              "[printer brand]\n"
                              "KDT330=BRENNICA\n"
                              "Quoted=\"  spaced  \"\n"
                              "KDT330=second\n"
                              "[BRASIL]\n"
                              "ENABLED=1\n"
                              "Negative=-4\n"
                              "Junk=abc\n"
                              "Lead=12ab\n"
                              "[PRINTER ID]\n"
                              "Ignored=1\n");
};

TEST_F(IniTest, SectionIsEntriesEachEndedByNulCutToSizeMinusTwo) {
  const std::string full = Nul("KDT330=11808|KDM410=36|loose line|");  // 34 characters
  EXPECT_EQ(GetPrivateProfileSection("printer id", 256, ini), full);
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 35, ini), full);  // entries and the final NUL fit
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 34, ini), full.substr(0, 32));
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 16, ini), full.substr(0, 14));
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 2, ini), "");
  EXPECT_EQ(GetPrivateProfileSection("NOPE", 256, ini), "");
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 256, dir.File("missing.INI")), "");
}

TEST_F(IniTest, StringsAndIntegersByNameWithoutCaseFirstWins) {
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

}  // namespace
}  // namespace zelta::test
