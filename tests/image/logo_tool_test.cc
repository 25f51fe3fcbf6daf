// Runs the zelta-logo-tool program on files made by the test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "image/bmp_test_files.h"
#include "image/read_bmp_file.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace zelta::test {
namespace {

class LogoTool : public ::testing::Test {
 protected:
  // The tool's exit status; what it wrote to stderr is in the file "err".
  int Run(const std::string& args) {
    const int status =
        std::system((std::string(ZELTA_LOGO_TOOL) + " prepare " + args + " 2>" + dir.File("err")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  TempDir dir;
};

TEST_F(LogoTool, PreparesAndWritesTheDefinitionPacket) {
  const std::string in = dir.Write(
      "in.bmp",
      MakeBmp({.width = 300, .height = 100, .pixel = [](int x, int) { return x < 150 ? 0u : 0xFFFFFFu; }}));
  ASSERT_EQ(Run(in + " --width 560 --fit --color two --diffusion --out " + dir.File("out.bmp") +
                " --packet " + dir.File("packet.bin") + " --key 0A"),
            0)
      << dir.Read("err");
  ScriptedUi ui;
  HBitmap prepared = ReadBmpFile(dir.File("out.bmp"));
  ASSERT_TRUE(prepared);
  EXPECT_EQ(std::pair(prepared->width(), prepared->height()), std::pair(560, 187));
  const std::string bytes = dir.Read("packet.bin");
  const uint32_t n = 2 * (70 * 187 + 1) + 10;
  ASSERT_EQ(bytes.size(), 7 + n);
  EXPECT_EQ(bytes.substr(0, 3), "\x1d\x38\x4c");
  EXPECT_EQ(static_cast<uint8_t>(bytes[3]) | (static_cast<uint8_t>(bytes[4]) << 8), n & 0xFFFF);
  EXPECT_EQ(bytes.substr(10, 3), std::string("0A\x02", 3));
  EXPECT_EQ(std::tuple(bytes[17], bytes[18 + 70 * 187]), std::tuple(49, 50)) << "black plane, then red";
  EXPECT_EQ(static_cast<uint8_t>(bytes[18]), 0xFF) << "the left of the first row is black dots";
}

TEST_F(LogoTool, BadInputGivesTheMessageAndAFailure) {
  const std::string out = " --out " + dir.File("out.bmp");
  EXPECT_EQ(Run("/nonexistent/x.bmp --width 100" + out), 1);
  EXPECT_NE(dir.Read("err").find("The new logo </nonexistent/x.bmp> is not loaded."), std::string::npos);
  const std::string broken = dir.Write("broken.bmp", "BM not a bitmap");
  EXPECT_EQ(Run(broken + " --width 100" + out), 1);
  EXPECT_EQ(Run(broken + " --width 0" + out), 2);
  EXPECT_EQ(Run(broken + " --width 10" + out + " --packet p.bin"), 2) << "no key code";
}

}  // namespace
}  // namespace zelta::test
