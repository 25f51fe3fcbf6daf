#include "imglib/color_table.h"

#include <cstdio>

namespace zelta {
namespace {

// Splits text into fields at commas and line ends. A field may be quoted ("..."), in which case
// commas and line ends inside the quotes belong to it. Blank lines produce no fields. Surrounding
// blanks of unquoted fields are dropped.
std::vector<std::string> SplitFields(std::string_view text) {
  std::vector<std::string> fields;
  std::string field;
  bool in_field = false;  // something of the current field has been seen
  bool quoted = false;
  auto end_field = [&] {
    const size_t a = field.find_first_not_of(" \t");
    const size_t b = field.find_last_not_of(" \t");
    fields.push_back(a == std::string::npos ? std::string() : field.substr(a, b - a + 1));
    field.clear();
    in_field = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else {
        field.push_back(c);
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      in_field = true;
    } else if (c == ',') {
      end_field();
      in_field = true;  // a comma always starts the next field
    } else if (c == '\r' || c == '\n') {
      if (in_field || !field.empty()) end_field();
    } else {
      field.push_back(c);
      if (c != ' ' && c != '\t') in_field = true;
    }
  }
  if (in_field || !field.empty()) end_field();
  return fields;
}

bool ParseByte(const std::string& s, uint8_t& out) {
  if (s.empty() || s.size() > 3) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > 255) return false;
  out = static_cast<uint8_t>(v);
  return true;
}

}  // namespace

ColorTableStatus ParseColorTable(std::string_view text, ColorTable& table, std::string& error) {
  table = ColorTable{};
  const std::vector<std::string> fields = SplitFields(text);
  if (fields.empty()) {
    error = "The color table has no entries.";
    return ColorTableStatus::kInvalid;
  }
  if (fields.size() % 8 != 0) {
    error = "The color table has an entry without 8 fields.";
    return ColorTableStatus::kInvalid;
  }
  const size_t entries = fields.size() / 8;
  if (entries > kMaxColorTableEntries) {
    error = "The color table has more than " + std::to_string(kMaxColorTableEntries) + " entries.";
    return ColorTableStatus::kInvalid;
  }
  ColorTable t;
  for (size_t k = 0; k < entries; ++k) {
    const std::string* f = &fields[8 * k];
    uint8_t v[6];
    const int numeric[6] = {1, 2, 3, 5, 6, 7};
    for (int j = 0; j < 6; ++j) {
      if (!ParseByte(f[numeric[j]], v[j])) {
        error = "Entry " + std::to_string(k + 1) +
                " of the color table has a field that is not a value from 0 to 255.";
        return ColorTableStatus::kInvalid;
      }
    }
    t.palette.push_back(RgbQuad{v[2], v[1], v[0], 0});
    t.plane_flags.push_back({v[3], v[4], v[5]});
  }
  table = std::move(t);
  return ColorTableStatus::kOk;
}

ColorTableStatus LoadColorTableFile(const std::string& path, ColorTable& table, std::string& error) {
  table = ColorTable{};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "The color table file cannot be opened.";
    return ColorTableStatus::kCannotOpen;
  }
  std::string text;
  char buf[4096];
  size_t n;
  // A colour table of 125 entries is a few kilobytes; anything far larger is not one.
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < (1u << 20)) text.append(buf, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "The color table file cannot be read.";
    return ColorTableStatus::kCannotOpen;
  }
  return ParseColorTable(text, table, error);
}

}  // namespace zelta
