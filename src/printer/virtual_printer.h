// The virtual receipt printer: an ESC/POS printer with a bounded receive buffer, real-time requests
// answered on arrival, commands executed in order by its own worker (taking the time the mechanism
// takes), NV memories kept in a state file, paper written as PNG files, and faults that can be
// switched while it runs. Thread-safe: any thread may call any member.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "printer/emu_models.h"
#include "printer/escpos_framer.h"
#include "printer/nv_memory.h"
#include "printer/paper.h"
#include "printer/printer_machine.h"

namespace zelta::emu {

enum class EmuFault {
  kCoverOpen,           // off line, cover open
  kPaperNearEnd,        // on line; the paper sensor says near end
  kPaperOut,            // off line, printing stopped at paper end
  kRecoverableError,    // off line with an error until DLE ENQ 1 or 2
  kUnrecoverableError,  // off line with an error that nothing clears
  kOffline,             // off line for no reported cause
  kMute,                // answers nothing, not even real-time requests
  kSlow,                // every byte takes extra time
};
inline constexpr int kEmuFaultCount = 8;

struct EmuOptions {
  int model_id = 46;
  std::string state_file;         // NV memory file; "" keeps it in memory only
  std::string paper_dir;          // folder for receipts; "" prints to nowhere
  EmuTiming timing;               // all zero: instant
  size_t receive_buffer = 4096;   // bytes the printer takes before it pushes back
  int max_paper_rows = 40000;     // rows of one receipt that are kept
  size_t max_command = 4u << 20;  // longest command kept whole; longer ones are skipped
  bool threaded = true;           // false: commands run inside Receive, no time passes (fuzzing)
};

class VirtualPrinter {
 public:
  // Null with error when the model is unknown or the state file exists but cannot be read back.
  static std::unique_ptr<VirtualPrinter> Create(const EmuOptions& options, std::string& error);
  ~VirtualPrinter();  // stops the worker; unprocessed data is dropped
  VirtualPrinter(const VirtualPrinter&) = delete;
  VirtualPrinter& operator=(const VirtualPrinter&) = delete;

  const EmuModel& Model() const { return model_; }

  // Host side. Receive takes bytes in order until the receive buffer is full and stays full for
  // timeout_ms; returns how many it took. Real-time requests (DLE EOT 1..4, DLE ENQ 1..2) among them
  // are answered at once and taken out of the stream, wherever they stand: between commands, inside
  // another command's data, or while the buffer is full.
  size_t Receive(const uint8_t* data, size_t n, int timeout_ms);
  // Answers the real-time requests among bytes that the host has sent but Receive has not taken yet
  // (its buffer is full), and takes them out of pending, as a printer reads its line while it is
  // busy. Stops at a GS ( D in pending, whose effect is known only when it is received. Returns how
  // many requests it answered.
  size_t TakeRealTime(std::string& pending);
  // Copies up to max bytes that the printer sent, waiting up to timeout_ms for the first one.
  size_t Transmit(uint8_t* out, size_t max, int timeout_ms);
  // The host went away: a command cut off in the middle is dropped when the worker reaches this
  // point, a key-code list waiting for its answer is ended, and unread replies are discarded. The
  // next host finds real-time requests on.
  void Disconnect();
  // True while data waits in the receive buffer or a command is being carried out.
  bool Busy() const;
  // True when the receive buffer cannot take another byte now.
  bool Full() const;
  // Waits until everything received has been carried out (a DLE held back for its next byte does not
  // count); false on time-out, e.g. while off line.
  bool WaitIdle(int timeout_ms);

  // Faults, switched by the control channel or tests.
  void SetFault(EmuFault fault, bool on);
  bool FaultOn(EmuFault fault) const;
  // Bit 2 of the answer to GS I 2 (printing offered); on at start.
  void SetPrintingOffered(bool on);
  // The answer to DLE EOT n (n = 1..4).
  uint8_t StatusByte(int n) const;

  // Prints the line being built and ends the receipt; returns the PNG written or "".
  std::string TearOff();
  std::vector<std::string> PaperFiles() const;
  // NV memory as the printer holds it now.
  std::vector<std::string> KeyCodes() const;
  uint32_t NvRemaining() const;
  size_t BitImageCount() const;
  const NvBitImage* BitImageForTest(int n) const;
  // The last failure to write the state file, or "".
  std::string StateError() const;

 private:
  explicit VirtualPrinter(const EmuOptions& options, const EmuModel& model);
  static constexpr uint16_t kDisconnectMark = 0x100;

  bool OfflineLocked() const;
  uint8_t StatusByteLocked(int n) const;
  void RealTimeLocked(const std::string& command);
  double ProcessLocked(uint16_t item);
  void DrainLocked();
  void WorkerLoop();
  void SaveLocked();
  void ReplyLocked(const std::string& bytes);
  // Puts one byte into the receive buffer, noting a GS ( D among the commands received.
  void BufferLocked(uint8_t b);

  const EmuOptions options_;
  const EmuModel& model_;
  mutable std::mutex mu_;
  std::condition_variable work_cv_, space_cv_, out_cv_, idle_cv_;
  std::deque<uint16_t> buffer_;
  std::string held_;  // bytes of a possible real-time request not yet placed in the buffer
  // The receiving side's own reading of the stream, only to see GS ( D (enable or disable real-time
  // requests) where it stands: the requests after it are taken out, or not, by that setting.
  EscPosFramer rx_framer_{16};
  bool real_time_on_ = true;
  EscPosFramer framer_;  // the worker's reading of the stream
  std::deque<uint8_t> out_;
  bool faults_[kEmuFaultCount] = {};
  bool executing_ = false;
  bool stop_ = false;
  std::string state_error_;
  NvMemory memory_;
  Paper paper_;
  PrinterMachine machine_;
  std::thread worker_;
};

// Parses a fault name of the control channel ("cover", "near-end", "paper-out", "error",
// "fatal", "offline", "mute", "slow"); false when unknown.
bool ParseEmuFault(const std::string& name, EmuFault& fault);

}  // namespace zelta::emu
