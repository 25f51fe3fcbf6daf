// One client's printer object on the server: a session over a shared printer port. ClaimPrinter makes
// the session the port's only user until ReleasePrinter (or until the session ends, which releases a
// claim still held); another session's claim meanwhile fails with kResultClaimedElsewhere. Every
// operation that reaches the printer needs the claim. Time-outs belong to the session and are put on
// the port while it holds the claim. Thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "server/printer_catalog.h"
#include "shared/printer_object.h"

namespace zelta {

class PrinterSession : public PrinterObject {
 public:
  // port must not be null. owner is the session's claim token (PrinterCatalog::NextOwner).
  PrinterSession(std::shared_ptr<PrinterPort> port, uint64_t owner, int32_t read_timeout,
                 int32_t write_timeout);
  // Releases the printer if this session still holds it.
  ~PrinterSession() override;

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

  bool claimed() const { return port_->owner() == owner_; }
  const PrinterPort& port() const { return *port_; }

 private:
  // Runs call on the port object under the port's lock, after checking the claim; a failure copies the
  // port's error description.
  template <typename Call>
  int32_t OnPort(const char* operation, Call call);
  int32_t Fail(int32_t result, const std::string& description);

  std::shared_ptr<PrinterPort> port_;
  const uint64_t owner_;
  mutable std::mutex mutex_;  // guards the members below
  int32_t read_timeout_, write_timeout_;
  PrinterErrorInfo last_error_;
};

}  // namespace zelta
