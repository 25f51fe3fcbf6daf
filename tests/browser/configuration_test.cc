#include "browser/configuration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "shared/pubblic_var.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

class GetPrinterModelTest : public ::testing::Test {
 protected:
  GetPrinterModelTest() {
    ResetPubblicVar();
    InitProgramPaths(dir.File("Logo"));
  }
  ~GetPrinterModelTest() override { ResetPubblicVar(); }
  void Ini(const std::string& text) { dir.Write("Logo.INI", text); }
  std::string Model(int id, std::string brand = "") {
    last_brand = brand;
    return GetPrinterModel(static_cast<uint8_t>(id), last_brand, &error);
  }
  TempDir dir;
  std::string last_brand, error;
};

TEST_F(GetPrinterModelTest, BuiltInTableWithoutIni) {
  const std::pair<int, const char*> table[] = {{176, "KDM410G"}, {10, "KDM25"},  {161, "KDM25"},
                                               {36, "KDM410"},   {32, "KDT330"}, {46, "KDT330"}};
  for (auto [id, name] : table) {
    EXPECT_EQ(Model(id, "ANY"), name) << id;
    EXPECT_EQ(last_brand, "BRENNICA") << id;
  }
  EXPECT_EQ(Model(99, "ANY"), "");
  EXPECT_EQ(last_brand, "");
}

TEST_F(GetPrinterModelTest, LowAndHighByteOfAnEntryMatch) {
  Ini("[PRINTER ID]\nTWIN=11808\nSOLO=36\n[PRINTER BRAND]\nTWIN=ACME\n");
  EXPECT_EQ(Model(32), "TWIN");
  EXPECT_EQ(last_brand, "ACME");
  EXPECT_EQ(Model(46), "TWIN");
  EXPECT_EQ(Model(36), "SOLO");
  EXPECT_EQ(last_brand, "");
  // Not in the file: the built-in table.
  EXPECT_EQ(Model(176), "KDM410G");
  EXPECT_EQ(last_brand, "BRENNICA");
}

TEST_F(GetPrinterModelTest, NegativeValuesUseTheirBytes) {
  Ini("[PRINTER ID]\nNEG=-1\nNEG2=-2560\n");
  EXPECT_EQ(Model(255), "NEG");  // -1: low byte 255, high byte 0
  EXPECT_EQ(Model(0), "NEG");    // high byte of -1 rounds toward zero
  EXPECT_EQ(Model(246), "");     // -2560 AND 255 = 0, -2560 / 256 = -10: neither is 246
}

TEST_F(GetPrinterModelTest, BrandDecidesBetweenTwoEntriesForOneId) {
  Ini("[PRINTER ID]\nFIRST=36\nSECOND=36\n[PRINTER BRAND]\nFIRST=ONE\nSECOND=TWO\n");
  EXPECT_EQ(Model(36, ""), "FIRST");
  EXPECT_EQ(last_brand, "ONE");
  EXPECT_EQ(Model(36, "TWO"), "SECOND");
  EXPECT_EQ(last_brand, "TWO");
  // The brand comparison is exact.
  EXPECT_EQ(Model(36, "two"), "KDM410");
  EXPECT_EQ(last_brand, "BRENNICA");
}

TEST_F(GetPrinterModelTest, OnlyEntriesInsideTheBufferCount) {
  // 21 entries of 12 characters (with NUL) fill 252 of the 254 characters returned.
  std::string ini = "[PRINTER ID]\n";
  for (int i = 0; i < 21; ++i) ini += "MODEL" + std::to_string(10 + i) + "=199\n";
  ini += "LATE=77\n";
  Ini(ini);
  EXPECT_EQ(Model(199), "MODEL10");
  EXPECT_EQ(Model(77), "");  // beyond the buffer: not seen, and 77 is not built in
  // An entry cut in the middle of its value is not read as a shorter number.
  std::string cut = "[PRINTER ID]\n";
  for (int i = 0; i < 20; ++i) cut += "MODEL" + std::to_string(10 + i) + "=199\n";  // 240 characters
  cut += "CUT=12345678901234\n";  // cut after "CUT=1234567890", and out of range either way
  Ini(cut);
  EXPECT_EQ(Model(199), "MODEL10");
  EXPECT_EQ(Model(78), "");
  EXPECT_EQ(error, "");
}

TEST_F(GetPrinterModelTest, ValueThatIsNotAWhole16BitNumberIsAnError) {
  for (const char* bad : {"abc", "36.5", "32768", "-32769", ""}) {
    Ini(std::string("[PRINTER ID]\nBAD=") + bad + "\nGOOD=36\n");
    error.clear();
    EXPECT_EQ(Model(36), "") << bad;
    EXPECT_NE(error.find("not a whole number between -32768 and 32767"), std::string::npos) << bad;
  }
  Ini("[PRINTER ID]\nEDGE=-32768\nTOP=32767\n");
  EXPECT_EQ(Model(0), "EDGE");   // -32768: low byte 0, high byte -128
  EXPECT_EQ(Model(127), "TOP");  // 32767: low byte 255, high byte 127
  EXPECT_EQ(Model(255), "TOP");
  EXPECT_EQ(Model(128), "");
}

TEST(ProgramPaths, FolderNameVariantAndIni) {
  ResetPubblicVar();
  InitProgramPaths("/opt/zelta/bin/Logo");
  EXPECT_EQ(AppFolder, "/opt/zelta/bin/");
  EXPECT_EQ(ProgramVariant(), "LOGO");
  EXPECT_EQ(ProgramIni(), "/opt/zelta/bin/Logo.INI");
  InitProgramPaths("/opt/zelta/bin/oposetup.exe");
  EXPECT_EQ(ProgramVariant(), "OPOSETUP");
  EXPECT_EQ(ProgramIni(), "/opt/zelta/bin/oposetup.INI");
  // At the root no second slash is added.
  InitProgramPaths("/Logo");
  EXPECT_EQ(AppFolder, "/");
  ResetPubblicVar();
}

TEST(ProgramPaths, LinksFindTheProgramsFolderAndKeepTheirName) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("bin").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.File("lib").c_str(), 0755), 0);
  dir.Write("lib/Logo", "");
  ASSERT_EQ(::symlink("../lib/Logo", dir.File("bin/OPOSETUP").c_str()), 0);
  ASSERT_EQ(::symlink("Logo", dir.File("lib/DEMO").c_str()), 0);
  char* real = ::realpath(dir.path().c_str(), nullptr);
  const std::string root = real;
  std::free(real);
  const struct {
    std::string started_as, folder, variant;
  } cases[] = {
      {dir.File("bin/OPOSETUP"), root + "/lib/", "OPOSETUP"},  // link in another folder
      {dir.File("lib/DEMO"), root + "/lib/", "DEMO"},          // link beside the program
      {dir.File("lib/Logo"), root + "/lib/", "LOGO"},
      {dir.File("bin/Missing"), dir.File("bin/"), "MISSING"},  // no such file: the path as given
  };
  for (const auto& c : cases) {
    InitProgramPaths(c.started_as);
    EXPECT_EQ(AppFolder, c.folder) << c.started_as;
    EXPECT_EQ(ProgramVariant(), c.variant) << c.started_as;
  }
  ResetPubblicVar();
}

}  // namespace
}  // namespace zelta::test
