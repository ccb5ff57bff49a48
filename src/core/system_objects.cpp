// The four named trees and their system nodes.
#include "core/system_objects.h"

#include <cstring>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/node_payloads.h"

namespace korvel {

namespace {

RootLayerCreator g_root_layer_creator = CreateDefaultRootLayer;

void SetBase(NamedTree* tree, const char* base) {
  std::memset(tree->base_path, 0, sizeof(tree->base_path));
  std::strncpy(tree->base_path, base, sizeof(tree->base_path) - 1);
}

// A tree's unnamed root with a zero-filled payload of `payload_size` bytes.
bool MakeRoot(NamedTree* tree, size_t payload_size, const char* base) {
  tree->root = AllocTreeNode("", true);
  if (tree->root == nullptr) return false;
  tree->root->payload = AllocZeroed(payload_size);
  if (tree->root->payload == nullptr) {
    ReportErrorPlain(100010, true);
    return false;
  }
  SetBase(tree, base);
  return true;
}

}  // namespace

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

int32_t CreateSystemObjects(int32_t window0_width, int32_t window0_height,
                            NamedTreeNode** window0_root) {
  if (window0_root != nullptr) *window0_root = nullptr;
  DestroySystemObjects();

  // Layers: the root's record has window 0's size; "W0" comes from the layer code.
  if (!MakeRoot(&g_layer_tree, sizeof(LayerData), "W0")) return -1;
  auto* root_layer = static_cast<LayerData*>(g_layer_tree.root->payload);
  root_layer->width = window0_width;
  root_layer->height = window0_height;
  root_layer->reference_count = 1;
  if (g_root_layer_creator(g_layer_tree.root, "W0", window0_width, window0_height) != 0) return -1;
  NamedTreeNode* w0 = FindObjectByPath(g_layer_tree.root, "W0", kFindGroup);
  if (w0 == nullptr) return -1;
  if (window0_root != nullptr) *window0_root = w0;

  // Tasks: the empty-named group, then the leaf "SYSTEM", both with key 100.
  if (!MakeRoot(&g_task_tree, sizeof(ScriptTask), "")) return -1;
  NamedTreeNode* group = CreateTreeNode(g_task_tree.root, "", true, 100);
  if (group == nullptr || CreateScriptTask(group) == nullptr) return -1;
  NamedTreeNode* system = CreateTreeNode(g_task_tree.root, "SYSTEM", false, 100);
  if (system == nullptr) return -1;
  ScriptTask* system_task = CreateScriptTask(system);
  if (system_task == nullptr) return -1;
  system_task->system_flag = 1;

  // Sounds: the group "S0"; its channel comes with the sound engine.
  if (!MakeRoot(&g_sound_tree, sizeof(SoundChannel), "S0")) return -1;
  if (CreateTreeNode(g_sound_tree.root, "S0", true, 1) == nullptr) return -1;

  // Menus: the group "M0" with an item named "M0".
  if (!MakeRoot(&g_menu_tree, sizeof(MenuItem), "M0")) return -1;
  NamedTreeNode* m0 = CreateTreeNode(g_menu_tree.root, "M0", true, 0);
  if (m0 == nullptr || CreateMenuItemObject(m0, "M0") == nullptr) return -1;
  return 0;
}

void DestroySystemObjects() {
  struct {
    NamedTree* tree;
    void (*free_payload)(void*);
  } const trees[] = {{&g_layer_tree, FreeLayerPayload},
                     {&g_task_tree, FreeTaskPayload},
                     {&g_sound_tree, FreeSoundPayload},
                     {&g_menu_tree, FreeMenuPayload}};
  for (const auto& entry : trees) {
    DestroyTreeNode(entry.tree->root, entry.free_payload);
    entry.tree->root = nullptr;
    std::memset(entry.tree->base_path, 0, sizeof(entry.tree->base_path));
  }
}

}  // namespace korvel
