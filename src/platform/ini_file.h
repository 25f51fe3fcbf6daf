// Reading INI files the way the platform's profile functions do: section and key names compared without
// case, the first of duplicated sections and keys wins, blanks around names and values are dropped, and
// what does not fit the caller's buffer is cut off. A missing file reads as empty.
#pragma once

#include <cstddef>
#include <string>

namespace zelta {

// The entries of section as "key=value" strings, each ended by NUL, as they stand in the file. With a
// buffer of size characters: when everything fits, the text returned is the entries (the count the
// platform returns); when not, it is cut to size - 2 characters, and the last entry may be incomplete
// (no NUL after it). An empty string when the file or the section is missing or size < 3.
std::string GetPrivateProfileSection(const std::string& section, size_t size, const std::string& file);

// The value of key in section, or def when either is missing; cut to size - 1 characters. A value in
// matching quotes loses them.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& def, size_t size, const std::string& file);

// The leading decimal number of the value of key in section, or def when either is missing. Negative
// numbers read as 0; a value without leading digits reads as 0.
int GetPrivateProfileInt(const std::string& section, const std::string& key, int def,
                         const std::string& file);

}  // namespace zelta
