// One fuzz input run through a fresh virtual printer: shared by the libFuzzer target and the replay
// test of the suite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "printer/nv_memory.h"
#include "printer/virtual_printer.h"

namespace zelta::emu {

// Byte 0 picks the model, byte 1 the faults switched on before the stream and whether the host goes
// away in the middle; the rest is the byte stream, handed over in pieces. The same bytes are also
// read back as a state file. Must never crash, hang or leak whatever the bytes.
inline void FuzzEscPosInput(const uint8_t* data, size_t size) {
  if (size < 2) return;
  static const int kModels[] = {46, 36, 161, 32, 10, 176};
  EmuOptions options;
  options.model_id = kModels[data[0] % 6];
  options.threaded = false;
  options.receive_buffer = 64 + data[0];
  options.max_paper_rows = 512;
  options.max_command = 1u << 20;
  std::string error;
  auto printer = VirtualPrinter::Create(options, error);
  if (!printer) __builtin_trap();  // every model of the list must start

  const uint8_t flags = data[1];
  // Faults that stop the printer are switched off again half-way, so that the data gets carried out.
  const EmuFault faults[] = {EmuFault::kCoverOpen, EmuFault::kPaperNearEnd, EmuFault::kRecoverableError,
                             EmuFault::kMute, EmuFault::kSlow};
  for (int i = 0; i < 5; ++i) printer->SetFault(faults[i], flags & (1 << i));
  const uint8_t* stream = data + 2;
  const size_t n = size - 2, half = n / 2;
  size_t pos = 0;
  uint8_t sink[512];
  while (pos < n) {
    const size_t piece = 1 + (stream[pos] % 97);
    const size_t take = piece < n - pos ? piece : n - pos;
    pos += printer->Receive(stream + pos, take, 0);
    if (pos >= half && (flags & 0x20)) printer->Disconnect();
    while (printer->Transmit(sink, sizeof sink, 0) > 0) continue;
    if (pos >= half || printer->Full()) {
      printer->SetFault(EmuFault::kCoverOpen, false);
      printer->SetFault(EmuFault::kRecoverableError, false);
    }
    if (printer->Full()) printer->Receive(stream + pos, 0, 0);  // lets the printer work off its buffer
  }
  if (flags & 0x40) printer->TearOff();
  (void)printer->KeyCodes();
  (void)printer->NvRemaining();

  // The same bytes as a state file of a memory.
  NvMemory memory(393216, 65536);
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (memory.Deserialize(bytes, data[0], error)) {
    NvMemory again(393216, 65536);
    if (!again.Deserialize(memory.Serialize(data[0]), data[0], error)) __builtin_trap();
  }
}

}  // namespace zelta::emu
