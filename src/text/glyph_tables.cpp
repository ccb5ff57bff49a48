// The glyph renderer's fixed tables.
#include "text/glyph_tables.h"

#include <algorithm>
#include <bit>

namespace korvel {

GlyphTables g_glyph_tables{};

void InitGlyphTables() {
  GlyphTables& t = g_glyph_tables;
  for (uint32_t b = 0; b < 256; ++b) {
    const auto high = static_cast<uint32_t>(4 - std::popcount(b >> 4));
    const auto low = static_cast<uint32_t>(4 - std::popcount(b & 0x0Fu));
    t.coverage[b] = high * 256 + low;
  }
  for (int32_t i = 0; i < 32; ++i) t.ramp[i] = static_cast<uint8_t>(std::min(18 * i, 255));
  for (int32_t w = 0; w <= kMaxGlyphSize; ++w) t.side[w] = ((4 * w + 32) & ~31) + 32;
}

}  // namespace korvel
