// Menus drawn by the engine: the menu font (IPA Gothic through the platform's glyph canvases,
// 4× supersampled), the layout of a popup menu and of a menu bar, and their pixels.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "commands/menu_sets.h"

namespace korvel {

inline constexpr int32_t kMenuFontCell = 14;     // GDI cell height of the menu font
inline constexpr int32_t kMenuItemHeight = 20;   // a string item of a popup
inline constexpr int32_t kMenuSeparatorHeight = 7;
inline constexpr int32_t kMenuBarHeight = 20;    // the bar above the client area
inline constexpr int32_t kMenuPopupBorder = 3;   // frame and padding around a popup's items
inline constexpr int32_t kMenuCheckColumn = 22;  // left of an item's text: the check mark
inline constexpr int32_t kMenuArrowColumn = 22;  // right of it: the submenu arrow
inline constexpr int32_t kMenuBarPadding = 7;    // each side of a bar item's text
inline constexpr int32_t kMenuMinimumWidth = 80;

// A BGRA pixel buffer (rows top-down, bytes blue, green, red, alpha).
struct MenuCanvas {
  uint8_t* pixels = nullptr;
  int32_t width = 0, height = 0;
  int32_t pitch = 0;  // bytes per row
};

struct MenuBox {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool Contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
};

// Item boxes of one menu in its own pixels, with the menu's size.
struct MenuLayout {
  int32_t width = 0, height = 0;
  std::vector<MenuBox> items;
};

// Opens the menu font (a second call does nothing). False when no IPA Gothic face loads; menus are
// then drawn without their texts.
bool OpenMenuFont();
void CloseMenuFont();

// The width of a menu text as drawn: '&' marks the next character as the item's access key and is
// not drawn ("&&" draws one '&').
int32_t MenuTextWidth(std::string_view text_sjis);

MenuLayout LayoutPopupMenu(const Menu& menu);
// The bar's items from the left, each as wide as its text and padding, `width` pixels wide.
MenuLayout LayoutMenuBar(const Menu& menu, int32_t width);

// Draws the popup or the bar into `canvas` (at least the layout's size); `hot` is the highlighted
// entry, -1 for none.
void DrawPopupMenu(const Menu& menu, const MenuLayout& layout, int32_t hot, const MenuCanvas& canvas);
void DrawMenuBar(const Menu& menu, const MenuLayout& layout, int32_t hot, const MenuCanvas& canvas);

// The entry at (x, y) of a layout, or -1.
int32_t MenuEntryAt(const MenuLayout& layout, int32_t x, int32_t y);

}  // namespace korvel
