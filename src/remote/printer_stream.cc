#include "remote/printer_stream.h"

#include <algorithm>
#include <chrono>

namespace zelta {
namespace {

constexpr char kSource[] = "ZeltaServer.Printer";
constexpr size_t kBatchBytes = 8192;  // data gathered into one stream message

PrinterErrorInfo FromRpc(const rpc::Outcome& o) {
  return {o.error().number() ? o.error().number() : o.result(), o.error().description(), o.error().source()};
}

}  // namespace

std::unique_ptr<PrinterStream> PrinterStream::Open(Connection& connection, const std::string& id,
                                                   int deadline_ms, PrinterErrorInfo& error) {
  std::unique_ptr<PrinterStream> s(new PrinterStream(connection));
  connection.Prepare(s->context_, 24 * 3600 * 1000);  // the stream lives as long as the claim
  s->stream_ = connection.printer().Stream(&s->context_);
  s->reader_ = std::thread([raw = s.get()] { raw->ReadLoop(); });
  rpc::StreamRequest first;
  first.set_object_id(id);
  ++s->waits_;
  if (!s->Send(first)) {
    // The reader sees the end of the stream and says why.
  }
  std::unique_lock<std::mutex> lk(s->mu_);
  const bool answered = s->cv_.wait_for(lk, std::chrono::milliseconds(std::max(deadline_ms, 1)),
                                        [&] { return s->started_ || s->broken_; });
  if (answered && s->started_ && !s->broken_) return s;
  error = s->broken_ ? s->broken_error_
                     : PrinterErrorInfo{kResultUnreachable,
                                        "The server on " + connection.machine() +
                                            " did not open the printer stream within " +
                                            std::to_string(deadline_ms) + " ms.",
                                        kSource};
  lk.unlock();
  return nullptr;  // the destructor cancels the stream
}

PrinterStream::~PrinterStream() {
  if (!closed_) context_.TryCancel();
  if (reader_.joinable()) reader_.join();
}

bool PrinterStream::Send(const rpc::StreamRequest& request) {
  std::lock_guard<std::mutex> lock(write_mu_);
  return stream_->Write(request);
}

void PrinterStream::ReadLoop() {
  rpc::StreamReply r;
  while (stream_->Read(&r)) {
    std::lock_guard<std::mutex> lk(mu_);
    if (r.has_result() && r.call() == 0) {
      // The server refused the stream (unknown object).
      broken_ = true;
      broken_error_ = FromRpc(r.result().outcome());
    }
    if (r.capacity()) capacity_ = r.capacity();
    done_ = std::max<uint64_t>(done_, r.done());
    reached_ = std::max<uint64_t>(reached_, r.reached());
    stall_ = r.stall().result() ? FromRpc(r.stall()) : PrinterErrorInfo{};
    if (r.failure_seq() > failure_seq_) {
      failure_seq_ = r.failure_seq();
      failure_ = FromRpc(r.failure());
      // A failure without its outcome was reported already (before this stream, or by a call).
      if (!r.has_failure()) reported_seq_ = std::max(reported_seq_, failure_seq_);
    }
    if (r.reported_seq() > reported_seq_) reported_seq_ = r.reported_seq();
    if (r.call()) answers_[r.call()] = r;
    started_ = true;
    cv_.notify_all();
  }
  grpc::Status status = stream_->Finish();
  std::lock_guard<std::mutex> lk(mu_);
  if (!broken_) {
    broken_ = true;
    if (status.ok() || closed_) {
      broken_error_ = {kResultPortClosed,
                       "The server on " + connection_.machine() + " ended the printer stream.", kSource};
    } else {
      connection_.Failure(status, 0, kSource, broken_error_);
    }
  }
  cv_.notify_all();
}

int32_t PrinterStream::ReportFailureLocked(PrinterErrorInfo& error) {
  error = failure_;
  reported_seq_ = failure_seq_;
  return error.Number ? error.Number : kResultFailure;
}

int32_t PrinterStream::Write(const Bytes& data, int32_t length, int timeout_ms, int32_t& written,
                             PrinterErrorInfo& error) {
  written = 0;
  std::unique_lock<std::mutex> lk(mu_);
  const uint64_t start = sent_;
  auto report_failure = [&] {
    const int32_t result = ReportFailureLocked(error);
    const uint64_t seq = reported_seq_;
    // Of this call's bytes, those before the point where the port failed got there.
    written = static_cast<int32_t>(
        std::clamp<uint64_t>(reached_ > start ? reached_ - start : 0, 0, static_cast<uint64_t>(written)));
    lk.unlock();
    Flush();
    rpc::StreamRequest ack;
    ack.set_ack_failure(seq);
    Send(ack);
    return result;
  };
  if (FailurePendingLocked()) return report_failure();
  while (written < length) {
    if (broken_) {
      error = broken_error_;
      return error.Number;
    }
    const uint64_t in_queue = sent_ - std::min(done_, sent_);
    const uint64_t credit = capacity_ > in_queue ? capacity_ - in_queue : 0;
    if (credit > 0) {
      // Gathered into messages of a few KB: a row per message would cost a call into the transport
      // each.
      const uint64_t n = std::min<uint64_t>(credit, static_cast<uint64_t>(length - written));
      sent_ += n;
      batch_.append(data, static_cast<size_t>(written), static_cast<size_t>(n));
      written += static_cast<int32_t>(n);
      if (batch_.size() >= kBatchBytes) {
        lk.unlock();
        Flush();
        lk.lock();
      }
      continue;
    }
    lk.unlock();
    Flush();  // what waits here must reach the server before its queue can make room
    lk.lock();
    ++waits_;
    // Wait for half the queue to free up, not for the first byte of it: the waits then stay about two
    // per queue's worth of data whatever the size of the writes.
    const uint64_t wanted = capacity_ / 2;
    const bool moved = cv_.wait_for(lk, std::chrono::milliseconds(std::max(timeout_ms, 0)), [&] {
      return broken_ || FailurePendingLocked() || capacity_ - (sent_ - std::min(done_, sent_)) >= wanted;
    });
    if (FailurePendingLocked()) return report_failure();
    if (!moved) {
      if (stall_.Number != 0) {
        error = stall_;
      } else {
        error = {kResultTimeout,
                 "The printer took " + std::to_string(written) + " of " + std::to_string(length) +
                     " bytes within " + std::to_string(timeout_ms) + " ms.",
                 kSource};
      }
      return error.Number;
    }
  }
  return kResultOk;
}

int32_t PrinterStream::Call(rpc::StreamRequest call, int deadline_ms, rpc::ReadResult& result,
                            PrinterErrorInfo& error) {
  uint32_t number;
  {
    std::lock_guard<std::mutex> lk(mu_);
    number = next_call_++;
    if (next_call_ == 0) next_call_ = 1;
    ++waits_;
  }
  call.set_call(number);
  Flush();
  Send(call);
  std::unique_lock<std::mutex> lk(mu_);
  cv_.wait_for(lk, std::chrono::milliseconds(std::max(deadline_ms, 1)),
               [&] { return broken_ || answers_.count(number) > 0; });
  auto it = answers_.find(number);
  last_call_answered_ = it != answers_.end();
  if (it == answers_.end()) {
    error = broken_ ? broken_error_
                    : PrinterErrorInfo{kResultUnreachable,
                                       "The server on " + connection_.machine() + " did not answer within " +
                                           std::to_string(deadline_ms) + " ms.",
                                       kSource};
    return error.Number;
  }
  result = it->second.result();
  answers_.erase(it);
  const int32_t code = result.outcome().result();
  if (code != kResultOk) error = FromRpc(result.outcome());
  return code;
}

bool PrinterStream::Flush() {
  if (batch_.empty()) return true;
  rpc::StreamRequest request;
  request.set_data(batch_);
  batch_.clear();
  return Send(request);  // a failure breaks the stream, which the reader reports
}

void PrinterStream::Close() {
  Flush();
  {
    std::lock_guard<std::mutex> lk(mu_);
    closed_ = true;
  }
  {
    std::lock_guard<std::mutex> lock(write_mu_);
    stream_->WritesDone();
  }
  {
    // The server ends the stream at once after a release; one that does not is cut off.
    std::unique_lock<std::mutex> lk(mu_);
    if (!cv_.wait_for(lk, std::chrono::seconds(2), [this] { return broken_; })) context_.TryCancel();
  }
  if (reader_.joinable()) reader_.join();
}

bool PrinterStream::broken() const {
  std::lock_guard<std::mutex> lk(mu_);
  return broken_;
}

}  // namespace zelta
