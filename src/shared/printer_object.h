// The printer object: every byte to and from a printer goes through it. Implementations: the remote
// client (src/remote), the object over a printer port (src/printer) and the scripted one of the tests.
//
// Every operation returns a 32-bit result code (shared/result_codes.h): 0 success, kResultTimeout,
// kResultBusy, kResultPaperOut, or another failure that GetLastError describes. Nothing throws.
// Time-outs are in milliseconds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shared/bytes.h"

namespace zelta {

// The description of the last failure. Number is the result code.
struct PrinterErrorInfo {
  int32_t Number = 0;
  std::string Description;
  std::string Source;
};

// Write modes of WriteData.
constexpr int32_t kWriteOrdinary = 1;  // ordinary data, queued behind earlier data
constexpr int32_t kWriteRealTime = 2;  // real-time and identification requests whose reply is read at once

class PrinterObject {
 public:
  virtual ~PrinterObject() = default;

  // Takes the printer for this client. Every operation of the program starts with it.
  virtual int32_t ClaimPrinter() = 0;
  // Sends data[0, length). written receives the count of bytes accepted even on failure, so that a
  // retry resends from there.
  virtual int32_t WriteData(const Bytes& data, int32_t length, int32_t& written, int32_t mode) = 0;
  // Reads up to length bytes into buffer (resized to what came); count receives how many.
  virtual int32_t ReadData(std::string& buffer, int32_t length, int32_t& count) = 0;
  // Reads one whole reply block of an NV graphics request, header and trailing NUL included. With
  // multi_block nonzero, answering the previous block lets the next one come.
  virtual int32_t ReadReply(Bytes& data, int32_t& count, int32_t multi_block) = 0;
  virtual int32_t GetReadTimeout(int32_t& value) = 0;
  virtual int32_t PutReadTimeout(int32_t value) = 0;
  virtual int32_t GetWriteTimeout(int32_t& value) = 0;
  virtual int32_t PutWriteTimeout(int32_t value) = 0;
  // 0 when free; 1 while busy with earlier data.
  virtual int32_t GetBusyState(int32_t& value) = 0;
  // state 0..9: 0 ready, 1 cover open, 2 paper fed, 3 stopped at paper end, 4 error, 5 unrecoverable,
  // 7 paper near end, 8 paper out, 9 unknown answer. mode is passed as 1.
  virtual int32_t GetPrinterState(int32_t& state, int32_t& mode) = 0;
  // Ends the work begun by a successful ClaimPrinter.
  virtual int32_t ReleasePrinter() = 0;
  virtual int32_t GetLastError(PrinterErrorInfo& info) = 0;
  // Discards what the printer sent and nobody read yet.
  virtual int32_t ClearInput() = 0;
  // Discards data queued for the printer and not yet sent.
  virtual int32_t ClearOutput() = 0;
  // A line of text that says what the object is connected to.
  virtual int32_t GetDeviceDescription(std::string& text) = 0;
  // 1: identify the model with GS I 1; other values: with ESC ? 0.
  virtual int32_t GetDeviceKind(int32_t& value) = 0;
};

// A state number of GetPrinterState.
enum PrinterState : int32_t {
  kStateReady = 0,
  kStateCoverOpen = 1,
  kStatePaperFed = 2,
  kStatePaperEndStop = 3,
  kStateError = 4,
  kStateUnrecoverable = 5,
  kStatePaperNearEnd = 7,
  kStatePaperOut = 8,
  kStateUnknownAnswer = 9,
};

}  // namespace zelta
