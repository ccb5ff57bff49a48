// Rendering one character of the current slot into its canvas, measuring it, and drawing it with
// its edge or shadow passes.
#include "text/glyph_render.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "platform/fonts.h"
#include "text/font_registry.h"
#include "text/glyph_blit.h"
#include "text/glyph_cache.h"
#include "text/glyph_tables.h"

namespace korvel {

namespace {

bool IsLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Rightmost ink column and first ink row of the canvas; false when it has no ink.
bool FindInk(const GlyphCacheEntry& e, int32_t* right, int32_t* top) {
  const int32_t stride = e.side / 8;
  int32_t first_row = -1, rightmost = -1;
  for (int32_t y = 0; y < e.side; ++y) {
    const uint8_t* row = e.canvas + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int32_t b = stride - 1; b >= 0 && b * 8 + 7 > rightmost; --b) {
      if (row[b] == 0xFF) continue;
      const auto ink = static_cast<uint8_t>(~row[b]);
      rightmost = std::max(rightmost, b * 8 + 7 - std::countr_zero(ink));
      if (first_row < 0) first_row = y;
      break;
    }
    if (first_row < 0) {
      for (int32_t b = 0; b < stride; ++b) {
        if (row[b] != 0xFF) {
          first_row = y;
          break;
        }
      }
    }
  }
  if (first_row < 0) return false;
  *right = rightmost;
  *top = first_row;
  return true;
}

}  // namespace

void RenderGlyphGdi(const uint8_t* glyph, int32_t width, int32_t height, uint8_t bold, uint8_t smooth,
                    int32_t* advance, int32_t* box_height) {
  *advance = 0;
  *box_height = 0;
  // Sizes outside 1..256 never reach the side table: too small draws nothing, too large is cut.
  if (glyph == nullptr || width < 1 || height < 1) return;
  width = std::min(width, kMaxGlyphSize);
  height = std::min(height, kMaxGlyphSize);
  const int32_t scale = smooth == 1 ? 4 : 1;
  const int32_t side = GlyphCanvasSide(width);
  if (GetGlyphFont(width, height, bold, scale * width, side) < 0) return;
  GlyphCacheEntry& e = g_glyph_cache[g_fonts.current_slot];
  const int32_t length = glyph[0] != 0 && IsLead(glyph[0]) && glyph[1] != 0 ? 2 : 1;
  if (e.last_length == length && e.last_smooth == smooth &&
      std::memcmp(e.last_glyph, glyph, static_cast<size_t>(length)) == 0) {
    *advance = e.last_advance;
    *box_height = e.last_box_height;
    return;
  }
  std::memset(e.canvas, 0xFF, e.canvas_bytes);
  platform::DrawPlatformGlyph(e.font, platform::Cp932CharToCodePoint(glyph, length), e.canvas, e.side);
  std::memcpy(e.last_glyph, glyph, static_cast<size_t>(length));
  e.last_length = length;
  e.last_smooth = smooth;

  const uint8_t pitch = GetSlotFontPitchFlag();
  if (pitch == 0) {
    *advance = length == 2 ? width : width / 2;
    *box_height = height;
  } else if (pitch == 255) {
    *advance = std::min(width, 4);
    *box_height = std::min(height, 4);
  } else {
    // Measured at the glyph's own scale: 4x canvases are divided by 4, hard ones are not.
    int32_t right = 0, top = 0;
    if (FindInk(e, &right, &top)) {
      *advance = std::min(width, right / scale + 4);
      *box_height = std::min(height, (e.side - top) / scale + 4);
    } else {
      *advance = std::min(width, 4);
      *box_height = std::min(height, 4);
    }
  }
  e.last_advance = *advance;
  e.last_box_height = *box_height;
}

int32_t DrawGlyph(const uint8_t* glyph, uint32_t colour, uint32_t second_colour, uint8_t direction,
                  uint8_t rotation, int32_t width, int32_t height, uint8_t bold, uint8_t smooth,
                  int32_t edge, int32_t x, int32_t y, uint8_t blend, NamedTreeNode* layer) {
  int32_t advance = 0, box_height = 0;
  RenderGlyphGdi(glyph, width, height, bold, smooth, &advance, &box_height);
  if (advance == 0 && box_height == 0) return 0;
  width = std::min(width, kMaxGlyphSize);
  height = std::min(height, kMaxGlyphSize);
  auto blit = smooth == 1 ? BlitGlyphSmooth : BlitGlyphHard;
  const auto pass = [&](int64_t px, int64_t py) {
    // Offsets that leave the int range are off every layer.
    if (px < INT32_MIN || px > INT32_MAX || py < INT32_MIN || py > INT32_MAX) return;
    blit(colour, second_colour, direction, rotation, width, height, static_cast<int32_t>(px),
         static_cast<int32_t>(py), blend, layer);
  };
  if (edge <= 0) {
    pass(x, y);
  } else if (edge <= 10) {
    const int64_t e = edge;
    for (int64_t dx : {e, int64_t{0}, -e}) {
      for (int64_t dy : {-e, int64_t{0}, e}) pass(x + dx, y + dy);
    }
  } else {
    const int64_t s = static_cast<int64_t>(edge) - 10;
    pass(x + s, y);
    pass(x, y + s);
    pass(x + s, y + s);
  }
  return advance;
}

}  // namespace korvel
