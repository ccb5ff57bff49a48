// The small commands through which scripts talk to the player and the desktop: layer queries (4),
// clipboard (5, 6), text files (8), message box and text input (10), cursor (55), screen settings
// (76) and tray icon (83).
#pragma once

namespace korvel {

// Stores their handlers in the command table (before the script data loads).
void RegisterDesktopCommandHandlers();

}  // namespace korvel
