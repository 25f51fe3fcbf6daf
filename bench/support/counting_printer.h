// A printer object that forwards every call to another, counting the calls (each one network round
// trip for a remote printer object), the time spent in them and the bytes written.
#pragma once

#include <chrono>
#include <memory>
#include <utility>

#include "shared/printer_object.h"

namespace zelta::bench {

// Forwards every call to a printer object, counting them and the time they take.
class CountingPrinter : public PrinterObject {
 public:
  explicit CountingPrinter(std::shared_ptr<PrinterObject> inner) : inner_(std::move(inner)) {}
  int calls = 0;
  double seconds = 0;
  Bytes written;  // every byte accepted, in order

  void Reset() {
    calls = 0;
    seconds = 0;
    written.clear();
  }

  template <typename F>
  int32_t Count(F f) {
    const auto start = std::chrono::steady_clock::now();
    const int32_t r = f();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++calls;
    return r;
  }
  int32_t ClaimPrinter() override {
    return Count([&] { return inner_->ClaimPrinter(); });
  }
  int32_t WriteData(const Bytes& d, int32_t n, int32_t& w, int32_t m) override {
    const int32_t r = Count([&] { return inner_->WriteData(d, n, w, m); });
    if (w > 0) written.append(d, 0, static_cast<size_t>(w));
    return r;
  }
  int32_t ReadData(std::string& b, int32_t n, int32_t& c) override {
    return Count([&] { return inner_->ReadData(b, n, c); });
  }
  int32_t ReadReply(Bytes& d, int32_t& c, int32_t m) override {
    return Count([&] { return inner_->ReadReply(d, c, m); });
  }
  int32_t GetReadTimeout(int32_t& v) override {
    return Count([&] { return inner_->GetReadTimeout(v); });
  }
  int32_t PutReadTimeout(int32_t v) override {
    return Count([&] { return inner_->PutReadTimeout(v); });
  }
  int32_t GetWriteTimeout(int32_t& v) override {
    return Count([&] { return inner_->GetWriteTimeout(v); });
  }
  int32_t PutWriteTimeout(int32_t v) override {
    return Count([&] { return inner_->PutWriteTimeout(v); });
  }
  int32_t GetBusyState(int32_t& v) override {
    return Count([&] { return inner_->GetBusyState(v); });
  }
  int32_t GetPrinterState(int32_t& s, int32_t& m) override {
    return Count([&] { return inner_->GetPrinterState(s, m); });
  }
  int32_t ReleasePrinter() override {
    return Count([&] { return inner_->ReleasePrinter(); });
  }
  int32_t GetLastError(PrinterErrorInfo& i) override {
    return Count([&] { return inner_->GetLastError(i); });
  }
  int32_t ClearInput() override {
    return Count([&] { return inner_->ClearInput(); });
  }
  int32_t ClearOutput() override {
    return Count([&] { return inner_->ClearOutput(); });
  }
  int32_t GetDeviceDescription(std::string& t) override {
    return Count([&] { return inner_->GetDeviceDescription(t); });
  }
  int32_t GetDeviceKind(int32_t& v) override {
    return Count([&] { return inner_->GetDeviceKind(v); });
  }

 private:
  std::shared_ptr<PrinterObject> inner_;
};

}  // namespace zelta::bench
