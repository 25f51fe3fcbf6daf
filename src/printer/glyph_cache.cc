#include "printer/glyph_cache.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace zelta::emu {
namespace {

const char* const kFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
};

}  // namespace

GlyphCache::GlyphCache() = default;

void GlyphCache::LoadFont() {
  loaded_ = true;
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return;
  library_ = lib;
  for (const char* path : kFonts) {
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path, 0, &face) == 0) {
      face_ = face;
      return;
    }
  }
}

GlyphCache::~GlyphCache() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

const Glyph& GlyphCache::Get(uint8_t code, int cell_w, int cell_h, bool bold) {
  auto key = std::make_pair((uint32_t{code} << 1) | (bold ? 1u : 0u),
                            (static_cast<uint32_t>(cell_w) << 16) | static_cast<uint32_t>(cell_h));
  std::lock_guard<std::mutex> lk(mu_);
  auto it = cache_.find(key);
  if (it != cache_.end()) return it->second;
  if (!loaded_) LoadFont();  // on first use: most receipts of the tests never print text
  return cache_.emplace(key, Render(code, cell_w, cell_h, bold)).first->second;
}

Glyph GlyphCache::Render(uint8_t code, int cell_w, int cell_h, bool bold) {
  Glyph g;
  g.width = cell_w;
  g.height = cell_h;
  g.dots.assign(static_cast<size_t>(cell_w) * cell_h, 0);
  if (code == ' ') return g;
  FT_Face face = static_cast<FT_Face>(face_);
  if (!face) {
    // No font: a hollow box in the middle of the cell.
    for (int y = cell_h / 4; y < cell_h * 3 / 4; ++y) {
      for (int x = 1; x < cell_w - 1; ++x) {
        if (y == cell_h / 4 || y == cell_h * 3 / 4 - 1 || x == 1 || x == cell_w - 2)
          g.dots[y * cell_w + x] = 1;
      }
    }
    return g;
  }
  // The font's em is sized so that ascender + descender fill the cell height.
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(cell_h * 5 / 6));
  if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) return g;
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  const int baseline = cell_h * 4 / 5;
  const int left = slot->bitmap_left + (cell_w - static_cast<int>(slot->advance.x >> 6)) / 2;
  for (unsigned row = 0; row < bm.rows; ++row) {
    for (unsigned col = 0; col < bm.width; ++col) {
      const uint8_t level = bm.buffer[row * bm.pitch + col];
      if (level < 110) continue;
      const int x = left + static_cast<int>(col);
      const int y = baseline - slot->bitmap_top + static_cast<int>(row);
      for (int d = 0; d <= (bold ? 1 : 0); ++d) {
        if (x + d >= 0 && x + d < cell_w && y >= 0 && y < cell_h) g.dots[y * cell_w + x + d] = 1;
      }
    }
  }
  return g;
}

GlyphCache& SharedGlyphCache() {
  static GlyphCache* cache = new GlyphCache();  // lives as long as the process
  return *cache;
}

}  // namespace zelta::emu
