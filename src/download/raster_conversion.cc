#include "download/raster_conversion.h"

#include "link/forms.h"
#include "shared/pubblic_var.h"

namespace zelta {
namespace {

constexpr char kCrLf[] = "\r\n";

inline uint32_t Key(uint8_t r, uint8_t g, uint8_t b) { return 0x1000000u | (r << 16) | (g << 8) | b; }

// Appends the dots of one line of n pixels, each tested by is_dot(i), as bytes with bit 7 first.
template <typename IsDot>
void PackBits(int n, IsDot is_dot, Bytes& out) {
  uint8_t work = 0;
  for (int i = 0; i < n; ++i) {
    if (i % 8 == 0 && i != 0) out.push_back(static_cast<char>(work));
    if (i % 8 == 0) work = 0;
    if (is_dot(i)) work = static_cast<uint8_t>(work | (0x80 >> (i % 8)));
  }
  out.push_back(static_cast<char>(work));
}

}  // namespace

bool ReadLogoColorTable(const std::string& preview_tag, ColorTable& table) {
  if (preview_tag.empty()) {
    ShowMessage(std::string("Raise file error.") + kCrLf +
                "Missing color table file(s). Please check the files and their paths.");
    return false;
  }
  std::string error;
  const ColorTableStatus status = LoadColorTableFile(AppFolder + preview_tag, table, error);
  if (status == ColorTableStatus::kOk) return true;
  std::string text = "Raise error on read color table file <" + preview_tag + ">" + kCrLf;
  if (status == ColorTableStatus::kInvalid) text += error + kCrLf;
  ShowMessage(text + "Check the file and the path.");
  return false;
}

bool ColorTableConverter::Start(const Dib& prepared, const ColorTable& table, int32_t colour_code,
                                std::string& error) {
  if (table.palette.empty() || table.plane_flags.size() != table.palette.size()) {
    error = "The color table has no entries.";
    return false;
  }
  prepared_ = &prepared;
  table_ = &table;
  width_ = prepared.width();
  height_ = prepared.height();
  row_.resize(3 * static_cast<size_t>(width_));
  cache_key_.fill(0);
  last_key_ = 0;
  colour_mode_ = colour_code == 3;
  first_ = second_ = third_ = -1;
  if (colour_mode_) {
    first_ = 2;
    second_ = 1;
    third_ = 0;
  } else {
    first_ = GetNearestPaletteIndex(table.palette, 0, 0, 0);
    if (colour_code == 1) second_ = GetNearestPaletteIndex(table.palette, 255, 0, 0);
  }
  if (first_ > 2 || second_ > 2) {
    error = "The color table's black or red entry is beyond the third entry.";
    return false;
  }
  return true;
}

int ColorTableConverter::Nearest(uint8_t r, uint8_t g, uint8_t b) {
  const uint32_t key = Key(r, g, b);
  if (key == last_key_) return last_index_;  // neighbouring dots mostly share their colour
  last_key_ = key;
  const size_t slot = (key * 2654435761u) >> 26;  // 64 slots
  if (cache_key_[slot] != key) {
    cache_key_[slot] = key;
    cache_index_[slot] = static_cast<int16_t>(GetNearestPaletteIndex(table_->palette, r, g, b));
  }
  last_index_ = cache_index_[slot];
  return last_index_;
}

bool ColorTableConverter::ConvertRow(int y, PlaneRow& planes, std::string& error) {
  const size_t bytes = static_cast<size_t>((width_ - 1) / 8 + 1);
  for (Bytes& p : planes) p.assign(bytes, '\0');
  const uint8_t* px;
  if (prepared_->bit_count() == 24) {
    px = prepared_->ScanLine(height_ - 1 - y);
  } else {
    ScanLineTo24(*prepared_, height_ - 1 - y, row_.data());
    px = row_.data();
  }
  for (int x = 0; x < width_; ++x) {
    const int n = Nearest(px[3 * x + 2], px[3 * x + 1], px[3 * x]);
    const char v = static_cast<char>(0x80 >> (x % 8));
    if (colour_mode_) {
      const auto& flags = table_->plane_flags[static_cast<size_t>(n)];
      for (int p = 0; p < 3; ++p) {
        if (flags[p]) planes[p][x / 8] |= v;
      }
    } else {
      if (n > 2) {
        error = "Entry " + std::to_string(n + 1) + " of the color table is not a printer color.";
        return false;
      }
      planes[n][x / 8] |= v;
    }
  }
  return true;
}

bool ConvertWithColorTable(const Dib& prepared, const ColorTable& table, int32_t colour_code,
                           std::array<std::vector<Bytes>, 3>& planes, std::string& error) {
  for (auto& p : planes) p.clear();
  ColorTableConverter converter;
  if (!converter.Start(prepared, table, colour_code, error)) return false;
  PlaneRow row;
  for (int y = 0; y < converter.height(); ++y) {
    if (!converter.ConvertRow(y, row, error)) return false;
    for (int p = 0; p < 3; ++p) planes[p].push_back(std::move(row[p]));
  }
  return true;
}

Bytes BlackDotColumn(const Dib& prepared, int x) {
  const int h = prepared.height();
  Bytes column;
  if (x < 0 || x >= prepared.width()) return Bytes(static_cast<size_t>((h - 1) / 8 + 1), '\0');
  std::vector<uint8_t> line(3 * static_cast<size_t>(prepared.width()));
  PackBits(
      h,
      [&](int y) {
        const uint8_t* p;
        if (prepared.bit_count() == 24) {
          p = prepared.Row(y) + 3 * x;
        } else {
          ScanLineTo24(prepared, h - 1 - y, line.data());
          p = line.data() + 3 * x;
        }
        return p[0] == 0 && p[1] == 0 && p[2] == 0;
      },
      column);
  return column;
}

Bytes PreviewRow(const PictureBox& preview, int y, uint32_t colour) {
  const Dib* pic = preview.picture.get();
  Bytes row;
  const int width = preview.inner_w;
  if (width <= 0) return row;
  const uint8_t b = colour & 0xFF, g = (colour >> 8) & 0xFF, r = (colour >> 16) & 0xFF;
  std::vector<uint8_t> line;
  const uint8_t* px = nullptr;
  if (pic && y >= 0 && y < pic->height()) {
    line.resize(3 * static_cast<size_t>(pic->width()));
    ScanLineTo24(*pic, pic->height() - 1 - y, line.data());
    px = line.data();
  }
  PackBits(
      width,
      [&](int x) {
        // Outside what is drawn the box shows its paper colour.
        uint32_t c = preview.paper;
        if (px && x < pic->width()) c = (px[3 * x + 2] << 16) | (px[3 * x + 1] << 8) | px[3 * x];
        return c == ((static_cast<uint32_t>(r) << 16) | (g << 8) | b);
      },
      row);
  return row;
}

}  // namespace zelta
