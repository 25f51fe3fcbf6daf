// Helpers of the virtual printer's tests: packets framed as the program frames them, and a host side
// that talks to a virtual printer directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "printer/virtual_printer.h"
#include "shared/bytes.h"

namespace zelta::test {

// GS 8 L function 67 (colour false: one plane per entry, colour bytes 49, 50...) or function 255 (colour
// true: three planes); each plane row-major, B bytes per row.
Bytes NvRasterPacket(const std::string& key, int width, int height, const std::vector<Bytes>& planes,
                     bool colour = false);
// GS 8 L function 112 for one colour (c = 49 or 50) of a band.
Bytes PrintBufferPacket(int width, int rows, int colour, const Bytes& data);
// FS q with one entry per image: x units, y units and x × 8 columns of y bytes.
struct BitImage {
  int x_units, y_units;
  Bytes columns;
};
Bytes NvBitImagePacket(const std::vector<BitImage>& images);
// A plane of width × height dots filled with byte fill (padding bits kept clear).
Bytes Plane(int width, int height, uint8_t fill);

// A virtual printer for one test; fails the test when it cannot start.
std::shared_ptr<emu::VirtualPrinter> MakePrinter(const emu::EmuOptions& options);
std::shared_ptr<emu::VirtualPrinter> MakePrinter(int model, const std::string& state_file = "",
                                                 const std::string& paper_dir = "");
// Offers bytes for up to timeout_ms; returns how many the printer took.
size_t Offer(emu::VirtualPrinter& printer, const Bytes& bytes, int timeout_ms);
// Sends bytes (all of them, within 2 s) and waits until the printer has carried them out.
void Send(emu::VirtualPrinter& printer, const Bytes& bytes);
// Collects what the printer sent, until nothing more comes for quiet_ms.
Bytes Collect(emu::VirtualPrinter& printer, int quiet_ms = 30);
// A fresh empty folder under the test temp folder.
std::string FreshDir(const std::string& name);

}  // namespace zelta::test
