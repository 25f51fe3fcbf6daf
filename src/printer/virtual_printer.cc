#include "printer/virtual_printer.h"

#include <chrono>
#include <ctime>

#include "printer/emu_codes.h"

namespace zelta::emu {
namespace {

using Clock = std::chrono::steady_clock;

bool IsRealTime(const std::string& c) {
  if (c.size() != 3 || static_cast<uint8_t>(c[0]) != kDle) return false;
  const uint8_t op = static_cast<uint8_t>(c[1]), n = static_cast<uint8_t>(c[2]);
  return (op == kEot && n >= 1 && n <= 4) || (op == kEnq && n >= 1 && n <= 2);
}

// GS ( D pL pH 20 [a b]...: the setting of real-time requests that it leaves, or -1 when it is no
// well-formed switch (then it changes nothing). Any pair (a = 1 or 2) sets the one switch of this
// printer's real-time requests: b = 0 or 48 off, 1 or 49 on.
int RealTimeSwitch(const std::string& c) {
  if (c.size() < 8 || static_cast<uint8_t>(c[0]) != kGs || c[1] != '(' || c[2] != 'D') return -1;
  const size_t n = static_cast<uint8_t>(c[3]) | static_cast<size_t>(static_cast<uint8_t>(c[4])) << 8;
  if (n + 5 != c.size() || n % 2 != 1 || static_cast<uint8_t>(c[5]) != 20) return -1;
  int on = -1;
  for (size_t i = 6; i + 1 < c.size(); i += 2) {
    const uint8_t a = static_cast<uint8_t>(c[i]), b = static_cast<uint8_t>(c[i + 1]);
    if ((a != 1 && a != 2) || (b != 0 && b != 1 && b != 48 && b != 49)) return -1;
    on = (b & 1) ? 1 : 0;
  }
  return on;
}

std::string PaperPrefix(const EmuModel& model) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  return "receipt-" + std::to_string(model.id) + "-" + stamp;
}

}  // namespace

bool ParseEmuFault(const std::string& name, EmuFault& fault) {
  static const std::pair<const char*, EmuFault> kNames[] = {
      {"cover", EmuFault::kCoverOpen},
      {"near-end", EmuFault::kPaperNearEnd},
      {"paper-out", EmuFault::kPaperOut},
      {"error", EmuFault::kRecoverableError},
      {"fatal", EmuFault::kUnrecoverableError},
      {"offline", EmuFault::kOffline},
      {"mute", EmuFault::kMute},
      {"slow", EmuFault::kSlow},
  };
  for (const auto& [text, f] : kNames) {
    if (name == text) {
      fault = f;
      return true;
    }
  }
  return false;
}

std::unique_ptr<VirtualPrinter> VirtualPrinter::Create(const EmuOptions& options, std::string& error) {
  const EmuModel* model = FindEmuModel(options.model_id);
  if (!model) {
    error = "unknown model ID " + std::to_string(options.model_id) + " (known: " + KnownEmuModelIds() + ")";
    return nullptr;
  }
  std::unique_ptr<VirtualPrinter> p(new VirtualPrinter(options, *model));
  if (!options.state_file.empty()) {
    RemoveStaleTemporaries(options.state_file);  // left by a writer that was killed
    std::string bytes;
    if (ReadWholeFile(options.state_file, bytes)) {
      std::string why;
      if (!p->memory_.Deserialize(bytes, model->id, why)) {
        error = options.state_file + ": " + why;
        return nullptr;
      }
    }
  }
  if (options.threaded) p->worker_ = std::thread([raw = p.get()] { raw->WorkerLoop(); });
  return p;
}

VirtualPrinter::VirtualPrinter(const EmuOptions& options, const EmuModel& model)
    : options_(options),
      model_(model),
      framer_(options.max_command),
      memory_(model.nv_graphics, model.nv_bit_images),
      paper_(model.paper_dots, options.paper_dir, PaperPrefix(model), options.max_paper_rows),
      machine_(
          model, memory_, paper_, options.timing, [this](const std::string& b) { ReplyLocked(b); },
          [this] { SaveLocked(); }) {}

VirtualPrinter::~VirtualPrinter() {
  {
    std::lock_guard<std::mutex> lk(mu_);
    stop_ = true;
  }
  work_cv_.notify_all();
  space_cv_.notify_all();
  out_cv_.notify_all();
  if (worker_.joinable()) worker_.join();
}

bool VirtualPrinter::OfflineLocked() const {
  using F = EmuFault;
  for (F f : {F::kCoverOpen, F::kPaperOut, F::kRecoverableError, F::kUnrecoverableError, F::kOffline}) {
    if (faults_[static_cast<int>(f)]) return true;
  }
  return false;
}

uint8_t VirtualPrinter::StatusByte(int n) const {
  std::lock_guard<std::mutex> lk(mu_);
  return StatusByteLocked(n);
}

uint8_t VirtualPrinter::StatusByteLocked(int n) const {
  auto on = [this](EmuFault f) { return faults_[static_cast<int>(f)]; };
  uint8_t s = kStatusFixed;
  switch (n) {
    case 1:
      if (OfflineLocked()) s |= kPsOffline;
      if (on(EmuFault::kRecoverableError)) s |= kPsWaitingRecovery;
      break;
    case 2:
      if (on(EmuFault::kCoverOpen)) s |= kOcCoverOpen;
      if (on(EmuFault::kPaperOut)) s |= kOcPaperEndStop;
      if (on(EmuFault::kRecoverableError) || on(EmuFault::kUnrecoverableError)) s |= kOcError;
      break;
    case 3:
      if (on(EmuFault::kRecoverableError)) s |= kEcCutter;
      if (on(EmuFault::kUnrecoverableError)) s |= kEcUnrecoverable;
      break;
    case 4:
      if (on(EmuFault::kPaperNearEnd) || on(EmuFault::kPaperOut)) s |= kRsNearEnd;
      if (on(EmuFault::kPaperOut)) s |= kRsPaperEnd;
      break;
    default:
      break;
  }
  return s;
}

void VirtualPrinter::ReplyLocked(const std::string& bytes) {
  if (faults_[static_cast<int>(EmuFault::kMute)]) return;
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  out_cv_.notify_all();
}

void VirtualPrinter::RealTimeLocked(const std::string& c) {
  const uint8_t op = static_cast<uint8_t>(c[1]), n = static_cast<uint8_t>(c[2]);
  if (op == kEot) {
    ReplyLocked(std::string(1, static_cast<char>(StatusByteLocked(n))));
    return;
  }
  bool& recoverable = faults_[static_cast<int>(EmuFault::kRecoverableError)];
  if (!recoverable) return;  // DLE ENQ 1 and 2 act only on a recoverable error
  recoverable = false;
  if (n == 2) {
    buffer_.clear();
    framer_.Reset();
    rx_framer_.Reset();
    machine_.Abandon();
    space_cv_.notify_all();
  }
  work_cv_.notify_all();
}

void VirtualPrinter::BufferLocked(uint8_t b) {
  buffer_.push_back(b);
  rx_framer_.Feed(b, [this](const std::string& c, bool whole) {
    if (!whole) return;
    const int on = RealTimeSwitch(c);
    if (on >= 0) real_time_on_ = on == 1;
  });
}

size_t VirtualPrinter::TakeRealTime(std::string& pending) {
  std::lock_guard<std::mutex> lk(mu_);
  if (!real_time_on_) return 0;
  size_t answered = 0;
  // Bytes that may finish a DLE held back by Receive are left to Receive.
  for (size_t i = held_.empty() ? 0 : 2; i + 2 < pending.size();) {
    if (static_cast<uint8_t>(pending[i]) == kGs && pending[i + 1] == '(' && pending[i + 2] == 'D') break;
    if (static_cast<uint8_t>(pending[i]) == kDle && IsRealTime(pending.substr(i, 3))) {
      RealTimeLocked(pending.substr(i, 3));
      pending.erase(i, 3);
      ++answered;
    } else {
      ++i;
    }
  }
  return answered;
}

size_t VirtualPrinter::Receive(const uint8_t* data, size_t n, int timeout_ms) {
  std::unique_lock<std::mutex> lk(mu_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = data[i];
    // Real-time requests are taken out of the stream wherever they stand, even inside the data of
    // another command, and answered at once; a DLE is held back until its next bytes decide. After
    // GS ( D turned them off they are data like any other bytes.
    if (!real_time_on_ && !held_.empty()) {
      for (char c : held_) BufferLocked(static_cast<uint8_t>(c));
      held_.clear();
    }
    if (real_time_on_ && (!held_.empty() || b == kDle)) {
      held_.push_back(static_cast<char>(b));
      const uint8_t op = static_cast<uint8_t>(held_[1 < held_.size() ? 1 : 0]);
      if (held_.size() == 1) continue;
      if (op == kEot || op == kEnq) {
        if (held_.size() < 3) continue;
        if (IsRealTime(held_)) {
          const std::string request = held_;
          held_.clear();
          RealTimeLocked(request);
          continue;
        }
      }
      // Not a real-time request: the held bytes are ordinary data (a DLE that follows starts over).
      std::string pass = held_;
      held_.clear();
      if (static_cast<uint8_t>(pass.back()) == kDle) {
        held_.push_back(static_cast<char>(kDle));
        pass.pop_back();
      }
      for (char c : pass) BufferLocked(static_cast<uint8_t>(c));
      work_cv_.notify_one();
      continue;
    }
    while (buffer_.size() >= options_.receive_buffer) {
      if (stop_) return i;
      if (!options_.threaded) {
        const size_t before = buffer_.size();
        DrainLocked();
        if (buffer_.size() == before) return i;  // off line: nothing moves
        continue;
      }
      if (space_cv_.wait_until(lk, deadline) == std::cv_status::timeout &&
          buffer_.size() >= options_.receive_buffer) {
        return i;
      }
    }
    BufferLocked(b);
    work_cv_.notify_one();
  }
  if (!options_.threaded) DrainLocked();
  return n;
}

size_t VirtualPrinter::Transmit(uint8_t* out, size_t max, int timeout_ms) {
  std::unique_lock<std::mutex> lk(mu_);
  out_cv_.wait_for(lk, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
                   [this] { return !out_.empty() || stop_; });
  size_t n = 0;
  while (n < max && !out_.empty()) {
    out[n++] = out_.front();
    out_.pop_front();
  }
  return n;
}

void VirtualPrinter::Disconnect() {
  std::lock_guard<std::mutex> lk(mu_);
  held_.clear();
  out_.clear();
  rx_framer_.Reset();
  real_time_on_ = true;
  buffer_.push_back(kDisconnectMark);
  if (!options_.threaded) DrainLocked();
  work_cv_.notify_one();
}

double VirtualPrinter::ProcessLocked(uint16_t item) {
  if (item == kDisconnectMark) {
    framer_.Reset();
    machine_.Abandon();
    return 0;
  }
  const uint8_t b = static_cast<uint8_t>(item);
  if (machine_.AwaitingAnswer() && framer_.AtBoundary() && machine_.Answer(b)) return 0;
  double cost = 0;
  framer_.Feed(b, [this, &cost](const std::string& c, bool whole) { cost += machine_.Execute(c, whole); });
  if (faults_[static_cast<int>(EmuFault::kSlow)]) cost += machine_.Timing().slow_s_per_byte;
  return cost;
}

void VirtualPrinter::DrainLocked() {
  while (!buffer_.empty() && !OfflineLocked()) {
    const uint16_t item = buffer_.front();
    buffer_.pop_front();
    ProcessLocked(item);
  }
}

void VirtualPrinter::WorkerLoop() {
  std::unique_lock<std::mutex> lk(mu_);
  while (!stop_) {
    if (buffer_.empty() || OfflineLocked()) {
      executing_ = false;
      idle_cv_.notify_all();
      work_cv_.wait(lk);
      continue;
    }
    executing_ = true;
    const uint16_t item = buffer_.front();
    buffer_.pop_front();
    space_cv_.notify_all();
    const double cost = ProcessLocked(item);
    if (cost > 0) {
      work_cv_.wait_for(lk, std::chrono::duration<double>(cost), [this] { return stop_; });
    }
  }
  executing_ = false;
  idle_cv_.notify_all();
}

bool VirtualPrinter::Busy() const {
  std::lock_guard<std::mutex> lk(mu_);
  return !buffer_.empty() || executing_;
}

bool VirtualPrinter::Full() const {
  std::lock_guard<std::mutex> lk(mu_);
  return buffer_.size() >= options_.receive_buffer;
}

bool VirtualPrinter::WaitIdle(int timeout_ms) {
  std::unique_lock<std::mutex> lk(mu_);
  return idle_cv_.wait_for(lk, std::chrono::milliseconds(timeout_ms),
                           [this] { return buffer_.empty() && !executing_; });
}

void VirtualPrinter::SetFault(EmuFault fault, bool on) {
  std::lock_guard<std::mutex> lk(mu_);
  faults_[static_cast<int>(fault)] = on;
  work_cv_.notify_all();
}

void VirtualPrinter::SetPrintingOffered(bool on) {
  std::lock_guard<std::mutex> lk(mu_);
  machine_.SetPrintingOffered(on);
}

bool VirtualPrinter::FaultOn(EmuFault fault) const {
  std::lock_guard<std::mutex> lk(mu_);
  return faults_[static_cast<int>(fault)];
}

std::string VirtualPrinter::TearOff() {
  std::lock_guard<std::mutex> lk(mu_);
  machine_.FlushLine();
  return paper_.Cut();
}

std::vector<std::string> VirtualPrinter::PaperFiles() const {
  std::lock_guard<std::mutex> lk(mu_);
  return paper_.Files();
}

std::vector<std::string> VirtualPrinter::KeyCodes() const {
  std::lock_guard<std::mutex> lk(mu_);
  return memory_.KeyCodes();
}

uint32_t VirtualPrinter::NvRemaining() const {
  std::lock_guard<std::mutex> lk(mu_);
  return memory_.GraphicsRemaining();
}

size_t VirtualPrinter::BitImageCount() const {
  std::lock_guard<std::mutex> lk(mu_);
  return memory_.BitImageCount();
}

const NvBitImage* VirtualPrinter::BitImageForTest(int n) const {
  std::lock_guard<std::mutex> lk(mu_);
  return memory_.FindBitImage(n);
}

std::string VirtualPrinter::StateError() const {
  std::lock_guard<std::mutex> lk(mu_);
  return state_error_;
}

void VirtualPrinter::SaveLocked() {
  if (options_.state_file.empty()) return;
  std::string error;
  if (WriteFileAtomically(options_.state_file, memory_.Serialize(model_.id), error)) {
    state_error_.clear();
  } else {
    state_error_ = error;
  }
}

}  // namespace zelta::emu
