// Access check, object creation and leases, Monitor and ServerCollection calls.
#include <algorithm>
#include <cstring>

#include "remote/server_objects.h"
#include "server/services.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

// Compares without an early exit, so the time taken says nothing about the token. expected is never
// empty.
bool SameSecret(const std::string& given, const std::string& expected) {
  unsigned diff = given.size() == expected.size() ? 0 : 1;
  for (size_t i = 0; i < given.size(); ++i)
    diff |= static_cast<unsigned char>(given[i] ^ expected[i % expected.size()]);
  return diff == 0;
}

void ToRpc(const PrinterErrorInfo& info, rpc::ErrorInfo* out) {
  out->set_number(info.Number);
  out->set_description(info.Description);
  out->set_source(info.Source);
}

constexpr char kTooManyObjects[] =
    "The server holds too many objects for this client or for all its clients now. Try again when some "
    "are released.";

}  // namespace

grpc::Status CheckAccess(const ServerState& state, grpc::ServerContext* context) {
  const std::string& token = state.config.access_token;
  if (token.empty()) return grpc::Status::OK;
  const auto& metadata = context->client_metadata();
  auto it = metadata.find("authorization");
  std::string given = it == metadata.end() ? "" : std::string(it->second.data(), it->second.size());
  if (SameSecret(given, "Bearer " + token)) return grpc::Status::OK;
  return grpc::Status(grpc::StatusCode::PERMISSION_DENIED,
                      given.empty() ? "Access denied: this server requires an access token and none was sent."
                                    : "Access denied: the access token is wrong.");
}

std::string ClientKey(grpc::ServerContext* context) {
  const auto& metadata = context->client_metadata();
  auto it = metadata.find("zelta-client");
  if (it == metadata.end()) return "";
  return std::string(it->second.data(), std::min<size_t>(it->second.size(), 64));
}

void SetOutcome(rpc::Outcome* outcome, int32_t result, const PrinterErrorInfo& error) {
  outcome->set_result(result);
  if (result != kResultOk) ToRpc(error, outcome->mutable_error());
}

void SetUnknownObject(rpc::Outcome* outcome, const char* source) {
  SetOutcome(outcome, kResultNotFound,
             {kResultNotFound,
              "The server no longer knows this object (its lease ran out or the server restarted).", source});
}

grpc::Status ObjectsService::Create(grpc::ServerContext* c, const rpc::CreateRequest* q,
                                    rpc::CreateReply* r) {
  grpc::Status access = CheckAccess(state_, c);
  if (!access.ok()) return access;
  const std::string& prog_id = q->prog_id();
  std::string source = "ZeltaServer on " + state_.config.server_name;
  r->set_lease_ms(static_cast<uint32_t>(state_.objects->lease().count()));
  ObjectId id;
  if (prog_id == kProgIdMonitor) {
    id = state_.objects->Add(std::make_shared<ServerMonitor>(state_), ClientKey(c));
  } else if (prog_id == kProgIdServerCollection && state_.server_list) {
    id = state_.objects->Add(std::make_shared<ServerCollection>(state_), ClientKey(c));
  } else {
    std::string why = prog_id == kProgIdServerCollection
                          ? "The class " + prog_id + " is not served by " + state_.config.server_name +
                                ": it is not the main server."
                          : "The class " + prog_id + " is not served by " + state_.config.server_name + ".";
    SetOutcome(r->mutable_outcome(), kResultNotFound, {kResultNotFound, why, source});
    return grpc::Status::OK;
  }
  if (id.empty()) {
    SetOutcome(r->mutable_outcome(), kResultFailure, {kResultFailure, kTooManyObjects, source});
    return grpc::Status::OK;
  }
  r->set_object_id(id);
  SetOutcome(r->mutable_outcome(), kResultOk, {});
  return grpc::Status::OK;
}

grpc::Status ObjectsService::Renew(grpc::ServerContext* c, const rpc::RenewRequest* q, rpc::RenewReply* r) {
  grpc::Status access = CheckAccess(state_, c);
  if (!access.ok()) return access;
  std::vector<ObjectId> ids(q->object_ids().begin(), q->object_ids().end());
  for (const ObjectId& id : state_.objects->Renew(ids, ClientKey(c))) r->add_unknown_ids(id);
  return grpc::Status::OK;
}

grpc::Status ObjectsService::Drop(grpc::ServerContext* c, const rpc::ObjectRef* q, rpc::DropReply*) {
  grpc::Status access = CheckAccess(state_, c);
  if (!access.ok()) return access;
  state_.objects->Drop(q->object_id(), ClientKey(c));
  return grpc::Status::OK;
}

// ---- Monitor ----

grpc::Status MonitorService::CheckPrinter(grpc::ServerContext* c, const rpc::PrinterRef* q,
                                          rpc::PrinterRefReply* r) {
  return ServeCall<ServerMonitor>(state_, c, q->object_id(), r, kProgIdMonitor, [&](ServerMonitor& m) {
    std::string name = q->name(), port = q->port();
    int32_t result = m.CheckPrinter(name, port);
    r->set_name(name);
    r->set_port(port);
    return result;
  });
}

grpc::Status MonitorService::GetPrinter(grpc::ServerContext* c, const rpc::PrinterRef* q,
                                        rpc::GetPrinterReply* r) {
  return ServeCall<ServerMonitor>(state_, c, q->object_id(), r, kProgIdMonitor, [&](ServerMonitor& m) {
    std::string name = q->name(), port = q->port();
    std::shared_ptr<PrinterSession> session;
    int32_t result = m.GetPrinter(name, port, session);
    r->set_name(name);
    r->set_port(port);
    if (session) {
      int32_t rt = 0, wt = 0;
      session->GetReadTimeout(rt);
      session->GetWriteTimeout(wt);
      r->set_read_timeout(rt);
      r->set_write_timeout(wt);
      r->set_lease_ms(static_cast<uint32_t>(state_.objects->lease().count()));
      ObjectId id = state_.objects->Add(std::move(session), ClientKey(c));
      r->set_printer_id(id);
      if (id.empty()) return m.Fail(kResultFailure, kTooManyObjects);
    }
    return result;
  });
}

grpc::Status MonitorService::GetLastError(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                          rpc::LastErrorReply* r) {
  return ServeCall<ServerMonitor>(state_, c, q->object_id(), r, kProgIdMonitor, [&](ServerMonitor& m) {
    ToRpc(m.LastError(), r->mutable_info());
    return kResultOk;
  });
}

grpc::Status MonitorService::GetResultText(grpc::ServerContext* c, const rpc::IntRequest* q,
                                           rpc::TextReply* r) {
  return ServeCall<ServerMonitor>(state_, c, q->object_id(), r, kProgIdMonitor, [&](ServerMonitor&) {
    r->set_text(ServerMonitor::ResultText(q->value()));
    return kResultOk;
  });
}

grpc::Status MonitorService::GetPrinterCollection(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                                  rpc::TextReply* r) {
  return ServeCall<ServerMonitor>(state_, c, q->object_id(), r, kProgIdMonitor, [&](ServerMonitor& m) {
    r->set_text(m.PrinterCollection());
    return kResultOk;
  });
}

grpc::Status MonitorService::GetNetPrinterCollection(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                                     rpc::TextReply* r) {
  return ServeCall<ServerMonitor>(state_, c, q->object_id(), r, kProgIdMonitor, [&](ServerMonitor& m) {
    r->set_text(m.NetPrinterCollection());
    return kResultOk;
  });
}

// ---- ServerCollection ----

grpc::Status CollectionService::AddServer(grpc::ServerContext* c, const rpc::ServerNameRequest* q,
                                          rpc::ResultReply* r) {
  return ServeCall<ServerCollection>(state_, c, q->object_id(), r, kProgIdServerCollection,
                                     [&](ServerCollection& s) { return s.AddServer(q->name()); });
}

grpc::Status CollectionService::ServerList(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                           rpc::TextReply* r) {
  return ServeCall<ServerCollection>(state_, c, q->object_id(), r, kProgIdServerCollection,
                                     [&](ServerCollection& s) {
                                       r->set_text(s.ServerList());
                                       return kResultOk;
                                     });
}

grpc::Status CollectionService::GetLastError(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                             rpc::LastErrorReply* r) {
  return ServeCall<ServerCollection>(state_, c, q->object_id(), r, kProgIdServerCollection,
                                     [&](ServerCollection& s) {
                                       ToRpc(s.LastError(), r->mutable_info());
                                       return kResultOk;
                                     });
}

grpc::Status CollectionService::ServerInfo(grpc::ServerContext* c, const rpc::ObjectRef* q,
                                           rpc::TextReply* r) {
  return ServeCall<ServerCollection>(state_, c, q->object_id(), r, kProgIdServerCollection,
                                     [&](ServerCollection& s) {
                                       r->set_text(s.ServerInfo());
                                       return kResultOk;
                                     });
}

grpc::Status CollectionService::RemoveServer(grpc::ServerContext* c, const rpc::ServerNameRequest* q,
                                             rpc::ResultReply* r) {
  return ServeCall<ServerCollection>(state_, c, q->object_id(), r, kProgIdServerCollection,
                                     [&](ServerCollection& s) { return s.RemoveServer(q->name()); });
}

}  // namespace zelta
