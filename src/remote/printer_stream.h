// The client end of Printer.Stream for one claim: ordinary data is queued on the server as long as
// the credit (the free space of the session's send queue) lasts, without waiting for an answer; calls
// that must follow the data (reads, release) travel on the same stream and wait for their answer.
// A thread of its own reads the server's progress. Internal to the remote library (pulls in grpcpp).
// Used from one thread at a time (besides its reader).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "remote/connection.h"

namespace zelta {

class PrinterStream {
 public:
  // Opens the stream of printer object id and waits up to deadline_ms for the server's first answer.
  // Null with the reason in error when the server refuses it or does not answer.
  static std::unique_ptr<PrinterStream> Open(Connection& connection, const std::string& id, int deadline_ms,
                                             PrinterErrorInfo& error);
  // Cancels the stream if Close was not called.
  ~PrinterStream();

  // Queues data[0, length) while credit lasts; with none left, waits up to timeout_ms for half the
  // queue to free up. Small writes are gathered into messages of a few KB, sent when full, before a
  // wait and before any other call.
  // kResultOk with written = length when all was queued; else the printer's push-back (or a time-out)
  // with written = the bytes queued. A failure of the port since the last call is reported here once
  // (written = the bytes of this call that reached the printer, error naming all that did).
  int32_t Write(const Bytes& data, int32_t length, int timeout_ms, int32_t& written, PrinterErrorInfo& error);
  // Sends the data that Write gathered and has not sent yet. Every other call of this object does so
  // first; the owner calls it before a call of its own that should follow the data.
  bool Flush();
  // Runs call (its op and arguments) behind the queued data; waits up to deadline_ms for its answer.
  int32_t Call(rpc::StreamRequest call, int deadline_ms, rpc::ReadResult& result, PrinterErrorInfo& error);
  // Ends the stream (after the release).
  void Close();
  bool broken() const;
  // Whether the last Call got its answer from the server.
  bool last_call_answered() const { return last_call_answered_; }
  // Times this stream waited for the server (opening, credit, calls).
  uint64_t waits() const { return waits_; }

 private:
  PrinterStream(Connection& connection) : connection_(connection) {}
  void ReadLoop();
  bool Send(const rpc::StreamRequest& request);
  bool FailurePendingLocked() const { return failure_seq_ > reported_seq_; }
  int32_t ReportFailureLocked(PrinterErrorInfo& error);

  Connection& connection_;
  grpc::ClientContext context_;
  std::unique_ptr<grpc::ClientReaderWriter<rpc::StreamRequest, rpc::StreamReply>> stream_;
  std::mutex write_mu_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool started_ = false;
  uint64_t capacity_ = 0, sent_ = 0, done_ = 0, reached_ = 0;
  PrinterErrorInfo stall_;
  uint64_t failure_seq_ = 0, reported_seq_ = 0;
  PrinterErrorInfo failure_;
  std::map<uint32_t, rpc::StreamReply> answers_;
  uint32_t next_call_ = 1;
  bool broken_ = false, closed_ = false;
  PrinterErrorInfo broken_error_;
  uint64_t waits_ = 0;
  bool last_call_answered_ = false;
  Bytes batch_;  // written, counted in sent_, not sent yet (the caller's thread only)
  std::thread reader_;
};

}  // namespace zelta
