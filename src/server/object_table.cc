#include "server/object_table.h"

#include <algorithm>
#include <random>

namespace zelta {
namespace {

// splitmix64: a well-mixed sequence from one random seed.
uint64_t NextId(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

ObjectTable::ObjectTable(std::chrono::milliseconds lease, size_t max_objects)
    : lease_(lease), max_objects_(max_objects) {
  std::random_device rd;
  seed_state_ = (static_cast<uint64_t>(rd()) << 32) ^ rd();
}

ObjectTable::~ObjectTable() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_cv_.notify_all();
  if (reaper_.joinable()) reaper_.join();
  std::map<uint64_t, Entry> doomed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    doomed.swap(entries_);
  }
  // Objects are destroyed outside the lock: a printer session releases its port on the way.
}

uint64_t ObjectTable::AddTagged(std::shared_ptr<void> object, const void* type) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.size() >= max_objects_) return 0;
  uint64_t id;
  do {
    id = NextId(seed_state_);
  } while (id == 0 || entries_.count(id));
  entries_[id] = Entry{std::move(object), type, Clock::now(), 0};
  return id;
}

std::shared_ptr<void> ObjectTable::BeginCall(uint64_t id, const void* type) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  if (it == entries_.end() || it->second.type != type) return nullptr;
  ++it->second.calls;
  it->second.renewed = Clock::now();
  return it->second.object;
}

void ObjectTable::EndCall(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  --it->second.calls;
  it->second.renewed = Clock::now();
}

std::vector<uint64_t> ObjectTable::Renew(const std::vector<uint64_t>& ids) {
  std::vector<uint64_t> unknown;
  std::lock_guard<std::mutex> lock(mutex_);
  for (uint64_t id : ids) {
    auto it = entries_.find(id);
    if (it == entries_.end()) {
      unknown.push_back(id);
    } else {
      it->second.renewed = Clock::now();
    }
  }
  return unknown;
}

void ObjectTable::Drop(uint64_t id) {
  std::shared_ptr<void> doomed;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  doomed = std::move(it->second.object);
  entries_.erase(it);
  // doomed is released after the lock (declared first, destroyed last).
}

size_t ObjectTable::Expire(Clock::time_point now) {
  std::vector<std::shared_ptr<void>> doomed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->second.calls == 0 && now - it->second.renewed > lease_) {
        doomed.push_back(std::move(it->second.object));
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }
  return doomed.size();
}

size_t ObjectTable::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void ObjectTable::StartReaper() {
  if (reaper_.joinable()) return;
  reaper_ = std::thread([this] {
    auto period = std::max(lease_ / 4, std::chrono::milliseconds(10));
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      stop_cv_.wait_for(lock, period, [this] { return stopping_; });
      if (stopping_) break;
      lock.unlock();
      Expire(Clock::now());
      lock.lock();
    }
  });
}

}  // namespace zelta
