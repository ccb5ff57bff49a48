// Menu items as tree payloads: creation, release and the menu tree's owner.
#include "commands/menu_item.h"

#include <cstring>
#include <string_view>

#include "core/error_report.h"
#include "core/alloc_zeroed.h"
#include "core/system_objects.h"
#include "platform/text_encoding.h"

namespace korvel {

namespace {

int32_t BuildMenuTree(NamedTree* tree, int32_t, int32_t) {
  if (AllocRootPayload(tree, sizeof(MenuItem)) == nullptr) return -1;
  NamedTreeNode* m0 = CreateTreeNode(tree->root, "M0", true, 0);
  if (m0 == nullptr || CreateMenuItemObject(m0, "M0") == nullptr) return -1;
  return 0;
}

}  // namespace

MenuItem* CreateMenuItemObject(NamedTreeNode* node, const char* text) {
  if (node == nullptr) return nullptr;
  auto* item = static_cast<MenuItem*>(AllocZeroed(sizeof(MenuItem)));
  if (item == nullptr) {
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  item->text = static_cast<char*>(AllocZeroed(kMenuTextCapacity));
  if (item->text == nullptr) {
    FreeBlock(item);
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  SetMenuItemText(item, text);
  item->present = 1;
  item->enabled = 256;
  node->payload = item;
  return item;
}

size_t MenuTextLength(const char* text) {
  if (text == nullptr) return 0;
  const std::string_view within(text, strnlen(text, kMenuTextCapacity));
  return platform::Cp932PrefixWithin(within, kMenuTextCapacity - 1);
}

void SetMenuItemText(MenuItem* item, const char* text) {
  if (item == nullptr || item->text == nullptr) return;
  const size_t n = MenuTextLength(text);
  if (n > 0) std::memmove(item->text, text, n);
  item->text[n] = '\0';
}

void DestroyMenuItem(MenuItem* item) {
  if (item == nullptr) return;
  FreeBlock(item->text);
  FreeBlock(item);
}

void FreeMenuPayload(void* payload) { DestroyMenuItem(static_cast<MenuItem*>(payload)); }

void RegisterMenuTree() { RegisterTreeOwner(&g_menu_tree, {BuildMenuTree, FreeMenuPayload}); }

}  // namespace korvel
