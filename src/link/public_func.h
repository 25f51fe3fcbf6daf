// The printer dialogue that needs more than one write: the real-time status with error recovery, a
// request with its (possibly multi-block) reply, and a yielding wait. All of it works on the shared
// PrinterObj and reports through the status bar and the message window of the current window.
#pragma once

#include <cstdint>
#include <string>

#include "shared/bytes.h"
#include "shared/printer_object.h"

namespace zelta {

// Results of CheckRealTimeStatus.
constexpr int16_t kRtReady = 0;       // printer ready
constexpr int16_t kRtWaiting = 1;     // off line for a passing cause
constexpr int16_t kRtFailed = 2;      // failed or not recoverable: callers give up
constexpr int16_t kRtRecovering = 3;  // recoverable error; a recovery request was just sent

// Asks the printer for its real-time status (DLE EOT 1, then 2 and 3 as needed), shows the state on
// panel 1, and sends DLE ENQ 1 then DLE ENQ 2 in one error episode. Prompts for a retry on busy and on
// a status read that times out.
int16_t CheckRealTimeStatus();

// Sends request (shorter than 32767 bytes) and returns the payload of its reply: without the header,
// identifier and trailing NUL of a single block, or the concatenated data of every block (each without
// header, identifier, status and NUL) when multi_block is nonzero. info.Number receives the result of
// every printer call; the payload is valid only when it is 0 on return.
Bytes RequestReply(const Bytes& request, PrinterErrorInfo& info, int32_t multi_block);

// Waits at least seconds on the seconds clock, yielding to the event loop all the time.
void WaitSeconds(float seconds);

// A modal Retry/Cancel message box with text, a carriage return and "Please verify...". True on Retry.
bool RetryPrompt(const std::string& text);

// The description of the printer object's last failure (a no-printer description when there is none).
PrinterErrorInfo LastPrinterError();

// "Raised error N by Source\rExtended error description: Description"
std::string RaisedErrorMessage(const PrinterErrorInfo& info);
// "Error N by Source:\rDescription"
std::string ErrorByMessage(const PrinterErrorInfo& info);

}  // namespace zelta
