#include "printer/printer_link.h"

#include <chrono>

namespace zelta {
namespace {

using Clock = std::chrono::steady_clock;

// The printer's own reading of these bytes lives in the virtual printer; the link only needs to
// recognise them.
constexpr uint8_t kDle = 0x10, kEot = 0x04, kAck = 0x06, kCan = 0x18;
constexpr uint8_t kBlockStart = 0x37;
constexpr uint8_t kBlockMore = 0x41;
// Every real-time status byte has bits 1 and 4 set and bits 0 and 7 clear.
constexpr uint8_t kStatusMask = 0x93, kStatusFixed = 0x12;
constexpr uint8_t kOffline = 0x08;                                                      // DLE EOT 1
constexpr uint8_t kCover = 0x04, kFeeding = 0x08, kPaperEndStop = 0x20, kError = 0x40;  // DLE EOT 2
constexpr uint8_t kUnrecoverable = 0x20;                                                // DLE EOT 3
constexpr uint8_t kNearEnd = 0x0C, kPaperEnd = 0x60;                                    // DLE EOT 4

int Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms); }

}  // namespace

void PrinterLink::Reset() {
  inbox_.clear();
  expected_status_ = 0;
  pending_ack_ = false;
}

void PrinterLink::Discard() {
  while (Pull(0) == PortStatus::kOk) {
  }
  Reset();
}

PortStatus PrinterLink::Pull(int timeout_ms) {
  uint8_t buf[4096];
  size_t got = 0;
  const PortStatus s = port_.Read(buf, sizeof buf, timeout_ms, got);
  inbox_.append(reinterpret_cast<const char*>(buf), got);
  return s;
}

PortStatus PrinterLink::Write(const std::string& bytes, int timeout_ms, size_t& written) {
  pending_ack_ = false;
  return port_.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timeout_ms, written);
}

void PrinterLink::ExpectStatusReplies(const std::string& bytes) {
  for (size_t i = 0; i + 2 < bytes.size(); ++i) {
    const uint8_t n = static_cast<uint8_t>(bytes[i + 2]);
    if (static_cast<uint8_t>(bytes[i]) == kDle && static_cast<uint8_t>(bytes[i + 1]) == kEot && n >= 1 &&
        n <= 4) {
      ++expected_status_;
      i += 2;
    }
  }
}

bool PrinterLink::TakeStatus(uint8_t& status) {
  // Reply blocks (0x37 up to NUL) may hold bytes that look like status bytes: skip them.
  bool in_block = false;
  for (size_t i = 0; i < inbox_.size(); ++i) {
    const uint8_t b = static_cast<uint8_t>(inbox_[i]);
    if (in_block) {
      in_block = b != 0;
      continue;
    }
    if (b == kBlockStart) {
      in_block = true;
      continue;
    }
    if ((b & kStatusMask) == kStatusFixed) {
      status = b;
      inbox_.erase(i, 1);
      return true;
    }
  }
  return false;
}

PortStatus PrinterLink::Read(size_t length, int timeout_ms, std::string& out) {
  out.clear();
  const auto deadline = After(timeout_ms);
  if (expected_status_ > 0) {
    uint8_t status = 0;
    while (!TakeStatus(status)) {
      const PortStatus s = Pull(Remaining(deadline));
      if (s == PortStatus::kClosed) return s;
      if (s == PortStatus::kTimeout && Remaining(deadline) == 0) {
        expected_status_ = 0;  // it is not coming: later reads get the replies in order again
        return PortStatus::kTimeout;
      }
    }
    --expected_status_;
    out.assign(1, static_cast<char>(status));
    return PortStatus::kOk;
  }
  while (inbox_.size() < length) {
    const PortStatus s = Pull(Remaining(deadline));
    if (s == PortStatus::kClosed) return s;
    if (s == PortStatus::kTimeout && Remaining(deadline) == 0) break;
  }
  out = inbox_.substr(0, length);
  inbox_.erase(0, out.size());
  return out.empty() ? PortStatus::kTimeout : PortStatus::kOk;
}

PortStatus PrinterLink::ReadBlock(bool multi, int timeout_ms, size_t max_block, std::string& block,
                                  bool& garbled) {
  block.clear();
  garbled = false;
  if (multi && pending_ack_) {
    size_t written = 0;
    const std::string ack(1, static_cast<char>(kAck));
    const PortStatus s = port_.Write(reinterpret_cast<const uint8_t*>(ack.data()), 1, timeout_ms, written);
    if (s != PortStatus::kOk) return s;
    pending_ack_ = false;
  }
  const auto deadline = After(timeout_ms);
  for (;;) {
    const size_t start = inbox_.find(static_cast<char>(kBlockStart));
    if (start == std::string::npos) {
      inbox_.clear();
    } else {
      inbox_.erase(0, start);
      const size_t end = inbox_.find('\0');
      if (end != std::string::npos) {
        block = inbox_.substr(0, end + 1);
        inbox_.erase(0, end + 1);
        pending_ack_ = multi && block.size() >= 3 && static_cast<uint8_t>(block[2]) == kBlockMore;
        return PortStatus::kOk;
      }
      if (inbox_.size() > max_block) {
        inbox_.clear();
        garbled = true;
        return PortStatus::kOk;
      }
    }
    const PortStatus s = Pull(Remaining(deadline));
    if (s == PortStatus::kClosed) return s;
    if (s == PortStatus::kTimeout && Remaining(deadline) == 0) return PortStatus::kTimeout;
  }
}

void PrinterLink::EndKeyList() {
  if (!pending_ack_) return;
  size_t written = 0;
  const std::string can(1, static_cast<char>(kCan));
  port_.Write(reinterpret_cast<const uint8_t*>(can.data()), 1, 200, written);
  pending_ack_ = false;
}

PortStatus PrinterLink::Query(uint8_t n, int timeout_ms, uint8_t& status, bool& got) {
  got = false;
  const auto deadline = After(timeout_ms);
  const std::string request = {static_cast<char>(kDle), static_cast<char>(kEot), static_cast<char>(n)};
  size_t written = 0;
  PortStatus s = port_.Write(reinterpret_cast<const uint8_t*>(request.data()), 3, timeout_ms, written);
  if (s != PortStatus::kOk) return s;
  while (!TakeStatus(status)) {
    s = Pull(Remaining(deadline));
    if (s == PortStatus::kClosed) return s;
    if (s == PortStatus::kTimeout && Remaining(deadline) == 0) return PortStatus::kOk;
  }
  got = true;
  return PortStatus::kOk;
}

PrinterLink::Stall PrinterLink::ClassifyStall(int timeout_ms) {
  uint8_t status = 0;
  bool got = false;
  if (Query(1, timeout_ms, status, got) != PortStatus::kOk || !got) return Stall::kNoAnswer;
  if (!(status & kOffline)) return Stall::kBusy;
  if (Query(4, timeout_ms, status, got) != PortStatus::kOk || !got) return Stall::kOffline;
  return (status & kPaperEnd) ? Stall::kPaperOut : Stall::kOffline;
}

PortStatus PrinterLink::PrinterState(int timeout_ms, int32_t& state) {
  uint8_t status = 0;
  bool got = false;
  auto ask = [&](uint8_t n) {
    const PortStatus s = Query(n, timeout_ms, status, got);
    return s == PortStatus::kOk && !got ? PortStatus::kTimeout : s;
  };
  const size_t before = inbox_.size();
  PortStatus s = ask(1);
  if (s == PortStatus::kTimeout && inbox_.size() > before) {
    state = 9;  // something came back, but no status byte
    return PortStatus::kOk;
  }
  if (s != PortStatus::kOk) return s;
  if (!(status & kOffline)) {
    if ((s = ask(4)) != PortStatus::kOk) return s;
    state = (status & kPaperEnd) ? 8 : (status & kNearEnd) ? 7 : 0;
    return PortStatus::kOk;
  }
  if ((s = ask(2)) != PortStatus::kOk) return s;
  const uint8_t cause = status;
  if (cause & kCover) {
    state = 1;
  } else if (cause & kFeeding) {
    state = 2;
  } else if (cause & kError) {
    if ((s = ask(3)) != PortStatus::kOk) return s;
    state = (status & kUnrecoverable) ? 5 : 4;
  } else if (cause & kPaperEndStop) {
    if ((s = ask(4)) != PortStatus::kOk) return s;
    state = (status & kPaperEnd) ? 8 : 3;
  } else {
    state = 6;
  }
  return PortStatus::kOk;
}

}  // namespace zelta
