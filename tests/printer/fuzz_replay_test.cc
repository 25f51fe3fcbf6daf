// A short run of the fuzz input through the virtual printer: the seed corpus, every truncation of
// it, and a few thousand mutations from a fixed seed. The long runs use the libFuzzer target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "fuzz_escpos_input.h"

namespace zelta::test {
namespace {

void RunInput(const std::string& s) {
  emu::FuzzEscPosInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(FuzzReplayTest, SeedsTheirTruncationsAndMutationsRunClean) {
  std::vector<std::string> corpus;
  for (const auto& e : std::filesystem::directory_iterator(ZELTA_FUZZ_CORPUS)) {
    std::ifstream in(e.path(), std::ios::binary);
    corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    for (size_t n = 0; n <= corpus.back().size(); ++n) RunInput(corpus.back().substr(0, n));
  }
  ASSERT_GE(corpus.size(), 5u);
  std::mt19937 rng(20261205);
  for (int i = 0; i < 3000; ++i) {
    std::string s = corpus[rng() % corpus.size()];
    for (int e = 1 + rng() % 8; e > 0 && !s.empty(); --e) {
      const size_t at = rng() % s.size();
      const int edit = rng() % 3;  // 0: change a byte, 1: insert one, 2: delete one
      if (edit == 0) s[at] = static_cast<char>(rng());
      if (edit == 1) s.insert(at, 1, static_cast<char>(rng()));
      if (edit == 2) s.erase(at, 1);
    }
    RunInput(s);
  }
}

}  // namespace
}  // namespace zelta::test
