// Line wrapping and Japanese line breaking of the message text.
#include "text/text_wrap.h"

#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "text/line_break_table.h"
#include "text/message_glyph.h"
#include "text/message_text_state.h"

namespace korvel {

namespace {

constexpr int32_t kMargin = 2;

bool IsCharacterOp(uint8_t op) { return op == kOpOneByte || op == kOpTwoByte; }

// The rest of the message cannot be shown: every later character op comes here again and is
// consumed undrawn, and the character index stays at the count.
int32_t Drop() {
  g_message->char_index = g_message->char_count;
  return -1;
}

// Draws the character at the character index here and now, with op `op`'s style.
void DrawHere(NamedTreeNode* layer, int32_t op, const uint8_t* glyph, int32_t bytes) {
  MessageTextState& m = *g_message;
  DrawOpGlyphAtPen(layer, op, glyph);
  MarkDirtyUpward(layer);
  m.char_index += bytes;
}

}  // namespace

int32_t WrapTextLine(NamedTreeNode* layer) {
  MessageTextState& m = *g_message;
  const LayerData* l = LayerOf(layer);
  const int32_t op = m.op_index;
  const bool two_byte = m.ops[op] == kOpTwoByte;
  const int32_t a = m.advances[op];
  const int32_t h0 = m.line_heights[op];
  // Only a following character op has a line height of its own; the look-ahead never leaves the
  // ops appended so far.
  const bool next_is_char = op + 1 < m.op_count && IsCharacterOp(m.ops[op + 1]);
  const int32_t h1 = next_is_char ? m.line_heights[op + 1] : h0;

  uint8_t glyph[3];
  const int32_t bytes = CopyMessageCharacter(m.char_index, two_byte, glyph);
  if (bytes == 0) return Drop();
  if (!LayerHasPixels(l)) {  // nowhere to draw: the character passes undrawn
    m.char_index += bytes;
    return -1;
  }
  const int32_t W = l->width;
  const int32_t H = l->height;

  const auto new_line = [&]() -> int32_t {
    m.pen_x = 0;
    m.pen_y += h0;
    if (m.pen_y + h1 + kMargin < H) return 0;
    return Drop();
  };

  if (m.pen_y + h1 + kMargin >= H) return Drop();
  if (m.pen_x + a + kMargin >= W) return new_line();
  if (m.pen_x + 2 * a + kMargin >= W) {
    if (bytes == 2 && IsNoBeginCharacter(glyph)) {
      DrawHere(layer, op, glyph, bytes);
      return -1;
    }
    return new_line();
  }
  if (bytes == 2 && m.pen_x + 4 * a + kMargin >= W) {
    if (MatchesLineBreakSlot(glyph, kExclamationSlot) && op + 1 < m.op_count &&
        m.ops[op + 1] == kOpTwoByte) {
      uint8_t next[3];
      if (CopyMessageCharacter(m.char_index + 2, true, next) == 2 &&
          MatchesLineBreakSlot(next, kQuestionSlot)) {
        DrawHere(layer, op, glyph, 2);
        DrawHere(layer, op, next, 2);
        m.op_index += 1;  // the question mark's op goes with this one
        return -1;
      }
    }
    if (MatchesLineBreakSlot(glyph, kOpenQuoteSlot) ||
        MatchesLineBreakSlot(glyph, kOpenDoubleQuoteSlot) ||
        MatchesLineBreakSlot(glyph, kOpenParenSlot)) {
      return new_line();
    }
  }
  return 0;
}

}  // namespace korvel
