// A printer object for unit tests: replies and result codes are queued per operation, and every call
// and every byte written is logged. An operation whose queue is empty gives its default.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shared/printer_object.h"
#include "shared/result_codes.h"

namespace zelta::test {

class ScriptedPrinter : public PrinterObject {
 public:
  struct Write {
    int32_t result = kResultOk;
    int32_t accept = -1;  // bytes accepted; -1 = all of them
  };
  struct Read {
    int32_t result = kResultOk;
    Bytes data;  // ReadData: the bytes returned; ReadReply: the whole block
  };
  struct WriteCall {
    Bytes offered;  // the data passed in
    int32_t mode;
    int32_t accepted;
    int32_t result;
  };

  // Queues; defaults when empty: writes accept everything, reads time out, not busy, state 0.
  std::deque<Write> writes;
  std::deque<Read> reads;    // ReadData
  std::deque<Read> replies;  // ReadReply
  std::deque<int32_t> busy_states;
  int32_t busy_default = 0;
  std::deque<int32_t> printer_states;
  std::deque<int32_t> printer_state_results;  // GetPrinterState results; a failed call takes no state
  std::deque<int32_t> claim_results;
  std::deque<int32_t> release_results;
  int32_t device_kind = 1;
  // What GetLastError reports. Number 0 means "the result of the last failed call".
  PrinterErrorInfo last_error{0, "Scripted failure", "ScriptedPrinter"};

  // Called after each write with the bytes accepted; may queue reads to answer it.
  std::function<void(const Bytes& accepted, int32_t mode)> on_write;

  // Logs.
  std::vector<std::string> calls;  // operation names in call order
  std::vector<WriteCall> write_log;
  Bytes written;  // every byte accepted, in order
  std::vector<int32_t> read_timeouts_put, write_timeouts_put;
  int32_t read_timeout = 1000, write_timeout = 1000;
  int claims = 0, releases = 0;

  // Queues a one-byte ReadData answer.
  void QueueByte(uint8_t b) { reads.push_back({kResultOk, Bytes(1, static_cast<char>(b))}); }
  // Counts calls of one operation.
  int Count(const std::string& op) const;

  int32_t ClaimPrinter() override;
  int32_t WriteData(const Bytes& data, int32_t length, int32_t& written, int32_t mode) override;
  int32_t ReadData(std::string& buffer, int32_t length, int32_t& count) override;
  int32_t ReadReply(Bytes& data, int32_t& count, int32_t multi_block) override;
  int32_t GetReadTimeout(int32_t& value) override;
  int32_t PutReadTimeout(int32_t value) override;
  int32_t GetWriteTimeout(int32_t& value) override;
  int32_t PutWriteTimeout(int32_t value) override;
  int32_t GetBusyState(int32_t& value) override;
  int32_t GetPrinterState(int32_t& state, int32_t& mode) override;
  int32_t ReleasePrinter() override;
  int32_t GetLastError(PrinterErrorInfo& info) override;
  int32_t ClearInput() override;
  int32_t ClearOutput() override;
  int32_t GetDeviceDescription(std::string& text) override;
  int32_t GetDeviceKind(int32_t& value) override;

 private:
  int32_t Fail(int32_t result);
  int32_t last_failure_ = 0;
};

}  // namespace zelta::test
