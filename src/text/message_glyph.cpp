// Drawing one character op's glyph at the message pen.
#include "text/message_glyph.h"

#include "text/glyph_render.h"
#include "text/message_text_state.h"

namespace korvel {

int32_t CopyMessageCharacter(int32_t at, bool two_byte, uint8_t glyph[3]) {
  const MessageTextState& m = *g_message;
  glyph[0] = glyph[1] = glyph[2] = 0;
  if (at < 0 || at >= m.char_count) return 0;
  glyph[0] = m.characters[at];
  if (!two_byte || at + 1 >= m.char_count) return 1;
  glyph[1] = m.characters[at + 1];
  return 2;
}

void DrawOpGlyphAtPen(NamedTreeNode* layer, int32_t op, const uint8_t* glyph) {
  MessageTextState& m = *g_message;
  const int32_t advance =
      DrawGlyph(glyph, m.colours[op], m.second_colours[op], m.gradient_directions[op],
                m.rotations[op], m.advances[op], m.line_heights[op], m.bold_flags[op], m.smooth,
                0, m.pen_x, m.pen_y, m.blend, layer);
  m.pen_x += advance;
}

}  // namespace korvel
