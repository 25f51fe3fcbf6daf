// A printer object that passes every call on to another one, counting the calls (each one network
// round trip for a remote printer object), the time spent in them and the bytes written.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "shared/printer_object.h"

namespace zelta::bench {

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

  int32_t WriteData(const Bytes& d, int32_t n, int32_t& w, int32_t m) override {
    const int32_t r = Call([&] { return inner_->WriteData(d, n, w, m); });
    if (w > 0) written += d.substr(0, static_cast<size_t>(w));
    return r;
  }
// Every other operation: the same call on the inner object, counted and timed.
#define ZELTA_FORWARD(Name, Params, Args)           \
  int32_t Name Params override {                    \
    return Call([&] { return inner_->Name Args; }); \
  }
  ZELTA_FORWARD(ClaimPrinter, (), ())
  ZELTA_FORWARD(ReadData, (std::string & b, int32_t n, int32_t& c), (b, n, c))
  ZELTA_FORWARD(ReadReply, (Bytes & d, int32_t& c, int32_t m), (d, c, m))
  ZELTA_FORWARD(GetReadTimeout, (int32_t & v), (v))
  ZELTA_FORWARD(PutReadTimeout, (int32_t v), (v))
  ZELTA_FORWARD(GetWriteTimeout, (int32_t & v), (v))
  ZELTA_FORWARD(PutWriteTimeout, (int32_t v), (v))
  ZELTA_FORWARD(GetBusyState, (int32_t & v), (v))
  ZELTA_FORWARD(GetPrinterState, (int32_t & s, int32_t& m), (s, m))
  ZELTA_FORWARD(ReleasePrinter, (), ())
  ZELTA_FORWARD(GetLastError, (PrinterErrorInfo & i), (i))
  ZELTA_FORWARD(ClearInput, (), ())
  ZELTA_FORWARD(ClearOutput, (), ())
  ZELTA_FORWARD(GetDeviceDescription, (std::string & t), (t))
  ZELTA_FORWARD(GetDeviceKind, (int32_t & v), (v))
#undef ZELTA_FORWARD

 private:
  template <typename F>
  int32_t Call(F f) {
    const auto start = std::chrono::steady_clock::now();
    const int32_t r = f();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++calls;
    return r;
  }
  std::shared_ptr<PrinterObject> inner_;
};

}  // namespace zelta::bench
