// Line wrapping of the message text at the target layer's right edge and bottom, with the simple
// fixed-width Japanese line-breaking rules.
#pragma once

#include <cstdint>

namespace korvel {

struct NamedTreeNode;

// Decides where the character op at the op index goes: 0 draw it at the (possibly moved) pen; -1
// consume it undrawn (dropped at the bottom, or already drawn here under a line-breaking rule).
// `layer` must have pixels.
int32_t WrapTextLine(NamedTreeNode* layer);

}  // namespace korvel
