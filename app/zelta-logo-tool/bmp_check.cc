#include "bmp_check.h"

#include <fstream>

namespace zelta {
namespace {

constexpr size_t kHeaderBytes = 30;  // file header (14) and the information header up to the planes
constexpr size_t kPlanesAt = 26;

}  // namespace

std::string WhyNotABmpFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "The file <" + path + "> cannot be opened.";
  char head[kHeaderBytes] = {};
  file.read(head, sizeof head);
  const size_t got = static_cast<size_t>(file.gcount());
  if (got < 2 || head[0] != 'B' || head[1] != 'M')
    return "The file <" + path + "> is not a BMP file: it does not start with \"BM\".";
  if (got < kHeaderBytes) return "The file <" + path + "> is cut off inside its BMP header.";
  const unsigned planes =
      static_cast<unsigned char>(head[kPlanesAt]) | static_cast<unsigned char>(head[kPlanesAt + 1]) << 8;
  if (planes != 1)
    return "The file <" + path + "> gives " + std::to_string(planes) + " colour planes; a BMP file has 1.";
  return "";
}

}  // namespace zelta
