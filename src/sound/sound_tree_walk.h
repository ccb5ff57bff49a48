// A walk over the sound tree: a node, its following siblings and everything below them, in order.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Calls `visit` on each node; the walk stops at the first negative result and returns it, else 0.
template <typename Visit>
int32_t WalkSoundTree(NamedTreeNode* node, Visit& visit) {
  for (; node != nullptr; node = node->next_sibling) {
    const int32_t result = visit(node);
    if (result < 0) return result;
    if (node->first_child != nullptr) {
      const int32_t below = WalkSoundTree(node->first_child, visit);
      if (below < 0) return below;
    }
  }
  return 0;
}

}  // namespace korvel
