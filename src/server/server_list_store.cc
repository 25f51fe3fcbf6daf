#include "server/server_list_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "shared/result_codes.h"

namespace zelta {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool IsValidServerName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) return false;
  }
  return true;
}

ServerListStore::ServerListStore(std::string path) : path_(std::move(path)) {}

bool ServerListStore::Load(std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  names_.clear();
  std::ifstream file(path_, std::ios::binary);
  if (!file) {
    if (::access(path_.c_str(), F_OK) != 0 && errno == ENOENT) return true;
    error = Errno("cannot read " + path_);
    return false;
  }
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!IsValidServerName(line)) continue;  // blank or damaged lines are skipped
    bool listed = false;
    for (const auto& n : names_) listed = listed || SameName(n, line);
    if (!listed) names_.push_back(line);
  }
  return true;
}

std::vector<std::string> ServerListStore::Names() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return names_;
}

int32_t ServerListStore::Add(const std::string& name, std::string& error) {
  if (!IsValidServerName(name)) {
    error = "The server name '" + name + "' is not valid (1 to 255 printable characters).";
    return kResultBadArgument;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& n : names_) {
    if (SameName(n, name)) return kResultOk;
  }
  std::vector<std::string> next = names_;
  next.push_back(name);
  if (!Save(next, error)) return kResultFailure;
  names_ = std::move(next);
  return kResultOk;
}

int32_t ServerListStore::Remove(const std::string& name, std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> next;
  for (const auto& n : names_) {
    if (!SameName(n, name)) next.push_back(n);
  }
  if (next.size() == names_.size()) {
    error = "The server " + name + " is not in the server list.";
    return kResultNotFound;
  }
  if (!Save(next, error)) return kResultFailure;
  names_ = std::move(next);
  return kResultOk;
}

bool ServerListStore::Save(const std::vector<std::string>& names, std::string& error) {
  std::string text;
  for (const auto& n : names) text += n + "\n";
  std::string temp = path_ + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = Errno("The server list cannot be written: " + temp);
    return false;
  }
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), path_.c_str()) != 0) {
    error = Errno("The server list cannot be written: " + path_);
    ::unlink(temp.c_str());
    return false;
  }
  // The rename is durable only once the folder itself is on disk.
  int dir = ::open(Folder(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace zelta
