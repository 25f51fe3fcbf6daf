// A printer object that passes every call on to another one, counting the calls (each one network
// round trip for a remote printer object), the time spent in them and the bytes written.
#pragma once

#include <chrono>
#include <memory>

#include "support/forwarding_printer.h"

namespace zelta::bench {

class CountingPrinter : public test::ForwardingPrinter {
 public:
  explicit CountingPrinter(std::shared_ptr<PrinterObject> inner) : ForwardingPrinter(std::move(inner)) {
    before = [this](const char*) { start_ = std::chrono::steady_clock::now(); };
    after = [this](const char*, int32_t) {
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
      ++calls;
    };
    on_written = [this](const Bytes& b) { written += b; };
  }
  int calls = 0;
  double seconds = 0;
  Bytes written;  // every byte accepted, in order

  void Reset() {
    calls = 0;
    seconds = 0;
    written.clear();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace zelta::bench
