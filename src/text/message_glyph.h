// Drawing one character op's glyph at the message pen: shared by the player and the line wrapper.
#pragma once

#include <cstdint>

namespace korvel {

struct NamedTreeNode;

// Copies the character at character index `at` (two bytes for a '2' op when both are inside the
// character count, else one) into `glyph` with a NUL. Returns its byte count (0 when `at` is at or
// past the count).
int32_t CopyMessageCharacter(int32_t at, bool two_byte, uint8_t glyph[3]);

// Draws `glyph` with the style of op `op` at the pen into `layer` (edge 0, the record's smooth and
// blend bytes) and moves pen x by the advance DrawGlyph returns.
void DrawOpGlyphAtPen(NamedTreeNode* layer, int32_t op, const uint8_t* glyph);

}  // namespace korvel
