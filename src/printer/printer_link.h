// The byte dialogue with a printer over a port, below the printer object: replies gathered in arrival
// order, answers to real-time requests picked out ahead of ordinary replies, reply blocks of the
// NV graphics requests cut out whole, the key-code list's handshake, and the object's own status
// queries. Not thread-safe; the printer object serialises its calls.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "printer/port.h"

namespace zelta {

class PrinterLink {
 public:
  // port must outlive the link.
  explicit PrinterLink(Port& port) : port_(port) {}

  // Forgets everything received and expected (a new connection).
  void Reset();
  // Reads away and drops what the printer sent and nobody read.
  void Discard();
  // Writes bytes; any write ends a key-code list that waits for its answer (the printer ends it on
  // any byte other than ACK and NAK).
  PortStatus Write(const std::string& bytes, int timeout_ms, size_t& written);
  // Notes the DLE EOT requests among bytes just written: the next reads return their answers first.
  void ExpectStatusReplies(const std::string& bytes);
  // Up to length bytes: the answer to an expected real-time request, else what arrived first,
  // waiting up to timeout_ms for length bytes. Empty on time-out.
  PortStatus Read(size_t length, int timeout_ms, std::string& out);
  // One reply block (0x37 ... NUL), bytes before it dropped. In multi-block mode the ACK that lets
  // the next block come is sent first when the previous block announced one. garbled: no NUL within
  // max_block bytes (the bytes are dropped).
  PortStatus ReadBlock(bool multi, int timeout_ms, size_t max_block, std::string& block, bool& garbled);
  // Sends CAN when a key-code list waits for its answer.
  void EndKeyList();

  // Why writes stall, by the printer's real-time status.
  enum class Stall { kBusy, kOffline, kPaperOut, kNoAnswer };
  Stall ClassifyStall(int timeout_ms);
  // The state number of GetPrinterState: 0 ready, 1 cover open, 2 paper fed, 3 stopped at paper end,
  // 4 error, 5 unrecoverable error, 6 off line for another cause, 7 paper near end, 8 paper out,
  // 9 an answer that is no status byte.
  PortStatus PrinterState(int timeout_ms, int32_t& state);

 private:
  PortStatus Pull(int timeout_ms);
  bool TakeStatus(uint8_t& status);
  // Sends DLE EOT n and waits for its answer; got is false when none came.
  PortStatus Query(uint8_t n, int timeout_ms, uint8_t& status, bool& got);

  Port& port_;
  std::string inbox_;
  int expected_status_ = 0;
  bool pending_ack_ = false;
};

}  // namespace zelta
