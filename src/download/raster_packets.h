// The packets that carry logo raster data to the printer, as the sequence of writes in which they
// travel: each header piece, colour byte, row and column is one write. The printer sees the writes as
// one contiguous byte stream; the first write of a packet is sent with the wait-on-time-out option.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shared/bytes.h"

namespace zelta {

using Writes = std::vector<Bytes>;

// Bytes per row of a raster W dots wide: ((W - 1) div 8) + 1. Precondition: width >= 1.
int BytesPerRow(int width);

// The head of a GS 8 L function 67 or 255 packet (up to the first colour byte, not included) and its
// parameter count N. False when key is not two characters or the size is outside 1..65535.
bool NvRasterHeader(const std::string& key, int32_t colour_code, int width, int height, Bytes& head,
                    uint32_t& n);

// GS 8 L function 67 (colour_code 2: one plane; 1: two planes) or 255 (colour_code 3: three planes)
// that stores a logo under key. planes holds the rows of each plane in sent order (first colour
// first), each plane height rows of BytesPerRow(width) bytes. Returns false, out empty, when key is
// not two characters, width or height is outside 1..65535, the plane count does not match the colour
// code or a row has the wrong length.
bool NvRasterWrites(const std::string& key, int32_t colour_code, int width, int height,
                    const std::vector<std::vector<Bytes>>& planes, Writes& out);

// The header of GS 8 L function 112 for a band of rows rows of a raster width dots wide in colour
// (49 or 50), for a caller that converts and sends the rows one by one. Empty when width or rows is
// outside 1..65535.
Bytes PrintBufferBandHeader(int width, uint8_t colour, int rows);
// The 8-byte header of GS v 0 for height rows of a raster width dots wide. Empty when width or height
// is outside 1..65535.
Bytes RasterBitImageHeader(int width, int height);

// GS 8 L function 112: one band of rows of one colour (colour byte 49 or 50) into the print buffer.
bool PrintBufferBandWrites(int width, uint8_t colour, const std::vector<Bytes>& rows, Writes& out);

// GS v 0: a raster bit image of black dots, printed at once.
bool RasterBitImageWrites(int width, const std::vector<Bytes>& rows, Writes& out);

// One logo of an FS q download: its size and its columns, each ((H - 1) div 8) + 1 bytes.
struct NvBitImage {
  int width = 0;
  int height = 0;
  std::vector<Bytes> columns;  // width columns, left to right
};

// Largest NV bit image that FS q can define: 1023 × 8 dots wide, 288 × 8 dots tall.
constexpr int kNvBitImageMaxWidth = 8184;
constexpr int kNvBitImageMaxHeight = 2304;

// True when a logo of width × height dots fits an FS q definition; otherwise why (when given) says which
// logo (number, counted from 1) and why.
bool NvBitImageFits(int width, int height, size_t number, std::string* why);

// FS q: defines the logos as NV bit images 1 .. n, in order; columns W .. 8X - 1 are sent as zero
// padding columns. False when there are no logos or more than 255, or a logo's size or columns are
// wrong; why (when given) then receives a sentence that says which logo and why, fit for the user.
bool NvBitImageWrites(const std::vector<NvBitImage>& logos, Writes& out, std::string* why = nullptr);

// Sends the writes with SendGraphicsData, the first with wait on time-out; stops at the first failure.
// result: 0 when all were sent, else the code of the failed write.
void SendWrites(const Writes& writes, int32_t& result);

}  // namespace zelta
