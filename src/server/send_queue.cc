#include "server/send_queue.h"

#include <algorithm>

#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr size_t kChunk = 4096;  // bytes handed to the port at a time
constexpr auto kRetryPause = std::chrono::milliseconds(5);

bool IsPushBack(int32_t result) {
  return result == kResultTimeout || result == kResultBusy || result == kResultPaperOut;
}

}  // namespace

SendQueue::SendQueue(size_t capacity, WriteFn write) : capacity_(capacity), write_(std::move(write)) {}

SendQueue::~SendQueue() { Close(); }

size_t SendQueue::queued() const {
  std::lock_guard<std::mutex> lk(mu_);
  return bytes_.size();
}

SendQueue::Progress SendQueue::progress() const {
  std::lock_guard<std::mutex> lk(mu_);
  return progress_;
}

bool SendQueue::Push(const Bytes& data) {
  std::lock_guard<std::mutex> lk(mu_);
  if (progress_.closed || bytes_.size() + data.size() > capacity_) return false;
  if (progress_.failed) {
    progress_.done += data.size();
    cv_.notify_all();
    return true;
  }
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  if (!sender_.joinable()) sender_ = std::thread([this] { SendLoop(); });
  cv_.notify_all();
  return true;
}

int32_t SendQueue::Drain(int timeout_ms, PrinterErrorInfo& error) {
  std::unique_lock<std::mutex> lk(mu_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  cv_.wait_until(lk, deadline, [this] { return bytes_.empty() || progress_.failed || progress_.closed; });
  if (progress_.failed) {
    error = progress_.failure;
    progress_.failed = false;  // reported now
    cv_.notify_all();
    return error.Number;
  }
  if (bytes_.empty()) return kResultOk;
  if (progress_.closed) {
    error = {kResultPortClosed, "The printer session has ended.", "ZeltaServer.Printer"};
    return error.Number;
  }
  if (progress_.stall.Number != 0) {
    error = progress_.stall;
  } else {
    error = {kResultTimeout,
             "The printer has not taken the " + std::to_string(bytes_.size()) + " bytes sent before within " +
                 std::to_string(timeout_ms) + " ms.",
             "ZeltaServer.Printer"};
  }
  return error.Number;
}

void SendQueue::Discard() {
  std::lock_guard<std::mutex> lk(mu_);
  progress_.done += bytes_.size();
  bytes_.clear();
  cv_.notify_all();
}

void SendQueue::Acknowledge(uint64_t seq) {
  std::lock_guard<std::mutex> lk(mu_);
  if (seq == progress_.failure_seq) progress_.failed = false;
  cv_.notify_all();
}

void SendQueue::Wake() const {
  std::lock_guard<std::mutex> lk(mu_);
  cv_.notify_all();
}

void SendQueue::Restart() {
  std::lock_guard<std::mutex> lk(mu_);
  bytes_.clear();
  progress_.done = progress_.reached = 0;
  progress_.stall = {};
  progress_.failed = false;
  cv_.notify_all();
}

SendQueue::Progress SendQueue::WaitChange(const Progress& seen, std::chrono::milliseconds timeout,
                                          const std::atomic<bool>* stop) const {
  std::unique_lock<std::mutex> lk(mu_);
  cv_.wait_for(lk, timeout, [&] { return !(progress_ == seen) || (stop && *stop); });
  return progress_;
}

void SendQueue::Close() {
  {
    std::lock_guard<std::mutex> lk(mu_);
    progress_.closed = true;
    progress_.done += bytes_.size();
    bytes_.clear();
    cv_.notify_all();
  }
  if (sender_.joinable() && sender_.get_id() != std::this_thread::get_id()) sender_.join();
}

bool SendQueue::Attach() {
  std::lock_guard<std::mutex> lk(mu_);
  if (attached_ || progress_.closed) return false;
  attached_ = true;
  return true;
}

void SendQueue::Detach() {
  std::lock_guard<std::mutex> lk(mu_);
  attached_ = false;
}

void SendQueue::FailLocked(const PrinterErrorInfo& error) {
  progress_.done += bytes_.size();
  const size_t dropped = bytes_.size();
  bytes_.clear();
  ++progress_.failure_seq;
  progress_.failed = true;
  progress_.stall = {};
  progress_.failure = error;
  progress_.failure.Description += " " + std::to_string(progress_.reached) + " bytes reached the printer; " +
                                   std::to_string(dropped) + " queued bytes were not sent.";
}

void SendQueue::SendLoop() {
  std::unique_lock<std::mutex> lk(mu_);
  while (!progress_.closed) {
    if (bytes_.empty()) {
      cv_.wait(lk, [this] { return !bytes_.empty() || progress_.closed; });
      continue;
    }
    const size_t n = std::min(kChunk, bytes_.size());
    const Bytes chunk(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
    lk.unlock();
    int32_t written = 0;
    PrinterErrorInfo error;
    const int32_t result = write_(chunk, written, error);
    lk.lock();
    // A Discard or Close meanwhile dropped the bytes already.
    const size_t taken = std::min(static_cast<size_t>(std::clamp<int32_t>(written, 0, n)), bytes_.size());
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(taken));
    progress_.done += taken;
    progress_.reached += static_cast<uint64_t>(std::clamp<int32_t>(written, 0, n));
    if (result == kResultOk) {
      progress_.stall = {};
    } else if (IsPushBack(result)) {
      progress_.stall = {result, error.Description, error.Source};
      if (taken == 0) cv_.wait_for(lk, kRetryPause, [this] { return progress_.closed; });
    } else if (!progress_.closed) {
      FailLocked({result, error.Description, error.Source});
    }
    cv_.notify_all();
  }
}

}  // namespace zelta
