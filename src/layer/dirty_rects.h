// Dirty-rectangle bookkeeping of the layer tree: what a change marks in the ancestors, what the
// compositor merges into the frame, the per-frame reset and the sweep of pending changes.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"

namespace korvel {

// For each ancestor in turn: the child's box in the parent's pixels, when it overlaps the parent,
// sets the parent's needs-redraw byte and starts (first merge of the frame, or a stale rectangle)
// or widens the parent's compose rectangle. The walk goes on with the parent's own box whether or
// not the child's box overlapped; it ends at a node without a record or a box. Returns 0.
int32_t MarkDirtyUpward(NamedTreeNode* node);

// Marks the layer and every group below it for a whole recompose (a window root that missed
// frames).
void MarkSubtreeWhollyChanged(NamedTreeNode* node);

// Widens the frame rectangle by the compose rectangle; a pending resize makes it the whole layer.
void MergeIntoFrameRect(LayerData* layer);

// For the node and its siblings, and the children of group layers below them: dirty-merge count,
// needs-redraw and compose-valid to 0, frame rectangle empty.
void ResetLayerDirtyRects(NamedTreeNode* first);
// The whole layer tree (the frame step's hook, after presentation).
void ResetAllLayerDirtyRects();

// Commits pending visibility and opacity over a sibling list and the children of its groups; a
// layer whose value changed sets the layers-changed flag and is marked dirty upward.
void SweepLayerTreeChanges(NamedTreeNode* first);
// The whole layer tree (the frame step's hook, before composing).
void SweepLayerChanges();

}  // namespace korvel
