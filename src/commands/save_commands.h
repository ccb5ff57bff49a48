// Commands 69 (save a variable or a layer into a pending slot, and write the pending slots into a
// save file) and 70 (drop the pending slots), and the layer side of the load command.
#pragma once

#include <cstdint>
#include <span>

#include "core/named_tree.h"

namespace korvel {

inline constexpr uint8_t kCommandSave = 69;
inline constexpr uint8_t kCommandSaveClear = 70;

int32_t RunSaveCommand();
int32_t RunSaveClearCommand();

// Puts a layer entry's raw bytes into the layer of `node`: the node, its children, its place and
// the window-root and message-target marks stay; the layer gets a new record (one it shared is
// untouched) and is put back among its siblings with order key 1. 0, or -1 after a report; on
// failure the layer is as it was.
int32_t RestoreSavedLayer(NamedTreeNode* node, std::span<const uint8_t> raw);

// Stores the handlers of commands 40, 69 and 70 and the load command's layer hooks.
void RegisterSaveCommandHandlers();

}  // namespace korvel
