// The path of one logo from file to packet, stage by stage: a 2000 × 2000 24-bit BMP read, prepared
// at 576 dots in two colours with error diffusion, converted to dot planes by its colour table and
// framed as a GS 8 L packet. The input is $ZELTA_BENCH_BMP, else bench/out/inputs/logo.bmp when
// make_inputs.sh has made it, else a synthetic picture written to /tmp.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "download/raster_conversion.h"
#include "download/raster_packets.h"
#include "image/img_func.h"
#include "image/read_bmp_file.h"
#include "imglib/color_table.h"
#include "imglib/zelta_img.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

constexpr float kWidth = 576;
constexpr int32_t kTwoColours = 1;

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

std::string ProgramFolder() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? Folder(std::string(buf, static_cast<size_t>(n))) : "./";
}

std::string InputPath() {
  if (const char* env = std::getenv("ZELTA_BENCH_BMP")) return env;
  const std::string made = std::string(ZELTA_BENCH_DIR) + "/out/inputs/logo.bmp";
  if (access(made.c_str(), R_OK) == 0) return made;
  const std::string path = "/tmp/zelta_bench_2000.bmp";
  HBitmap pic = CreateDib24(2000, 2000);
  for (int y = 0; y < 2000; ++y) {
    uint8_t* row = pic->Row(y);
    for (int x = 0; x < 2000; ++x) {
      const double v = 0.5 + 0.5 * std::sin(x / 97.0) * std::cos(y / 61.0);
      const bool ink = ((x / 40) % 7 == 0) || ((y / 25) % 11 == 0);
      row[3 * x] = ink ? 0 : static_cast<uint8_t>(255 * v);
      row[3 * x + 1] = ink ? 0 : static_cast<uint8_t>(200 * (1 - v));
      row[3 * x + 2] = ink ? 20 : 230;
    }
  }
  WriteBmpFile(path, *pic);
  return path;
}

struct Pipeline {
  std::string input;
  PictureBox source, preview;
  Pipeline() {
    input = InputPath();
    AppFolder = ProgramFolder();
    SetCurrentPath(AppFolder, static_cast<int32_t>(AppFolder.size()));
    LoadedBitmaps.ReDimPreserve(1);
    PreparedBitmaps.ReDimPreserve(1);
    preview.border = 4;
  }

  bool Read() {
    LoadedBitmaps(1) = ReadBmpFile(input);
    if (!LoadedBitmaps(1)) return false;
    source.inner_w = LoadedBitmaps(1)->width();
    source.inner_h = LoadedBitmaps(1)->height();
    return true;
  }
  bool Prepare() {
    float width = kWidth;
    return PrepareLogoImage(1, source, preview, width, 1, kTwoColours, 1);
  }
  bool Convert(std::vector<std::vector<Bytes>>& planes) {
    ColorTable table;
    std::string error;
    if (LoadColorTableFile(AppFolder + preview.tag, table, error) != ColorTableStatus::kOk) return false;
    ColorTableConverter converter;
    std::array<std::vector<Bytes>, 3> all;
    if (!converter.Start(*PreparedBitmaps(1), table, kTwoColours, error) ||
        !ConvertWithColorTable(*PreparedBitmaps(1), table, kTwoColours, all, error)) {
      return false;
    }
    planes = {std::move(all[converter.first()]), std::move(all[converter.second()])};
    return true;
  }
  size_t Pack(const std::vector<std::vector<Bytes>>& planes) {
    Writes writes;
    const Dib& p = *PreparedBitmaps(1);
    if (!NvRasterWrites("01", kTwoColours, p.width(), p.height(), planes, writes)) return 0;
    Bytes packet;
    for (const Bytes& w : writes) packet += w;
    return packet.size();
  }
};

Pipeline& Shared() {
  static Pipeline p;
  return p;
}

void BM_Read(benchmark::State& state) {
  Pipeline& p = Shared();
  for (auto _ : state) {
    if (!p.Read()) state.SkipWithError("read failed");
  }
}

void BM_Prepare(benchmark::State& state) {
  Pipeline& p = Shared();
  if (!p.Read()) state.SkipWithError("read failed");
  for (auto _ : state) {
    if (!p.Prepare()) state.SkipWithError("prepare failed");
  }
}

void BM_Convert(benchmark::State& state) {
  Pipeline& p = Shared();
  if (!p.Read() || !p.Prepare()) state.SkipWithError("setup failed");
  std::vector<std::vector<Bytes>> planes;
  for (auto _ : state) {
    if (!p.Convert(planes)) state.SkipWithError("convert failed");
  }
}

void BM_Pack(benchmark::State& state) {
  Pipeline& p = Shared();
  std::vector<std::vector<Bytes>> planes;
  if (!p.Read() || !p.Prepare() || !p.Convert(planes)) state.SkipWithError("setup failed");
  for (auto _ : state) benchmark::DoNotOptimize(p.Pack(planes));
}

void BM_All(benchmark::State& state) {
  Pipeline& p = Shared();
  std::vector<std::vector<Bytes>> planes;
  size_t bytes = 0;
  for (auto _ : state) {
    if (!p.Read() || !p.Prepare() || !p.Convert(planes)) state.SkipWithError("pipeline failed");
    bytes = p.Pack(planes);
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["packet_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Prepare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_All)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelta
