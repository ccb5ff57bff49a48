// The four named trees at start-up: their bare roots and base paths, the contents their owners
// build below them, window 0's root layer found again, and their release at shutdown.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Builds the four trees: each gets a bare root and its base path ("W0", empty, "S0", "M0"), then
// its registered owner gives the root its payload and builds the system nodes ("W0"; the task group
// and "SYSTEM"; "S0"; "M0"). A tree without an owner stays a bare root. When the layer tree has an
// owner, "W0" is found again as a group and stored in `window0_root` (may be null). Returns 0, or -1
// after a reported failure (trees built so far stay until DestroySystemObjects).
int32_t CreateSystemObjects(int32_t window0_width, int32_t window0_height,
                            NamedTreeNode** window0_root);

// For an owner's build: a zero-filled payload of `bytes` for the tree's root. Returns it, or null
// after reporting 100010 (fatal).
void* AllocRootPayload(NamedTree* tree, size_t bytes);

// Frees every node of the four trees, each payload through its tree's owner, and clears their
// roots and base paths. The owners stay registered.
void DestroySystemObjects();

}  // namespace korvel
