// The control commands of the printer's NV graphics memory and the commands sent with them, as the
// exact bytes to write. Replies of the GS ( L requests are read with RequestReply: single block for the
// capacities, multi-block for the key-code list.
#pragma once

#include <string>

#include "shared/bytes.h"

namespace zelta {

// GS ( L function 48: NV graphics memory capacity (reply: decimal digits).
Bytes CmdNvCapacity();
// GS ( L function 51: remaining NV graphics memory (reply: decimal digits).
Bytes CmdNvRemaining();
// GS ( L function 50: print the graphics data in the print buffer.
Bytes CmdPrintBufferGraphics();
// GS ( L function 64: key codes of the stored logos ("KC").
Bytes CmdKeyCodeList();
// GS ( L function 65: delete all NV graphics ("CLR").
Bytes CmdDeleteAllGraphics();
// GS ( L function 66: delete the logo with the two-character key code key.
Bytes CmdDeleteGraphics(const std::string& key);
// GS ( L function 69: print the logo with key code key at scale 1 × 1.
Bytes CmdPrintGraphics(const std::string& key);

// GS I 1 and GS I 2: printer model and type IDs.
Bytes CmdModelId();
Bytes CmdTypeId();
// ESC ! 0: normal character mode.
Bytes CmdNormalPrintMode();
// GS V B 15: feed to the cutting position plus 15 units and cut.
Bytes CmdFeedAndCut();
// FS p n 0: print NV bit image n (1..255) in normal size.
Bytes CmdPrintNvBitImage(int n);
// FS q 1 0 0 0 0: one image of zero size, which clears the NV bit image memory.
Bytes CmdClearNvBitImages();

// The decimal number of a capacity reply ("3072" → 3072); -1 when the payload is not all digits or
// does not fit.
long long ParseDecimalReply(const Bytes& payload);

// True for model IDs that have no NV graphics and use the NV bit image commands instead.
bool UsesNvBitImages(int model_id);

// True for the models that take GS ( D, the switch of real-time commands (the GS ( L models 46, 36,
// 161 and 176; not 32 or 10, nor an unidentified printer).
bool SupportsRealTimeSwitch(int model_id);
// GS ( D 5 0 20 1 b 2 b: real-time commands off (enable false) before a logo definition whose raster
// bytes may hold DLE EOT or DLE ENQ, and on again (enable true) after it.
Bytes CmdRealTimeCommands(bool enable);

}  // namespace zelta
