// ESC/POS opcodes and frame layouts that the program sends. The only place where these bytes are
// named; the virtual printer decodes with its own, independent definitions.
#pragma once

#include <cstdint>

namespace zelta::escpos {

constexpr uint8_t kLf = 10;
constexpr uint8_t kCr = 13;
constexpr uint8_t kDle = 16;
constexpr uint8_t kEot = 4;
constexpr uint8_t kEnq = 5;
constexpr uint8_t kEsc = 27;
constexpr uint8_t kFs = 28;
constexpr uint8_t kGs = 29;
constexpr uint8_t kAck = 6;
constexpr uint8_t kNak = 21;
constexpr uint8_t kCan = 24;

// DLE EOT n: transmit real-time status.
constexpr uint8_t kStatusPrinter = 1;
constexpr uint8_t kStatusOffline = 2;
constexpr uint8_t kStatusError = 3;
constexpr uint8_t kStatusPaper = 4;
// DLE ENQ n: real-time request to the printer (1 and 2 recover from a recoverable error).
constexpr uint8_t kRecoverAndRestart = 1;
constexpr uint8_t kRecoverClearBuffers = 2;

// Printer status byte (DLE EOT 1).
constexpr uint8_t kPrinterStatusOffline = 0x08;
// Off-line cause byte (DLE EOT 2), tested in this order.
constexpr uint8_t kOfflineCoverOpen = 0x04;
constexpr uint8_t kOfflineFeedButton = 0x08;
constexpr uint8_t kOfflineError = 0x40;
constexpr uint8_t kOfflinePaperEnd = 0x20;
// Error cause byte (DLE EOT 3).
constexpr uint8_t kErrorUnrecoverable = 0x20;

// GS ( L: NV graphics control. GS "(" "L" pL pH m fn [parameters]; m is always 48.
constexpr uint8_t kParen = '(';
constexpr uint8_t kL = 'L';
constexpr uint8_t kGraphicsM = 48;
// Functions 48 and 51 are sent with their short function numbers 0 and 3.
constexpr uint8_t kFnCapacity = 0;
constexpr uint8_t kFnPrintBuffer = 50;
constexpr uint8_t kFnRemaining = 3;
constexpr uint8_t kFnKeyCodeList = 64;
constexpr uint8_t kFnDeleteAll = 65;
constexpr uint8_t kFnDeleteKey = 66;
constexpr uint8_t kFnPrintKey = 69;

// Reply blocks of GS ( L: header byte, identifier byte, [status byte,] data, NUL.
constexpr uint8_t kReplyMoreBlocks = 0x41;  // 'A': another block follows
constexpr uint8_t kReplyLastBlock = 0x40;

// GS I n: transmit printer ID.
constexpr uint8_t kI = 'I';
constexpr uint8_t kIdModel = 1;
constexpr uint8_t kIdType = 2;
constexpr uint8_t kTypePrintingOffered = 0x04;  // bit 2 of the GS I 2 answer

// Others sent around printed logos and for printers without NV graphics.
constexpr uint8_t kBang = '!';  // ESC ! n: select print mode
constexpr uint8_t kV = 'V';     // GS V m n: select cut mode and cut
constexpr uint8_t kCutFeed = 'B';
constexpr uint8_t kp = 'p';         // FS p n m: print NV bit image
constexpr uint8_t kq = 'q';         // FS q n ...: define NV bit images
constexpr uint8_t kQuestion = '?';  // ESC ? 0: identification of some models

// GS ( D pL pH m [a b]...: enable or disable real-time commands (m is 20). a names the command (1: the
// real-time pulse, 2: the power-off sequence), b is 0 to disable it and 1 to enable it. Sent around a
// logo definition whose raster bytes could read as a real-time request.
constexpr uint8_t kD = 'D';
constexpr uint8_t kRealTimeSwitchM = 20;
constexpr uint8_t kRealTimePulse = 1;
constexpr uint8_t kRealTimePowerOff = 2;
constexpr uint8_t kRealTimeDisable = 0;
constexpr uint8_t kRealTimeEnable = 1;

// GS 8 L: graphics data with a 32-bit parameter count. GS "8" "L" p1 p2 p3 p4 m fn ...; m is 48.
constexpr uint8_t k8 = '8';
constexpr uint8_t kFnDefineNvRaster = 67;      // store a raster logo under a key code
constexpr uint8_t kFnDefineNvColor = 255;      // the same for a three-plane colour logo
constexpr uint8_t kFnStoreBufferRaster = 112;  // raster data into the print buffer
constexpr uint8_t kRasterA = 48;               // tone: monochrome (digital)
constexpr uint8_t kNvColorPlanes = 6;          // the byte that function 255 sends where 67 sends the planes
constexpr uint8_t kColor1 = 49;                // colour bytes of the raster planes
constexpr uint8_t kColor2 = 50;
constexpr uint8_t kColor3 = 51;
// GS v 0 m xL xH yL yH: print a raster bit image.
constexpr uint8_t kv = 'v';
constexpr uint8_t kRasterZero = '0';
constexpr uint8_t kRasterNormal = 0;

}  // namespace zelta::escpos
