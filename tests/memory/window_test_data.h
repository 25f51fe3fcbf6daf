// The pictures and the data folder of the logo window's tests.
#pragma once

#include <functional>
#include <string>

#include "browser/configuration.h"
#include "image/bmp_test_files.h"
#include "imglib/zelta_img.h"
#include "shared/pubblic_var.h"
#include "support/temp_dir.h"

namespace zelta::test {

using Pixel = std::function<uint32_t(int, int)>;
// A w × h BMP in dir: by default a black frame around a red square on white.
inline std::string Picture(const TempDir& dir, const std::string& file, int w, int h, Pixel pixel = nullptr) {
  BmpSpec bmp;
  bmp.width = w;
  bmp.height = h;
  bmp.pixel = pixel ? pixel : [w, h](int x, int y) {
    if (x < 4 || y < 4 || x >= w - 4 || y >= h - 4) return 0u;
    return (x > w / 3 && x < 2 * w / 3) ? 0xFF0000u : 0xFFFFFFu;
  };
  return dir.Write(file, MakeBmp(bmp));
}

// Shared variables reset; the program's folder and the current folder are the test data folder.
inline void UseTestDataFolder() {
  ResetPubblicVar();
  InitProgramPaths("/nonexistent/zelta/Logo");
  AppFolder = ZELTA_TEST_DATA;
  SetCurrentPath(ZELTA_TEST_DATA, static_cast<int32_t>(AppFolder.size()));
}

}  // namespace zelta::test
