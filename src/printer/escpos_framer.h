// Splits an ESC/POS byte stream into whole commands by the length rules of each command, so that the
// printer knows where one command ends even when it does not understand it. Text characters and
// control codes come out as one-byte commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace zelta::emu {

class EscPosFramer {
 public:
  // Receives each command, opcode and parameters included. whole is false when the command was longer
  // than the framer keeps: then command holds only its first max_command bytes (its data was counted
  // and skipped, never kept).
  using Handler = std::function<void(const std::string& command, bool whole)>;

  // max_command: the most bytes of one command that are kept (at least 16).
  explicit EscPosFramer(size_t max_command);

  // Takes the next byte of the stream; calls handler when a command is complete.
  void Feed(uint8_t byte, const Handler& handler);
  // Abandons the command being received (the host went away or the buffers were cleared): the bytes
  // of it received so far are dropped without being handed on.
  void Reset();
  // True between commands.
  bool AtBoundary() const { return phase_ == Phase::kIdle; }

 private:
  enum class Phase { kIdle, kHeader, kBody, kNulTerminated, kFsqSize, kFsqData, kEscAmpWidth, kEscAmpData };
  // What the header read so far says about the rest of the command.
  struct Rule {
    enum Kind { kMore, kDone, kSplit, kBody, kNul, kFsq, kEscAmp } kind;
    uint64_t n = 0;
  };

  static Rule HeaderRule(const std::string& h);
  void Append(uint8_t byte);
  void Evaluate(const Handler& handler);
  void StartBody(uint64_t n, Phase next_after, const Handler& handler);
  void Emit(const Handler& handler);
  void AfterBody(const Handler& handler);
  void NextEscAmpChar(const Handler& handler);

  size_t max_command_;
  Phase phase_ = Phase::kIdle;
  std::string cmd_;
  bool overflow_ = false;
  uint64_t left_ = 0;  // bytes still to come in the current body
  Phase body_owner_ = Phase::kBody;
  int images_left_ = 0;         // FS q
  int chars_left_ = 0;          // ESC &
  uint8_t amp_height_ = 0;      // ESC &
  uint8_t size_bytes_[4] = {};  // FS q: the size of the image being received
};

}  // namespace zelta::emu
