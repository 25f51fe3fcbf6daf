// The machine-wide settings store. A text file with one section per key path and name=value lines:
//
//   [SOFTWARE\Zelta]
//   InstallationType=NETWORK
//   MainServer=SHOP-01
//
// Its path comes from the environment variable ZELTA_REGISTRY, else kDefaultRegistryPath. Key paths are
// compared without case and without trailing backslashes; value names without case. Writes replace the
// file atomically (temporary file, fsync, rename) under an exclusive lock, so a crash or a concurrent
// writer never leaves it half written.
#pragma once

#include <cstdint>
#include <string>

namespace zelta {

inline constexpr char kDefaultRegistryPath[] = "/etc/zelta/registry";

// Result codes, as the platform's registry functions give them.
constexpr int32_t kRegSuccess = 0;
constexpr int32_t kRegFileNotFound = 2;  // key or value missing
constexpr int32_t kRegAccessDenied = 5;  // file cannot be read or replaced
constexpr int32_t kRegMoreData = 234;    // value does not fit the caller's buffer

// The registry file in use.
std::string RegistryPath();

// Reads a string value of key into a 128-byte buffer. A missing key or value, or one of 128 bytes or more
// (it does not fit with its terminating zero), gives a nonzero code and value "".
int32_t RegReadString(const std::string& key, const std::string& value_name, std::string& value);

// Writes value under an existing key (a missing key is not created: kRegFileNotFound).
int32_t RegWriteString(const std::string& key, const std::string& value_name, const std::string& value);

// Creates key if it is missing (set-up and tests; the program itself never creates keys).
int32_t RegCreateKey(const std::string& key);

}  // namespace zelta
