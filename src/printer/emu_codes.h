// The byte values that the virtual printer recognises. Kept apart from the program's own opcode
// header on purpose: the printer decodes what arrives with its own reading of ESC/POS, so a wrong byte
// in the program cannot pass the tests by being wrong on both sides.
#pragma once

#include <cstdint>

namespace zelta::emu {

// Control characters.
inline constexpr uint8_t kHt = 0x09;
inline constexpr uint8_t kLf = 0x0A;
inline constexpr uint8_t kFf = 0x0C;
inline constexpr uint8_t kCr = 0x0D;
inline constexpr uint8_t kDle = 0x10;
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr uint8_t kFs = 0x1C;
inline constexpr uint8_t kGs = 0x1D;
inline constexpr uint8_t kEot = 0x04;
inline constexpr uint8_t kEnq = 0x05;
inline constexpr uint8_t kDc4 = 0x14;

// Handshake bytes of the multi-block key-code list.
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kCan = 0x18;

// Status bytes of DLE EOT: every one has bit 1 and bit 4 set and bits 0 and 7 clear.
inline constexpr uint8_t kStatusFixed = 0x12;
inline constexpr uint8_t kStatusFixedMask = 0x93;
// DLE EOT 1.
inline constexpr uint8_t kPsDrawer = 0x04;
inline constexpr uint8_t kPsOffline = 0x08;
inline constexpr uint8_t kPsWaitingRecovery = 0x20;
inline constexpr uint8_t kPsFeedButton = 0x40;
// DLE EOT 2.
inline constexpr uint8_t kOcCoverOpen = 0x04;
inline constexpr uint8_t kOcFeeding = 0x08;
inline constexpr uint8_t kOcPaperEndStop = 0x20;
inline constexpr uint8_t kOcError = 0x40;
// DLE EOT 3.
inline constexpr uint8_t kEcRecoverable = 0x04;
inline constexpr uint8_t kEcCutter = 0x08;
inline constexpr uint8_t kEcUnrecoverable = 0x20;
inline constexpr uint8_t kEcAutoRecoverable = 0x40;
// DLE EOT 4.
inline constexpr uint8_t kRsNearEnd = 0x0C;
inline constexpr uint8_t kRsPaperEnd = 0x60;

// Reply blocks of GS ( L: header, identifier, [status,] data, NUL.
inline constexpr uint8_t kBlockHeader = 0x37;
inline constexpr uint8_t kIdCapacity = 0x30;
inline constexpr uint8_t kIdRemaining = 0x33;
inline constexpr uint8_t kIdKeyList = 0x72;
inline constexpr uint8_t kBlockMore = 0x41;
inline constexpr uint8_t kBlockLast = 0x40;
inline constexpr int kKeysPerBlock = 40;

// Key codes are printable ASCII.
inline constexpr uint8_t kKeyMin = 0x20;
inline constexpr uint8_t kKeyMax = 0x7E;

// GS ( L / GS 8 L function numbers.
inline constexpr uint8_t kFnCapacity = 48;     // also sent as 0
inline constexpr uint8_t kFnRemaining = 51;    // also sent as 3
inline constexpr uint8_t kFnPrintBuffer = 50;  // also sent as 2
inline constexpr uint8_t kFnKeyList = 64;
inline constexpr uint8_t kFnDeleteAll = 65;
inline constexpr uint8_t kFnDeleteKey = 66;
inline constexpr uint8_t kFnDefineRaster = 67;
inline constexpr uint8_t kFnPrintKey = 69;
inline constexpr uint8_t kFnStoreBuffer = 112;
inline constexpr uint8_t kFnDefineColour = 255;

// The first colour byte of raster planes ('1'); planes follow as '2', '3'.
inline constexpr uint8_t kColour1 = 0x31;

}  // namespace zelta::emu
