// Layer-tree edits of the draw command: growing dirty rectangles up the tree and swapping two
// layer nodes' names, order and (optionally) settings.
#pragma once

#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

// Marks the whole layer in its own compose rectangle, then each ancestor with its child's box in
// the ancestor's pixels (widening a rectangle already started this frame, else starting it), and
// sets needs-redraw and compose-valid on each. Stops at a node without a record. Returns 0.
int32_t GrowLayerDirtyRect(NamedTreeNode* node);

// Swaps the two nodes' order keys (each re-inserted under its own parent with the other's key),
// names, name lengths and the low 31 bits of their hashes (each keeps its kind). what 1 also
// swaps the placements; what 2 the placements, visibility, opacity, mask level, mask ramp and
// blend mode. Both are marked dirty before and after.
void SwapLayerNodes(NamedTreeNode* a, NamedTreeNode* b, int32_t what);

}  // namespace korvel
