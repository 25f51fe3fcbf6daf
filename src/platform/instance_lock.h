// The previous-instance test: one running copy of a program per user. A second start finds the lock
// held and ends silently.
#pragma once

#include <string>

namespace zelta {

// Holds the lock named name (e.g. the program variant) in the user's runtime folder
// ($XDG_RUNTIME_DIR, else /tmp/zelta-UID) for as long as the object lives. The lock is an flock on an
// open file, so it goes with the process however it ends.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process holds the lock; false when another instance does (or the folder cannot be
  // made, in which case error says why).
  bool Held() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string error_;
};

}  // namespace zelta
