#include "emu_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zelta::test {
namespace {

int Bpr(int width) { return (width - 1) / 8 + 1; }

Bytes Gs8L(const Bytes& body) {
  Bytes out = B({29, '8', 'L'});
  AppendLe32(out, static_cast<uint32_t>(body.size()));
  return out + body;
}

}  // namespace

Bytes Plane(int width, int height, uint8_t fill) {
  const int bpr = Bpr(width);
  Bytes p;
  const int pad = bpr * 8 - width;
  const uint8_t last_mask = static_cast<uint8_t>(0xFF << pad);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < bpr; ++x) p.push_back(static_cast<char>(x == bpr - 1 ? (fill & last_mask) : fill));
  }
  return p;
}

Bytes NvRasterPacket(const std::string& key, int width, int height, const std::vector<Bytes>& planes) {
  Bytes body = B({48, 67, 48});
  body += key;
  body.push_back(static_cast<char>(planes.size()));
  AppendLe16(body, width);
  AppendLe16(body, height);
  for (size_t i = 0; i < planes.size(); ++i) {
    body.push_back(static_cast<char>(49 + i));
    body += planes[i];
  }
  return Gs8L(body);
}

Bytes NvColourPacket(const std::string& key, int width, int height, const std::vector<Bytes>& planes) {
  Bytes body = B({48, 255, 48});
  body += key;
  body.push_back(6);
  AppendLe16(body, width);
  AppendLe16(body, height);
  body.push_back(0);
  for (size_t i = 0; i < planes.size(); ++i) {
    body.push_back(static_cast<char>(49 + i));
    body += planes[i];
  }
  return Gs8L(body);
}

Bytes PrintBufferPacket(int width, int rows, int colour, const Bytes& data) {
  Bytes body = B({48, 112, 48, 1, 1, colour});
  AppendLe16(body, width);
  AppendLe16(body, rows);
  return Gs8L(body + data);
}

Bytes RasterBitImage(int bytes_per_row, int rows, const Bytes& data) {
  Bytes out = B({29, 'v', '0', 0});
  AppendLe16(out, bytes_per_row);
  AppendLe16(out, rows);
  return out + data;
}

Bytes NvBitImagePacket(const std::vector<BitImage>& images) {
  Bytes out = B({28, 'q', static_cast<int>(images.size())});
  for (const BitImage& im : images) {
    AppendLe16(out, im.x_units);
    AppendLe16(out, im.y_units);
    out += im.columns;
  }
  return out;
}

std::shared_ptr<emu::VirtualPrinter> MakePrinter(int model, const std::string& state_file,
                                                 const std::string& paper_dir) {
  emu::EmuOptions options;
  options.model_id = model;
  options.state_file = state_file;
  options.paper_dir = paper_dir;
  std::string error;
  std::shared_ptr<emu::VirtualPrinter> p = emu::VirtualPrinter::Create(options, error);
  EXPECT_TRUE(p) << error;
  return p;
}

void Send(emu::VirtualPrinter& printer, const Bytes& bytes) {
  const size_t taken = printer.Receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 2000);
  ASSERT_EQ(taken, bytes.size());
  ASSERT_TRUE(printer.WaitIdle(2000));
}

Bytes Collect(emu::VirtualPrinter& printer, int quiet_ms) {
  Bytes out;
  uint8_t buf[256];
  while (size_t n = printer.Transmit(buf, sizeof buf, quiet_ms)) out.append(reinterpret_cast<char*>(buf), n);
  return out;
}

std::string FreshDir(const std::string& name) {
  const std::string dir = ::testing::TempDir() + "/zelta-emu-" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace zelta::test
