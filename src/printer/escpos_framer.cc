#include "printer/escpos_framer.h"

#include <algorithm>
#include <cstring>

#include "printer/emu_codes.h"

namespace zelta::emu {
namespace {

uint8_t At(const std::string& s, size_t i) { return static_cast<uint8_t>(s[i]); }
uint64_t Le16(const std::string& s, size_t i) { return At(s, i) | (uint64_t{At(s, i + 1)} << 8); }
uint64_t Le32(const std::string& s, size_t i) { return Le16(s, i) | (Le16(s, i + 2) << 16); }

bool In(uint8_t c, const char* set) { return c != 0 && std::strchr(set, c) != nullptr; }

}  // namespace

EscPosFramer::EscPosFramer(size_t max_command) : max_command_(std::max<size_t>(max_command, 16)) {}

EscPosFramer::Rule EscPosFramer::HeaderRule(const std::string& h) {
  const size_t s = h.size();
  auto fixed = [s](size_t total) { return s >= total ? Rule{Rule::kDone} : Rule{Rule::kMore}; };
  if (s < 2) return {Rule::kMore};
  const uint8_t lead = At(h, 0), c = At(h, 1);

  if (lead == kDle) {
    if (c == kEot || c == kEnq) return fixed(3);
    if (c == kDc4) {
      if (s < 3) return {Rule::kMore};
      const uint8_t fn = At(h, 2);
      return fixed(fn == 1 || fn == 2 ? 5 : fn == 7 ? 4 : fn == 8 ? 10 : 3);
    }
    return {Rule::kSplit};  // a lone DLE: the next byte is a command of its own
  }

  if (lead == kEsc) {
    if (In(c, "@<LSimv2") || c == kFf) return fixed(2);
    if (In(c, " !-3=?EGJKMRTUVadert{%u")) return fixed(3);
    if (In(c, "$\\cB")) return fixed(4);
    if (c == 'p') return fixed(5);
    if (c == 'W') return fixed(10);
    if (c == 'D') return {Rule::kNul, 33};
    if (c == '*') {
      if (s < 5) return {Rule::kMore};
      const uint64_t dots = Le16(h, 3);
      const uint8_t m = At(h, 2);
      return {Rule::kBody, dots * ((m == 32 || m == 33) ? 3 : 1)};
    }
    if (c == '&') return s < 5 ? Rule{Rule::kMore} : Rule{Rule::kEscAmp};
    return fixed(2);
  }

  if (lead == kFs) {
    if (In(c, "&.")) return fixed(2);
    if (In(c, "!-CW")) return fixed(3);
    if (In(c, "pS?")) return fixed(4);
    if (c == 'q') return s < 3 ? Rule{Rule::kMore} : Rule{Rule::kFsq, At(h, 2)};
    if (c == '2') return s < 4 ? Rule{Rule::kMore} : Rule{Rule::kBody, 72};
    if (c == '(') return s < 5 ? Rule{Rule::kMore} : Rule{Rule::kBody, Le16(h, 3)};
    if (c == 'g') {
      if (s < 3) return {Rule::kMore};
      if (At(h, 2) == 2) return fixed(10);
      if (At(h, 2) != 1) return fixed(3);
      return s < 10 ? Rule{Rule::kMore} : Rule{Rule::kBody, Le16(h, 8)};
    }
    return fixed(2);
  }

  // GS
  if (c == '(') return s < 5 ? Rule{Rule::kMore} : Rule{Rule::kBody, Le16(h, 3)};
  if (c == '8') return s < 7 ? Rule{Rule::kMore} : Rule{Rule::kBody, Le32(h, 3)};
  if (In(c, ":c")) return fixed(2);
  if (In(c, "!/BEHITabfhjrw")) return fixed(3);
  if (In(c, "$LPW\\")) return fixed(4);
  if (In(c, "^z")) return fixed(5);
  if (c == '*') return s < 4 ? Rule{Rule::kMore} : Rule{Rule::kBody, uint64_t{At(h, 2)} * At(h, 3) * 8};
  if (c == 'g') return fixed(5);
  if (c == 'V') {
    if (s < 3) return {Rule::kMore};
    return fixed(In(At(h, 2), "ABabgh") ? 4 : 3);
  }
  if (c == 'k') {
    if (s < 3) return {Rule::kMore};
    const uint8_t m = At(h, 2);
    if (m <= 6) return {Rule::kNul, 256};
    if (m >= 65 && m <= 79) return s < 4 ? Rule{Rule::kMore} : Rule{Rule::kBody, At(h, 3)};
    return fixed(3);
  }
  if (c == 'v') {
    if (s < 3) return {Rule::kMore};
    if (At(h, 2) != '0') return fixed(3);
    return s < 8 ? Rule{Rule::kMore} : Rule{Rule::kBody, Le16(h, 4) * Le16(h, 6)};
  }
  return fixed(2);
}

void EscPosFramer::Append(uint8_t byte) {
  if (cmd_.size() < max_command_) {
    cmd_.push_back(static_cast<char>(byte));
  } else {
    overflow_ = true;
  }
}

void EscPosFramer::Reset() {
  phase_ = Phase::kIdle;
  cmd_.clear();
  overflow_ = false;
  left_ = 0;
}

void EscPosFramer::Emit(const Handler& handler) {
  phase_ = Phase::kIdle;
  handler(cmd_, !overflow_);
  cmd_.clear();
  overflow_ = false;
}

void EscPosFramer::StartBody(uint64_t n, Phase owner, const Handler& handler) {
  body_owner_ = owner;
  left_ = n;
  if (n == 0) {
    AfterBody(handler);
  } else {
    phase_ = Phase::kBody;
  }
}

void EscPosFramer::AfterBody(const Handler& handler) {
  switch (body_owner_) {
    case Phase::kFsqData:
      if (--images_left_ <= 0) {
        Emit(handler);
      } else {
        phase_ = Phase::kFsqSize;
        left_ = 4;
      }
      return;
    case Phase::kEscAmpData:
      --chars_left_;
      NextEscAmpChar(handler);
      return;
    default:
      Emit(handler);
  }
}

void EscPosFramer::NextEscAmpChar(const Handler& handler) {
  if (chars_left_ <= 0) {
    Emit(handler);
  } else {
    phase_ = Phase::kEscAmpWidth;
  }
}

void EscPosFramer::Evaluate(const Handler& handler) {
  const Rule r = HeaderRule(cmd_);
  switch (r.kind) {
    case Rule::kMore:
      return;
    case Rule::kDone:
      Emit(handler);
      return;
    case Rule::kSplit: {
      const uint8_t second = static_cast<uint8_t>(cmd_[1]);
      cmd_.resize(1);
      Emit(handler);
      Feed(second, handler);
      return;
    }
    case Rule::kBody:
      StartBody(r.n, Phase::kBody, handler);
      return;
    case Rule::kNul:
      phase_ = Phase::kNulTerminated;
      left_ = r.n;
      return;
    case Rule::kFsq:
      if (r.n == 0) {
        Emit(handler);
      } else {
        images_left_ = static_cast<int>(r.n);
        phase_ = Phase::kFsqSize;
        left_ = 4;
      }
      return;
    case Rule::kEscAmp: {
      const uint8_t y = At(cmd_, 2), c1 = At(cmd_, 3), c2 = At(cmd_, 4);
      if (y < 1 || y > 3 || c1 < 32 || c2 > 126 || c1 > c2) {
        Emit(handler);  // out of range: only the five header bytes belong to it
        return;
      }
      amp_height_ = y;
      chars_left_ = c2 - c1 + 1;
      NextEscAmpChar(handler);
      return;
    }
  }
}

void EscPosFramer::Feed(uint8_t byte, const Handler& handler) {
  switch (phase_) {
    case Phase::kIdle:
      cmd_.clear();
      overflow_ = false;
      Append(byte);
      if (byte == kDle || byte == kEsc || byte == kFs || byte == kGs) {
        phase_ = Phase::kHeader;
      } else {
        Emit(handler);
      }
      return;
    case Phase::kHeader:
      Append(byte);
      Evaluate(handler);
      return;
    case Phase::kBody:
      Append(byte);
      if (--left_ == 0) AfterBody(handler);
      return;
    case Phase::kNulTerminated:
      Append(byte);
      if (byte == 0 || --left_ == 0) Emit(handler);
      return;
    case Phase::kFsqSize:
      // The size is kept apart from the command: when the command overflowed it is not in cmd_.
      size_bytes_[4 - left_] = byte;
      Append(byte);
      if (--left_ == 0) {
        const uint64_t x = size_bytes_[0] | (uint64_t{size_bytes_[1]} << 8);
        const uint64_t y = size_bytes_[2] | (uint64_t{size_bytes_[3]} << 8);
        StartBody(x * y * 8, Phase::kFsqData, handler);
      }
      return;
    case Phase::kFsqData:
      return;
    case Phase::kEscAmpWidth:
      Append(byte);
      StartBody(uint64_t{amp_height_} * byte, Phase::kEscAmpData, handler);
      return;
    case Phase::kEscAmpData:
      return;
  }
}

}  // namespace zelta::emu
