// The four named trees and their system nodes.
#include "core/system_objects.h"

#include <cstring>
#include <initializer_list>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"

namespace korvel {

namespace {

void SetBase(NamedTree* tree, const char* base) {
  std::memset(tree->base_path, 0, sizeof(tree->base_path));
  std::strncpy(tree->base_path, base, sizeof(tree->base_path) - 1);
}

// A tree's unnamed root, its base path, and what its owner hangs below it.
bool BuildTree(NamedTree* tree, const char* base, int32_t window0_width, int32_t window0_height) {
  tree->root = AllocTreeNode("", true);
  if (tree->root == nullptr) return false;
  SetBase(tree, base);
  if (tree->owner.build == nullptr) return true;
  return tree->owner.build(tree, window0_width, window0_height) == 0;
}

}  // namespace

void* AllocRootPayload(NamedTree* tree, size_t bytes) {
  tree->root->payload = AllocZeroed(bytes);
  if (tree->root->payload == nullptr) ReportErrorPlain(100010, true);
  return tree->root->payload;
}

int32_t CreateSystemObjects(int32_t window0_width, int32_t window0_height,
                            NamedTreeNode** window0_root) {
  if (window0_root != nullptr) *window0_root = nullptr;
  DestroySystemObjects();

  // Layers: the owner gives the root window 0's size and creates "W0", found again here.
  if (!BuildTree(&g_layer_tree, "W0", window0_width, window0_height)) return -1;
  if (g_layer_tree.owner.build != nullptr) {
    NamedTreeNode* w0 = FindObjectByPath(g_layer_tree.root, "W0", kFindGroup);
    if (w0 == nullptr) return -1;
    if (window0_root != nullptr) *window0_root = w0;
  }
  if (!BuildTree(&g_task_tree, "", window0_width, window0_height)) return -1;
  if (!BuildTree(&g_sound_tree, "S0", window0_width, window0_height)) return -1;
  if (!BuildTree(&g_menu_tree, "M0", window0_width, window0_height)) return -1;
  return 0;
}

void DestroySystemObjects() {
  for (NamedTree* tree : {&g_layer_tree, &g_task_tree, &g_sound_tree, &g_menu_tree}) {
    DestroyTreeNode(tree->root, tree->owner.release);
    tree->root = nullptr;
    std::memset(tree->base_path, 0, sizeof(tree->base_path));
  }
}

}  // namespace korvel
