// Helpers of the virtual printer's tests: packets framed as the program frames them, and a host side
// that talks to a virtual printer directly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "printer/virtual_printer.h"
#include "shared/bytes.h"

namespace zelta::test {

inline Bytes Gs8L(const Bytes& body) {
  Bytes out = B({29, '8', 'L'});
  AppendLe32(out, static_cast<uint32_t>(body.size()));
  return out + body;
}

// A plane of width × height dots filled with byte fill (padding bits kept clear).
inline Bytes Plane(int width, int height, uint8_t fill) {
  const int bpr = (width - 1) / 8 + 1;
  Bytes row(bpr - 1, static_cast<char>(fill));
  row.push_back(static_cast<char>(fill & (0xFF << (bpr * 8 - width))));
  Bytes p;
  for (int y = 0; y < height; ++y) p += row;
  return p;
}

// GS 8 L function 67 (colour false: one plane per entry, colour bytes 49, 50...) or function 255 (colour
// true: three planes); each plane row-major, B bytes per row.
inline Bytes NvRasterPacket(const std::string& key, int width, int height, const std::vector<Bytes>& planes,
                            bool colour = false) {
  Bytes body = B({48, colour ? 255 : 67, 48}) + key + B({colour ? 6 : static_cast<int>(planes.size())});
  AppendLe16(body, width);
  AppendLe16(body, height);
  if (colour) body.push_back(0);
  for (size_t i = 0; i < planes.size(); ++i) body += B({static_cast<int>(49 + i)}) + planes[i];
  return Gs8L(body);
}

// A logo of 16 × 2 dots (N = 15) under key; count of them under the keys Key(0), Key(1)... Keys(from, to)
// are Key(from) to Key(to - 1); a key list block has status 0x41 when more follow, 0x40 for the last.
inline std::string Key(int i) { return {static_cast<char>('!' + i / 90), static_cast<char>('!' + i % 90)}; }
inline std::string Keys(int from, int to) { return from < to ? Key(from) + Keys(from + 1, to) : ""; }
inline Bytes KeyBlock(int status, const Bytes& keys) { return B({0x37, 0x72, status}) + keys + B({0}); }
inline Bytes SmallLogo(const std::string& key) { return NvRasterPacket(key, 16, 2, {Plane(16, 2, 0xAA)}); }
inline Bytes Logos(int count) {
  Bytes all;
  for (int i = 0; i < count; ++i) all += SmallLogo(Key(i));
  return all;
}

// FS q with one entry per image: x units, y units and x × 8 columns of y bytes.
struct BitImage {
  int x_units, y_units;
  Bytes columns;
};
inline Bytes NvBitImagePacket(const std::vector<BitImage>& images) {
  Bytes out = B({28, 'q', static_cast<int>(images.size())});
  for (const BitImage& im : images) {
    AppendLe16(out, im.x_units);
    AppendLe16(out, im.y_units);
    out += im.columns;
  }
  return out;
}

// A virtual printer for one test; fails the test when it cannot start.
inline std::shared_ptr<emu::VirtualPrinter> MakePrinter(const emu::EmuOptions& options) {
  std::string error;
  std::shared_ptr<emu::VirtualPrinter> p = emu::VirtualPrinter::Create(options, error);
  EXPECT_TRUE(p) << error;
  return p;
}
inline std::shared_ptr<emu::VirtualPrinter> MakePrinter(int model, const std::string& state_file = "",
                                                        const std::string& paper_dir = "") {
  emu::EmuOptions options;
  options.model_id = model;
  options.state_file = state_file;
  options.paper_dir = paper_dir;
  return MakePrinter(options);
}

// Offers bytes for up to timeout_ms; returns how many the printer took.
inline size_t Offer(emu::VirtualPrinter& printer, const Bytes& bytes, int timeout_ms) {
  return printer.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timeout_ms);
}

// Sends bytes (all of them, within 2 s) and waits until the printer has carried them out.
inline void Send(emu::VirtualPrinter& printer, const Bytes& bytes) {
  ASSERT_EQ(Offer(printer, bytes, 2000), bytes.size());
  ASSERT_TRUE(printer.WaitIdle(2000));
}

// Collects what the printer sent, until nothing more comes for quiet_ms.
inline Bytes Collect(emu::VirtualPrinter& printer, int quiet_ms = 30) {
  Bytes out;
  uint8_t buf[256];
  while (size_t n = printer.Transmit(buf, sizeof buf, quiet_ms)) out.append(reinterpret_cast<char*>(buf), n);
  return out;
}

// The printer's logo keys, its free graphics bytes and what it sent since the last look (in hex).
inline std::string Look(emu::VirtualPrinter& printer) {
  std::string out = "keys", sent = ToHex(Collect(printer));
  for (const std::string& key : printer.KeyCodes()) out += " " + key;
  return out + " | free " + std::to_string(printer.NvRemaining()) + (sent.empty() ? "" : " | sent " + sent);
}

inline std::string FreshDir(const std::string& name) {
  const std::string dir = ::testing::TempDir() + "/zelta-emu-" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace zelta::test
