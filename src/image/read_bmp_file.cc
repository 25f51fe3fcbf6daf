#include "image/read_bmp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "link/forms.h"

namespace zelta {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kMaxColorEntries = 256;
constexpr char kCrLf[] = "\r\n";

// An open file descriptor, closed on every path.
class File {
 public:
  explicit File(int fd) : fd_(fd) {}
  ~File() {
    if (fd_ >= 0) close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  int fd() const { return fd_; }

  // Reads exactly n bytes; false on a short read (errno 0) or an error (errno set).
  bool ReadExactly(void* buf, size_t n) {
    auto* p = static_cast<uint8_t*>(buf);
    while (n > 0) {
      errno = 0;
      const ssize_t got = read(fd_, p, n);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      p += got;
      n -= static_cast<size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

BitmapInfoHeader ParseInfoHeader(const uint8_t* p) {
  BitmapInfoHeader h;
  h.biSize = Le32(p);
  h.biWidth = static_cast<int32_t>(Le32(p + 4));
  h.biHeight = static_cast<int32_t>(Le32(p + 8));
  h.biPlanes = Le16(p + 12);
  h.biBitCount = Le16(p + 14);
  h.biCompression = Le32(p + 16);
  h.biSizeImage = Le32(p + 20);
  h.biXPelsPerMeter = static_cast<int32_t>(Le32(p + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(Le32(p + 28));
  h.biClrUsed = Le32(p + 32);
  h.biClrImportant = Le32(p + 36);
  return h;
}

}  // namespace

HBitmap ReadBmpFile(const std::string& path) {
  auto open_failed = [&](const std::string& description) {
    ShowMessage("Raise error for open the file " + path + "." + kCrLf +
                "Extended error description: " + description);
    return nullptr;
  };
  File file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.fd() < 0) return open_failed(std::strerror(errno));
  // A path that opens but holds no file to read (a folder, say) fails like one that does not open.
  struct stat st {};
  if (fstat(file.fd(), &st) == 0 && S_ISDIR(st.st_mode)) return open_failed(std::strerror(EISDIR));
  uint8_t headers[kFileHeaderSize + kInfoHeaderSize];
  if (!file.ReadExactly(headers, sizeof headers)) {
    return open_failed(errno ? std::strerror(errno) : "The file is shorter than the headers of a bitmap.");
  }
  const uint32_t pixel_offset = Le32(headers + 10);
  const BitmapInfoHeader info = ParseInfoHeader(headers + kFileHeaderSize);
  if (info.biCompression != 0) return nullptr;

  // The colour table fills the space between the headers and the pixels; the offset is a 32-bit
  // signed number in this arithmetic.
  const int64_t table_bytes =
      static_cast<int64_t>(static_cast<int32_t>(pixel_offset)) - kFileHeaderSize - kInfoHeaderSize;
  const int64_t entries = table_bytes / 4;
  if (entries < 0) {
    ShowMessage(std::string("Raise error while reading image structure information.") + kCrLf +
                "Be sure the " + path + " is a valid image file.");
    return nullptr;
  }
  if (entries > kMaxColorEntries) return nullptr;
  std::vector<RgbQuad> colors(static_cast<size_t>(entries));
  for (RgbQuad& q : colors) {
    uint8_t e[4];
    if (!file.ReadExactly(e, 4)) return nullptr;
    q = RgbQuad{e[0], e[1], e[2], e[3]};
  }
  if (kFileHeaderSize + kInfoHeaderSize + 4 * entries != static_cast<int32_t>(pixel_offset)) return nullptr;

  if (info.biHeight < 0) return nullptr;  // top-down rows are not read
  // Row size and buffer size in 64 bits: a buffer beyond 32 bits is refused before anything is allocated.
  const uint64_t row_size =
      info.biWidth > 0 ? (static_cast<uint64_t>(info.biWidth) * info.biBitCount + 31) / 32 * 4 : 0;
  const uint64_t buffer_size = row_size * static_cast<uint64_t>(info.biHeight);
  if (buffer_size > 0xFFFFFFFFull) return nullptr;
  if (S_ISREG(st.st_mode) &&
      buffer_size > static_cast<uint64_t>(st.st_size) - std::min<uint64_t>(st.st_size, pixel_offset)) {
    return nullptr;
  }

  HBitmap dib = CreateDIBSection(info, colors.data(), colors.size(), /*clear=*/false);
  // The rows are read straight into the new bitmap; a bitmap that cannot be made is reported after the
  // rows would have been read, as the copy into it fails.
  if (!dib) {
    uint8_t discard[65536];
    for (uint64_t left = buffer_size; left > 0;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, sizeof discard));
      if (!file.ReadExactly(discard, n)) return nullptr;
      left -= n;
    }
    ShowMessage("Raise error on create compatible bitmap for image file <" + path + ">.");
    return nullptr;
  }
  if (dib->size() != buffer_size || !file.ReadExactly(dib->bits(), dib->size())) return nullptr;
  return dib;
}

bool WriteBmpFile(const std::string& path, const Dib& dib) {
  const size_t colors = dib.colors().size();
  const uint32_t offset = static_cast<uint32_t>(kFileHeaderSize + kInfoHeaderSize + 4 * colors);
  std::vector<uint8_t> head(offset, 0);
  head[0] = 'B';
  head[1] = 'M';
  PutLe32(&head[2], static_cast<uint32_t>(offset + dib.size()));
  PutLe32(&head[10], offset);
  uint8_t* h = &head[kFileHeaderSize];
  PutLe32(h, kInfoHeaderSize);
  PutLe32(h + 4, static_cast<uint32_t>(dib.width()));
  PutLe32(h + 8, static_cast<uint32_t>(dib.height()));
  PutLe16(h + 12, 1);
  PutLe16(h + 14, static_cast<uint32_t>(dib.bit_count()));
  PutLe32(h + 20, static_cast<uint32_t>(dib.size()));
  PutLe32(h + 24, 2835);  // 72 dpi
  PutLe32(h + 28, 2835);
  PutLe32(h + 32, static_cast<uint32_t>(colors));
  for (size_t i = 0; i < colors; ++i) {
    const RgbQuad& q = dib.colors()[i];
    uint8_t* e = &head[kFileHeaderSize + kInfoHeaderSize + 4 * i];
    e[0] = q.rgbBlue;
    e[1] = q.rgbGreen;
    e[2] = q.rgbRed;
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
  ok = ok && std::fwrite(dib.bits(), 1, dib.size(), f) == dib.size();
  return (std::fclose(f) == 0) && ok;
}

}  // namespace zelta
