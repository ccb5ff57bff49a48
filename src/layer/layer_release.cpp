// Layer release.
#include "layer/layer_release.h"

#include "core/window_record.h"
#include "layer/dirty_rects.h"
#include "layer/layer_command.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "script/decoded_arguments.h"

namespace korvel {

namespace {

// Whether any window root or the message target still holds a node with this record.
void RefreshReferenceBytes(LayerData* layer) {
  uint8_t root = 0;
  for (const WindowRecord* w : g_windows) {
    if (w != nullptr && w->root_layer != nullptr && LayerOf(w->root_layer) == layer) root = 1;
  }
  layer->is_window_root = root;
  layer->is_message_target = LayerOf(g_layer_state.message_target) == layer ? 1 : 0;
}

}  // namespace

void ReleaseLayer(NamedTreeNode* node) {
  if (node == nullptr) return;
  // Every reference to this node goes, whatever the record's bytes say: a shared record's bytes
  // may describe another node.
  for (WindowRecord* w : g_windows) {
    if (w != nullptr && w->root_layer == node) w->root_layer = nullptr;
  }
  if (g_layer_state.message_target == node) {
    g_layer_state.message_target = nullptr;
    if (g_layer_state.message_target_released != nullptr) g_layer_state.message_target_released();
  }
  if (g_layer_state.designated_layer == node) g_layer_state.designated_layer = nullptr;

  if (node->first_child != nullptr) ReleaseLayerChildren(node);
  UnlinkTreeNode(node);
  LayerData* layer = LayerOf(node);
  if (layer != nullptr && layer->reference_count > 1) {
    node->payload = nullptr;
    --layer->reference_count;
    RefreshReferenceBytes(layer);
  }
  // The last holder: the layer tree's release frees the buffers and the record with the node.
  const PayloadRelease release = g_layer_tree.owner.release;
  DestroyTreeNode(node, release != nullptr ? release : FreeLayerPayload);
}

void ReleaseLayerChildren(NamedTreeNode* node) {
  NamedTreeNode* child = node->first_child;
  while (child != nullptr) {
    NamedTreeNode* next = child->next_sibling;
    if (child->kind == kNodeGroup) ReleaseLayerChildren(child);
    ReleaseLayer(child);
    child = next;
  }
}

void ReleaseLayerTree(NamedTreeNode* node) {
  if (node == nullptr) return;
  ReleaseLayerChildren(node);
  ReleaseLayer(node);
}

int32_t ApplyReleaseLayerCommand(std::string_view name) {
  LayerPath path;
  if (NormalizeLayerPath(name, &path) != 0) return -1;
  NamedTreeNode* node = FindLayerQuiet(path.text, path.group);
  if (node == nullptr || LayerOf(node) == nullptr) return 0;
  MarkDirtyUpward(node);
  if (path.group) {
    ReleaseLayerTree(node);
  } else {
    ReleaseLayer(node);
  }
  return 0;
}

int32_t RunReleaseLayerCommand() {
  if (g_argument_decoder(kCommandReleaseLayer) != 0) return -1;
  return ApplyReleaseLayerCommand(ArgText(0)) == 0 ? 0 : -1;
}

}  // namespace korvel
