#include "download/raster_packets.h"

#include "download/send_wait.h"
#include "shared/escpos.h"
#include "shared/result_codes.h"

namespace zelta {
namespace {

namespace e = escpos;

constexpr int kMax16 = 65535;

bool RowsFit(const std::vector<Bytes>& rows, size_t length) {
  for (const Bytes& r : rows) {
    if (r.size() != length) return false;
  }
  return true;
}

// GS 8 L with its 32-bit parameter count.
Bytes Gs8L(uint32_t n, uint8_t fn) {
  Bytes b = B({e::kGs, e::k8, e::kL});
  AppendLe32(b, n);
  b += B({e::kGraphicsM, fn});
  return b;
}

}  // namespace

int BytesPerRow(int width) { return (width - 1) / 8 + 1; }

bool NvRasterHeader(const std::string& key, int32_t colour_code, int width, int height, Bytes& head,
                    uint32_t& n) {
  if (key.size() != 2 || width < 1 || width > kMax16 || height < 1 || height > kMax16) return false;
  const bool colour = colour_code == 3;
  const uint64_t plane_count = colour ? 3 : colour_code == 1 ? 2 : 1;
  const uint64_t per_plane = static_cast<uint64_t>(BytesPerRow(width)) * height + 1;
  const uint64_t count = plane_count * per_plane + (colour ? 11 : 10);
  if (count > 0xFFFFFFFFull) return false;
  n = static_cast<uint32_t>(count);
  head = Gs8L(n, colour ? e::kFnDefineNvColor : e::kFnDefineNvRaster);
  head += B({e::kRasterA});
  head += key;
  head += B({colour ? e::kNvColorPlanes : static_cast<int>(plane_count)});
  AppendLe16(head, static_cast<uint32_t>(width));
  AppendLe16(head, static_cast<uint32_t>(height));
  if (colour) head += B({0});
  return true;
}

bool NvRasterWrites(const std::string& key, int32_t colour_code, int width, int height,
                    const std::vector<std::vector<Bytes>>& planes, Writes& out) {
  out.clear();
  const size_t plane_count = colour_code == 3 ? 3 : colour_code == 1 ? 2 : 1;
  Bytes head;
  uint32_t n = 0;
  if (!NvRasterHeader(key, colour_code, width, height, head, n) || planes.size() != plane_count) return false;
  const size_t b = static_cast<size_t>(BytesPerRow(width));
  for (const auto& plane : planes) {
    if (plane.size() != static_cast<size_t>(height) || !RowsFit(plane, b)) return false;
  }
  out.reserve(plane_count * (height + 1) + 1);
  out.push_back(std::move(head));
  for (size_t p = 0; p < plane_count; ++p) {
    out.push_back(B({e::kColor1 + static_cast<int>(p)}));
    for (const Bytes& row : planes[p]) out.push_back(row);
  }
  return true;
}

Bytes PrintBufferBandHeader(int width, uint8_t colour, int rows) {
  if (width < 1 || width > kMax16 || rows < 1 || rows > kMax16) return {};
  const uint64_t n = static_cast<uint64_t>(BytesPerRow(width)) * static_cast<uint64_t>(rows) + 10;
  Bytes head = Gs8L(static_cast<uint32_t>(n), e::kFnStoreBufferRaster);
  head += B({e::kRasterA, 1, 1, colour});
  AppendLe16(head, static_cast<uint32_t>(width));
  AppendLe16(head, static_cast<uint32_t>(rows));
  return head;
}

Bytes RasterBitImageHeader(int width, int height) {
  if (width < 1 || width > kMax16 || height < 1 || height > kMax16) return {};
  Bytes head = B({e::kGs, e::kv, e::kRasterZero, e::kRasterNormal});
  AppendLe16(head, static_cast<uint32_t>(BytesPerRow(width)));
  AppendLe16(head, static_cast<uint32_t>(height));
  return head;
}

bool PrintBufferBandWrites(int width, uint8_t colour, const std::vector<Bytes>& rows, Writes& out) {
  out.clear();
  if (width < 1 || width > kMax16 || rows.empty() || rows.size() > kMax16 ||
      !RowsFit(rows, static_cast<size_t>(BytesPerRow(width)))) {
    return false;
  }
  out.push_back(PrintBufferBandHeader(width, colour, static_cast<int>(rows.size())));
  out.insert(out.end(), rows.begin(), rows.end());
  return true;
}

bool RasterBitImageWrites(int width, const std::vector<Bytes>& rows, Writes& out) {
  out.clear();
  if (width < 1 || width > kMax16 || rows.empty() || rows.size() > kMax16 ||
      !RowsFit(rows, static_cast<size_t>(BytesPerRow(width)))) {
    return false;
  }
  out.push_back(RasterBitImageHeader(width, static_cast<int>(rows.size())));
  out.insert(out.end(), rows.begin(), rows.end());
  return true;
}

bool NvBitImageFits(int width, int height, size_t number, std::string* why) {
  auto refuse = [&](const std::string& reason) {
    if (why) *why = "Logo " + std::to_string(number) + " is " + reason;
    return false;
  };
  if (width < 1 || height < 1) return refuse("empty.");
  if (width > kNvBitImageMaxWidth) {
    return refuse(std::to_string(width) + " dots wide; the printer takes at most " +
                  std::to_string(kNvBitImageMaxWidth) + ".");
  }
  if (height > kNvBitImageMaxHeight) {
    return refuse(std::to_string(height) + " dots tall; the printer takes at most " +
                  std::to_string(kNvBitImageMaxHeight) + ".");
  }
  return true;
}

bool NvBitImageWrites(const std::vector<NvBitImage>& logos, Writes& out, std::string* why) {
  out.clear();
  auto refuse = [&](const std::string& reason) {
    if (why) *why = reason;
    return false;
  };
  if (logos.empty()) return refuse("There is no logo to define.");
  if (logos.size() > 255) {
    return refuse(std::to_string(logos.size()) + " logos were chosen; the printer stores at most 255.");
  }
  Writes w;
  w.push_back(B({e::kFs, e::kq, static_cast<int>(logos.size())}));
  for (size_t n = 0; n < logos.size(); ++n) {
    const NvBitImage& logo = logos[n];
    if (!NvBitImageFits(logo.width, logo.height, n + 1, why)) return false;
    const int x = BytesPerRow(logo.width), y = BytesPerRow(logo.height);
    if (logo.columns.size() != static_cast<size_t>(logo.width) ||
        !RowsFit(logo.columns, static_cast<size_t>(y))) {
      return refuse("Logo " + std::to_string(n + 1) + " is not made of " + std::to_string(logo.width) +
                    " columns of " + std::to_string(y) + " bytes.");
    }
    Bytes size;
    AppendLe16(size, static_cast<uint32_t>(x));
    AppendLe16(size, static_cast<uint32_t>(y));
    w.push_back(std::move(size));
    w.insert(w.end(), logo.columns.begin(), logo.columns.end());
    for (int c = logo.width; c < 8 * x; ++c) w.push_back(Bytes(static_cast<size_t>(y), '\0'));
  }
  out = std::move(w);
  return true;
}

void SendWrites(const Writes& writes, int32_t& result) {
  result = kResultOk;
  for (size_t i = 0; i < writes.size(); ++i) {
    SendGraphicsData(writes[i], i == 0, result);
    if (result != kResultOk) return;
  }
}

}  // namespace zelta
