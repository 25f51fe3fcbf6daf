// Printer.Stream: the ordered traffic of one claim. Data goes into the session's send queue as it
// comes; calls run in order behind it; the queue's progress (the client's credit) goes back to the
// client whenever it changes. The stream holds the session weakly, so that a client that vanishes
// loses it by its lease as always; a stream that ends without a release drops what was queued.
#include <atomic>
#include <memory>
#include <thread>

#include "server/services.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr char kSource[] = "ZeltaServer.Printer";
constexpr auto kProgressWait = std::chrono::milliseconds(200);

void SetProgress(const SendQueue::Progress& p, size_t capacity, rpc::StreamReply* r) {
  r->set_capacity(static_cast<uint32_t>(capacity));
  r->set_done(p.done);
  r->set_reached(p.reached);
  SetOutcome(r->mutable_stall(), p.stall.Number, p.stall);
  r->set_failure_seq(p.failure_seq);
  if (p.failed) SetOutcome(r->mutable_failure(), p.failure.Number, p.failure);  // not yet reported
}

// Runs one ordered call on session and fills its answer.
int32_t RunCall(PrinterSession& session, const rpc::StreamRequest& q, rpc::ReadResult* result) {
  switch (q.op()) {
    case rpc::StreamRequest::READ_DATA: {
      std::string buffer;
      int32_t count = 0;
      const int32_t r = session.ReadData(buffer, q.length(), count);
      if (r == kResultOk) result->set_data(buffer);
      result->set_count(count);
      return r;
    }
    case rpc::StreamRequest::READ_REPLY: {
      Bytes data;
      int32_t count = 0;
      const int32_t r = session.ReadReply(data, count, q.multi_block());
      result->set_data(data);
      result->set_count(count);
      return r;
    }
    case rpc::StreamRequest::RELEASE:
      return session.ReleasePrinter();
    case rpc::StreamRequest::CLEAR_INPUT:
      return session.ClearInput();
    case rpc::StreamRequest::CLEAR_OUTPUT:
      return session.ClearOutput();
    default:
      return kResultBadArgument;
  }
}

}  // namespace

grpc::Status PrinterService::Stream(grpc::ServerContext* c,
                                    grpc::ServerReaderWriter<rpc::StreamReply, rpc::StreamRequest>* stream) {
  grpc::Status access = CheckAccess(state_, c);
  if (!access.ok()) return access;
  const std::string client = ClientKey(c);
  rpc::StreamRequest q;
  if (!stream->Read(&q)) return grpc::Status::OK;
  const ObjectId id = q.object_id();
  std::shared_ptr<SendQueue> queue;
  {
    auto use = state_.objects->Begin<PrinterSession>(id, client);
    if (!use) {
      rpc::StreamReply r;
      SetUnknownObject(r.mutable_result()->mutable_outcome(), kSource);
      stream->Write(r);
      return grpc::Status::OK;
    }
    if (!use->claimed()) {
      // A stream serves one claim: without it there is nothing to order (and no thread to spare).
      rpc::StreamReply r;
      SetOutcome(
          r.mutable_result()->mutable_outcome(), kResultNotClaimed,
          {kResultNotClaimed, "The printer stream needs the printer claimed first (ClaimPrinter).", kSource});
      stream->Write(r);
      return grpc::Status::OK;
    }
    queue = use->queue();
  }
  if (!queue->Attach())
    return grpc::Status(grpc::StatusCode::FAILED_PRECONDITION, "The printer object has a stream already.");

  std::mutex write_mu;  // one write on the stream at a time
  auto send = [&](const rpc::StreamReply& r) {
    std::lock_guard<std::mutex> lock(write_mu);
    return stream->Write(r);
  };
  // Progress, sent by a thread of its own while this one reads.
  std::atomic<bool> ending{false};
  SendQueue::Progress seen = queue->progress();
  {
    rpc::StreamReply first;
    SetProgress(seen, queue->capacity(), &first);
    send(first);
  }
  std::thread progress([&] {
    for (;;) {
      SendQueue::Progress now = queue->WaitChange(seen, kProgressWait, &ending);
      if (ending) break;
      if (now == seen) continue;
      seen = now;
      rpc::StreamReply r;
      SetProgress(now, queue->capacity(), &r);
      if (!send(r)) break;
      if (now.closed) break;
    }
  });

  bool released = false;
  do {
    if (!q.data().empty() && !queue->Push(q.data())) {
      // More than the credit, or the session is gone: the client broke the rules or lost its object.
      break;
    }
    if (q.ack_failure()) queue->Acknowledge(q.ack_failure());
    if (q.call() != 0) {
      rpc::StreamReply r;
      r.set_call(q.call());
      auto use = state_.objects->Begin<PrinterSession>(id, client);
      if (!use) {
        SetUnknownObject(r.mutable_result()->mutable_outcome(), kSource);
      } else {
        const uint64_t failure_before = queue->progress().failure_seq;
        const bool failed_before = queue->progress().failed;
        const int32_t result = RunCall(*use, q, r.mutable_result());
        PrinterErrorInfo error;
        use->GetLastError(error);
        SetOutcome(r.mutable_result()->mutable_outcome(), result, error);
        // A failure pending before the call, or one that happened during it, and gone after it was
        // reported by this answer (nothing else of this stream runs meanwhile).
        const SendQueue::Progress after = queue->progress();
        if (!after.failed && (failed_before || after.failure_seq > failure_before))
          r.set_reported_seq(after.failure_seq);
        if (q.op() == rpc::StreamRequest::RELEASE) released = true;
      }
      SetProgress(queue->progress(), queue->capacity(), &r);
      if (!send(r)) break;
    }
  } while (!released && stream->Read(&q));

  if (!released) queue->Discard();  // the client went away in the middle: nothing more of it is sent
  ending = true;
  queue->Wake();
  progress.join();
  queue->Detach();
  return grpc::Status::OK;
}

}  // namespace zelta
