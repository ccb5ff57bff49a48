// Layer records as tree payloads: creation with their defaults, sharing between layer nodes through
// a reference count, release, and the layer tree's owner (root record and window 0's root layer).
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"

namespace korvel {

// Allocates a layer record with its defaults (1 x 1, opacity and mask level 256, visible, slot 23
// 128, colour 0x808080, both strings empty) and attaches it with reference count 1. Returns 0, or 1
// after reporting 100010 (fatal); a partly built record is freed, not attached.
int32_t AllocLayerData(NamedTreeNode* node);

// AllocLayerData and the node's new payload; null for a null node or on failure. The node's former
// payload is not released.
LayerData* CreateLayerDataForNode(NamedTreeNode* node);

// Makes `record` the node's payload and counts the new holder; nothing when either is null.
int32_t ShareLayerData(NamedTreeNode* node, LayerData* record);

// ShareLayerData; returns the record, or null when the node is null.
LayerData* AttachNodePayload(NamedTreeNode* node, LayerData* record);

// A zero-filled layer record (no string buffers), or null after reporting 100010.
LayerData* AllocZeroedLayerData();

// Drops one holder of a layer record; at 0 frees its pixel, auxiliary and string buffers, its GIF
// frames and the record. Null does nothing.
void ReleaseLayerData(LayerData* record);
// Releases a record's tile textures when its last holder goes (installed by the GPU path).
extern int32_t (*g_release_layer_textures)(LayerData* record);

// The layer tree's payload release (ReleaseLayerData).
void FreeLayerPayload(void* payload);

// Creates window 0's root layer, the group `name` below the layer tree's root, with the window's
// logical size. Returns 0 on success. The default creates the group with a zero-filled record of
// that size; the program installs CreateWindowRootLayer.
using RootLayerCreator = int32_t (*)(NamedTreeNode* layer_root, const char* name, int32_t width,
                                     int32_t height);
void SetRootLayerCreator(RootLayerCreator creator);  // null restores the default
int32_t CreateDefaultRootLayer(NamedTreeNode* layer_root, const char* name, int32_t width,
                               int32_t height);

// Makes the layer code the owner of the layer tree: the root gets a zero-filled record of window
// 0's size, "W0" comes from the root layer creator, and payloads go through ReleaseLayerData.
void RegisterLayerTree();

}  // namespace korvel
