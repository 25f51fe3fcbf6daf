// libFuzzer target: any bytes as a BMP file. The file is an in-memory file reached through its
// /proc/self/fd path, so the reader runs exactly as it does on disk. A bitmap that is read is also
// converted to 24 bits and stretched, which exercises every pixel format.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/read_bmp_file.h"
#include "platform/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("bmp", 0);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  zelta::HBitmap dib = zelta::ReadBmpFile("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  if (!dib) return 0;
  std::vector<uint8_t> rows;
  zelta::GetDIBits24(*dib, rows);
  if (zelta::HBitmap small = zelta::CreateDib24(7, 5)) {
    zelta::StretchBltHalftone(*small, 0, 0, 7, 5, *dib, 0, 0, dib->width(), dib->height());
  }
  zelta::BitmapInfoHeader h = dib->header();
  h.biWidth = 9;
  h.biHeight = 4;
  if (zelta::HBitmap same = zelta::CreateDIBSection(h, dib->colors().data(), dib->colors().size())) {
    zelta::StretchBltHalftone(*same, 0, 0, 9, 4, *dib, 0, 0, dib->width(), dib->height());
    zelta::BitBlt(*same, -2, 1, 20, 20, *dib, 1, 0);
  }
  return 0;
}
