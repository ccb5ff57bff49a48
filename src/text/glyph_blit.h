// Writing the current slot's glyph canvas into a layer: corner colours of the gradient, and the
// smooth (4x coverage) and hard (1x ink) blitters with quarter-turn rotation.
#pragma once

#include <cstdint>

namespace korvel {

struct NamedTreeNode;

// Corner colours top-left, top-right, bottom-left, bottom-right (0xRRGGBB) for a gradient
// `direction` (above 8 counts as 0) turned by `rotation`; second colour 0xFFFFFFFF is none.
void BuildGlyphCorners(uint8_t direction, uint8_t rotation, uint32_t colour, uint32_t second_colour,
                       uint32_t corners[4]);

// Write a width × height box at (x, y) of `layer` from the current slot's canvas (smooth: 4x,
// hard: 1x). Boxes (after rotation) that leave the layer are skipped.
void BlitGlyphSmooth(uint32_t colour, uint32_t second_colour, uint8_t direction, uint8_t rotation,
                     int32_t width, int32_t height, int32_t x, int32_t y, uint8_t blend,
                     NamedTreeNode* layer);
void BlitGlyphHard(uint32_t colour, uint32_t second_colour, uint8_t direction, uint8_t rotation,
                   int32_t width, int32_t height, int32_t x, int32_t y, uint8_t blend,
                   NamedTreeNode* layer);

}  // namespace korvel
