// The four named trees at start-up: their roots, base paths and system nodes ("W0", the task group
// and "SYSTEM", "S0", "M0"), and their release at shutdown.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Creates window 0's root layer, the group `name` below the layer tree's root, with the window's
// logical size. Returns 0 on success. The layer code installs its own; the default creates the
// group with a zero-filled layer record of that size.
using RootLayerCreator = int32_t (*)(NamedTreeNode* layer_root, const char* name, int32_t width,
                                     int32_t height);
void SetRootLayerCreator(RootLayerCreator creator);  // null restores the default
int32_t CreateDefaultRootLayer(NamedTreeNode* layer_root, const char* name, int32_t width,
                               int32_t height);

// Builds the four trees. `window0_root` (may be null) receives window 0's root layer node, found
// again by path after its creation. Returns 0, or -1 after a reported failure (trees built so far
// stay until DestroySystemObjects).
int32_t CreateSystemObjects(int32_t window0_width, int32_t window0_height,
                            NamedTreeNode** window0_root);

// Frees every node and payload of the four trees and clears their roots and base paths.
void DestroySystemObjects();

}  // namespace korvel
