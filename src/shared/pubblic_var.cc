#include "shared/pubblic_var.h"

namespace zelta {

std::shared_ptr<PrinterObject> PrinterObj;
uint8_t PrinterModelId = 0;
std::string CurrentFormName;
std::string AppFolder;
bool LocalInstallation = false;
int16_t ErrorRecoveryStep = 0;
BitmapArray LoadedBitmaps;
BitmapArray PreparedBitmaps;

void ResetPubblicVar() {
  PrinterObj.reset();
  PrinterModelId = 0;
  CurrentFormName.clear();
  AppFolder.clear();
  LocalInstallation = false;
  ErrorRecoveryStep = 0;
  LoadedBitmaps.ReDimPreserve(0);
  PreparedBitmaps.ReDimPreserve(0);
}

}  // namespace zelta
