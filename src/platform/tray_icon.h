// The engine's icon in the desktop's notification area. The tip is code page 932.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace korvel::platform {

// The icon's side in pixels.
inline constexpr int32_t kTrayIconPictureSide = 16;
// What a click on the icon reports (kTrayIcon events), as the mouse messages Windows sends to the
// icon's owner.
enum : int32_t { kTrayLeftDown = 0x201, kTrayLeftDoubleClick = 0x203, kTrayRightDown = 0x204 };

// Shows the icon in the desktop's notification area, or updates the shown one: `bgra` is a top-down
// 16 × 16 picture (blue, green, red, alpha; a picture whose alpha is zero throughout is opaque, as
// an icon without alpha is), null for the program's own icon. The tip (code page 932) is shown when
// the pointer rests on the icon; clicks arrive as kTrayIcon events addressed to `owner`. False when
// the desktop has no notification area (headless, no tray host, another window system): nothing is
// shown, and the engine keeps its state alone.
bool ShowTrayIcon(WindowId owner, const uint8_t* bgra, std::string_view tip_sjis);
// Takes the icon out of the notification area (nothing when none is shown).
void RemoveTrayIcon();

}  // namespace korvel::platform
