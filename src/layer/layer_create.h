// Creating layer nodes (image and group layers, window roots), sizing their pixel buffers and
// loading images into them.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"

namespace korvel {

// A zero-filled pixel buffer of width * 4 * (height + 1) + 4 bytes. A side outside 1..8192 gets
// the size message and 100010; a failed allocation reports 104030 with `name` (100010 without
// one); both fatal, and the result is null.
uint8_t* AllocLayerPixels(int64_t width, int64_t height, const char* name);

// Creates and links a layer node of `kind` (0 image layer, 1 group layer) for a normalised path
// below the tree's root, named by the path's last segment. No record yet. Null after a report:
// 900020 for a null path, 100230 for a missing parent group, 100010 when memory runs out.
NamedTreeNode* CreateNamedLayer(NamedTree* tree, const char* path, uint8_t kind, int64_t order_key);

// Creates a group layer for a normalised path: node, record, the size, a zero-filled pixel buffer,
// resized and compose-valid set with the compose rectangle on the whole layer. Sides are checked
// as AllocLayerPixels does. Returns the record, or null after a report (nothing is left behind).
LayerData* CreateLayerCG(const char* path, int64_t width, int64_t height, int64_t order_key);
// The same below any root; returns the node.
NamedTreeNode* CreateGroupLayerNode(NamedTreeNode* root, const char* path, int64_t width,
                                    int64_t height, int64_t order_key);

// The root-layer creator of the system objects: the group `name` below the layer tree's root with
// the window's size, marked as a window root and due for its first redraw. 0, or -1 after a report.
int32_t CreateWindowRootLayer(NamedTreeNode* layer_root, const char* name, int32_t width,
                              int32_t height);

// Loads image `name` into the record: an empty name, or one the media lookup does not find, makes
// it a 1 x 1 image of one zero pixel without alpha; otherwise the file is decoded by its type (GIF
// frames kept in the record). Then the transparent colour and the frame pacer's restart. 0, or -1
// when the lookup or the decoder failed (they have reported); the record is then as it was.
int32_t LoadImageIntoCG(LayerData* layer, const char* name);

}  // namespace korvel
