// Result codes of the printer object and the server objects. Every call returns one of these 32-bit
// values; 0 is success, any other value is a failure that GetLastError describes.
#pragma once

#include <cstdint>

namespace zelta {

constexpr int32_t Hr(uint32_t code) { return static_cast<int32_t>(code); }

constexpr int32_t kResultOk = 0;
// The printer did not answer or accept data in time; also set by the program when it abandons a wait.
constexpr int32_t kResultTimeout = Hr(0x80040069);
// The identification request after graphics data was not sent and the user cancelled.
constexpr int32_t kResultNotSent = Hr(0x8004006E);
// The printer object is busy with earlier data.
constexpr int32_t kResultBusy = Hr(0x80040070);
constexpr int32_t kResultPaperOut = Hr(0x80040072);

// Failures of our own objects; GetLastError gives the description.
constexpr int32_t kResultNotClaimed = Hr(0x80040080);        // operation needs ClaimPrinter first
constexpr int32_t kResultClaimedElsewhere = Hr(0x80040081);  // another client holds the printer
constexpr int32_t kResultPortClosed = Hr(0x80040082);        // connection to the printer lost
constexpr int32_t kResultBadArgument = Hr(0x80040083);       // an argument out of range
constexpr int32_t kResultNoPrinter = Hr(0x80040084);         // no printer object to talk to
constexpr int32_t kResultUnreachable = Hr(0x80040085);       // server or machine does not answer
constexpr int32_t kResultAccessDenied = Hr(0x80040086);      // missing or wrong access token
constexpr int32_t kResultNotFound = Hr(0x80040087);          // no such printer, server or class
constexpr int32_t kResultFailure = Hr(0x80004005);           // unspecified failure

// True for the three results the user is offered a retry for.
inline bool IsRetryable(int32_t result) {
  return result == kResultTimeout || result == kResultBusy || result == kResultPaperOut;
}

}  // namespace zelta
