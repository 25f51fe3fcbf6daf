// Device-independent bitmaps: an information header, a colour table and bottom-up pixel rows, each row
// padded to a multiple of 4 bytes. Bit depths 1, 4, 8 (colour table), 16 (5-5-5), 24 (blue, green, red)
// and 32 (blue, green, red, unused) are supported, uncompressed only.
//
// A bitmap "handle" (HBitmap) owns its bitmap; an empty handle stands for 0. Deleting a bitmap is
// resetting its handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zelta {

// The 40-byte information header, field for field.
struct BitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 24;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};

// One colour-table entry, in file order.
struct RgbQuad {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
};

// Largest pixel buffer a bitmap may have (bytes); larger sections are refused.
constexpr uint64_t kMaxDibBytes = uint64_t{1} << 31;

// Bytes of one scan line: the bits of width pixels rounded up to a multiple of 32 bits. 0 when the
// result does not fit 32 bits or the arguments are not positive.
uint64_t DibStride(int64_t width, int64_t bit_count);

class Dib {
 public:
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  const BitmapInfoHeader& header() const { return header_; }
  int width() const { return header_.biWidth; }
  int height() const { return header_.biHeight; }
  int bit_count() const { return header_.biBitCount; }
  size_t stride() const { return stride_; }
  size_t size() const { return stride_ * static_cast<size_t>(header_.biHeight); }
  // The colour table: 2^bit_count entries for depths up to 8 (missing entries black), else empty.
  const std::vector<RgbQuad>& colors() const { return colors_; }
  // Replaces entry i of the colour table. Precondition: i < colors().size().
  void SetColor(size_t i, RgbQuad q) { colors_[i] = q; }

  // Scan line s (0 = bottom row of the picture). Precondition: 0 <= s < height().
  uint8_t* ScanLine(int s) { return bits_.get() + stride_ * static_cast<size_t>(s); }
  const uint8_t* ScanLine(int s) const { return bits_.get() + stride_ * static_cast<size_t>(s); }
  // Row y counted from the top.
  uint8_t* Row(int y) { return ScanLine(header_.biHeight - 1 - y); }
  const uint8_t* Row(int y) const { return ScanLine(header_.biHeight - 1 - y); }
  uint8_t* bits() { return bits_.get(); }
  const uint8_t* bits() const { return bits_.get(); }

 private:
  friend std::unique_ptr<Dib> CreateDIBSection(const BitmapInfoHeader&, const RgbQuad*, size_t, bool);
  Dib() = default;

  struct FreeBits {
    void operator()(uint8_t* p) const;
  };

  BitmapInfoHeader header_;
  std::vector<RgbQuad> colors_;
  size_t stride_ = 0;
  std::unique_ptr<uint8_t[], FreeBits> bits_;
};

using HBitmap = std::unique_ptr<Dib>;

// A new bitmap with the header's width, height and depth and the given colour entries (copied; at most
// 256 are used, missing ones are black). Pixels are zero when clear is true, else left undefined (the
// caller fills every row). Returns an empty handle when the depth is unsupported, the compression is
// not 0, width or height is not positive, the pixels would take more than kMaxDibBytes, or the memory
// cannot be had.
HBitmap CreateDIBSection(const BitmapInfoHeader& header, const RgbQuad* colors, size_t color_count,
                         bool clear = true);
// A cleared 24-bit bitmap of width × height; empty handle when the size is refused.
HBitmap CreateDib24(int width, int height);

// Copies the pixel rows (bottom-up, in the bitmap's own format) into dib. False, and dib unchanged,
// when size is not exactly dib.size().
bool SetDIBits(Dib& dib, const uint8_t* bits, size_t size);

// Reads the bitmap's pixel rows converted to 24 bits per pixel (blue, green, red; bottom-up; rows
// padded to 4 bytes) into out, which is resized to DibStride(width, 24) × height.
void GetDIBits24(const Dib& dib, std::vector<uint8_t>& out);
// Scan line s converted to 24 bits: 3 × width bytes written to out.
void ScanLineTo24(const Dib& dib, int s, uint8_t* out);

// Plain block copy (SRCCOPY) of w × h pixels from (sx, sy) of src to (dx, dy) of dst, coordinates
// counted from the top-left corner; clipped to both bitmaps. Pixels of other depths are converted
// through their colours (nearest entry for a destination with a colour table).
void BitBlt(Dib& dst, int dx, int dy, int w, int h, const Dib& src, int sx, int sy);

// Stretched copy with the half-tone mode: every destination pixel of the dw × dh rectangle at (dx, dy)
// is the area average of the source pixels that the sw × sh rectangle at (sx, sy) maps onto it,
// averaged in linear light. A destination with a colour table receives, for two entries, an ordered
// dither between them, else the nearest entry. Clipped to the destination.
void StretchBltHalftone(Dib& dst, int dx, int dy, int dw, int dh, const Dib& src, int sx, int sy, int sw,
                        int sh);

// Fills every pixel of a 24-bit or 32-bit bitmap with one colour.
void FillDib(Dib& dib, uint8_t red, uint8_t green, uint8_t blue);

// The index of the palette entry nearest to (red, green, blue): an exact match if there is one, else
// the smallest squared distance in red, green and blue (the lowest index on a tie). -1 for an empty
// palette.
int GetNearestPaletteIndex(const std::vector<RgbQuad>& palette, uint8_t red, uint8_t green, uint8_t blue);

}  // namespace zelta
