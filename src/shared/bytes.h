// Byte strings: command bytes and replies are strings of 8-bit characters; byte n is the character
// with code n. Built with these helpers so that NUL bytes are never lost in a literal.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zelta {

using Bytes = std::string;

// The bytes of the given values (each 0..255), in order.
Bytes B(std::initializer_list<int> values);

// Appends v as a little-endian 16-bit or 32-bit number.
void AppendLe16(Bytes& out, uint32_t v);
void AppendLe32(Bytes& out, uint32_t v);

// The unsigned value of byte i of s; s must have more than i bytes.
inline uint8_t At(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

// "1D 28 4C" style dump of up to max_bytes bytes, for test output and logs.
std::string ToHex(std::string_view s, size_t max_bytes = 256);

// The decimal form of n with a leading blank when n is not negative and a leading minus otherwise.
std::string Str(long long n);

}  // namespace zelta
