// The image commands of the printer machine: NV graphics and NV bit image definitions, the print
// buffer, stored logos and raster images on paper.
#include <algorithm>

#include "printer/emu_codes.h"
#include "printer/printer_machine.h"

namespace zelta::emu {
namespace {

constexpr int kMaxRasterWidth = 8192;
constexpr int kMaxRasterHeight = 2304;

uint8_t U8(const std::string& s, size_t i) { return i < s.size() ? static_cast<uint8_t>(s[i]) : 0; }
int Le16(const std::string& s, size_t i) { return U8(s, i) | (U8(s, i + 1) << 8); }
bool ValidKey(uint8_t c) { return c >= kKeyMin && c <= kKeyMax; }

}  // namespace

// Function 67: 48 67 a kc1 kc2 b xL xH yL yH, then b times: colour byte and rows.
// Function 255: 48 255 a kc1 kc2 6 xL xH yL yH 0, then three times: colour byte and rows.
double PrinterMachine::DefineRaster(const std::string& body, bool colour_form) {
  const size_t head = colour_form ? 11 : 10;
  if (body.size() < head || U8(body, 2) != 48) return 0;
  if (!ValidKey(U8(body, 3)) || !ValidKey(U8(body, 4))) return 0;
  const int b = colour_form ? (U8(body, 5) == 6 && U8(body, 10) == 0 ? 3 : 0) : U8(body, 5);
  if (b < 1 || b > model_.colours || (!colour_form && b > 2)) return 0;
  NvGraphic g;
  g.width = Le16(body, 6);
  g.height = Le16(body, 8);
  if (g.width < 1 || g.width > kMaxRasterWidth || g.height < 1 || g.height > kMaxRasterHeight) return 0;
  const size_t plane_bytes = static_cast<size_t>(g.BytesPerRow()) * g.height;
  if (body.size() != head + static_cast<size_t>(b) * (1 + plane_bytes)) return 0;
  g.planes.assign(b, std::string());
  size_t pos = head;
  for (int i = 0; i < b; ++i) {
    const int colour = U8(body, pos) - kColour1;
    if (colour < 0 || colour >= b || !g.planes[colour].empty()) return 0;
    g.planes[colour] = body.substr(pos + 1, plane_bytes);
    pos += 1 + plane_bytes;
  }
  g.charged = static_cast<uint32_t>(body.size());
  if (!memory_.DefineGraphic(body.substr(3, 2), std::move(g))) return 0;
  nv_changed_();
  return NvWriteTime(body.size());
}

// Function 112: 48 112 a bx by c xL xH yL yH rows.
double PrinterMachine::StoreInPrintBuffer(const std::string& body) {
  if (body.size() < 10 || U8(body, 2) != 48) return 0;
  const int bx = U8(body, 3), by = U8(body, 4), colour = U8(body, 5) - kColour1;
  const int width = Le16(body, 6), rows = Le16(body, 8);
  if (bx < 1 || bx > 2 || by < 1 || by > 2 || colour < 0 || colour >= model_.colours) return 0;
  if (width < 1 || width > kMaxRasterWidth || rows < 1 || rows > kMaxRasterHeight) return 0;
  const int bpr = (width + 7) / 8;
  if (body.size() != 10 + static_cast<size_t>(bpr) * rows) return 0;
  if (bpr != buffer_bytes_per_row_ || rows != buffer_rows_) {
    buffer_planes_.assign(model_.colours, std::string());
    buffer_bytes_per_row_ = bpr;
    buffer_rows_ = rows;
  }
  buffer_sx_ = bx;
  buffer_sy_ = by;
  buffer_planes_[colour] = body.substr(10);
  return 0;
}

double PrinterMachine::PrintPrintBuffer() {
  if (buffer_planes_.empty()) return 0;
  FlushLine();
  std::vector<const std::string*> planes;
  std::vector<uint8_t> inks;
  for (size_t i = 0; i < buffer_planes_.size(); ++i) {
    if (buffer_planes_[i].empty()) continue;
    planes.push_back(&buffer_planes_[i]);
    inks.push_back(InkOfPlane(i));
  }
  const int before = paper_.Rows();
  paper_.PrintRows(planes, inks, buffer_bytes_per_row_, buffer_rows_, buffer_sx_, buffer_sy_);
  buffer_planes_.clear();
  buffer_bytes_per_row_ = buffer_rows_ = 0;
  return PrintTime(paper_.Rows() - before);
}

double PrinterMachine::PrintStored(const std::string& key, int sx, int sy) {
  const NvGraphic* g = memory_.FindGraphic(key);
  if (!g) return 0;
  FlushLine();
  std::vector<const std::string*> planes;
  std::vector<uint8_t> inks;
  for (size_t i = 0; i < g->planes.size(); ++i) {
    planes.push_back(&g->planes[i]);
    inks.push_back(InkOfPlane(i));
  }
  const int before = paper_.Rows();
  paper_.PrintRows(planes, inks, g->BytesPerRow(), g->height, sx, sy);
  return PrintTime(paper_.Rows() - before);
}

// FS q n, then n times: xL xH yL yH and x × y × 8 bytes of columns.
double PrinterMachine::DefineBitImages(const std::string& c) {
  const int n = U8(c, 2);
  std::vector<NvBitImage> images;
  size_t pos = 3;
  for (int k = 0; k < n; ++k) {
    if (pos + 4 > c.size()) return 0;
    NvBitImage im;
    im.x_units = Le16(c, pos);
    im.y_units = Le16(c, pos + 2);
    pos += 4;
    const size_t bytes = static_cast<size_t>(im.x_units) * im.y_units * 8;
    if (c.size() - pos < bytes) return 0;
    im.columns = c.substr(pos, bytes);
    pos += bytes;
    images.push_back(std::move(im));
  }
  if (n == 1 && (images[0].x_units == 0 || images[0].y_units == 0)) {
    memory_.ClearBitImages();  // a single image of zero size clears the memory
    nv_changed_();
    return timing_.nv_clear_s;
  }
  for (const NvBitImage& im : images) {
    if (im.x_units < 1 || im.x_units > 1023 || im.y_units < 1 || im.y_units > 288) return 0;
  }
  if (!memory_.DefineBitImages(std::move(images))) return 0;
  nv_changed_();
  return NvWriteTime(c.size());
}

double PrinterMachine::PrintBitImage(int n, int mode) {
  const NvBitImage* im = memory_.FindBitImage(n);
  if (!im || (mode > 3 && (mode < '0' || mode > '3'))) return 0;
  FlushLine();
  const int width = im->x_units * 8, height = im->y_units * 8, bpr = im->x_units;
  std::string rows(static_cast<size_t>(bpr) * height, '\0');
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < height; ++y) {
      const uint8_t byte = U8(im->columns, static_cast<size_t>(x) * im->y_units + y / 8);
      if (byte & (0x80 >> (y % 8)))
        rows[static_cast<size_t>(y) * bpr + x / 8] |= static_cast<char>(0x80 >> (x % 8));
    }
  }
  const int m = mode & 3;
  const int before = paper_.Rows();
  paper_.PrintRows({&rows}, {kInkBlack}, bpr, height, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1);
  return PrintTime(paper_.Rows() - before);
}

// GS v 0 m xL xH yL yH rows: x bytes per row, y rows, black dots.
double PrinterMachine::RasterImage(const std::string& c) {
  if (c.size() < 8 || U8(c, 2) != '0') return 0;
  const int m = U8(c, 3) & 3, bpr = Le16(c, 4), rows = Le16(c, 6);
  if (bpr < 1 || rows < 1 || c.size() != 8 + static_cast<size_t>(bpr) * rows) return 0;
  FlushLine();
  const std::string data = c.substr(8);
  const int before = paper_.Rows();
  paper_.PrintRows({&data}, {kInkBlack}, bpr, rows, (m & 1) ? 2 : 1, (m & 2) ? 2 : 1);
  return PrintTime(paper_.Rows() - before);
}

}  // namespace zelta::emu
