// Text drawn into a layer by the draw command.
#include "text/draw_text.h"

#include <algorithm>

#include "core/shift_jis.h"
#include "text/font_registry.h"
#include "text/glyph_render.h"

namespace korvel {

namespace {
int32_t ToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

void DrawTextIntoLayer(NamedTreeNode* layer, const char* text, size_t length, int64_t x, int64_t y,
                       int64_t edge) {
  const FontSlotStyle& s = *CurrentSlotStyle();
  int64_t pen_x = x;
  for (size_t i = 0; i < length && text[i] != '\0';) {
    const size_t n = SjisCharLength(text, i, length);
    uint8_t glyph[3] = {static_cast<uint8_t>(text[i]),
                        n == 2 ? static_cast<uint8_t>(text[i + 1]) : uint8_t{0}, 0};
    pen_x += DrawGlyph(glyph, s.colour, s.second_colour, s.direction, s.rotation, s.width,
                       s.height, static_cast<uint8_t>(s.bold), s.smooth, ToInt32(edge),
                       ToInt32(pen_x), ToInt32(y), s.blend, layer);
    i += n;
  }
}

}  // namespace korvel
