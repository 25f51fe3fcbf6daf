// The program's own settings and surroundings: printer models, program paths, the single instance, the
// computer's names, the About texts and the tree model.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "browser/about_info.h"
#include "browser/configuration.h"
#include "browser/local_machine.h"
#include "browser/server_tree.h"
#include "platform/computer_name.h"
#include "platform/instance_lock.h"
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
  std::string cut = "[PRINTER ID]\n";
  for (int i = 10; i < 30; ++i) cut += "MODEL" + std::to_string(i) + "=199\n";
  const std::string full = cut + "MODEL30=199\nLATE=77\n";
  cut += "CUT=12345678901234\n";  // cut after "CUT=1234567890", and out of range either way
  // The file, the model ID and the brand asked for; the model and the brand found.
  const std::tuple<std::string, int, std::string, std::string, std::string> cases[] = {
      {"", 176, "ANY", "KDM410G", "BRENNICA"},
      {"", 10, "", "KDM25", "BRENNICA"},  // 161 and 46: the OPOS set-up test tells them by their models
      {"", 36, "", "KDM410", "BRENNICA"},
      {"", 32, "", "KDT330", "BRENNICA"},
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
      {"[PRINTER ID]\nEDGE=-32768\n", 0, "", "EDGE", ""},  // low byte 0, high byte -128
      {full, 199, "", "MODEL10", ""},
      {full, 77, "", "", ""},
      {cut, 199, "", "MODEL10", ""},
      {cut, 78, "", "", ""},
  };
  TempDir dir;
  ResetPubblicVar();
  InitProgramPaths(dir.File("Logo"));
  for (const auto& [ini, id, asked, model, brand] : cases) {
    SCOPED_TRACE(ini + std::to_string(id));
    dir.Write("Logo.INI", ini);
    std::string found = asked, error;
    EXPECT_EQ(GetPrinterModel(static_cast<uint8_t>(id), found, &error) + "|" + found + "|" + error,
              model + "|" + brand + "|");
  }
  // A value that is not a whole 16-bit number is an error, even before a good entry.
  for (const std::string bad : {"abc", "36.5", "32768", "-32769", ""}) {
    dir.Write("Logo.INI", "[PRINTER ID]\nBAD=" + bad + "\nGOOD=36\n");
    std::string brand, error;
    EXPECT_EQ(GetPrinterModel(36, brand, &error) + error,
              "The PRINTER ID entry BAD=" + bad + " of " + ProgramIni() +
                  " is not a whole number between -32768 and 32767.");
  }
  ResetPubblicVar();
}

TEST(ProgramPaths, FolderNameVariantAndIni) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("bin"));
  std::filesystem::create_directories(dir.File("lib"));
  dir.Write("lib/Logo", "");
  std::filesystem::create_symlink("../lib/Logo", dir.File("bin/OPOSETUP"));
  std::filesystem::create_symlink("Logo", dir.File("lib/DEMO"));
  const std::string root = std::filesystem::canonical(dir.path()).string();
  // Started as, the folder, the variant and the INI file.
  const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
      {"/opt/zelta/bin/Logo", "/opt/zelta/bin/", "LOGO", "/opt/zelta/bin/Logo.INI"},
      {"/opt/zelta/bin/oposetup.exe", "/opt/zelta/bin/", "OPOSETUP", "/opt/zelta/bin/oposetup.INI"},
      {"/Logo", "/", "LOGO", "/Logo.INI"},                                                  // no second slash
      {dir.File("bin/OPOSETUP"), root + "/lib/", "OPOSETUP", root + "/lib/OPOSETUP.INI"},   // link elsewhere
      {dir.File("lib/DEMO"), root + "/lib/", "DEMO", root + "/lib/DEMO.INI"},               // link beside it
      {dir.File("bin/Missing"), dir.File("bin/"), "MISSING", dir.File("bin/Missing.INI")},  // as given
  };
  for (const auto& [started_as, folder, variant, ini] : cases) {
    InitProgramPaths(started_as);
    EXPECT_EQ(AppFolder + " " + ProgramVariant() + " " + ProgramIni(), folder + " " + variant + " " + ini)
        << started_as;
  }
  ResetPubblicVar();
}

TEST(InstanceLock, SecondInstanceFindsTheLockHeldUntilTheFirstEnds) {
  TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  {
    InstanceLock first("LOGO"), second("LOGO"), other("OPOSETUP");  // another variant runs beside it
    EXPECT_EQ(std::tuple(first.Held(), second.Held(), other.Held()), std::tuple(true, false, true))
        << first.error();
  }
  EXPECT_TRUE(InstanceLock("LOGO").Held());
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
  std::string reached;  // on till1, then one whose name is unknown
  for (const char* machine : {"till1", "TILL1:47101", "till2", "till10:1"})
    reached += LoopbackMachine(machine, "till1") + " ";
  EXPECT_EQ(reached + LoopbackMachine("till1", ""), "127.0.0.1 127.0.0.1:47101 till2 till10:1 till1");
}

TEST(AboutTexts, ReleaseFromTheVersionInformation) {
  // "1.15.0001" as "Release 1.15.1": the About window's test.
  EXPECT_EQ(MakeAboutTexts("P", "D", "3").version + ", " + MakeAboutTexts("P", "D", "x.7.09").version,
            "Release 3.0.0, Release 0.7.9");
}

TEST(ServerTree, KeysAreUniqueAndChildrenSortWhenAsked) {
  ServerTree t;
  int root = t.Add(0, "Root", "NET", kImageDomain);
  t.Node(root)->sorted = true;
  int b = t.Add(root, "b", "b", kImageServer);
  t.Add(root, "A", "A", kImageServer);
  t.Add(b, "b\\P:1", "P:1", kImagePrinter, "1");
  const int again = t.Add(root, "A", "again", kImageServer), orphan = t.Add(99, "x", "x", kImageServer);
  EXPECT_EQ(std::tuple(again, orphan, t.DisplayOrder()),
            std::tuple(0, 0, std::vector<int>{root, t.Find("A"), b, t.Find("b\\P:1")}));
  t.Select(b);
  t.Remove(b);
  EXPECT_EQ(std::tuple(t.Selected(), t.Count(), t.First()), std::tuple(0, 2, root));
}

}  // namespace
}  // namespace zelta::test
