// One client's printer object on the server: a session over a shared printer port. ClaimPrinter makes
// the session the port's only user until ReleasePrinter (or until the session ends, which releases a
// claim still held); another session's claim meanwhile fails with kResultClaimedElsewhere. Every
// operation that reaches the printer needs the claim. Time-outs belong to the session and are put on
// the port while it holds the claim. Thread-safe.
//
// Ordinary data goes through the session's send queue (queue()); real-time requests (DLE EOT, DLE ENQ
// in mode 2) and GetPrinterState go to the port at once. Everything else that reaches the printer
// (writes, reads, clearing input, release) first waits, up to the write time-out, until the queue is
// empty, so it keeps its place behind the queued data; a failure of the port while bytes were queued is
// the result of the next such call.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "server/printer_catalog.h"
#include "server/send_queue.h"
#include "shared/printer_object.h"

namespace zelta {

class PrinterSession : public PrinterObject {
 public:
  // port must not be null. owner is the session's claim token (PrinterCatalog::NextOwner).
  PrinterSession(std::shared_ptr<PrinterPort> port, uint64_t owner, int32_t read_timeout,
                 int32_t write_timeout, size_t send_queue_bytes = 65536);
  // Stops the send queue (dropping what waits) and releases the printer if this session still holds it.
  ~PrinterSession() override;

  int32_t ClaimPrinter() override;
  int32_t WriteData(const Bytes& data, int32_t length, int32_t& written, int32_t mode) override;
  int32_t ReadData(std::string& buffer, int32_t length, int32_t& count) override;
  int32_t ReadReply(Bytes& data, int32_t& count, int32_t multi_block) override;
  int32_t GetReadTimeout(int32_t& value) override;
  int32_t PutReadTimeout(int32_t value) override;
  int32_t GetWriteTimeout(int32_t& value) override;
  int32_t PutWriteTimeout(int32_t value) override;
  int32_t GetBusyState(int32_t& value) override;
  int32_t GetPrinterState(int32_t& state, int32_t& mode) override;
  int32_t ReleasePrinter() override;
  int32_t GetLastError(PrinterErrorInfo& info) override;
  int32_t ClearInput() override;
  int32_t ClearOutput() override;
  int32_t GetDeviceDescription(std::string& text) override;
  int32_t GetDeviceKind(int32_t& value) override;

  bool claimed() const { return port_->owner() == owner_; }
  const PrinterPort& port() const { return *port_; }
  // The send queue; it outlives the session only closed.
  const std::shared_ptr<SendQueue>& queue() const { return queue_; }

 private:
  // Runs call on the port object under the port's lock, after checking the claim; a failure copies the
  // port's error description.
  template <typename Call>
  int32_t OnPort(const char* operation, Call call);
  int32_t Fail(int32_t result, const std::string& description);
  int32_t Fail(const PrinterErrorInfo& error);
  // Waits until the send queue is empty; otherwise fails with its failure or stall.
  int32_t AfterQueue();
  // The send queue's way to the port: one chunk with a short time-out, so that real-time requests
  // get the port between chunks.
  int32_t SendChunk(const Bytes& chunk, int32_t& written, PrinterErrorInfo& error);

  std::shared_ptr<PrinterPort> port_;
  const uint64_t owner_;
  mutable std::mutex mutex_;  // guards the members below
  int32_t read_timeout_, write_timeout_;
  PrinterErrorInfo last_error_;
  std::shared_ptr<SendQueue> queue_;
};

}  // namespace zelta
