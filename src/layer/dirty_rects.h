// Dirty-rectangle bookkeeping of the layer tree: what a change marks in the ancestors, what the
// compositor merges into the frame, the per-frame reset and the sweep of pending changes.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"

namespace korvel {

// Starts the parts with one rectangle.
void StartDirtyParts(DirtyParts& parts, const DirtyRect& box);
// The bounding rectangle alone stands (a change too wide or too scattered to split).
inline void ForgetDirtyParts(DirtyParts& parts) { parts.count = 0; }
// Adds a rectangle to known parts, merging it with every part it overlaps or touches; when the
// parts are full it joins the part whose bounding box grows least. Parts left unknown stay so.
void AddDirtyPart(DirtyParts& parts, const DirtyRect& box);
// Whether the parts are known, at least two, and exactly span `bounds` (anything else that wrote
// the bounding rectangle without them makes them stale, and the rectangle then stands).
bool DirtyPartsSplit(const DirtyParts& parts, const DirtyRect& bounds);

// For each ancestor in turn: the child's box in the parent's pixels, when it overlaps the parent,
// sets the parent's needs-redraw byte and starts (first merge of the frame, or a stale rectangle)
// or widens the parent's compose rectangle, keeping the boxes apart in its compose parts. The walk
// goes on with the parent's own box whether or not the child's box overlapped; it ends at a node
// without a record or a box. Returns 0.
int32_t MarkDirtyUpward(NamedTreeNode* node);

// Marks the layer and every group below it for a whole recompose (a window root that missed
// frames).
void MarkSubtreeWhollyChanged(NamedTreeNode* node);

// Widens the frame rectangle (and its parts) by the compose rectangle and parts; a pending resize
// makes it the whole layer.
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
