// Commands 48 (menu item), 49 (popup menu), 50 (menu delete) and 51 (menu information).
#pragma once

#include <cstdint>
#include <string_view>

#include "core/named_tree.h"

namespace korvel {

inline constexpr uint8_t kCommandMenuItem = 48;
inline constexpr uint8_t kCommandPopupMenu = 49;
inline constexpr uint8_t kCommandMenuDelete = 50;
inline constexpr uint8_t kCommandMenuInfo = 51;

int32_t RunMenuItemCommand();
int32_t RunPopupMenuCommand();
int32_t RunMenuDeleteCommand();
int32_t RunMenuInfoCommand();

// The menu node a normalised path names, whatever its kind; null when a group on the way or the
// node is missing (quietly: menus never report a missing node).
NamedTreeNode* FindMenuNode(std::string_view path);

// Stores the handlers of commands 48 to 51.
void RegisterMenuCommandHandlers();

// Builds menu set 2, the tray icon's popup, from the menu node at `node_path` (nothing when the
// node does not exist).
void BuildTrayMenuSet(const char* node_path);

}  // namespace korvel
