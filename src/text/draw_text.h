// Text drawn into a layer by the draw command: Shift-JIS characters with the current font slot's
// style, the pen moving by each glyph's advance.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Draws `length` bytes of `text` (stopping at a NUL; a lead byte right before the NUL or the end is
// one byte) into `layer` with the current slot's style, pen at (x, y), `edge` the edge value.
void DrawTextIntoLayer(NamedTreeNode* layer, const char* text, size_t length, int64_t x, int64_t y,
                       int64_t edge);

}  // namespace korvel
