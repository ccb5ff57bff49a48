// The popup menu's modal loop: shown at a screen position on the main thread, chosen with the mouse
// or the keyboard; headless runs choose with `menu:` answers.
#pragma once

#include <cstdint>

#include "commands/menu_draw.h"
#include "platform/platform.h"

namespace korvel {

// Where a `width` × `height` popup asked for at screen point (x, y) goes: right of and below the
// point, flipped to its left or above it where it would leave the work area, then kept inside it.
MenuBox PlacePopupMenu(int32_t x, int32_t y, int32_t width, int32_t height,
                       const platform::Rect& area);

// Shows menu `menu` of `set` with its top-left at screen point (x, y) and runs the modal loop.
// Returns the chosen item's command (the low 16 bits of its identifier), 0 when cancelled.
uint32_t TrackPopupMenu(int32_t set, int32_t menu, int32_t x, int32_t y);

// The same over a copy of a set (the menu bar keeps its own).
uint32_t TrackMenuOf(const MenuSet& set, int32_t menu, int32_t x, int32_t y);

// Whether `command` (low 16 bits) is an enabled string item of the menu or of its enabled submenus.
bool MenuOffers(const MenuSet& set, int32_t menu, uint32_t command);

// The frame step's popup: the first submenu of set `set` at screen point (x, y).
uint64_t ShowPopupMenuSet(int set, int32_t x, int32_t y);

// A borderless, topmost menu window (a popup level or the full-screen menu bar) of width x height
// shown at (x, y) on the screen; kNoWindow when it cannot be made.
platform::WindowId OpenMenuWindow(const char* title, int32_t x, int32_t y, int32_t width,
                                  int32_t height);

}  // namespace korvel
