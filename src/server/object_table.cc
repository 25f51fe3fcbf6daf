#include "server/object_table.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <random>

namespace zelta {

ObjectId RandomObjectId() {
  ObjectId id(kObjectIdBytes, '\0');
  size_t got = 0;
  while (got < id.size()) {
    const ssize_t n = getrandom(id.data() + got, id.size() - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (errno != EINTR) {
      // No getrandom: the library's device generator reads the same source.
      std::random_device rd;
      for (; got < id.size(); ++got) id[got] = static_cast<char>(rd());
    }
  }
  return id;
}

ObjectTable::ObjectTable(std::chrono::milliseconds lease, size_t max_objects, size_t max_per_client)
    : lease_(lease), max_objects_(max_objects), max_per_client_(max_per_client) {}

ObjectTable::~ObjectTable() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_cv_.notify_all();
  if (reaper_.joinable()) reaper_.join();
  std::map<ObjectId, Entry> doomed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    doomed.swap(entries_);
  }
  // Objects are destroyed outside the lock: a printer session releases its port on the way.
}

ObjectId ObjectTable::AddTagged(std::shared_ptr<void> object, const std::string& client, const void* type) {
  ObjectId id;
  do {
    id = RandomObjectId();
  } while (id == ObjectId(kObjectIdBytes, '\0'));
  std::lock_guard<std::mutex> lock(mutex_);
  size_t& mine = per_client_[client];
  if (entries_.size() >= max_objects_ || mine >= max_per_client_ || entries_.count(id)) {
    if (mine == 0) per_client_.erase(client);
    return {};
  }
  ++mine;
  entries_[id] = Entry{std::move(object), type, client, Clock::now(), 0};
  return id;
}

void ObjectTable::Erase(std::map<ObjectId, Entry>::iterator it) {
  auto c = per_client_.find(it->second.client);
  if (c != per_client_.end() && --c->second == 0) per_client_.erase(c);
  entries_.erase(it);
}

std::shared_ptr<void> ObjectTable::BeginCall(const ObjectId& id, const std::string& client,
                                             const void* type) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  if (it == entries_.end() || it->second.type != type || it->second.client != client) return nullptr;
  ++it->second.calls;
  it->second.renewed = Clock::now();
  return it->second.object;
}

void ObjectTable::EndCall(const ObjectId& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  --it->second.calls;
  it->second.renewed = Clock::now();
}

std::vector<ObjectId> ObjectTable::Renew(const std::vector<ObjectId>& ids, const std::string& client) {
  std::vector<ObjectId> unknown;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ObjectId& id : ids) {
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.client != client) {
      unknown.push_back(id);
    } else {
      it->second.renewed = Clock::now();
    }
  }
  return unknown;
}

void ObjectTable::Drop(const ObjectId& id, const std::string& client) {
  std::shared_ptr<void> doomed;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  if (it == entries_.end() || it->second.client != client) return;
  doomed = std::move(it->second.object);
  Erase(it);
  // doomed is released after the lock (declared first, destroyed last).
}

size_t ObjectTable::Expire(Clock::time_point now) {
  std::vector<std::shared_ptr<void>> doomed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
      auto next = std::next(it);
      if (it->second.calls == 0 && now - it->second.renewed > lease_) {
        doomed.push_back(std::move(it->second.object));
        Erase(it);
      }
      it = next;
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
