#include "printer/port_printer.h"

#include <mutex>

#include "printer/port.h"
#include "printer/printer_link.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

constexpr int kDefaultReadTimeoutMs = 2000;
constexpr int kDefaultWriteTimeoutMs = 1000;
constexpr int kStatusQueryMs = 300;       // the object's own real-time queries
constexpr size_t kMaxReplyBlock = 65536;  // a reply block longer than this is garbage
constexpr char kSource[] = "ZeltaPrinterPort";

class PortPrinter : public PrinterObject {
 public:
  PortPrinter(std::string spec, int32_t kind, std::unique_ptr<Port> port)
      : spec_(std::move(spec)), kind_(kind), port_(std::move(port)), link_(*port_) {}
  ~PortPrinter() override { port_->Close(); }

  int32_t ClaimPrinter() override {
    std::lock_guard<std::mutex> lk(mu_);
    if (claimed_ && port_->IsOpen()) return kResultOk;
    std::string error;
    if (!port_->Open(error))
      return Fail(kResultUnreachable, "Cannot open the printer port " + spec_ + ": " + error);
    claimed_ = true;
    link_.Reset();
    link_.Discard();  // what a previous user left unread is not for us
    return kResultOk;
  }

  int32_t ReleasePrinter() override {
    std::lock_guard<std::mutex> lk(mu_);
    if (port_->IsOpen()) link_.EndKeyList();
    port_->Close();
    link_.Reset();
    claimed_ = false;
    return kResultOk;
  }

  int32_t WriteData(const Bytes& data, int32_t length, int32_t& written, int32_t mode) override {
    std::lock_guard<std::mutex> lk(mu_);
    written = 0;
    if (int32_t r = NeedClaim(); r != kResultOk) return r;
    if (length < 0 || static_cast<size_t>(length) > data.size()) {
      return Fail(kResultBadArgument, "The length " + std::to_string(length) + " is outside the data.");
    }
    size_t done = 0;
    const PortStatus s = link_.Write(data.substr(0, length), write_timeout_, done);
    written = static_cast<int32_t>(done);
    if (s == PortStatus::kClosed) return Lost();
    if (s == PortStatus::kOk) {
      if (mode == kWriteRealTime) link_.ExpectStatusReplies(data.substr(0, length));
      return kResultOk;
    }
    // Not all taken in time: tell a printer that is off line for paper from one that is busy.
    switch (link_.ClassifyStall(kStatusQueryMs)) {
      case PrinterLink::Stall::kPaperOut:
        return Fail(kResultPaperOut, "The printer is out of paper.");
      case PrinterLink::Stall::kBusy:
        if (done == 0) return Fail(kResultBusy, "The printer is busy with earlier data.");
        [[fallthrough]];
      default:
        if (!port_->IsOpen()) return Lost();
        return Fail(kResultTimeout, "The printer took " + std::to_string(done) + " of " +
                                        std::to_string(length) + " bytes within " +
                                        std::to_string(write_timeout_) + " ms.");
    }
  }

  int32_t ReadData(std::string& buffer, int32_t length, int32_t& count) override {
    std::lock_guard<std::mutex> lk(mu_);
    count = 0;
    if (int32_t r = NeedClaim(); r != kResultOk) return r;
    if (length < 1) return Fail(kResultBadArgument, "ReadData needs a length of at least 1.");
    Bytes got;
    const PortStatus s = link_.Read(static_cast<size_t>(length), read_timeout_, got);
    if (s == PortStatus::kClosed) return Lost();
    buffer = got;
    count = static_cast<int32_t>(got.size());
    if (got.empty())
      return Fail(kResultTimeout,
                  "No data from the printer within " + std::to_string(read_timeout_) + " ms.");
    return kResultOk;
  }

  int32_t ReadReply(Bytes& data, int32_t& count, int32_t multi_block) override {
    std::lock_guard<std::mutex> lk(mu_);
    data.clear();
    count = 0;
    if (int32_t r = NeedClaim(); r != kResultOk) return r;
    bool garbled = false;
    const PortStatus s = link_.ReadBlock(multi_block != 0, read_timeout_, kMaxReplyBlock, data, garbled);
    if (s == PortStatus::kClosed) return Lost();
    if (garbled) return Fail(kResultFailure, "The printer's reply is not a reply block.");
    if (s == PortStatus::kTimeout) {
      return Fail(kResultTimeout,
                  "No reply from the printer within " + std::to_string(read_timeout_) + " ms.");
    }
    count = static_cast<int32_t>(data.size());
    return kResultOk;
  }

  int32_t GetReadTimeout(int32_t& value) override { return GetMs(read_timeout_, value); }
  int32_t PutReadTimeout(int32_t value) override { return PutMs(read_timeout_, value); }
  int32_t GetWriteTimeout(int32_t& value) override { return GetMs(write_timeout_, value); }
  int32_t PutWriteTimeout(int32_t value) override { return PutMs(write_timeout_, value); }

  int32_t GetBusyState(int32_t& value) override {
    std::lock_guard<std::mutex> lk(mu_);
    value = 0;
    if (int32_t r = NeedClaim(); r != kResultOk) return r;
    value = port_->WouldBlock() ? 1 : 0;
    return kResultOk;
  }

  int32_t GetPrinterState(int32_t& state, int32_t& mode) override {
    std::lock_guard<std::mutex> lk(mu_);
    mode = 1;
    if (int32_t r = NeedClaim(); r != kResultOk) return r;
    const PortStatus s = link_.PrinterState(read_timeout_, state);
    if (s == PortStatus::kClosed) return Lost();
    if (s == PortStatus::kTimeout)
      return Fail(kResultTimeout, "The printer does not answer status requests.");
    return kResultOk;
  }

  int32_t GetLastError(PrinterErrorInfo& info) override {
    std::lock_guard<std::mutex> lk(mu_);
    info = last_error_;
    return kResultOk;
  }

  int32_t ClearInput() override {
    std::lock_guard<std::mutex> lk(mu_);
    if (int32_t r = NeedClaim(); r != kResultOk) return r;
    link_.EndKeyList();
    link_.Discard();
    return kResultOk;
  }

  // Writes are handed to the port as they come; nothing waits in the object.
  int32_t ClearOutput() override {
    std::lock_guard<std::mutex> lk(mu_);
    return NeedClaim();
  }

  int32_t GetDeviceDescription(std::string& text) override {
    std::lock_guard<std::mutex> lk(mu_);
    text = port_->Description();
    return kResultOk;
  }

  int32_t GetDeviceKind(int32_t& value) override {
    value = kind_;
    return kResultOk;
  }

 private:
  int32_t Fail(int32_t code, const std::string& description) {
    last_error_ = {code, description, kSource};
    return code;
  }
  int32_t Lost() {
    return Fail(kResultPortClosed,
                "The connection to the printer on " + spec_ + " was lost: " + port_->error());
  }
  int32_t NeedClaim() {
    if (!claimed_) return Fail(kResultNotClaimed, "The printer is not claimed: call ClaimPrinter first.");
    if (!port_->IsOpen()) return Lost();
    return kResultOk;
  }
  int32_t GetMs(const int& field, int32_t& value) {
    std::lock_guard<std::mutex> lk(mu_);
    value = field;
    return kResultOk;
  }
  int32_t PutMs(int& field, int32_t value) {
    std::lock_guard<std::mutex> lk(mu_);
    if (value < 0) return Fail(kResultBadArgument, "A time-out cannot be negative.");
    field = value;
    return kResultOk;
  }

  std::mutex mu_;
  const std::string spec_;
  const int32_t kind_;
  std::unique_ptr<Port> port_;
  PrinterLink link_;
  bool claimed_ = false;
  int read_timeout_ = kDefaultReadTimeoutMs;
  int write_timeout_ = kDefaultWriteTimeoutMs;
  PrinterErrorInfo last_error_;
};

}  // namespace

std::unique_ptr<PrinterObject> OpenPortPrinter(const std::string& spec, int32_t device_kind,
                                               std::string& error) {
  std::unique_ptr<Port> port = CreatePort(spec, error);
  if (!port) return nullptr;
  return std::make_unique<PortPrinter>(spec, device_kind, std::move(port));
}

}  // namespace zelta
