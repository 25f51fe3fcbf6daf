// One fuzz input run through a fresh virtual printer: shared by the libFuzzer target and the replay
// test of the suite.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelta::emu {

// Byte 0 picks the model, byte 1 the faults switched on before the stream and whether the host goes
// away in the middle; the rest is the byte stream, handed over in pieces. The same bytes are also
// read back as a state file. Must never crash, hang or leak whatever the bytes.
void FuzzEscPosInput(const uint8_t* data, size_t size);

}  // namespace zelta::emu
