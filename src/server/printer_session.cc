#include "server/printer_session.h"

#include <algorithm>

#include "shared/escpos.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr char kSource[] = "ZeltaServer.Printer";
constexpr int32_t kMaxTimeoutMs = 600000;
constexpr int32_t kChunkTimeoutMs = 20;  // how long one queued chunk may hold the port

bool IsRealTimeRequest(const Bytes& data, int32_t length, int32_t mode) {
  return mode == kWriteRealTime && length >= 2 && static_cast<uint8_t>(data[0]) == escpos::kDle &&
         (static_cast<uint8_t>(data[1]) == escpos::kEot || static_cast<uint8_t>(data[1]) == escpos::kEnq);
}

}  // namespace

PrinterSession::PrinterSession(std::shared_ptr<PrinterPort> port, uint64_t owner, int32_t read_timeout,
                               int32_t write_timeout, size_t send_queue_bytes)
    : port_(std::move(port)),
      owner_(owner),
      read_timeout_(read_timeout),
      write_timeout_(write_timeout),
      queue_(std::make_shared<SendQueue>(
          send_queue_bytes, [this](const Bytes& chunk, int32_t& written, PrinterErrorInfo& error) {
            return SendChunk(chunk, written, error);
          })) {}

PrinterSession::~PrinterSession() {
  queue_->Close();  // no chunk goes to the port after this
  if (claimed()) ReleasePrinter();
}

int32_t PrinterSession::Fail(const PrinterErrorInfo& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_error_ = {error.Number, error.Description, error.Source.empty() ? kSource : error.Source};
  return error.Number;
}

int32_t PrinterSession::AfterQueue() {
  int32_t timeout;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    timeout = write_timeout_;
  }
  PrinterErrorInfo error;
  const int32_t result = queue_->Drain(timeout, error);
  return result == kResultOk ? kResultOk : Fail(error);
}

int32_t PrinterSession::SendChunk(const Bytes& chunk, int32_t& written, PrinterErrorInfo& error) {
  written = 0;
  std::lock_guard<std::mutex> io(port_->io());
  if (!claimed()) {
    error = {kResultNotClaimed, "The printer " + port_->name() + " was released before its data was sent.",
             kSource};
    return kResultNotClaimed;
  }
  int32_t timeout;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    timeout = write_timeout_;
  }
  PrinterObject& p = port_->object();
  p.PutWriteTimeout(std::min(timeout, kChunkTimeoutMs));
  const int32_t result = p.WriteData(chunk, static_cast<int32_t>(chunk.size()), written, kWriteOrdinary);
  if (result != kResultOk) p.GetLastError(error);
  p.PutWriteTimeout(timeout);
  return result;
}

int32_t PrinterSession::Fail(int32_t result, const std::string& description) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_error_ = {result, description, kSource};
  return result;
}

template <typename Call>
int32_t PrinterSession::OnPort(const char* operation, Call call) {
  if (!claimed()) {
    return Fail(kResultNotClaimed, std::string(operation) + " needs the printer " + port_->name() +
                                       " claimed first (ClaimPrinter).");
  }
  int32_t result;
  PrinterErrorInfo info;
  {
    std::lock_guard<std::mutex> io(port_->io());
    result = call(port_->object());
    if (result != kResultOk) port_->object().GetLastError(info);
  }
  if (result != kResultOk) {
    std::lock_guard<std::mutex> lock(mutex_);
    last_error_ = {result, info.Description.empty() ? std::string(operation) + " failed." : info.Description,
                   info.Source.empty() ? kSource : info.Source};
  }
  return result;
}

int32_t PrinterSession::ClaimPrinter() {
  if (claimed()) return kResultOk;  // the port is open for this session already
  if (!port_->Reserve(owner_)) {
    return Fail(kResultClaimedElsewhere, "The printer " + port_->name() + " on " + port_->handed_port() +
                                             " is claimed by another client. Try again when it is released.");
  }
  int32_t rt, wt;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    rt = read_timeout_;
    wt = write_timeout_;
  }
  int32_t result = OnPort("ClaimPrinter", [&](PrinterObject& p) {
    p.PutReadTimeout(rt);
    p.PutWriteTimeout(wt);
    return p.ClaimPrinter();
  });
  if (result != kResultOk) {
    port_->Unreserve(owner_);
  } else {
    // A new claim starts with an empty queue and nothing left to report.
    queue_->Restart();
  }
  return result;
}

int32_t PrinterSession::ReleasePrinter() {
  // Releasing a printer this session does not hold changes nothing, like the port's own release: an
  // operation that gave up the printer on a failure path may release it once more at its end.
  if (!claimed()) return kResultOk;
  // The queued data goes first; what the printer has not taken within the write time-out is dropped.
  PrinterErrorInfo error;
  int32_t timeout;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    timeout = write_timeout_;
  }
  const int32_t queued = queue_->Drain(timeout, error);
  queue_->Discard();
  int32_t result = OnPort("ReleasePrinter", [](PrinterObject& p) { return p.ReleasePrinter(); });
  port_->Unreserve(owner_);
  const bool port_failed =
      queued != kResultOk && queued != kResultTimeout && queued != kResultBusy && queued != kResultPaperOut;
  return port_failed ? Fail(error) : result;
}

int32_t PrinterSession::WriteData(const Bytes& data, int32_t length, int32_t& written, int32_t mode) {
  written = 0;
  if (length < 0 || static_cast<size_t>(length) > data.size())
    return Fail(kResultBadArgument, "WriteData length " + std::to_string(length) +
                                        " does not fit the data (" + std::to_string(data.size()) +
                                        " bytes).");
  if (!IsRealTimeRequest(data, length, mode) && claimed()) {
    if (int32_t r = AfterQueue(); r != kResultOk) return r;
  }
  return OnPort("WriteData", [&](PrinterObject& p) { return p.WriteData(data, length, written, mode); });
}

int32_t PrinterSession::ReadData(std::string& buffer, int32_t length, int32_t& count) {
  count = 0;
  if (length < 0 || length > (1 << 20)) return Fail(kResultBadArgument, "ReadData length out of range.");
  if (claimed()) {
    if (int32_t r = AfterQueue(); r != kResultOk) return r;
  }
  return OnPort("ReadData", [&](PrinterObject& p) { return p.ReadData(buffer, length, count); });
}

int32_t PrinterSession::ReadReply(Bytes& data, int32_t& count, int32_t multi_block) {
  count = 0;
  if (claimed()) {
    if (int32_t r = AfterQueue(); r != kResultOk) return r;
  }
  return OnPort("ReadReply", [&](PrinterObject& p) { return p.ReadReply(data, count, multi_block); });
}

int32_t PrinterSession::GetReadTimeout(int32_t& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  value = read_timeout_;
  return kResultOk;
}

int32_t PrinterSession::GetWriteTimeout(int32_t& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  value = write_timeout_;
  return kResultOk;
}

int32_t PrinterSession::PutReadTimeout(int32_t value) {
  if (value < 0 || value > kMaxTimeoutMs) return Fail(kResultBadArgument, "Read time-out out of range.");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    read_timeout_ = value;
  }
  if (!claimed()) return kResultOk;
  return OnPort("PutReadTimeout", [&](PrinterObject& p) { return p.PutReadTimeout(value); });
}

int32_t PrinterSession::PutWriteTimeout(int32_t value) {
  if (value < 0 || value > kMaxTimeoutMs) return Fail(kResultBadArgument, "Write time-out out of range.");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    write_timeout_ = value;
  }
  if (!claimed()) return kResultOk;
  return OnPort("PutWriteTimeout", [&](PrinterObject& p) { return p.PutWriteTimeout(value); });
}

int32_t PrinterSession::GetBusyState(int32_t& value) {
  value = 0;
  if (claimed() && queue_->queued() > 0) {
    value = 1;  // busy with earlier data, still in the queue
    return kResultOk;
  }
  return OnPort("GetBusyState", [&](PrinterObject& p) { return p.GetBusyState(value); });
}

int32_t PrinterSession::GetPrinterState(int32_t& state, int32_t& mode) {
  return OnPort("GetPrinterState", [&](PrinterObject& p) { return p.GetPrinterState(state, mode); });
}

int32_t PrinterSession::GetLastError(PrinterErrorInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  info = last_error_;
  return kResultOk;
}

int32_t PrinterSession::ClearInput() {
  if (claimed()) {
    if (int32_t r = AfterQueue(); r != kResultOk) return r;
  }
  return OnPort("ClearInput", [](PrinterObject& p) { return p.ClearInput(); });
}

int32_t PrinterSession::ClearOutput() {
  if (claimed()) queue_->Discard();
  return OnPort("ClearOutput", [](PrinterObject& p) { return p.ClearOutput(); });
}

int32_t PrinterSession::GetDeviceDescription(std::string& text) {
  text = port_->name() + " on " + port_->handed_port();
  return kResultOk;
}

int32_t PrinterSession::GetDeviceKind(int32_t& value) {
  value = port_->device_kind();
  return kResultOk;
}

}  // namespace zelta
