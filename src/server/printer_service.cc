// The Printer service: each call runs on the caller's printer session.
#include "server/services.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr char kSource[] = "ZeltaServer.Printer";
// The largest block one WriteData may carry (the whole of a large NV graphics packet fits).
constexpr int32_t kMaxWrite = 4 << 20;

}  // namespace

grpc::Status PrinterService::ClaimPrinter(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                          rpc::ResultReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource,
                                   [](PrinterSession& p) { return p.ClaimPrinter(); });
}

grpc::Status PrinterService::WriteData(grpc::ServerContext* c, const rpc::WriteRequest* q,
                                       rpc::WriteReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    int32_t written = 0, length = q->length();
    if (length > kMaxWrite) length = -1;  // refused by the session as out of range
    int32_t result = p.WriteData(q->data(), length, written, q->mode());
    r->set_written(written);
    return result;
  });
}

grpc::Status PrinterService::ReadData(grpc::ServerContext* c, const rpc::ReadRequest* q, rpc::ReadResult* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    std::string buffer;
    int32_t count = 0;
    int32_t result = p.ReadData(buffer, q->length(), count);
    if (result == kResultOk) r->set_data(buffer);
    r->set_count(count);
    return result;
  });
}

grpc::Status PrinterService::ReadReply(grpc::ServerContext* c, const rpc::ReadRequest* q,
                                       rpc::ReadResult* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    Bytes data;
    int32_t count = 0;
    int32_t result = p.ReadReply(data, count, q->multi_block());
    r->set_data(data);
    r->set_count(count);
    return result;
  });
}

grpc::Status PrinterService::GetReadTimeout(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                            rpc::IntReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    int32_t v = 0;
    int32_t result = p.GetReadTimeout(v);
    r->set_value(v);
    return result;
  });
}

grpc::Status PrinterService::PutReadTimeout(grpc::ServerContext* c, const rpc::IntRequest* q,
                                            rpc::IntReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource,
                                   [&](PrinterSession& p) { return p.PutReadTimeout(q->value()); });
}

grpc::Status PrinterService::GetWriteTimeout(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                             rpc::IntReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    int32_t v = 0;
    int32_t result = p.GetWriteTimeout(v);
    r->set_value(v);
    return result;
  });
}

grpc::Status PrinterService::PutWriteTimeout(grpc::ServerContext* c, const rpc::IntRequest* q,
                                             rpc::IntReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource,
                                   [&](PrinterSession& p) { return p.PutWriteTimeout(q->value()); });
}

grpc::Status PrinterService::GetBusyState(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::IntReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    int32_t v = 0;
    int32_t result = p.GetBusyState(v);
    r->set_value(v);
    return result;
  });
}

grpc::Status PrinterService::GetPrinterState(grpc::ServerContext* c, const rpc::StateRequest* q,
                                             rpc::StateReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    int32_t state = 0, mode = q->mode();
    int32_t result = p.GetPrinterState(state, mode);
    r->set_state(state);
    r->set_mode(mode);
    return result;
  });
}

grpc::Status PrinterService::ReleasePrinter(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                            rpc::ResultReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource,
                                   [](PrinterSession& p) { return p.ReleasePrinter(); });
}

grpc::Status PrinterService::GetLastError(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                          rpc::LastErrorReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    PrinterErrorInfo info;
    int32_t result = p.GetLastError(info);
    r->mutable_info()->set_number(info.Number);
    r->mutable_info()->set_description(info.Description);
    r->mutable_info()->set_source(info.Source);
    return result;
  });
}

grpc::Status PrinterService::ClearInput(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                        rpc::ResultReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource,
                                   [](PrinterSession& p) { return p.ClearInput(); });
}

grpc::Status PrinterService::ClearOutput(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                         rpc::ResultReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource,
                                   [](PrinterSession& p) { return p.ClearOutput(); });
}

grpc::Status PrinterService::GetDeviceDescription(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                                  rpc::TextReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    std::string text;
    int32_t result = p.GetDeviceDescription(text);
    r->set_text(text);
    return result;
  });
}

grpc::Status PrinterService::GetDeviceKind(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                           rpc::IntReply* r) {
  return ServeCall<PrinterSession>(state_, c, q->object_id(), r, kSource, [&](PrinterSession& p) {
    int32_t v = 0;
    int32_t result = p.GetDeviceKind(v);
    r->set_value(v);
    return result;
  });
}

}  // namespace zelta
