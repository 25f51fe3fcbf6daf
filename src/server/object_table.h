// The objects that clients hold on this server, by id, each with a lease: a call on an object (or a
// renewal) starts its lease again, and an object whose lease has run out with no call in progress is
// dropped, which releases a printer it had claimed. So a client that vanishes never keeps a printer for
// good. Ids are random 64-bit numbers, hard to guess for another client. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zelta {

class ObjectTable {
 public:
  using Clock = std::chrono::steady_clock;

  // Keeps object alive while a call runs on it; renews the lease when the call ends.
  template <typename T>
  class Use {
   public:
    Use() = default;
    Use(ObjectTable* table, uint64_t id, std::shared_ptr<T> object)
        : table_(table), id_(id), object_(std::move(object)) {}
    Use(Use&& o) noexcept : table_(o.table_), id_(o.id_), object_(std::move(o.object_)) {
      o.table_ = nullptr;
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    ~Use() {
      if (table_) table_->EndCall(id_);
    }
    T* operator->() const { return object_.get(); }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

   private:
    ObjectTable* table_ = nullptr;
    uint64_t id_ = 0;
    std::shared_ptr<T> object_;
  };

  // At most max_objects live at a time, so that no client can exhaust the server.
  explicit ObjectTable(std::chrono::milliseconds lease, size_t max_objects = 4096);
  ~ObjectTable();  // stops the reaper and drops every object

  std::chrono::milliseconds lease() const { return lease_; }

  // The object of id if it was added as a T, with its call begun; empty when unknown or of another type.
  template <typename T>
  Use<T> Begin(uint64_t id) {
    std::shared_ptr<void> object = BeginCall(id, &TypeTag<T>);
    if (!object) return {};
    return Use<T>(this, id, std::static_pointer_cast<T>(object));
  }
  // Adds object and returns its id; 0 (and object is dropped) when the table is full.
  template <typename T>
  uint64_t Add(std::shared_ptr<T> object) {
    return AddTagged(std::move(object), &TypeTag<T>);
  }

  // Renews the leases of ids; returns the ids that are not known.
  std::vector<uint64_t> Renew(const std::vector<uint64_t>& ids);
  // Drops id now (a call in progress keeps its object until it ends).
  void Drop(uint64_t id);
  // Drops objects whose lease ran out by now with no call in progress; returns how many.
  size_t Expire(Clock::time_point now);
  size_t size() const;

  // Runs Expire every lease/4 on a thread of its own until destruction.
  void StartReaper();

 private:
  template <typename T>
  static inline const char TypeTag = 0;

  struct Entry {
    std::shared_ptr<void> object;
    const void* type;
    Clock::time_point renewed;
    int calls = 0;
  };

  uint64_t AddTagged(std::shared_ptr<void> object, const void* type);
  std::shared_ptr<void> BeginCall(uint64_t id, const void* type);
  void EndCall(uint64_t id);

  const std::chrono::milliseconds lease_;
  const size_t max_objects_;
  mutable std::mutex mutex_;
  std::map<uint64_t, Entry> entries_;
  uint64_t seed_state_;
  std::condition_variable stop_cv_;
  bool stopping_ = false;
  std::thread reaper_;
};

}  // namespace zelta
