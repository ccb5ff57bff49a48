// The window commands: 88 opens an extra window or changes a window (title, show state, position,
// size, z-order, frame, full screen, minimised or maximised state, root layer, menu bar, shape,
// pick layer), 89 hides an extra window, 90 reads a window's state into a variable.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandWindow = 88;
inline constexpr uint8_t kCommandHideWindow = 89;
inline constexpr uint8_t kCommandWindowInfo = 90;

// The menu bar of a window from the menu tree (the menu code installs it): 0, or -1 after a
// report. The default installs nothing and succeeds.
using RebuildMenuBarFn = int32_t (*)(const char* menu_name, int32_t window);
extern RebuildMenuBarFn g_rebuild_menu_bar;

// The commands' bodies on the decoded arguments (g_args): 0 goes on, non-zero ends the turn.
int32_t ApplyWindowCommand();
int32_t ApplyHideWindowCommand();
int32_t ApplyWindowInfoCommand();

// Stores the handlers of commands 88, 89 and 90 in the command table.
void RegisterWindowCommandHandlers();

}  // namespace korvel
