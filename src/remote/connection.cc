#include "remote/connection.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

namespace zelta {
namespace {

// 128 random bits in hex: this client's key, which the server ties our objects to.
std::string NewClientKey() {
  std::random_device rd;
  static const char kHex[] = "0123456789abcdef";
  std::string key;
  for (int i = 0; i < 4; ++i) {
    uint32_t v = rd();
    for (int j = 0; j < 8; ++j, v >>= 4) key += kHex[v & 15];
  }
  return key;
}

}  // namespace

Connection::Connection(std::shared_ptr<grpc::Channel> channel, RemoteSettings settings, std::string machine)
    : channel_(std::move(channel)),
      settings_(std::move(settings)),
      machine_(std::move(machine)),
      objects_(rpc::Objects::NewStub(channel_)),
      monitor_(rpc::Monitor::NewStub(channel_)),
      collection_(rpc::ServerCollection::NewStub(channel_)),
      printer_(rpc::Printer::NewStub(channel_)),
      client_key_(NewClientKey()) {}

Connection::~Connection() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (keep_alive_.joinable()) keep_alive_.join();
}

void Connection::Prepare(grpc::ClientContext& context, int deadline_ms) const {
  context.set_deadline(std::chrono::system_clock::now() +
                       std::chrono::milliseconds(std::max(deadline_ms, 1)));
  context.AddMetadata("zelta-client", client_key_);
  if (!settings_.access_token.empty())
    context.AddMetadata("authorization", "Bearer " + settings_.access_token);
}

int32_t Connection::Failure(const grpc::Status& status, int deadline_ms, const char* source,
                            PrinterErrorInfo& error) const {
  int32_t result;
  std::string text;
  switch (status.error_code()) {
    case grpc::StatusCode::PERMISSION_DENIED:
    case grpc::StatusCode::UNAUTHENTICATED:
      result = kResultAccessDenied;
      text = status.error_message().empty() ? "Access denied by the server on " + machine_ + "."
                                            : status.error_message();
      break;
    case grpc::StatusCode::DEADLINE_EXCEEDED:
      result = kResultUnreachable;
      text = "The server on " + machine_ + " did not answer within " + std::to_string(deadline_ms) + " ms.";
      break;
    case grpc::StatusCode::UNAVAILABLE:
      result = kResultPortClosed;
      text = "The connection to the server on " + machine_ + " was lost (" + status.error_message() + ").";
      break;
    case grpc::StatusCode::UNIMPLEMENTED:
      result = kResultNotFound;
      text = "The server on " + machine_ + " does not offer this call.";
      break;
    default:
      result = kResultFailure;
      text = "The call to the server on " + machine_ + " failed: " + status.error_message();
      break;
  }
  error = {result, text, source};
  return result;
}

void Connection::Hold(const std::string& id, uint32_t lease_ms) {
  if (id.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  held_[id] = std::max<uint32_t>(lease_ms, 30);
  if (!keep_alive_.joinable()) keep_alive_ = std::thread([this] { KeepAlive(); });
  wake_.notify_all();  // a shorter lease shortens the period at once
}

void Connection::Release(const std::string& id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.erase(id);
  }
  rpc::ObjectRef request;
  request.set_object_id(id);
  rpc::DropReply reply;
  grpc::ClientContext context;
  Prepare(context, std::min(settings_.call_timeout_ms, 1000));
  objects_->Drop(&context, request, &reply);
}

void Connection::KeepAlive() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    uint32_t lease = 60000;
    for (const auto& [id, l] : held_) lease = std::min(lease, l);
    wake_.wait_for(lock, std::chrono::milliseconds(lease / 3), [this] { return stopping_; });
    if (stopping_ || held_.empty()) continue;
    rpc::RenewRequest request;
    for (const auto& [id, l] : held_) request.add_object_ids(id);
    lock.unlock();
    rpc::RenewReply reply;
    grpc::ClientContext context;
    Prepare(context, static_cast<int>(std::max<uint32_t>(lease / 3, 20)));
    objects_->Renew(&context, request, &reply);  // a failed renewal is retried on the next round
    lock.lock();
  }
}

}  // namespace zelta
