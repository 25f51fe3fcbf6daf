#include "browser/configuration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "shared/pubblic_var.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

TEST(GetPrinterModel, IniEntriesByEitherByteAndBrandThenTheBuiltInTable) {
  const std::string twin = "[PRINTER ID]\nTWIN=11808\nSOLO=36\n[PRINTER BRAND]\nTWIN=ACME\n";
  const std::string two = "[PRINTER ID]\nFIRST=36\nSECOND=36\n[PRINTER BRAND]\nFIRST=ONE\nSECOND=TWO\n";
  const std::string edges = "[PRINTER ID]\nNEG=-1\nNEG2=-2560\nEDGE=-32768\nTOP=32767\n";
  // 21 entries of 12 characters (with NUL) fill 252 of the 254 characters read: a later one is not seen,
  // and one cut in the middle of its value is not read as a shorter number.
  std::string full = "[PRINTER ID]\n", cut = full;
  for (int i = 0; i < 21; ++i) full += "MODEL" + std::to_string(10 + i) + "=199\n";
  for (int i = 0; i < 20; ++i) cut += "MODEL" + std::to_string(10 + i) + "=199\n";
  full += "LATE=77\n";
  cut += "CUT=12345678901234\n";  // cut after "CUT=1234567890", and out of range either way
  const struct {
    std::string ini;
    int id;
    std::string brand, model, brand_after;
  } cases[] = {
      {"", 176, "ANY", "KDM410G", "BRENNICA"},
      {"", 10, "", "KDM25", "BRENNICA"},
      {"", 161, "", "KDM25", "BRENNICA"},
      {"", 36, "", "KDM410", "BRENNICA"},
      {"", 32, "", "KDT330", "BRENNICA"},
      {"", 46, "", "KDT330", "BRENNICA"},
      {"", 99, "ANY", "", ""},
      {twin, 32, "", "TWIN", "ACME"},  // low byte
      {twin, 46, "", "TWIN", "ACME"},  // high byte
      {twin, 36, "", "SOLO", ""},      // no brand
      {twin, 176, "", "KDM410G", "BRENNICA"},
      {two, 36, "", "FIRST", "ONE"},
      {two, 36, "TWO", "SECOND", "TWO"},
      {two, 36, "two", "KDM410", "BRENNICA"},  // brands exact
      {edges, 255, "", "NEG", ""},             // -1: low byte 255, high byte 0 (rounded toward zero)
      {edges, 0, "", "NEG", ""},
      {edges, 246, "", "", ""},  // -2560: bytes 0 and -10
      {edges, 127, "", "TOP", ""},
      {edges, 128, "", "", ""},
      {full, 199, "", "MODEL10", ""},
      {full, 77, "", "", ""},
      {cut, 199, "", "MODEL10", ""},
      {cut, 78, "", "", ""},
  };
  TempDir dir;
  ResetPubblicVar();
  InitProgramPaths(dir.File("Logo"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini + std::to_string(c.id));
    dir.Write("Logo.INI", c.ini);
    std::string brand = c.brand, error;
    EXPECT_EQ(GetPrinterModel(static_cast<uint8_t>(c.id), brand, &error), c.model);
    EXPECT_EQ(brand, c.brand_after);
    EXPECT_EQ(error, "");
  }
  // A value that is not a whole 16-bit number is an error, even before a good entry.
  for (const char* bad : {"abc", "36.5", "32768", "-32769", ""}) {
    dir.Write("Logo.INI", std::string("[PRINTER ID]\nBAD=") + bad + "\nGOOD=36\n");
    std::string brand, error;
    EXPECT_EQ(GetPrinterModel(36, brand, &error), "") << bad;
    EXPECT_NE(error.find("not a whole number between -32768 and 32767"), std::string::npos) << bad;
  }
  dir.Write("Logo.INI", "[PRINTER ID]\nEDGE=-32768\n");
  std::string brand;
  EXPECT_EQ(GetPrinterModel(0, brand), "EDGE");  // -32768: low byte 0, high byte -128
  ResetPubblicVar();
}

TEST(ProgramPaths, FolderNameVariantAndIni) {
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
    std::string started_as, folder, variant, ini;
  } cases[] = {
      {"/opt/zelta/bin/Logo", "/opt/zelta/bin/", "LOGO", "/opt/zelta/bin/Logo.INI"},
      {"/opt/zelta/bin/oposetup.exe", "/opt/zelta/bin/", "OPOSETUP", "/opt/zelta/bin/oposetup.INI"},
      {"/Logo", "/", "LOGO", "/Logo.INI"},                                                  // no second slash
      {dir.File("bin/OPOSETUP"), root + "/lib/", "OPOSETUP", root + "/lib/OPOSETUP.INI"},   // link elsewhere
      {dir.File("lib/DEMO"), root + "/lib/", "DEMO", root + "/lib/DEMO.INI"},               // link beside it
      {dir.File("bin/Missing"), dir.File("bin/"), "MISSING", dir.File("bin/Missing.INI")},  // as given
  };
  for (const auto& c : cases) {
    InitProgramPaths(c.started_as);
    EXPECT_EQ(AppFolder + " " + ProgramVariant() + " " + ProgramIni(),
              c.folder + " " + c.variant + " " + c.ini)
        << c.started_as;
  }
  ResetPubblicVar();
}

}  // namespace
}  // namespace zelta::test
