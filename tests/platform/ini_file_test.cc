#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zelta::test {
namespace {

std::string Nul(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c == '|') c = '\0';
  }
  return out;
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

TEST_F(IniTest, SectionIsEntriesEachEndedByNul) {
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 256, ini), Nul("KDT330=11808|KDM410=36|loose line|"));
  EXPECT_EQ(GetPrivateProfileSection("printer id", 256, ini), Nul("KDT330=11808|KDM410=36|loose line|"));
  EXPECT_EQ(GetPrivateProfileSection("NOPE", 256, ini), "");
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 256, dir.File("missing.INI")), "");
}

TEST_F(IniTest, SectionThatDoesNotFitIsCutToSizeMinusTwo) {
  const std::string full = Nul("KDT330=11808|KDM410=36|loose line|");  // 34 characters
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 35, ini), full);    // entries and the final NUL fit
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 34, ini), full.substr(0, 32));
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 16, ini), full.substr(0, 14));
  EXPECT_EQ(GetPrivateProfileSection("PRINTER ID", 2, ini), "");
}

TEST_F(IniTest, StringsByNameWithoutCaseFirstWins) {
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "kdt330", "", 128, ini), "BRENNICA");
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "Quoted", "", 128, ini), "  spaced  ");
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "Missing", "dflt", 128, ini), "dflt");
  EXPECT_EQ(GetPrivateProfileString("NOPE", "KDT330", "dflt", 128, ini), "dflt");
  EXPECT_EQ(GetPrivateProfileString("PRINTER BRAND", "KDT330", "", 5, ini), "BREN");
  EXPECT_EQ(GetPrivateProfileString("PRINTER ID", "Ignored", "none", 128, ini), "none");
}

TEST_F(IniTest, IntegersReadTheLeadingDigits) {
  EXPECT_EQ(GetPrivateProfileInt("BRASIL", "ENABLED", 0, ini), 1);
  EXPECT_EQ(GetPrivateProfileInt("BRASIL", "Missing", 7, ini), 7);
  EXPECT_EQ(GetPrivateProfileInt("BRASIL", "Negative", 7, ini), 0);
  EXPECT_EQ(GetPrivateProfileInt("BRASIL", "Junk", 7, ini), 0);
  EXPECT_EQ(GetPrivateProfileInt("BRASIL", "Lead", 7, ini), 12);
  EXPECT_EQ(GetPrivateProfileInt("BRASIL", "ENABLED", 0, dir.File("missing.INI")), 0);
}

}  // namespace
}  // namespace zelta::test
