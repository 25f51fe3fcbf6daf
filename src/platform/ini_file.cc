#include "platform/ini_file.h"

#include <cctype>
#include <climits>
#include <fstream>
#include <optional>
#include <vector>

namespace zelta {
namespace {

struct Line {
  std::string key;    // blank-trimmed; empty for a line without '='
  std::string value;  // blank-trimmed
  std::string text;   // the whole line, blank-trimmed
  bool has_equals;
};

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The lines of the first section named section; nothing when the file or section is missing.
std::optional<std::vector<Line>> ReadSection(const std::string& section, const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string raw;
  bool inside = false;
  std::vector<Line> lines;
  while (std::getline(in, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string text = Trim(raw);
    if (text.empty() || text[0] == ';') continue;
    if (text[0] == '[') {
      if (inside) return lines;
      size_t end = text.find(']');
      inside = SameName(Trim(text.substr(1, end == std::string::npos ? std::string::npos : end - 1)),
                        Trim(section));
      continue;
    }
    if (!inside) continue;
    size_t eq = text.find('=');
    if (eq == std::string::npos) {
      lines.push_back({"", "", text, false});
    } else {
      lines.push_back({Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)), text, true});
    }
  }
  if (inside) return lines;
  return std::nullopt;
}

}  // namespace

std::string GetPrivateProfileSection(const std::string& section, size_t size, const std::string& file) {
  auto lines = ReadSection(section, file);
  if (!lines || size < 3) return "";
  std::string all;
  for (const Line& l : *lines) {
    all += l.has_equals ? l.key + "=" + l.value : l.text;
    all.push_back('\0');
  }
  // The buffer holds the entries and one more NUL that ends the list.
  if (all.size() + 1 <= size) return all;
  return all.substr(0, size - 2);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& def, size_t size, const std::string& file) {
  std::string value = def;
  if (auto lines = ReadSection(section, file)) {
    for (const Line& l : *lines) {
      if (l.has_equals && SameName(l.key, Trim(key))) {
        value = l.value;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
          value = value.substr(1, value.size() - 2);
        }
        break;
      }
    }
  }
  if (size == 0) return "";
  if (value.size() > size - 1) value.resize(size - 1);
  return value;
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int def,
                         const std::string& file) {
  const std::string kMissing(1, '\0');
  std::string value = GetPrivateProfileString(section, key, kMissing, 4096, file);
  if (value == kMissing) return def;
  long long n = 0;
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i) {
    n = n * 10 + (value[i] - '0');
    if (n > INT_MAX) n = INT_MAX;
  }
  return negative ? 0 : static_cast<int>(n);
}

}  // namespace zelta
