#include "shared/bytes.h"

namespace zelta {

Bytes B(std::initializer_list<int> values) {
  Bytes out;
  out.reserve(values.size());
  for (int v : values) out.push_back(static_cast<char>(static_cast<uint8_t>(v)));
  return out;
}

void AppendLe16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void AppendLe32(Bytes& out, uint32_t v) {
  AppendLe16(out, v & 0xFFFF);
  AppendLe16(out, v >> 16);
}

std::string ToHex(std::string_view s, size_t max_bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < s.size() && i < max_bytes; ++i) {
    if (i) out.push_back(' ');
    out.push_back(kDigits[At(s, i) >> 4]);
    out.push_back(kDigits[At(s, i) & 15]);
  }
  if (s.size() > max_bytes) out += " ...";
  return out;
}

std::string Str(long long n) { return n < 0 ? std::to_string(n) : " " + std::to_string(n); }

}  // namespace zelta
