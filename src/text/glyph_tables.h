// Tables of the glyph renderer, built once: byte coverage, alpha ramp and canvas sides.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr int32_t kMaxGlyphSize = 256;  // largest glyph width and height

struct GlyphTables {
  // For a canvas byte b: (4 − set bits of the high nibble) × 256 + (4 − set bits of the low
  // nibble); set bits are background, so these are the ink counts of two 4-pixel groups.
  uint32_t coverage[256];
  uint8_t ramp[32];                     // min(18 × i, 255)
  int32_t side[kMaxGlyphSize + 1];      // ((4w + 32) & ~31) + 32
};

extern GlyphTables g_glyph_tables;

// Fills the tables (idempotent).
void InitGlyphTables();

// Canvas side for glyph width `width`, which the caller has bounded to 0..256.
inline int32_t GlyphCanvasSide(int32_t width) { return g_glyph_tables.side[width]; }

}  // namespace korvel
