// The executing half of the virtual printer: carries out whole commands in order, on the paper and in
// the NV memories, and produces the replies that ordinary (not real-time) commands ask for.
// Not thread-safe: the virtual printer calls it under its own lock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "printer/emu_models.h"
#include "printer/nv_memory.h"
#include "printer/paper.h"

namespace zelta::emu {

// How long the mechanism takes. All zero: instant (tests). Realistic(): a thermal receipt printer.
struct EmuTiming {
  double print_mm_per_s = 0;        // paper speed; 0 = instant
  double cut_s = 0;                 // one cut
  double nv_write_s = 0;            // fixed time of one NV definition
  double nv_write_s_per_kb = 0;     // and per 1024 bytes of it
  double nv_delete_s = 0;           // deleting one logo
  double nv_clear_s = 0;            // deleting every logo or NV bit image
  double slow_s_per_byte = 0.0005;  // extra time per byte while the "slow" fault is on
  static EmuTiming Realistic();
};

class PrinterMachine {
 public:
  using ReplyFn = std::function<void(const std::string& bytes)>;
  using NvChangedFn = std::function<void()>;

  // model, memory and paper must outlive the machine. reply receives every reply in order;
  // nv_changed is called after each change of the NV memory.
  PrinterMachine(const EmuModel& model, NvMemory& memory, Paper& paper, EmuTiming timing, ReplyFn reply,
                 NvChangedFn nv_changed);

  // Carries out one command as the framer delivered it and returns the seconds the mechanism needs
  // for it. A command that was not kept whole (too long) is skipped.
  double Execute(const std::string& command, bool whole);

  // True after a block of the key-code list that announced another one: the next byte from the host
  // answers it. Answer() takes that byte and returns true when it was an answer (ACK sends the next
  // block, NAK the same again, CAN ends the list); any other byte ends the list and is not consumed.
  bool AwaitingAnswer() const { return !blocks_.empty(); }
  bool Answer(uint8_t byte);
  // The host went away or the buffers were cleared: forgets the key-code list and the unprinted line.
  void Abandon();

  // Prints what is in the line buffer (ESC/POS prints a line on LF; a tear or cut prints it first).
  void FlushLine();
  const EmuTiming& Timing() const { return timing_; }
  // Bit 2 of the GS I 2 answer: whether the printer offers printing (the model's default at start).
  void SetPrintingOffered(bool on);

 private:
  double Text(uint8_t byte);
  double Esc(const std::string& c);
  double Fs(const std::string& c);
  double Gs(const std::string& c);
  double Graphics(const std::string& body);
  double DefineRaster(const std::string& body, bool colour_form);
  double StoreInPrintBuffer(const std::string& body);
  double PrintPrintBuffer();
  double PrintStored(const std::string& key, int sx, int sy);
  double DefineBitImages(const std::string& c);
  double PrintBitImage(int n, int mode);
  double RasterImage(const std::string& c);
  double Cut(int feed_dots);
  void SendKeyList();
  double PrintTime(int rows) const;
  double NvWriteTime(size_t bytes) const;
  uint8_t InkOfPlane(size_t plane) const;

  const EmuModel& model_;
  NvMemory& memory_;
  Paper& paper_;
  EmuTiming timing_;
  ReplyFn reply_;
  NvChangedFn nv_changed_;

  uint8_t type_id_;   // GS I 2
  uint8_t mode_ = 0;  // ESC !
  std::string line_;
  std::deque<std::string> blocks_;  // key-code list blocks not yet acknowledged (front = last sent)
  // The print buffer of GS 8 L function 112: one plane per colour, all of the same size.
  int buffer_bytes_per_row_ = 0;
  int buffer_rows_ = 0;
  int buffer_sx_ = 1, buffer_sy_ = 1;
  std::vector<std::string> buffer_planes_;
};

}  // namespace zelta::emu
