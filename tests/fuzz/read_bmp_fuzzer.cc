// libFuzzer target: any bytes as a BMP file, read through the /proc/self/fd path of an in-memory file so
// that the reader runs exactly as it does on disk. A bitmap that is read is converted to 24 bits and
// stretched, which exercises every pixel format; a small one goes the whole way to the download packet.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "download/raster_conversion.h"
#include "download/raster_packets.h"
#include "image/read_bmp_file.h"
#include "imglib/color_table.h"
#include "imglib/zelta_img.h"
#include "platform/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("bmp", 0);
  if (fd < 0) return 0;
  const bool whole = write(fd, data, size) == static_cast<ssize_t>(size);  // a memfd takes it at once
  zelta::HBitmap dib = zelta::ReadBmpFile("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  if (!whole || !dib) return 0;
  std::vector<uint8_t> rows;
  zelta::GetDIBits24(*dib, rows);
  zelta::HBitmap small = zelta::CreateDib24(7, 5);
  zelta::StretchBltHalftone(*small, 0, 0, 7, 5, *dib, 0, 0, dib->width(), dib->height());
  zelta::BitmapInfoHeader h = dib->header();
  h.biWidth = 9;
  h.biHeight = 4;
  if (zelta::HBitmap same = zelta::CreateDIBSection(h, dib->colors().data(), dib->colors().size())) {
    zelta::StretchBltHalftone(*same, 0, 0, 9, 4, *dib, 0, 0, dib->width(), dib->height());
    zelta::BitBlt(*same, -2, 1, 20, 20, *dib, 1, 0);
  }
  if (dib->width() > 64 || dib->height() > 64) return 0;
  [[maybe_unused]] static const int32_t path_set =  // once, as at start-up
      zelta::SetCurrentPath(ZELTA_FUZZ_DATA, static_cast<int32_t>(sizeof ZELTA_FUZZ_DATA - 1));
  const int32_t code = 1 + static_cast<int32_t>(size % 3);
  const int plane_count = code == 3 ? 3 : code == 1 ? 2 : 1;
  std::string text(256, ' ');
  int32_t length = 0;
  // The shipped colour tables always work: every step below must succeed.
  zelta::HBitmap prepared = zelta::ProcessImg(*dib, size & 4 ? 1 : 0, code, text, length);
  zelta::ColorTable table;
  std::string error;
  std::array<std::vector<zelta::Bytes>, 3> planes;
  zelta::Writes writes;
  if (!prepared ||
      zelta::LoadColorTableFile(ZELTA_FUZZ_DATA + text.substr(0, static_cast<size_t>(length)), table,
                                error) != zelta::ColorTableStatus::kOk ||
      !zelta::ConvertWithColorTable(*prepared, table, code, planes, error) ||
      !zelta::NvRasterWrites("00", code, prepared->width(), prepared->height(),
                             {planes.begin(), planes.begin() + plane_count}, writes)) {
    __builtin_trap();
  }
  for (int x = 0; x < prepared->width() + 8; ++x) (void)zelta::BlackDotColumn(*prepared, x);
  return 0;
}
