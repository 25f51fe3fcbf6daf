#include "memory/nv_commands.h"

#include "shared/escpos.h"

namespace zelta {
namespace {

using namespace escpos;

// GS ( L pL pH 48 fn params.
Bytes GraphicsControl(uint8_t fn, const std::string& params) {
  Bytes out = B({kGs, kParen, kL});
  AppendLe16(out, static_cast<uint32_t>(2 + params.size()));
  out.push_back(static_cast<char>(kGraphicsM));
  out.push_back(static_cast<char>(fn));
  out += params;
  return out;
}

// A key code is always two bytes; a shorter one is padded with blanks so the frame stays valid.
std::string Key2(const std::string& key) {
  std::string k = key.substr(0, 2);
  k.resize(2, ' ');
  return k;
}

}  // namespace

Bytes CmdNvCapacity() { return GraphicsControl(kFnCapacity, ""); }
Bytes CmdNvRemaining() { return GraphicsControl(kFnRemaining, ""); }
Bytes CmdPrintBufferGraphics() { return GraphicsControl(kFnPrintBuffer, ""); }
Bytes CmdKeyCodeList() { return GraphicsControl(kFnKeyCodeList, "KC"); }
Bytes CmdDeleteAllGraphics() { return GraphicsControl(kFnDeleteAll, "CLR"); }
Bytes CmdDeleteGraphics(const std::string& key) { return GraphicsControl(kFnDeleteKey, Key2(key)); }
Bytes CmdPrintGraphics(const std::string& key) { return GraphicsControl(kFnPrintKey, Key2(key) + B({1, 1})); }

Bytes CmdModelId() { return B({kGs, kI, kIdModel}); }
Bytes CmdTypeId() { return B({kGs, kI, kIdType}); }
Bytes CmdNormalPrintMode() { return B({kEsc, kBang, 0}); }
Bytes CmdFeedAndCut() { return B({kGs, kV, kCutFeed, 15}); }
Bytes CmdPrintNvBitImage(int n) { return B({kFs, kp, n & 0xFF, 0}); }
Bytes CmdClearNvBitImages() { return B({kFs, kq, 1, 0, 0, 0, 0}); }

bool SupportsRealTimeSwitch(int model_id) {
  return model_id == 46 || model_id == 36 || model_id == 161 || model_id == 176;
}

Bytes CmdRealTimeCommands(bool enable) {
  const uint8_t b = enable ? kRealTimeEnable : kRealTimeDisable;
  return B({kGs, kParen, kD, 5, 0, kRealTimeSwitchM, kRealTimePulse, b, kRealTimePowerOff, b});
}

long long ParseDecimalReply(const Bytes& payload) {
  if (payload.empty() || payload.size() > 12) return -1;
  long long value = 0;
  for (char c : payload) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool UsesNvBitImages(int model_id) { return model_id == 32 || model_id == 10; }

}  // namespace zelta
