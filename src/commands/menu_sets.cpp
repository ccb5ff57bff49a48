// Menu sets: handles, building menus from the menu tree, and a text dump of a set.
#include "commands/menu_sets.h"

#include <cinttypes>
#include <cstdio>

#include "commands/menu_item.h"

namespace korvel {

MenuState g_menus;

namespace {

bool ValidSet(int32_t set) { return set >= 0 && set < kMenuSetCount; }

Menu* MutableMenu(int32_t set, int32_t menu) {
  if (!ValidSet(set) || menu < 0 || menu >= kMenuHandlesPerSet) return nullptr;
  Menu& m = g_menus.sets[set].menus[menu];
  return m.used != 0 ? &m : nullptr;
}

void DumpMenu(const MenuSet& s, int32_t menu, int depth, std::string* out) {
  const Menu& m = s.menus[menu];
  for (const MenuEntry& e : m.entries) {
    out->append(static_cast<size_t>(depth) * 2, ' ');
    if (e.kind == MenuEntryKind::kSeparator) {
      *out += "----\n";
      continue;
    }
    *out += '"';
    *out += e.text;
    *out += '"';
    char tail[64];
    if (e.kind == MenuEntryKind::kSubmenu) {
      std::snprintf(tail, sizeof tail, " -> menu %d\n", e.submenu);
      *out += tail;
      if (e.submenu > 0 && e.submenu < kMenuHandlesPerSet && s.menus[e.submenu].used != 0) {
        DumpMenu(s, e.submenu, depth + 1, out);
      }
      continue;
    }
    std::snprintf(tail, sizeof tail, " id=%" PRIu32 "%s%s\n", e.id, e.greyed ? " greyed" : "",
                  e.checked ? " checked" : "");
    *out += tail;
  }
}

}  // namespace

void InitMenuState() { DestroyAllMenuSets(); }
void ShutdownMenuState() { DestroyAllMenuSets(); }

void DestroyMenuSet(int32_t set) {
  if (!ValidSet(set)) return;
  MenuSet& s = g_menus.sets[set];
  for (Menu& m : s.menus) {
    m.used = 0;
    m.entries.clear();
    m.entries.shrink_to_fit();
  }
  s.next_handle = 0;
}

MenuSet CopyMenuSet(int32_t set) {
  std::lock_guard guard(g_menus.lock);
  return ValidSet(set) ? g_menus.sets[set] : MenuSet{};
}

void DestroyAllMenuSets() {
  std::lock_guard guard(g_menus.lock);
  for (int32_t set = 0; set < kMenuSetCount; ++set) DestroyMenuSet(set);
}

int32_t CreateMenuHandle(int32_t set) {
  if (!ValidSet(set)) return -1;
  MenuSet& s = g_menus.sets[set];
  if (s.next_handle >= kMenuBuildLimit) return -1;
  const int32_t index = s.next_handle++;
  s.menus[index].used = 1;
  s.menus[index].entries.clear();
  return index;
}

int32_t BuildMenuRecursive(int32_t set, int32_t menu, const NamedTreeNode* node) {
  if (MutableMenu(set, menu) == nullptr || node == nullptr) return -1;
  for (const NamedTreeNode* child = node->first_child; child != nullptr;
       child = child->next_sibling) {
    const auto* item = static_cast<const MenuItem*>(child->payload);
    if (item == nullptr || item->present == 0) continue;
    MenuEntry entry;
    const char* text = item->text != nullptr ? item->text : "";
    entry.text.assign(text, MenuTextLength(text));
    if (child->first_child != nullptr) {
      entry.kind = MenuEntryKind::kSubmenu;
      entry.submenu = CreateMenuHandle(set);
      if (entry.submenu < 0) return -1;
      if (BuildMenuRecursive(set, entry.submenu, child) != 0) return -1;
    } else if (entry.text.empty()) {
      entry.kind = MenuEntryKind::kSeparator;
      entry.greyed = 1;
    } else {
      entry.id = static_cast<uint32_t>(static_cast<uint64_t>(item->value));
      entry.greyed = item->enabled == 0 ? 1 : 0;
      entry.checked = item->checked == 1 ? 1 : 0;
    }
    Menu* target = MutableMenu(set, menu);
    if (target == nullptr) return -1;
    target->entries.push_back(std::move(entry));
  }
  return 0;
}

int32_t BuildPopupMenuSet(int32_t set, const NamedTreeNode* node) {
  std::lock_guard guard(g_menus.lock);
  DestroyMenuSet(set);
  if (node == nullptr) return -1;
  const int32_t top = CreateMenuHandle(set);
  const int32_t sub = CreateMenuHandle(set);
  if (top < 0 || sub < 0) return -1;
  MenuEntry entry;
  entry.kind = MenuEntryKind::kSubmenu;
  entry.text = "MENUSET";
  entry.submenu = sub;
  g_menus.sets[set].menus[top].entries.push_back(entry);
  return BuildMenuRecursive(set, sub, node);
}

int32_t PopupMenuOf(int32_t set) {
  const Menu* top = MenuAt(set, 0);
  if (top == nullptr || top->entries.empty()) return -1;
  const MenuEntry& first = top->entries.front();
  if (first.kind != MenuEntryKind::kSubmenu || MenuAt(set, first.submenu) == nullptr) return -1;
  return first.submenu;
}

const Menu* MenuAt(int32_t set, int32_t menu) { return MutableMenu(set, menu); }

std::string DumpMenuSet(int32_t set) {
  std::string out;
  if (MenuAt(set, 0) == nullptr) return out;
  out += "menu 0\n";
  DumpMenu(g_menus.sets[set], 0, 1, &out);
  return out;
}

}  // namespace korvel
