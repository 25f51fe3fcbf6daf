#include "link/status_texts.h"

namespace zelta {

std::string PrinterStateText(int32_t state) {
  switch (state) {
    case 0:
      return kTextPrinterReady;
    case 1:
      return kTextCoverOpen;
    case 2:
      return kTextPaperFed;
    case 3:
      return kTextPaperEndStop;
    case 4:
      return kTextErrorOccurred;
    case 5:
      return kTextUnrecoverable;
    case 7:
      return kTextPaperNearEnd;
    case 8:
      return kTextPaperOutWaiting;
    case 9:
      return kTextUnknownAnswer;
    default:
      return kTextUnknownOfflineState;
  }
}

}  // namespace zelta
