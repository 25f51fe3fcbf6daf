#include "support/scripted_printer.h"

#include <algorithm>

namespace zelta::test {
namespace {

template <typename T>
T Pop(std::deque<T>& queue, T fallback) {
  if (queue.empty()) return fallback;
  T v = queue.front();
  queue.pop_front();
  return v;
}

}  // namespace

int ScriptedPrinter::Count(const std::string& op) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), op));
}

int32_t ScriptedPrinter::Fail(int32_t result) {
  if (result != kResultOk) last_failure_ = result;
  return result;
}

int32_t ScriptedPrinter::ClaimPrinter() {
  calls.push_back("ClaimPrinter");
  int32_t r = Pop(claim_results, kResultOk);
  if (r == kResultOk) ++claims;
  return Fail(r);
}

int32_t ScriptedPrinter::WriteData(const Bytes& data, int32_t length, int32_t& written_out, int32_t mode) {
  calls.push_back("WriteData");
  Write w = Pop(writes, Write{});
  int32_t offered = std::clamp<int32_t>(length, 0, static_cast<int32_t>(data.size()));
  int32_t accepted = w.accept < 0 ? offered : std::min(w.accept, offered);
  if (w.result == kResultOk) accepted = w.accept < 0 ? offered : accepted;
  written_out = accepted;
  Bytes taken = data.substr(0, accepted);
  written += taken;
  write_log.push_back({data.substr(0, offered), mode, accepted, w.result});
  if (on_write) on_write(taken, mode);
  return Fail(w.result);
}

int32_t ScriptedPrinter::ReadData(std::string& buffer, int32_t length, int32_t& count) {
  calls.push_back("ReadData");
  Read r = Pop(reads, Read{kResultTimeout, {}});
  count = 0;
  if (r.result == kResultOk) {
    buffer = r.data.substr(0, std::max<int32_t>(length, 0));
    count = static_cast<int32_t>(buffer.size());
  }
  return Fail(r.result);
}

int32_t ScriptedPrinter::ReadReply(Bytes& data, int32_t& count, int32_t) {
  calls.push_back("ReadReply");
  Read r = Pop(replies, Read{kResultTimeout, {}});
  data = r.result == kResultOk ? r.data : Bytes();
  count = static_cast<int32_t>(data.size());
  return Fail(r.result);
}

int32_t ScriptedPrinter::GetReadTimeout(int32_t& value) {
  calls.push_back("GetReadTimeout");
  value = read_timeout;
  return kResultOk;
}

int32_t ScriptedPrinter::PutReadTimeout(int32_t value) {
  calls.push_back("PutReadTimeout");
  read_timeout = value;
  read_timeouts_put.push_back(value);
  return kResultOk;
}

int32_t ScriptedPrinter::GetWriteTimeout(int32_t& value) {
  calls.push_back("GetWriteTimeout");
  value = write_timeout;
  return kResultOk;
}

int32_t ScriptedPrinter::PutWriteTimeout(int32_t value) {
  calls.push_back("PutWriteTimeout");
  write_timeout = value;
  write_timeouts_put.push_back(value);
  return kResultOk;
}

int32_t ScriptedPrinter::GetBusyState(int32_t& value) {
  calls.push_back("GetBusyState");
  value = Pop(busy_states, busy_default);
  return kResultOk;
}

int32_t ScriptedPrinter::GetPrinterState(int32_t& state, int32_t&) {
  calls.push_back("GetPrinterState");
  const int32_t r = Pop(printer_state_results, kResultOk);
  state = r == kResultOk ? Pop(printer_states, 0) : 0;
  return Fail(r);
}

int32_t ScriptedPrinter::ReleasePrinter() {
  calls.push_back("ReleasePrinter");
  int32_t r = Pop(release_results, kResultOk);
  if (r == kResultOk) ++releases;
  return Fail(r);
}

int32_t ScriptedPrinter::GetLastError(PrinterErrorInfo& info) {
  calls.push_back("GetLastError");
  info = last_error;
  if (info.Number == 0) info.Number = last_failure_;
  return kResultOk;
}

int32_t ScriptedPrinter::ClearInput() {
  calls.push_back("ClearInput");
  reads.clear();
  return kResultOk;
}

int32_t ScriptedPrinter::ClearOutput() {
  calls.push_back("ClearOutput");
  return kResultOk;
}

int32_t ScriptedPrinter::GetDeviceDescription(std::string& text) {
  calls.push_back("GetDeviceDescription");
  text = "scripted printer";
  return kResultOk;
}

int32_t ScriptedPrinter::GetDeviceKind(int32_t& value) {
  calls.push_back("GetDeviceKind");
  value = device_kind;
  return kResultOk;
}

}  // namespace zelta::test
