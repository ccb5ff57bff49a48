// Glyph rendering: one character of the current font slot rendered (4x and reduced to coverage, or
// 1x hard), measured, and written into a layer's pixels with a colour gradient and a quarter-turn
// rotation, overwriting or blending; edges and shadows as extra passes.
#pragma once

#include <cstdint>

namespace korvel {

struct NamedTreeNode;

// Draws the one- or two-byte Shift-JIS character `glyph` (NUL-terminated) with its top-left corner
// at (x, y) of `layer` and returns its advance in layer pixels. Colours are 0xRRGGBB; `second_colour`
// 0xFFFFFFFF means none.
int32_t DrawGlyph(const uint8_t* glyph, uint32_t colour, uint32_t second_colour,
                  uint8_t direction, uint8_t rotation, int32_t width, int32_t height,
                  uint8_t bold, uint8_t smooth, int32_t edge, int32_t x, int32_t y, uint8_t blend,
                  NamedTreeNode* layer);

// Renders `glyph` into the current slot's canvas and measures it; on failure both outputs are 0.
void RenderGlyphGdi(const uint8_t* glyph, int32_t width, int32_t height, uint8_t bold, uint8_t smooth,
                 int32_t* advance, int32_t* box_height);

}  // namespace korvel
