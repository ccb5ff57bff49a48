// The engine's menus as the window system would hold them: three sets of 128 menu handles (set 0
// the menu bar, set 1 the popup menu, set 2 the tray's popup), each menu a list of string items,
// separators and submenus, built from the menu tree.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/named_tree.h"

namespace korvel {

inline constexpr int32_t kMenuSetCount = 3;
inline constexpr int32_t kMenuHandlesPerSet = 128;
// Handles 0..126: a build that needs a 128th menu fails.
inline constexpr int32_t kMenuBuildLimit = kMenuHandlesPerSet - 1;
inline constexpr int32_t kMenuSetBar = 0;
inline constexpr int32_t kMenuSetPopup = 1;
inline constexpr int32_t kMenuSetTray = 2;

enum class MenuEntryKind : uint8_t { kString, kSeparator, kSubmenu };

struct MenuEntry {
  MenuEntryKind kind = MenuEntryKind::kString;
  std::string text;      // code page 932, at most 260 bytes
  uint32_t id = 0;       // the item value's low 32 bits; WM_COMMAND carries its low 16 bits
  uint8_t greyed = 0;    // disabled and drawn grey (separators are always disabled)
  uint8_t checked = 0;
  int32_t submenu = -1;  // handle index of the submenu in the same set
};

struct Menu {
  uint8_t used = 0;
  std::vector<MenuEntry> entries;
};

struct MenuSet {
  Menu menus[kMenuHandlesPerSet];
  int32_t next_handle = 0;  // the next free handle index of the set being built
};

struct MenuState {
  // Held by whoever builds or destroys a set and while the main thread copies one to show it.
  std::mutex lock;
  MenuSet sets[kMenuSetCount];
};

extern MenuState g_menus;

void InitMenuState();
void ShutdownMenuState();

// The functions below take no lock; the entry points that other threads may race with (command
// 49, the bar's rebuild, DestroyAllMenuSets, CopyMenuSet) hold `g_menus.lock`.

// A copy of the set, taken under the lock.
MenuSet CopyMenuSet(int32_t set);

// Frees every menu of the set and resets its handle counter (a second call does nothing more).
void DestroyMenuSet(int32_t set);
// Destroys the three sets under the lock (WM_DESTROY and shutdown may both call it).
void DestroyAllMenuSets();

// A new empty menu at the set's next handle: its index, or -1 when it would be the 128th.
int32_t CreateMenuHandle(int32_t set);

// Fills menu `menu` of `set` from the children of `node`, in order, leaving out items not marked
// present: a child with children becomes a submenu (a new handle, filled recursively), an empty
// text a separator, anything else a string item. 0, or -1 when the set ran out of handles.
int32_t BuildMenuRecursive(int32_t set, int32_t menu, const NamedTreeNode* node);

// The popup of a node (commands 49 and 83): destroys `set`, creates its top menu with one item
// "MENUSET" whose submenu is filled from the node's children. 0 or -1. Takes the lock.
int32_t BuildPopupMenuSet(int32_t set, const NamedTreeNode* node);

// The menu shown by a popup request of `set`: the submenu of its top menu's first item, or -1.
int32_t PopupMenuOf(int32_t set);

// The menu of a handle, or null when the index is outside the set or unused.
const Menu* MenuAt(int32_t set, int32_t menu);

// The set as text, one line per entry, submenus indented below their item: tests compare it.
std::string DumpMenuSet(int32_t set);

}  // namespace korvel
