// The objects that clients hold on this server, by id, each with a lease: a call on an object (or a
// renewal) starts its lease again, and an object whose lease has run out with no call in progress is
// dropped, which releases a printer it had claimed. So a client that vanishes never keeps a printer for
// good. Ids are 128 random bits from the system's generator, and an object answers only to the client
// that created it (its client key): another client that learns an id can neither use, renew nor drop
// the object, nor find out that it exists. Each client may hold a bounded number of objects, so that
// one client cannot fill the table for everyone. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelta {

// An object id: 16 random bytes. Empty means none.
using ObjectId = std::string;
inline constexpr size_t kObjectIdBytes = 16;

class ObjectTable {
 public:
  using Clock = std::chrono::steady_clock;

  // Keeps object alive while a call runs on it; renews the lease when the call ends.
  template <typename T>
  class Use {
   public:
    Use() = default;
    Use(ObjectTable* table, ObjectId id, std::shared_ptr<T> object)
        : table_(table), id_(std::move(id)), object_(std::move(object)) {}
    Use(Use&& o) noexcept : table_(o.table_), id_(std::move(o.id_)), object_(std::move(o.object_)) {
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
    ObjectId id_;
    std::shared_ptr<T> object_;
  };

  // At most max_objects live at a time, and at most max_per_client for one client key.
  explicit ObjectTable(std::chrono::milliseconds lease, size_t max_objects = 4096,
                       size_t max_per_client = 64);
  ~ObjectTable();  // stops the reaper and drops every object

  std::chrono::milliseconds lease() const { return lease_; }

  // The object of id if client created it as a T, with its call begun; empty when unknown, of another
  // type or another client's.
  template <typename T>
  Use<T> Begin(const ObjectId& id, const std::string& client) {
    std::shared_ptr<void> object = BeginCall(id, client, &TypeTag<T>);
    if (!object) return {};
    return Use<T>(this, id, std::static_pointer_cast<T>(object));
  }
  // Adds object for client and returns its id; empty (and object is dropped) when the table or the
  // client's share of it is full.
  template <typename T>
  ObjectId Add(std::shared_ptr<T> object, const std::string& client) {
    return AddTagged(std::move(object), client, &TypeTag<T>);
  }

  // Renews the leases of client's ids; returns the ids that client does not hold (unknown ones and
  // other clients' alike).
  std::vector<ObjectId> Renew(const std::vector<ObjectId>& ids, const std::string& client);
  // Drops client's id now (a call in progress keeps its object until it ends).
  void Drop(const ObjectId& id, const std::string& client);
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
    std::string client;
    Clock::time_point renewed;
    int calls = 0;
  };

  ObjectId AddTagged(std::shared_ptr<void> object, const std::string& client, const void* type);
  std::shared_ptr<void> BeginCall(const ObjectId& id, const std::string& client, const void* type);
  void EndCall(const ObjectId& id);
  void Erase(std::map<ObjectId, Entry>::iterator it);  // mutex_ held

  const std::chrono::milliseconds lease_;
  const size_t max_objects_, max_per_client_;
  mutable std::mutex mutex_;
  std::map<ObjectId, Entry> entries_;
  std::map<std::string, size_t> per_client_;
  std::condition_variable stop_cv_;
  bool stopping_ = false;
  std::thread reaper_;
};

// 16 bytes from the system's random generator.
ObjectId RandomObjectId();

}  // namespace zelta
