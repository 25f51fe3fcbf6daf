#include "bmp_check.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zelta {
namespace {

// A BMP start: file header and the information header up to its planes, then a few bytes more.
std::string Header(const char* magic, unsigned planes) {
  std::string h(40, '\0');
  h[0] = magic[0];
  h[1] = magic[1];
  h[14] = 40;
  h[26] = static_cast<char>(planes & 0xff);
  h[27] = static_cast<char>(planes >> 8);
  return h;
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
