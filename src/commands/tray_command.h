// Command 83: the notification-area icon: shown or not, its tip, whether its icon came from a
// layer, and the menu node of its popup menu. The platform shows it where the desktop has a tray.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace korvel {

inline constexpr uint8_t kCommandTray = 83;
// The tip field holds 128 bytes with its NUL.
inline constexpr size_t kTrayTipCapacity = 128;
inline constexpr int32_t kTrayIconSide = 16;

// The flags are atomic: the main thread removes the icon when the main window goes, while the game
// thread may run scripts.
struct TrayState {
  std::atomic<bool> shown{false};
  std::string tip;            // code page 932, at most 127 bytes
  std::atomic<bool> icon_from_layer{false};  // else the program's own icon
  std::string menu_node;      // the node menu set 2 was built from (code page 932)
};

extern TrayState g_tray;

// Builds menu set 2 from a menu node path (the tray's popup menu). The menu code installs the real
// builder; the default only keeps the path.
using TrayMenuBuilder = void (*)(const char* node_path);
extern TrayMenuBuilder g_tray_menu_builder;

void InitTrayState();
// Removes the icon when it is shown (also when the main window goes away).
void RemoveTrayIcon();

// Decodes and runs command 83: 0, or -1 after a failed decode or icon layer path.
int32_t RunTrayCommand();

}  // namespace korvel
