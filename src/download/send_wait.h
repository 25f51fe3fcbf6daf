// The routines that carry every graphics write and every completion wait of the logo window.
#pragma once

#include <cstdint>

#include "shared/bytes.h"
#include "shared/printer_object.h"

namespace zelta {

// Writes data to PrinterObj, resending from the first byte not accepted. With wait_on_timeout true a
// timed-out write waits in steps of 0.2 s while the object is busy (until it is free, the real-time
// status says 2, or the window is being closed); otherwise busy and time-out results prompt for a
// retry. result receives 0 when a write succeeded, else the code that ended the attempt.
void SendGraphicsData(const Bytes& data, bool wait_on_timeout, int32_t& result);

// Sends GS I 1 after graphics data and waits until the printer answers with PrinterModelId, asking the
// user after 8 s without an answer. result: 0 when the printer answered (or the user chose Retry on a
// failed request), kResultNotSent when the request was not sent and the user cancelled, else the code
// that ended the wait. On every failure path the printer has been released and panel 2 says "Ready...".
void WaitGraphicsProcessed(PrinterErrorInfo& info, int32_t& result);

}  // namespace zelta
