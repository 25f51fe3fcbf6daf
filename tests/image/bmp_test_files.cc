#include "image/bmp_test_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

namespace zelta::test {
namespace {

void Le(std::string& s, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::string MakeBmp(const BmpSpec& spec) {
  const int64_t stride = (static_cast<int64_t>(spec.bit_count) * spec.width + 31) / 32 * 4;
  const int64_t natural = 54 + 4 * static_cast<int64_t>(spec.colors.size());
  const int64_t offset = spec.offset ? spec.offset : natural;
  std::string s = "BM";
  Le(s, offset + stride * std::abs(spec.height), 4);
  Le(s, 0, 4);
  Le(s, static_cast<uint64_t>(offset), 4);
  Le(s, 40, 4);
  Le(s, static_cast<uint32_t>(spec.width), 4);
  Le(s, static_cast<uint32_t>(spec.height), 4);
  Le(s, 1, 2);
  Le(s, spec.bit_count, 2);
  Le(s, spec.compression, 4);
  Le(s, 0, 4 * 5);
  for (uint32_t c : spec.colors) {
    s.push_back(static_cast<char>(c & 0xFF));
    s.push_back(static_cast<char>((c >> 8) & 0xFF));
    s.push_back(static_cast<char>((c >> 16) & 0xFF));
    s.push_back(0);
  }
  if (offset > natural) s.append(static_cast<size_t>(offset - natural), '\0');
  const int rows = std::abs(spec.height);
  for (int s_line = 0; s_line < rows; ++s_line) {
    const int y = rows - 1 - s_line;
    std::string row(static_cast<size_t>(stride), '\0');
    for (int x = 0; x < spec.width; ++x) {
      const uint32_t v = spec.pixel(x, y);
      switch (spec.bit_count) {
        case 1:
          if (v) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
          break;
        case 4:
          row[x / 2] = static_cast<char>(row[x / 2] | ((x % 2) ? (v & 15) : ((v & 15) << 4)));
          break;
        case 8:
          row[x] = static_cast<char>(v);
          break;
        case 16:
          row[2 * x] = static_cast<char>(v & 0xFF);
          row[2 * x + 1] = static_cast<char>(v >> 8);
          break;
        default: {
          const int px = spec.bit_count / 8;
          row[px * x] = static_cast<char>(v & 0xFF);
          row[px * x + 1] = static_cast<char>((v >> 8) & 0xFF);
          row[px * x + 2] = static_cast<char>((v >> 16) & 0xFF);
        }
      }
    }
    s += row;
  }
  return s;
}

std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  // Tests run as parallel processes: each writes files of its own.
  const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace zelta::test
