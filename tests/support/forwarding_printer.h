// A printer object that passes every call on to another one, telling before and after each call (with
// the operation's name), so that a test or a benchmark can count, time or act at a precise moment.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "shared/printer_object.h"

namespace zelta::test {

class ForwardingPrinter : public PrinterObject {
 public:
  explicit ForwardingPrinter(std::shared_ptr<PrinterObject> inner) : inner_(std::move(inner)) {}

  std::function<void(const char* op)> before;
  std::function<void(const char* op, int32_t result)> after;
  // Called with the bytes each write had accepted.
  std::function<void(const Bytes& accepted)> on_written;

  int32_t ClaimPrinter() override {
    return Call("ClaimPrinter", [&] { return inner_->ClaimPrinter(); });
  }
  int32_t WriteData(const Bytes& d, int32_t n, int32_t& w, int32_t m) override {
    const int32_t r = Call("WriteData", [&] { return inner_->WriteData(d, n, w, m); });
    if (on_written && w > 0) on_written(d.substr(0, static_cast<size_t>(w)));
    return r;
  }
  int32_t ReadData(std::string& b, int32_t n, int32_t& c) override {
    return Call("ReadData", [&] { return inner_->ReadData(b, n, c); });
  }
  int32_t ReadReply(Bytes& d, int32_t& c, int32_t m) override {
    return Call("ReadReply", [&] { return inner_->ReadReply(d, c, m); });
  }
  int32_t GetReadTimeout(int32_t& v) override {
    return Call("GetReadTimeout", [&] { return inner_->GetReadTimeout(v); });
  }
  int32_t PutReadTimeout(int32_t v) override {
    return Call("PutReadTimeout", [&] { return inner_->PutReadTimeout(v); });
  }
  int32_t GetWriteTimeout(int32_t& v) override {
    return Call("GetWriteTimeout", [&] { return inner_->GetWriteTimeout(v); });
  }
  int32_t PutWriteTimeout(int32_t v) override {
    return Call("PutWriteTimeout", [&] { return inner_->PutWriteTimeout(v); });
  }
  int32_t GetBusyState(int32_t& v) override {
    return Call("GetBusyState", [&] { return inner_->GetBusyState(v); });
  }
  int32_t GetPrinterState(int32_t& s, int32_t& m) override {
    return Call("GetPrinterState", [&] { return inner_->GetPrinterState(s, m); });
  }
  int32_t ReleasePrinter() override {
    return Call("ReleasePrinter", [&] { return inner_->ReleasePrinter(); });
  }
  int32_t GetLastError(PrinterErrorInfo& i) override {
    return Call("GetLastError", [&] { return inner_->GetLastError(i); });
  }
  int32_t ClearInput() override {
    return Call("ClearInput", [&] { return inner_->ClearInput(); });
  }
  int32_t ClearOutput() override {
    return Call("ClearOutput", [&] { return inner_->ClearOutput(); });
  }
  int32_t GetDeviceDescription(std::string& t) override {
    return Call("GetDeviceDescription", [&] { return inner_->GetDeviceDescription(t); });
  }
  int32_t GetDeviceKind(int32_t& v) override {
    return Call("GetDeviceKind", [&] { return inner_->GetDeviceKind(v); });
  }

 private:
  template <typename F>
  int32_t Call(const char* op, F f) {
    if (before) before(op);
    const int32_t r = f();
    if (after) after(op, r);
    return r;
  }
  std::shared_ptr<PrinterObject> inner_;
};

}  // namespace zelta::test
