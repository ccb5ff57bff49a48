// The sound pass's fade step: every fading channel's volume moved toward its target.
#pragma once

#include "core/named_tree.h"

namespace korvel {

// Moves the volume of every fading channel of the tree from `node` on; a fade-in that arrives
// plays on, a fade-out that arrives releases its channel. A paused fade stands still.
void UpdateFades(NamedTreeNode* node);

}  // namespace korvel
