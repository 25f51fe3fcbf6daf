#include "remote/connection.h"
#include "remote/remote_objects.h"

namespace zelta {

RemoteServerCollection::RemoteServerCollection(std::shared_ptr<Connection> connection, const std::string& id,
                                               uint32_t lease_ms)
    : connection_(std::move(connection)), id_(id) {
  connection_->Hold(id_, lease_ms);
}

RemoteServerCollection::~RemoteServerCollection() { connection_->Release(id_); }

int32_t RemoteServerCollection::AddServer(const std::string& name, const std::string& comment,
                                          int32_t& result) {
  rpc::ServerNameRequest request;
  request.set_object_id(id_);
  request.set_name(name);
  request.set_comment(comment);
  rpc::ResultReply reply;
  result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->collection().AddServer(c, request, &reply); },
      kProgIdServerCollection, last_error_);
  return result;
}

int32_t RemoteServerCollection::ServerList(std::string& list) {
  rpc::ObjectRef request;
  request.set_object_id(id_);
  rpc::TextReply reply;
  int32_t result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->collection().ServerList(c, request, &reply); },
      kProgIdServerCollection, last_error_);
  list = result == kResultOk ? reply.text() : std::string();
  return result;
}

int32_t RemoteServerCollection::GetLastError(PrinterErrorInfo& info, int32_t& result) {
  info = last_error_;
  result = kResultOk;
  return result;
}

int32_t RemoteServerCollection::ServerInfo(std::string& text) {
  rpc::ObjectRef request;
  request.set_object_id(id_);
  rpc::TextReply reply;
  int32_t result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->collection().ServerInfo(c, request, &reply); },
      kProgIdServerCollection, last_error_);
  text = result == kResultOk ? reply.text() : std::string();
  return result;
}

int32_t RemoteServerCollection::RemoveServer(const std::string& name, int32_t& result) {
  rpc::ServerNameRequest request;
  request.set_object_id(id_);
  request.set_name(name);
  rpc::ResultReply reply;
  result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->collection().RemoveServer(c, request, &reply); },
      kProgIdServerCollection, last_error_);
  return result;
}

}  // namespace zelta
