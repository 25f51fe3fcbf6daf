#include "bmp_check.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zelta {
namespace {

// A BMP start of 40 bytes: the magic, the information header's size (40) at 14 and the planes at 26.
std::string Header(const std::string& magic, unsigned planes) {
  return magic + std::string(12, '\0') + char{40} + std::string(11, '\0') + static_cast<char>(planes & 0xff) +
         static_cast<char>(planes >> 8) + std::string(12, '\0');
}

TEST(BmpCheck, RefusalsNameTheReason) {
  test::TempDir dir;
  const std::string path = dir.File("logo.bmp");
  const std::string not_bmp = "is not a BMP file: it does not start with \"BM\".";
  const std::pair<std::string, std::string> cases[] = {
      {Header("BM", 1), ""},  // the reason after "The file <PATH> "
      {Header("MB", 1), not_bmp},
      {"", not_bmp},
      {"B", not_bmp},
      {Header("BM", 1).substr(0, 27), "is cut off inside its BMP header."},
      {Header("BM", 0), "gives 0 colour planes; a BMP file has 1."},
      {Header("BM", 258), "gives 258 colour planes; a BMP file has 1."},
  };
  for (const auto& [bytes, why] : cases) {
    dir.Write("logo.bmp", bytes);
    EXPECT_EQ(WhyNotABmpFile(path), why.empty() ? "" : "The file <" + path + "> " + why) << why;
  }
  std::remove(path.c_str());
  EXPECT_EQ(WhyNotABmpFile(path), "The file <" + path + "> cannot be opened.");
}

}  // namespace
}  // namespace zelta
