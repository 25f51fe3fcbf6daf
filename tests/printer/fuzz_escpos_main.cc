// libFuzzer entry of the virtual printer's interpreter (build with -DZELTA_FUZZ=ON and clang).
#include <cstddef>
#include <cstdint>

#include "fuzz_escpos_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zelta::emu::FuzzEscPosInput(data, size);
  return 0;
}
