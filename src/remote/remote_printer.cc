#include <algorithm>

#include "remote/connection.h"
#include "remote/printer_stream.h"
#include "remote/remote_objects.h"
#include "shared/escpos.h"

namespace zelta {
namespace {

constexpr char kSource[] = "ZeltaServer.Printer";

bool IsRealTimeRequest(const Bytes& data, int32_t length, int32_t mode) {
  return mode == kWriteRealTime && length >= 2 && static_cast<size_t>(length) <= data.size() &&
         static_cast<uint8_t>(data[0]) == escpos::kDle &&
         (static_cast<uint8_t>(data[1]) == escpos::kEot || static_cast<uint8_t>(data[1]) == escpos::kEnq);
}

rpc::ObjectRef Ref(const std::string& id) {
  rpc::ObjectRef r;
  r.set_object_id(id);
  return r;
}

}  // namespace

// One call on the printer stub: Method is a member of rpc::Printer::Stub.
// Gathered stream data goes first, so that a call of its own never overtakes it.
#define ZELTA_PRINTER_CALL(deadline, Method, request, reply)                                               \
  (++calls_, (stream_ ? stream_->Flush() : true),                                                          \
   connection_->Invoke(                                                                                    \
       deadline, reply,                                                                                    \
       [&](grpc::ClientContext* c) { return connection_->printer().Method(c, request, &reply); }, kSource, \
       last_error_))

RemotePrinter::RemotePrinter(std::shared_ptr<Connection> connection, const std::string& id, uint32_t lease_ms,
                             int32_t read_timeout, int32_t write_timeout)
    : connection_(std::move(connection)),
      id_(id),
      read_timeout_(read_timeout),
      write_timeout_(write_timeout) {
  connection_->Hold(id_, lease_ms);
}

RemotePrinter::~RemotePrinter() {
  stream_.reset();  // cancels a stream still open: the server drops what it queued
  connection_->Release(id_);
}

uint64_t RemotePrinter::round_trips() const {
  return calls_ + stream_waits_ + (stream_ ? stream_->waits() : 0);
}

void RemotePrinter::EndStream() {
  if (!stream_) return;
  stream_->Close();
  stream_waits_ += stream_->waits();
  stream_.reset();
}

int32_t RemotePrinter::StreamCall(int op, int32_t length, int32_t multi_block, std::string* data,
                                  int32_t* count) {
  rpc::StreamRequest request;
  request.set_op(static_cast<rpc::StreamRequest::Op>(op));
  request.set_length(length);
  request.set_multi_block(multi_block);
  rpc::ReadResult reply;
  const int32_t result = stream_->Call(
      request, Deadline(write_timeout_) + std::clamp<int32_t>(read_timeout_, 0, 600000), reply, last_error_);
  if (data) *data = reply.data();
  if (count) *count = reply.count();
  return result;
}

int RemotePrinter::Deadline(int32_t printer_timeout) const {
  return connection_->settings().call_timeout_ms + std::clamp<int32_t>(printer_timeout, 0, 600000);
}

int32_t RemotePrinter::ClaimPrinter() {
  rpc::ResultReply reply;
  const int32_t result =
      ZELTA_PRINTER_CALL(Deadline(std::max(read_timeout_, write_timeout_)), ClaimPrinter, Ref(id_), reply);
  if (result != kResultOk || (stream_ && !stream_->broken())) return result;
  EndStream();
  // Without a stream (an older server, or one that refused it) every call goes on its own.
  PrinterErrorInfo ignored;
  stream_ = PrinterStream::Open(*connection_, id_, Deadline(0), ignored);
  return result;
}

int32_t RemotePrinter::WriteData(const Bytes& data, int32_t length, int32_t& written, int32_t mode) {
  written = 0;
  if (stream_ && length >= 0 && static_cast<size_t>(length) <= data.size() &&
      !IsRealTimeRequest(data, length, mode)) {
    const int32_t result = stream_->Write(data, length, write_timeout_, written, last_error_);
    if (mode == kWriteRealTime) stream_->Flush();  // a request whose answer is read next goes now
    return result;
  }
  rpc::WriteRequest request;
  request.set_object_id(id_);
  // Only the bytes to be sent travel; a length beyond the data is refused by the server as such.
  request.set_data(length >= 0 && static_cast<size_t>(length) <= data.size() ? data.substr(0, length) : data);
  request.set_length(length);
  request.set_mode(mode);
  rpc::WriteReply reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(write_timeout_), WriteData, request, reply);
  written = reply.written();
  return result;
}

int32_t RemotePrinter::ReadData(std::string& buffer, int32_t length, int32_t& count) {
  if (stream_) {
    std::string got;
    const int32_t result = StreamCall(rpc::StreamRequest::READ_DATA, length, 0, &got, &count);
    if (result == kResultOk) buffer = got;
    return result;
  }
  rpc::ReadRequest request;
  request.set_object_id(id_);
  request.set_length(length);
  rpc::ReadResult reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(read_timeout_), ReadData, request, reply);
  count = reply.count();
  if (result == kResultOk) buffer = reply.data();
  return result;
}

int32_t RemotePrinter::ReadReply(Bytes& data, int32_t& count, int32_t multi_block) {
  if (stream_) return StreamCall(rpc::StreamRequest::READ_REPLY, 0, multi_block, &data, &count);
  rpc::ReadRequest request;
  request.set_object_id(id_);
  request.set_multi_block(multi_block);
  rpc::ReadResult reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(read_timeout_), ReadReply, request, reply);
  data = reply.data();
  count = reply.count();
  return result;
}

// The session's time-outs change only through this object, so the values it last put are the
// server's: reading them needs no call.
int32_t RemotePrinter::GetReadTimeout(int32_t& value) {
  value = read_timeout_;
  return kResultOk;
}

int32_t RemotePrinter::PutReadTimeout(int32_t value) {
  rpc::IntRequest request;
  request.set_object_id(id_);
  request.set_value(value);
  rpc::IntReply reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(0), PutReadTimeout, request, reply);
  if (result == kResultOk) read_timeout_ = value;
  return result;
}

int32_t RemotePrinter::GetWriteTimeout(int32_t& value) {
  value = write_timeout_;
  return kResultOk;
}

int32_t RemotePrinter::PutWriteTimeout(int32_t value) {
  rpc::IntRequest request;
  request.set_object_id(id_);
  request.set_value(value);
  rpc::IntReply reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(0), PutWriteTimeout, request, reply);
  if (result == kResultOk) write_timeout_ = value;
  return result;
}

int32_t RemotePrinter::GetBusyState(int32_t& value) {
  rpc::IntReply reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(read_timeout_), GetBusyState, Ref(id_), reply);
  value = reply.value();
  return result;
}

int32_t RemotePrinter::GetPrinterState(int32_t& state, int32_t& mode) {
  rpc::StateRequest request;
  request.set_object_id(id_);
  request.set_mode(mode);
  rpc::StateReply reply;
  int32_t result =
      ZELTA_PRINTER_CALL(Deadline(std::max(read_timeout_, write_timeout_)), GetPrinterState, request, reply);
  if (reply.has_outcome()) {
    state = reply.state();
    mode = reply.mode();
  }
  return result;
}

int32_t RemotePrinter::ReleasePrinter() {
  if (stream_ && !stream_->broken()) {
    const int32_t result = StreamCall(rpc::StreamRequest::RELEASE, 0, 0, nullptr, nullptr);
    const bool answered = stream_->last_call_answered();
    EndStream();
    if (answered) return result;
  }
  EndStream();
  rpc::ResultReply reply;
  return ZELTA_PRINTER_CALL(Deadline(write_timeout_), ReleasePrinter, Ref(id_), reply);
}

int32_t RemotePrinter::GetLastError(PrinterErrorInfo& info) {
  info = last_error_;
  return kResultOk;
}

int32_t RemotePrinter::ClearInput() {
  if (stream_) return StreamCall(rpc::StreamRequest::CLEAR_INPUT, 0, 0, nullptr, nullptr);
  rpc::ResultReply reply;
  return ZELTA_PRINTER_CALL(Deadline(0), ClearInput, Ref(id_), reply);
}

int32_t RemotePrinter::ClearOutput() {
  if (stream_) return StreamCall(rpc::StreamRequest::CLEAR_OUTPUT, 0, 0, nullptr, nullptr);
  rpc::ResultReply reply;
  return ZELTA_PRINTER_CALL(Deadline(0), ClearOutput, Ref(id_), reply);
}

int32_t RemotePrinter::GetDeviceDescription(std::string& text) {
  rpc::TextReply reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(0), GetDeviceDescription, Ref(id_), reply);
  text = result == kResultOk ? reply.text() + " (" + connection_->machine() + ")" : std::string();
  return result;
}

int32_t RemotePrinter::GetDeviceKind(int32_t& value) {
  rpc::IntReply reply;
  int32_t result = ZELTA_PRINTER_CALL(Deadline(0), GetDeviceKind, Ref(id_), reply);
  value = reply.value();
  return result;
}

#undef ZELTA_PRINTER_CALL

}  // namespace zelta
