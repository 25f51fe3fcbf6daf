// The models that the virtual printer can be, chosen by the byte with which each identifies itself.
#pragma once

#include <cstdint>
#include <string>

namespace zelta::emu {

struct EmuModel {
  uint8_t id = 0;              // answer to GS I 1
  const char* name = "";       // shown in descriptions and on the paper's file name
  int paper_dots = 0;          // printable width in dots
  int colours = 1;             // dot colours: 1 black, 2 black and red, 3 three planes
  uint32_t nv_graphics = 0;    // NV graphics capacity in bytes; 0 = no NV graphics (GS ( L / GS 8 L)
  uint32_t nv_bit_images = 0;  // NV bit image capacity in bytes; 0 = no FS q / FS p
  bool print_buffer = false;   // GS 8 L function 112 and GS ( L function 50
  bool esc_q_id = false;       // answers ESC ? 0 with its model text
  uint8_t type_id = 0;         // answer to GS I 2; bit 2 = printing offered
};

// The model with this ID, or null when the virtual printer does not know it.
const EmuModel* FindEmuModel(int id);

// The model text of the ESC ? 0 identification.
inline constexpr const char* kEscQModelText = "VX-7800";

// "32, 46, 36, 161, 10, 176": the IDs the virtual printer knows, for help texts.
std::string KnownEmuModelIds();

}  // namespace zelta::emu
