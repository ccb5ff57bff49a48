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

// n / d truncating towards zero, for d ≥ 1. The blitters divide per pixel by 1..256 with numerators
// below 2^16: those multiply by ceil(2^32 / d) instead, which is exact since the error stays below
// 2^-16 while a quotient's fraction is at most 255/256.
struct GlyphReciprocals {
  uint64_t of[257];
  constexpr GlyphReciprocals() : of{} {
    for (uint64_t d = 1; d <= 256; ++d) of[d] = (uint64_t{1} << 32) / d + 1;
  }
};
inline constexpr GlyphReciprocals kGlyphReciprocals;

inline int32_t DivideTruncating(int32_t n, int32_t d) {
  const uint32_t magnitude = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  if (d < 1 || d > 256 || magnitude > 0xFFFFu) return d != 0 ? n / d : 0;
  const auto q = static_cast<int32_t>((uint64_t{magnitude} * kGlyphReciprocals.of[d]) >> 32);
  return n < 0 ? -q : q;
}

// Canvas side for glyph width `width`, which the caller has bounded to 0..256.
inline int32_t GlyphCanvasSide(int32_t width) { return g_glyph_tables.side[width]; }

}  // namespace korvel
