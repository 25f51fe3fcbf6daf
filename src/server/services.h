// The gRPC services of zelta-server. Included only by the server's own sources: it pulls in grpcpp.
#pragma once

#include <grpcpp/grpcpp.h>

#include "server/served_objects.h"
#include "zelta.grpc.pb.h"

namespace zelta {

// OK when the call carries the configured access token (or none is configured); PERMISSION_DENIED
// with a description otherwise.
grpc::Status CheckAccess(const ServerState& state, grpc::ServerContext* context);

// The client key of the call (metadata "zelta-client"), "" when none was sent.
std::string ClientKey(grpc::ServerContext* context);

// Fills an Outcome with result and, when it is a failure, the error info that GetLastError gives back.
void SetOutcome(rpc::Outcome* outcome, int32_t result, const PrinterErrorInfo& error);

// The outcome of a call on an id the server does not know (any more).
void SetUnknownObject(rpc::Outcome* outcome, const char* source);

class ObjectsService final : public rpc::Objects::Service {
 public:
  explicit ObjectsService(ServerState& state) : state_(state) {}
  grpc::Status Create(grpc::ServerContext* c, const rpc::CreateRequest* q, rpc::CreateReply* r) override;
  grpc::Status Renew(grpc::ServerContext* c, const rpc::RenewRequest* q, rpc::RenewReply* r) override;
  grpc::Status Drop(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::DropReply* r) override;

 private:
  ServerState& state_;
};

class MonitorService final : public rpc::Monitor::Service {
 public:
  explicit MonitorService(ServerState& state) : state_(state) {}
  grpc::Status CheckPrinter(grpc::ServerContext* c, const rpc::PrinterRef* q,
                            rpc::PrinterRefReply* r) override;
  grpc::Status GetPrinter(grpc::ServerContext* c, const rpc::PrinterRef* q, rpc::GetPrinterReply* r) override;
  grpc::Status GetLastError(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::LastErrorReply* r) override;
  grpc::Status GetResultText(grpc::ServerContext* c, const rpc::IntRequest* q, rpc::TextReply* r) override;
  grpc::Status GetPrinterCollection(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                    rpc::TextReply* r) override;
  grpc::Status GetNetPrinterCollection(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                       rpc::TextReply* r) override;

 private:
  ServerState& state_;
};

class CollectionService final : public rpc::ServerCollection::Service {
 public:
  explicit CollectionService(ServerState& state) : state_(state) {}
  grpc::Status AddServer(grpc::ServerContext* c, const rpc::ServerNameRequest* q,
                         rpc::ResultReply* r) override;
  grpc::Status ServerList(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::TextReply* r) override;
  grpc::Status GetLastError(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::LastErrorReply* r) override;
  grpc::Status ServerInfo(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::TextReply* r) override;
  grpc::Status RemoveServer(grpc::ServerContext* c, const rpc::ServerNameRequest* q,
                            rpc::ResultReply* r) override;

 private:
  ServerState& state_;
};

class PrinterService final : public rpc::Printer::Service {
 public:
  explicit PrinterService(ServerState& state) : state_(state) {}
  grpc::Status ClaimPrinter(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::ResultReply* r) override;
  grpc::Status WriteData(grpc::ServerContext* c, const rpc::WriteRequest* q, rpc::WriteReply* r) override;
  grpc::Status ReadData(grpc::ServerContext* c, const rpc::ReadRequest* q, rpc::ReadResult* r) override;
  grpc::Status ReadReply(grpc::ServerContext* c, const rpc::ReadRequest* q, rpc::ReadResult* r) override;
  grpc::Status GetReadTimeout(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::IntReply* r) override;
  grpc::Status PutReadTimeout(grpc::ServerContext* c, const rpc::IntRequest* q, rpc::IntReply* r) override;
  grpc::Status GetWriteTimeout(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::IntReply* r) override;
  grpc::Status PutWriteTimeout(grpc::ServerContext* c, const rpc::IntRequest* q, rpc::IntReply* r) override;
  grpc::Status GetBusyState(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::IntReply* r) override;
  grpc::Status GetPrinterState(grpc::ServerContext* c, const rpc::StateRequest* q,
                               rpc::StateReply* r) override;
  grpc::Status ReleasePrinter(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::ResultReply* r) override;
  grpc::Status GetLastError(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::LastErrorReply* r) override;
  grpc::Status ClearInput(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::ResultReply* r) override;
  grpc::Status ClearOutput(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::ResultReply* r) override;
  grpc::Status GetDeviceDescription(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                    rpc::TextReply* r) override;
  grpc::Status GetDeviceKind(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::IntReply* r) override;
  grpc::Status Stream(grpc::ServerContext* c,
                      grpc::ServerReaderWriter<rpc::StreamReply, rpc::StreamRequest>* stream) override;

 private:
  ServerState& state_;
};

// Runs fn(object) for a call on object id of type T, after the access check; fn returns the result
// code, which goes into reply's outcome together with the object's last error.
template <typename T, typename Reply, typename Fn>
grpc::Status ServeCall(ServerState& state, grpc::ServerContext* context, const ObjectId& id, Reply* reply,
                       const char* source, Fn fn) {
  grpc::Status access = CheckAccess(state, context);
  if (!access.ok()) return access;
  auto use = state.objects->Begin<T>(id, ClientKey(context));
  if (!use) {
    SetUnknownObject(reply->mutable_outcome(), source);
    return grpc::Status::OK;
  }
  int32_t result = fn(*use);
  PrinterErrorInfo error;
  if constexpr (std::is_base_of_v<PrinterObject, T>) {
    use->GetLastError(error);
  } else {
    error = use->LastError();
  }
  SetOutcome(reply->mutable_outcome(), result, error);
  return grpc::Status::OK;
}

}  // namespace zelta
