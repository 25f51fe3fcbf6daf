#include "printer/emu_models.h"

namespace zelta::emu {
namespace {

// Type byte of GS I 2: bit 1 autocutter, bit 2 printing offered.
constexpr uint8_t kTypeCutter = 0x02;
constexpr uint8_t kTypePrinting = 0x04;

constexpr EmuModel kModels[] = {
    // id, name, paper, colours, NV graphics, NV bit images, print buffer, ESC ? 0, type
    {32, "KDT330", 560, 1, 0, 65536, false, false, kTypeCutter | kTypePrinting},
    {46, "KDT330", 560, 2, 393216, 0, true, false, kTypeCutter | kTypePrinting},
    {36, "KDM410", 426, 3, 262144, 0, true, false, kTypeCutter | kTypePrinting},
    {161, "KDM25", 400, 1, 131072, 0, false, true, kTypePrinting},
    {10, "KDM25", 400, 1, 0, 65536, false, false, kTypePrinting},
    {176, "KDM410G", 426, 1, 0, 0, false, false, kTypeCutter | kTypePrinting},
};

}  // namespace

const EmuModel* FindEmuModel(int id) {
  for (const EmuModel& m : kModels) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

std::string KnownEmuModelIds() {
  std::string out;
  for (const EmuModel& m : kModels) {
    if (!out.empty()) out += ", ";
    out += std::to_string(m.id);
  }
  return out;
}

}  // namespace zelta::emu
