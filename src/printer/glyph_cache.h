// Character shapes for the virtual printer's text, rendered once per size from a monospace font.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zelta::emu {

struct Glyph {
  int width = 0;              // cell width in dots
  int height = 0;             // cell height in dots
  std::vector<uint8_t> dots;  // width × height, 1 = ink
};

// Thread-safe; shapes once made are kept (and stay at the same address) until the cache goes.
class GlyphCache {
 public:
  // The font is the first of the list that exists, loaded on first use. Without a font, every
  // character is drawn as a small box, so that text still shows where it was printed.
  GlyphCache();
  ~GlyphCache();
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  // The shape of character code (Latin-1) in a cell of cell_w × cell_h dots.
  const Glyph& Get(uint8_t code, int cell_w, int cell_h, bool bold);

 private:
  Glyph Render(uint8_t code, int cell_w, int cell_h, bool bold);
  void LoadFont();

  std::mutex mu_;
  bool loaded_ = false;
  void* library_ = nullptr;  // FT_Library
  void* face_ = nullptr;     // FT_Face
  std::map<std::pair<uint32_t, uint32_t>, Glyph> cache_;
};

// The cache that every paper of the process shares.
GlyphCache& SharedGlyphCache();

}  // namespace zelta::emu
