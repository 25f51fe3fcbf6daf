#include "remote/connection.h"
#include "remote/remote_objects.h"

namespace zelta {

RemoteMonitor::RemoteMonitor(std::shared_ptr<Connection> connection, const std::string& id, uint32_t lease_ms)
    : connection_(std::move(connection)), id_(id) {
  connection_->Hold(id_, lease_ms);
}

RemoteMonitor::~RemoteMonitor() { connection_->Release(id_); }

int32_t RemoteMonitor::CheckPrinter(std::string& name, std::string& port, int32_t& result) {
  rpc::PrinterRef request;
  request.set_object_id(id_);
  request.set_name(name);
  request.set_port(port);
  rpc::PrinterRefReply reply;
  result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->monitor().CheckPrinter(c, request, &reply); },
      kProgIdMonitor, last_error_);
  if (reply.has_outcome()) {
    name = reply.name();
    port = reply.port();
  }
  return result;
}

int32_t RemoteMonitor::GetPrinter(std::string& name, std::string& port,
                                  std::shared_ptr<PrinterObject>& printer) {
  printer.reset();
  rpc::PrinterRef request;
  request.set_object_id(id_);
  request.set_name(name);
  request.set_port(port);
  rpc::GetPrinterReply reply;
  int32_t result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->monitor().GetPrinter(c, request, &reply); },
      kProgIdMonitor, last_error_);
  if (reply.has_outcome()) {
    name = reply.name();
    port = reply.port();
  }
  if (result == kResultOk && !reply.printer_id().empty()) {
    printer = std::make_shared<RemotePrinter>(connection_, reply.printer_id(), reply.lease_ms(),
                                              reply.read_timeout(), reply.write_timeout());
  } else if (result == kResultOk) {
    result = kResultNoPrinter;
    last_error_ = {result, "The server on " + connection_->machine() + " handed out no printer object.",
                   kProgIdMonitor};
  }
  return result;
}

int32_t RemoteMonitor::GetLastError(PrinterErrorInfo& info, int32_t& result) {
  info = last_error_;
  result = kResultOk;
  return result;
}

int32_t RemoteMonitor::GetResultText(int32_t code, std::string& text) {
  rpc::IntRequest request;
  request.set_object_id(id_);
  request.set_value(code);
  rpc::TextReply reply;
  int32_t result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->monitor().GetResultText(c, request, &reply); },
      kProgIdMonitor, last_error_);
  text = result == kResultOk ? reply.text() : last_error_.Description;
  return result;
}

int32_t RemoteMonitor::GetPrinterCollection(std::string& list, int32_t& result) {
  rpc::ObjectRef request;
  request.set_object_id(id_);
  rpc::TextReply reply;
  result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) { return connection_->monitor().GetPrinterCollection(c, request, &reply); },
      kProgIdMonitor, last_error_);
  if (result == kResultOk) list = reply.text();
  return result;
}

int32_t RemoteMonitor::GetNetPrinterCollection(std::string& list, int32_t& result) {
  rpc::ObjectRef request;
  request.set_object_id(id_);
  rpc::TextReply reply;
  result = connection_->Invoke(
      connection_->settings().call_timeout_ms, reply,
      [&](grpc::ClientContext* c) {
        return connection_->monitor().GetNetPrinterCollection(c, request, &reply);
      },
      kProgIdMonitor, last_error_);
  if (result == kResultOk) list = reply.text();
  return result;
}

}  // namespace zelta
