// A short run of the fuzz input through the virtual printer: the seed corpus, every truncation of
// it, and a few thousand mutations from a fixed seed. The long runs use the libFuzzer target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "fuzz_escpos_input.h"

namespace zelta::test {
namespace {

std::vector<std::string> Corpus() {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(ZELTA_FUZZ_CORPUS)) {
    std::ifstream in(e.path(), std::ios::binary);
    out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return out;
}

void RunInput(const std::string& s) {
  emu::FuzzEscPosInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(FuzzReplayTest, SeedsAndTheirTruncationsRunClean) {
  const std::vector<std::string> corpus = Corpus();
  ASSERT_GE(corpus.size(), 5u);
  for (const std::string& s : corpus) {
    for (size_t n = 0; n <= s.size(); ++n) RunInput(s.substr(0, n));
  }
}

TEST(FuzzReplayTest, MutationsRunClean) {
  const std::vector<std::string> corpus = Corpus();
  std::mt19937 rng(20261205);
  for (int i = 0; i < 3000; ++i) {
    std::string s = corpus[rng() % corpus.size()];
    const int edits = 1 + rng() % 8;
    for (int e = 0; e < edits && !s.empty(); ++e) {
      const size_t at = rng() % s.size();
      switch (rng() % 3) {
        case 0:
          s[at] = static_cast<char>(rng());
          break;
        case 1:
          s.insert(at, 1, static_cast<char>(rng()));
          break;
        default:
          s.erase(at, 1);
      }
    }
    RunInput(s);
  }
}

}  // namespace
}  // namespace zelta::test
