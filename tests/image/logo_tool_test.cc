// Runs the zelta-logo-tool program on files made by the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "image/bmp_test_files.h"
#include "image/read_bmp_file.h"
#include "support/scripted_ui.h"

namespace zelta {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

int RunTool(const std::string& args, const std::string& err_file) {
  const int status = std::system((std::string(ZELTA_LOGO_TOOL) + " " + args + " 2>" + err_file).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LogoTool, PreparesAndWritesTheDefinitionPacket) {
  test::BmpSpec spec;
  spec.width = 300;
  spec.height = 100;
  spec.pixel = [](int x, int) { return x < 150 ? 0x000000u : 0xFFFFFFu; };
  const std::string in = test::WriteTempFile("tool_in.bmp", test::MakeBmp(spec));
  const std::string out = test::WriteTempFile("tool_out.bmp", "");
  const std::string packet = test::WriteTempFile("tool_packet.bin", "");
  const std::string err = test::WriteTempFile("tool_err.txt", "");
  ASSERT_EQ(RunTool("prepare " + in + " --width 560 --fit --color two --diffusion --out " + out +
                        " --packet " + packet + " --key 0A",
                    err),
            0)
      << Slurp(err);
  test::ScriptedUi ui;
  HBitmap prepared = ReadBmpFile(out);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared->width(), 560);
  EXPECT_EQ(prepared->height(), 187);
  const std::string bytes = Slurp(packet);
  const uint32_t n = 2 * (70 * 187 + 1) + 10;
  ASSERT_EQ(bytes.size(), 7 + n);
  EXPECT_EQ(bytes.substr(0, 3), "\x1d\x38\x4c");
  EXPECT_EQ(static_cast<uint8_t>(bytes[3]) | (static_cast<uint8_t>(bytes[4]) << 8), n & 0xFFFF);
  EXPECT_EQ(bytes.substr(10, 3), std::string("0A\x02", 3));
  EXPECT_EQ(static_cast<uint8_t>(bytes[17]), 49);
  EXPECT_EQ(static_cast<uint8_t>(bytes[18 + 70 * 187]), 50);
  EXPECT_EQ(static_cast<uint8_t>(bytes[18]), 0xFF) << "the left of the first row is black dots";
}

TEST(LogoTool, BadInputGivesTheMessageAndAFailure) {
  const std::string err = test::WriteTempFile("tool_err2.txt", "");
  const std::string out = test::WriteTempFile("tool_out2.bmp", "");
  EXPECT_EQ(RunTool("prepare /nonexistent/x.bmp --width 100 --out " + out, err), 1);
  EXPECT_NE(Slurp(err).find("The new logo </nonexistent/x.bmp> is not loaded."), std::string::npos);
  const std::string broken = test::WriteTempFile("tool_broken.bmp", "BM not a bitmap");
  EXPECT_EQ(RunTool("prepare " + broken + " --width 100 --out " + out, err), 1);
  EXPECT_EQ(RunTool("prepare " + broken + " --width 0 --out " + out, err), 2);
  EXPECT_EQ(RunTool("prepare " + broken + " --width 10 --out " + out + " --packet p.bin", err), 2)
      << "no key code";
}

}  // namespace
}  // namespace zelta
