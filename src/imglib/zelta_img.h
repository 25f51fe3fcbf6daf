// The image library: turns a picture of exactly the target size into a printer-ready bitmap in black
// and white, two colours (black, red) or colour, and names the colour table file it used. The calls
// are made in this order: SetCurrentPath once at start-up; for each preparation ConvertTo24Bpp,
// SetDiffusionMode, ProcessImg. Single-threaded, like its callers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dib.h"

namespace zelta {

// An information block: the information header followed by its colour table.
struct BitmapInfo {
  BitmapInfoHeader bmiHeader;
  std::vector<RgbQuad> bmiColors;
};

// The colour table files, in the folder given to SetCurrentPath.
inline constexpr char kColorTableBlackWhite[] = "ColorTable_BW.txt";
inline constexpr char kColorTableTwoColors[] = "ColorTable_2C.txt";
inline constexpr char kColorTableColor[] = "ColorTable_3C.txt";

// The folder of the colour table files: the first length characters of path (a trailing '/' is
// expected). Returns 1.
int32_t SetCurrentPath(const std::string& path, int32_t length);

// Diffusion mode for the next ProcessImg: 1 = serpentine scan (the program's choice), 0 = every row
// left to right. Returns the previous mode.
int32_t SetDiffusionMode(int32_t mode);

// A new 24-bit bitmap with the pixels of bits, which are rows in the format of info (bottom-up, padded
// to 4 bytes; DibStride(width, bit count) × height bytes). Empty handle when info's format is not
// supported. The caller owns the result.
HBitmap ConvertTo24Bpp(const BitmapInfo& info, const uint8_t* bits);

// Reduces bitmap to the inks of colour (1 two colours, 2 black and white, 3 colour), with error
// diffusion when diffusion is 1. Returns a new 24-bit bitmap of the same size whose pixels are all
// colours of the colour table file, and writes that file's name to the start of text (grown to 256
// characters if shorter) and its length to text_length. Empty handle, text untouched, when colour is
// not 1 to 3 or the colour table file is missing or not valid. The caller owns the result.
HBitmap ProcessImg(const Dib& bitmap, int32_t diffusion, int32_t color, std::string& text,
                   int32_t& text_length);

}  // namespace zelta
