// STAND-IN for the glyph renderer until the real one lands: every character is a filled box of its
// cell (two-byte: width × height, one-byte: half width), so the message code links and can be seen.
#include <algorithm>
#include <cstring>

#include "layer/layer_record.h"
#include "text/glyph_render.h"

namespace korvel {

int32_t DrawGlyph(const uint8_t* glyph, uint32_t colour, uint32_t, uint8_t, uint8_t, int32_t width,
                  int32_t height, uint8_t, uint8_t, int32_t, int32_t x, int32_t y, uint8_t,
                  NamedTreeNode* layer) {
  const int32_t advance = glyph != nullptr && glyph[0] != 0 && glyph[1] != 0 ? width : width / 2;
  LayerData* l = LayerOf(layer);
  if (!LayerHasPixels(l)) return advance;
  const uint32_t pixel = 0xFF000000u | (colour & 0xFFFFFFu);
  for (int32_t row = std::max(y + 1, 0); row < std::min(y + height - 1, l->height); ++row) {
    for (int32_t col = std::max(x + 1, 0); col < std::min(x + advance - 1, l->width); ++col) {
      std::memcpy(l->pixels + (static_cast<size_t>(row) * l->width + col) * 4, &pixel, 4);
    }
  }
  return advance;
}

void RenderGlyphGdi(const uint8_t*, int32_t, int32_t, uint8_t, uint8_t, int32_t* advance,
                    int32_t* box_height) {
  *advance = 0;
  *box_height = 0;
}

}  // namespace korvel
