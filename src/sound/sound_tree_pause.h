// Pausing and resuming whole parts of the sound tree.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Pauses (1) or resumes (0) the node, its following siblings and everything below them.
void SetTreePaused(NamedTreeNode* node, int32_t paused);
// Pauses or resumes the node and everything below it.
void SetNodePaused(NamedTreeNode* node, int32_t paused);

}  // namespace korvel
