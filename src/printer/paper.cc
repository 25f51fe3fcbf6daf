#include "printer/paper.h"

#include <png.h>

#include <algorithm>
#include <cstdio>

#include "printer/glyph_cache.h"

namespace zelta::emu {
namespace {

constexpr int kLineSpacing = 30;  // dots between text lines (default line spacing)

}  // namespace

Paper::Paper(int width, std::string dir, std::string prefix, int max_rows)
    : width_(std::max(width, 8)),
      dir_(std::move(dir)),
      prefix_(std::move(prefix)),
      max_rows_(std::max(max_rows, 64)),
      glyphs_(SharedGlyphCache()) {}

Paper::~Paper() = default;

uint8_t Paper::Dot(int x, int y) const {
  if (x < 0 || x >= width_ || y < 0 || y >= Rows()) return kPaperWhite;
  return dots_[static_cast<size_t>(y) * width_ + x];
}

void Paper::Grow(int rows) {
  const int wanted = std::min(rows, max_rows_);
  if (wanted > Rows()) dots_.resize(static_cast<size_t>(wanted) * width_, kPaperWhite);
}

void Paper::Set(int x, int y, uint8_t colour) {
  if (x < 0 || x >= width_ || y < 0 || y >= Rows()) return;
  dots_[static_cast<size_t>(y) * width_ + x] = colour;
}

void Paper::PrintRows(const std::vector<const std::string*>& planes, const std::vector<uint8_t>& colours,
                      int bytes_per_row, int height, int sx, int sy) {
  if (height <= 0 || bytes_per_row <= 0) return;
  sx = std::clamp(sx, 1, 8);
  sy = std::clamp(sy, 1, 8);
  const int top = y_;
  const long long bottom = static_cast<long long>(top) + static_cast<long long>(height) * sy;
  Grow(static_cast<int>(std::min<long long>(bottom, max_rows_)));
  const int visible_cols = std::min(bytes_per_row * 8, (width_ + sx - 1) / sx);
  for (size_t p = 0; p < planes.size() && p < colours.size(); ++p) {
    const std::string& data = *planes[p];
    for (int row = 0; row < height; ++row) {
      const int y0 = top + row * sy;
      if (y0 >= max_rows_) break;
      const size_t base = static_cast<size_t>(row) * bytes_per_row;
      if (base >= data.size()) break;
      for (int col = 0; col < visible_cols; ++col) {
        const size_t i = base + col / 8;
        if (i >= data.size() || !(static_cast<uint8_t>(data[i]) & (0x80 >> (col % 8)))) continue;
        for (int dy = 0; dy < sy; ++dy) {
          for (int dx = 0; dx < sx; ++dx) Set(col * sx + dx, y0 + dy, colours[p]);
        }
      }
    }
  }
  y_ = static_cast<int>(std::min<long long>(bottom, max_rows_));
}

void Paper::PrintTextLine(const std::string& text, uint8_t mode) {
  const bool small = mode & 0x01, bold = mode & 0x08, tall = mode & 0x10, wide = mode & 0x20,
             underline = mode & 0x80;
  const int cell_w = small ? 9 : 12, cell_h = small ? 17 : 24;
  const int sx = wide ? 2 : 1, sy = tall ? 2 : 1;
  const int line_h = std::max(kLineSpacing, cell_h * sy + 6);
  const int top = y_;
  Grow(top + line_h);
  int x = 0;
  for (char ch : text) {
    if (x + cell_w * sx > width_) break;  // the rest of the line falls off the paper
    const Glyph& g = glyphs_.Get(static_cast<uint8_t>(ch), cell_w, cell_h, bold);
    for (int gy = 0; gy < g.height; ++gy) {
      for (int gx = 0; gx < g.width; ++gx) {
        if (!g.dots[gy * g.width + gx]) continue;
        for (int dy = 0; dy < sy; ++dy) {
          for (int dx = 0; dx < sx; ++dx) Set(x + gx * sx + dx, top + gy * sy + dy, kInkBlack);
        }
      }
    }
    if (underline) {
      for (int dx = 0; dx < cell_w * sx; ++dx) Set(x + dx, top + cell_h * sy, kInkBlack);
    }
    x += cell_w * sx;
  }
  y_ = std::min(top + line_h, max_rows_);
}

void Paper::Feed(int dots) {
  if (dots <= 0) return;
  Grow(y_ + dots);
  y_ = std::min(y_ + dots, max_rows_);
}

std::string Paper::Cut() {
  const bool printed = std::any_of(dots_.begin(), dots_.end(), [](uint8_t d) { return d != kPaperWhite; });
  std::string path;
  if (printed && !dir_.empty()) {
    char name[64];
    std::snprintf(name, sizeof name, "-%04d.png", ++sequence_);
    path = dir_ + "/" + prefix_ + name;
    std::string error;
    if (WritePalettePng(path, dots_, width_, Rows(), error)) {
      files_.push_back(path);
    } else {
      last_error_ = error;
      path.clear();
    }
  }
  dots_.clear();
  y_ = 0;
  return path;
}

bool WritePalettePng(const std::string& path, const std::vector<uint8_t>& dots, int width, int height,
                     std::string& error) {
  if (width <= 0 || height <= 0 || dots.size() < static_cast<size_t>(width) * height) {
    error = "nothing to write";
    return false;
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    error = "cannot create " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    error = "cannot encode " + path;
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[4] = {{255, 255, 255}, {0, 0, 0}, {220, 0, 0}, {0, 60, 200}};
  png_set_PLTE(png, info, palette, 4);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, const_cast<png_bytep>(dots.data() + static_cast<size_t>(y) * width));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(f) != 0) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace zelta::emu
