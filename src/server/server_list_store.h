// The shop's server list of the main server, kept in a text file (one name per line) that survives
// restarts. Every change is written to a temporary file, flushed to disk and renamed over the list, so
// a crash in the middle of a write leaves the old list or the new one, never a mix. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zelta {

class ServerListStore {
 public:
  explicit ServerListStore(std::string path);

  // Reads the list; a missing file is an empty list. False with error when the file cannot be read.
  bool Load(std::string& error);
  // The names in the order they were added.
  std::vector<std::string> Names() const;
  // Adds name (case-insensitive: a listed name is not added twice). On failure returns a result code
  // and error says why; the list is unchanged.
  int32_t Add(const std::string& name, std::string& error);
  // Removes name (case-insensitive); kResultNotFound when it is not listed.
  int32_t Remove(const std::string& name, std::string& error);

  const std::string& path() const { return path_; }

 private:
  bool Save(const std::vector<std::string>& names, std::string& error);

  std::string path_;
  mutable std::mutex mutex_;
  std::vector<std::string> names_;
};

// True for a server name that can be listed: 1..255 printable characters, no backslash at the ends.
bool IsValidServerName(const std::string& name);

}  // namespace zelta
