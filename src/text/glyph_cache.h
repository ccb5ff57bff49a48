// Per-slot glyph objects: the opened font and the 1-bit canvas, rebuilt only when the size, font
// height, bold flag or face change; and the slot's last rendered glyph with its metrics.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

namespace platform {
struct PlatformFont;
}

struct GlyphCacheEntry {
  // Key; width -1 and bold 255 mean nothing is cached.
  int32_t width, height, font_height;
  uint8_t bold;
  int32_t font_index;
  // Objects.
  platform::PlatformFont* font;
  uint8_t* canvas;  // side × side bits, top-down, set bits are background
  int32_t side;
  size_t canvas_bytes;  // side² / 8
  // The last glyph drawn into the canvas, and its measurement.
  uint8_t last_glyph[2];
  int32_t last_length;  // 0: none
  uint8_t last_smooth;
  int32_t last_advance, last_box_height;
};

extern GlyphCacheEntry g_glyph_cache[8];

// Sets every key to invalid and drops the objects.
void ResetGlyphCache();
void FreeGlyphCache();

// For the current slot: 0 when the cached objects fit, 1 when they were rebuilt, -1 after a
// report (100010 canvas, 102040 font or size).
int32_t GetGlyphFont(int32_t width, int32_t height, uint8_t bold, int32_t font_height,
                     int32_t side);

}  // namespace korvel
