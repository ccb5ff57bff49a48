// Layer records as tree payloads: creation, sharing, release and the layer tree's owner.
#include "layer/layer_payload.h"

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/system_objects.h"
#include "image/gif_frames.h"

namespace korvel {

namespace {

RootLayerCreator g_root_layer_creator = CreateDefaultRootLayer;

LayerData* NewLayerData() {
  auto* record = static_cast<LayerData*>(AllocZeroed(sizeof(LayerData)));
  if (record == nullptr) return nullptr;
  record->mask_path = static_cast<char*>(AllocZeroed(kLayerStringCapacity));
  record->second_string = static_cast<char*>(AllocZeroed(kLayerStringCapacity));
  if (record->mask_path == nullptr || record->second_string == nullptr) {
    FreeBlock(record->mask_path);
    FreeBlock(record->second_string);
    FreeBlock(record);
    return nullptr;
  }
  record->visible = 1;
  record->opacity = 256;
  record->width = 1;
  record->height = 1;
  record->mask_level = 256;
  record->value_slot23 = 128;
  record->colour_slot24 = 0x808080;
  record->has_alpha = 0;
  return record;
}

// The layer tree's contents: a root record of window 0's size, then "W0" from the creator.
int32_t BuildLayerTree(NamedTree* tree, int32_t window0_width, int32_t window0_height) {
  auto* root_layer = static_cast<LayerData*>(AllocRootPayload(tree, sizeof(LayerData)));
  if (root_layer == nullptr) return -1;
  root_layer->width = window0_width;
  root_layer->height = window0_height;
  root_layer->reference_count = 1;
  return g_root_layer_creator(tree->root, "W0", window0_width, window0_height) == 0 ? 0 : -1;
}

}  // namespace

int32_t AllocLayerData(NamedTreeNode* node) {
  LayerData* record = NewLayerData();
  if (record == nullptr) {
    ReportErrorPlain(100010, true);
    return 1;
  }
  if (node == nullptr) {
    ReleaseLayerData(record);
    return 1;
  }
  ShareLayerData(node, record);
  return 0;
}

LayerData* CreateLayerDataForNode(NamedTreeNode* node) {
  if (node == nullptr) return nullptr;
  if (AllocLayerData(node) != 0) return nullptr;
  return static_cast<LayerData*>(node->payload);
}

int32_t ShareLayerData(NamedTreeNode* node, LayerData* record) {
  if (node != nullptr && record != nullptr) {
    node->payload = record;
    ++record->reference_count;
  }
  return 0;
}

LayerData* AttachNodePayload(NamedTreeNode* node, LayerData* record) {
  if (node == nullptr) return nullptr;
  ShareLayerData(node, record);
  return record;
}

LayerData* AllocZeroedLayerData() {
  auto* record = static_cast<LayerData*>(AllocZeroed(sizeof(LayerData)));
  if (record == nullptr) ReportErrorPlain(100010, true);
  return record;
}

int32_t (*g_release_layer_textures)(LayerData* record) = nullptr;

void ReleaseLayerData(LayerData* record) {
  if (record == nullptr) return;
  if (record->reference_count > 0) --record->reference_count;
  if (record->reference_count > 0) return;
  if (g_release_layer_textures != nullptr) g_release_layer_textures(record);
  DestroyGifFrameTable(record->gif_frames);
  FreeBlock(record->pixels);
  FreeBlock(record->aux_buffer);
  FreeBlock(record->mask_path);
  FreeBlock(record->second_string);
  FreeBlock(record);
}

void FreeLayerPayload(void* payload) { ReleaseLayerData(static_cast<LayerData*>(payload)); }

void SetRootLayerCreator(RootLayerCreator creator) {
  g_root_layer_creator = creator != nullptr ? creator : CreateDefaultRootLayer;
}

int32_t CreateDefaultRootLayer(NamedTreeNode* layer_root, const char* name, int32_t width,
                               int32_t height) {
  NamedTreeNode* node = CreateTreeNode(layer_root, name, true, 0);
  if (node == nullptr) return -1;
  LayerData* record = AllocZeroedLayerData();
  if (record == nullptr) return -1;
  record->width = width;
  record->height = height;
  ShareLayerData(node, record);
  return 0;
}

void RegisterLayerTree() { RegisterTreeOwner(&g_layer_tree, {BuildLayerTree, FreeLayerPayload}); }

}  // namespace korvel
