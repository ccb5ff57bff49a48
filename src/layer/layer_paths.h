// Layer paths: normalising a script's path against the layer tree's base path, and finding the
// node it names without reporting a missing segment (for lookups where "missing" is an answer).
#pragma once

#include <cstdint>
#include <string_view>

#include "core/named_tree.h"

namespace korvel {

// A normalised layer path: the text and whether it named a group (it ended with '/').
struct LayerPath {
  char text[kObjectPathCapacity];
  bool group;
};

// Normalises `name` against the layer tree's base path (spaces allowed unless `allow_spaces` is
// false: a space then reports 100242). 0, or -1 after the normaliser's report.
int32_t NormalizeLayerPath(std::string_view name, LayerPath* out, bool allow_spaces = true);

// The node of a normalised path below the layer tree's root: a group or a leaf by `group`. Null
// when any segment is missing; nothing is reported.
NamedTreeNode* FindLayerQuiet(std::string_view path, bool group);

// The layer a normalised path names as the commands that take "a layer" find it: the image layer
// of that name, else the group of that name; null when neither holds a layer. Nothing is reported.
NamedTreeNode* FindLayerOrGroup(const LayerPath& path);

// The parent group of a normalised path (its '/'-terminated segments), or null when one is
// missing; nothing is reported.
NamedTreeNode* FindLayerParentQuiet(std::string_view path);

}  // namespace korvel
