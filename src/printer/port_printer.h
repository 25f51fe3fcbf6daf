// A printer object over a printer port: the connection that zelta-server owns for each printer of its
// machine, and that tools and tests use directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shared/printer_object.h"

namespace zelta {

// Device kinds of a port's configuration, returned by GetDeviceKind.
constexpr int32_t kDeviceKindGsI = 1;   // identified with GS I 1
constexpr int32_t kDeviceKindEscQ = 2;  // identified with ESC ? 0

// Returns a printer object over the port named by spec:
//   tcp:HOST:PORT        raw socket (network printer)
//   serial:DEVICE:BAUD   serial line, 8N1
//   usb:/dev/usb/lpN     USB printer class device
//   emu:MODEL_ID         virtual printer in this process
// The port itself is opened by ClaimPrinter and closed by ReleasePrinter, so a printer that is switched
// off can still be listed. Returns null, with a description in error, when spec is malformed.
std::unique_ptr<PrinterObject> OpenPortPrinter(const std::string& spec, int32_t device_kind,
                                               std::string& error);

}  // namespace zelta
