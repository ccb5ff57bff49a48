// Script command 3 and the release of layer nodes: a layer, or a group with everything under it,
// leaves the tree; every reference to the node goes with it, and the record's buffers go when no
// other node shares it.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/named_tree.h"

namespace korvel {

// Releases the layer at the path (a trailing '/' names a group). A missing layer is not an error.
// Returns 0, or -1 when the path cannot be normalised.
int32_t ApplyReleaseLayerCommand(std::string_view path);

// The handler of command 3: decode, then ApplyReleaseLayerCommand. 0, or -1 to end the turn.
int32_t RunReleaseLayerCommand();

// Releases every descendant of a group (ReleaseLayerChildren), then the node.
void ReleaseLayerTree(NamedTreeNode* node);
// For each child in list order: a group's children first, then the child.
void ReleaseLayerChildren(NamedTreeNode* node);
// Releases one node: clears every window root, the message target and the designated layer that
// point at it, unlinks it, drops one holder of its record (freed at 0) and frees the node.
void ReleaseLayer(NamedTreeNode* node);

}  // namespace korvel
