// The send queue of a printer session: a bounded buffer, like a printer's receive buffer, that takes
// ordinary data at once and hands it to the printer's port in order on a thread of its own. The client
// may fill it up to its capacity (its credit) without waiting for the port; whatever must follow the
// data (a reply read, a release) waits until the queue is empty.
//
// The queue never drops what it took while the port takes it: a printer that pushes back (busy, off
// line, out of paper) only holds the queue, and the reason is kept as the stall. When the port fails
// (connection lost, printer released elsewhere) the queued bytes are dropped, the failure is kept with
// the count of bytes that reached the port, and data pushed after it is dropped too until the failure
// has been reported to the client, so that a resend starts from the first byte not sent and nothing
// reaches the printer twice. Thread-safe.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "shared/printer_object.h"

namespace zelta {

class SendQueue {
 public:
  // Writes one chunk to the port, waiting only briefly for it: returns the port's result code, the
  // bytes taken in written and, on a failure, the port's error.
  using WriteFn = std::function<int32_t(const Bytes& chunk, int32_t& written, PrinterErrorInfo& error)>;

  struct Progress {
    uint64_t done = 0;       // bytes taken out of the queue (sent on or dropped)
    uint64_t reached = 0;    // bytes that reached the port
    PrinterErrorInfo stall;  // Number 0 while the queue moves
    uint64_t failure_seq = 0;
    PrinterErrorInfo failure;
    bool failed = false;  // a failure not yet reported
    bool closed = false;
    bool operator==(const Progress& o) const {
      return done == o.done && stall.Number == o.stall.Number && failure_seq == o.failure_seq &&
             closed == o.closed;
    }
  };

  SendQueue(size_t capacity, WriteFn write);
  ~SendQueue();  // Close()

  size_t capacity() const { return capacity_; }
  // Bytes waiting now.
  size_t queued() const;
  Progress progress() const;

  // Appends data behind what waits (starting the sender on first use). Data pushed while a failure
  // waits to be reported is dropped (and counted as done). False when the data does not fit into the
  // free space or the queue is closed: nothing is taken then.
  bool Push(const Bytes& data);
  // Waits until everything pushed so far is out of the queue, a failure happened or timeout_ms passed.
  // kResultOk when empty; the failure (reported by this call: see Acknowledge) or the stall (or a
  // time-out) in error otherwise.
  int32_t Drain(int timeout_ms, PrinterErrorInfo& error);
  // Drops what waits (counted as done).
  void Discard();
  // The client has reported failure seq: data is taken again.
  void Acknowledge(uint64_t seq);
  // Empties the queue and starts its counts again, with no failure to report (a new claim).
  void Restart();
  // Waits up to timeout for progress other than seen, or until *stop is set and Wake called; returns
  // the progress then.
  Progress WaitChange(const Progress& seen, std::chrono::milliseconds timeout,
                      const std::atomic<bool>* stop) const;
  void Wake() const;
  // Stops the sender and drops what waits. Later pushes fail.
  void Close();
  // A stream of the client is attached: a second one is refused.
  bool Attach();
  void Detach();

 private:
  void SendLoop();
  void FailLocked(const PrinterErrorInfo& error);

  const size_t capacity_;
  const WriteFn write_;
  mutable std::mutex mu_;
  mutable std::condition_variable cv_;
  std::deque<char> bytes_;
  Progress progress_;
  bool attached_ = false;
  std::thread sender_;
};

}  // namespace zelta
