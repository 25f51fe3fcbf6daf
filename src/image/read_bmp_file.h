// Reading BMP files into device-independent bitmaps.
#pragma once

#include <string>

#include "platform/dib.h"

namespace zelta {

// Reads an uncompressed BMP file with a 40-byte information header, any bit depth, into a new bitmap
// built from the file's own header, colour table and pixel rows. Returns an empty handle on failure,
// after showing (through ShowMessage) the message of those failures that have one of their own: the
// file cannot be opened or read, or ends before its headers, the colour table has a negative size, the bitmap
// cannot be created. A compressed file, headers and colour table that do not end at the pixel-data offset, a
// truncated file, more than 256 colour entries, top-down rows (negative height) and dimensions whose pixels
// overflow 32 bits or exceed what the file holds fail without a message of their own; the caller
// shows the not-loaded message for every failure.
HBitmap ReadBmpFile(const std::string& path);

// Writes dib as an uncompressed BMP file in its own depth and colour table. False when the file cannot
// be written completely.
bool WriteBmpFile(const std::string& path, const Dib& dib);

}  // namespace zelta
