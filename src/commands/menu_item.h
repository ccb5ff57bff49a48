// Menu items as tree payloads: the record, its creation and release, and the menu tree's owner
// (the group "M0" with its item). The menu commands build on these.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/named_tree.h"

namespace korvel {

inline constexpr int32_t kMenuTextCapacity = 261;

// The payload of a menu node.
struct MenuItem {
  char* text;        // owned 261-byte buffer; empty text = separator
  uint8_t present;   // 1 at creation; 0 leaves the item out of built menus
  uint16_t enabled;  // 256 at creation; 0 shows the item greyed
  uint8_t checked;
  int64_t value;  // low 32 bits: the menu command identifier
};

// Allocates a menu item with a copy of `text` (cut to 260 bytes on a character
// boundary), attaches it to the node and
// returns it. Null for a null node, or after reporting 100010 (fatal) when allocation fails.
MenuItem* CreateMenuItemObject(NamedTreeNode* node, const char* text);

// The byte length of `text` cut to 260 bytes on a character boundary (a double-byte character that
// would straddle the limit is left out).
size_t MenuTextLength(const char* text);

// Replaces the item's text with `text` cut as MenuTextLength says (null gives the empty text).
void SetMenuItemText(MenuItem* item, const char* text);

// Frees a menu item and its text.
void DestroyMenuItem(MenuItem* item);

// The menu tree's payload release (DestroyMenuItem).
void FreeMenuPayload(void* payload);

// Makes the menu code the owner of the menu tree: a zero-filled root item, then the group "M0"
// (order key 0) with an item named "M0".
void RegisterMenuTree();

}  // namespace korvel
