// Menu drawing: glyph coverage from the platform's one-bit canvases, item layout and the pixels of
// popups and bars.
#include "commands/menu_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "core/shift_jis.h"
#include "platform/fonts.h"

namespace korvel {

namespace {

constexpr int32_t kSupersample = 4;
constexpr uint32_t kColourFace = 0xF0F0F0;
constexpr uint32_t kColourFrame = 0x979797;
constexpr uint32_t kColourText = 0x000000;
constexpr uint32_t kColourGreyed = 0x6D6D6D;
constexpr uint32_t kColourHot = 0x3399FF;
constexpr uint32_t kColourHotText = 0xFFFFFF;
constexpr uint32_t kColourSeparator = 0xC8C8C8;

struct GlyphCoverage {
  int32_t advance = 0;
  std::vector<uint8_t> coverage;  // kMenuFontCell² values 0..255
};

struct MenuFontState {
  std::mutex lock;
  platform::PlatformFont* font = nullptr;
  bool tried = false;
  int32_t half_advance = kMenuFontCell / 2;
  std::unordered_map<uint32_t, GlyphCoverage> glyphs;  // by code page 932 character code
};

MenuFontState& FontState() {
  static MenuFontState state;
  return state;
}

bool OpenLocked(MenuFontState& s) {
  if (s.tried) return s.font != nullptr;
  s.tried = true;
  s.font = platform::OpenPlatformFont("IPAGothic", kMenuFontCell * kSupersample, false);
  if (s.font != nullptr) {
    const double em = platform::PlatformFontEm(s.font) / kSupersample;
    s.half_advance = std::max(1, static_cast<int32_t>(std::lround(em / 2)));
  }
  return s.font != nullptr;
}

// The coverage of one character, rendered once.
const GlyphCoverage& GlyphOf(MenuFontState& s, const uint8_t* bytes, int32_t length) {
  const uint32_t key = length == 2 ? (static_cast<uint32_t>(bytes[0]) << 8) | bytes[1] : bytes[0];
  auto found = s.glyphs.find(key);
  if (found != s.glyphs.end()) return found->second;
  GlyphCoverage g;
  g.advance = s.half_advance * length;
  g.coverage.assign(static_cast<size_t>(kMenuFontCell) * kMenuFontCell, 0);
  constexpr int32_t side = (kMenuFontCell * kSupersample + 7) / 8 * 8;
  std::vector<uint8_t> canvas(static_cast<size_t>(side) * side / 8, 0xFF);
  const uint32_t code = platform::Cp932CharToCodePoint(bytes, length);
  if (s.font != nullptr && code > 0x20 &&
      platform::DrawPlatformGlyph(s.font, code, canvas.data(), side)) {
    for (int32_t y = 0; y < kMenuFontCell; ++y) {
      for (int32_t x = 0; x < kMenuFontCell; ++x) {
        int32_t ink = 0;
        for (int32_t sy = 0; sy < kSupersample; ++sy) {
          const uint8_t* row = canvas.data() + static_cast<size_t>(y * kSupersample + sy) * side / 8;
          for (int32_t sx = 0; sx < kSupersample; ++sx) {
            const int32_t cx = x * kSupersample + sx;
            if ((row[cx >> 3] & (0x80 >> (cx & 7))) == 0) ++ink;
          }
        }
        g.coverage[static_cast<size_t>(y) * kMenuFontCell + x] =
            static_cast<uint8_t>(ink * 255 / (kSupersample * kSupersample));
      }
    }
  }
  return s.glyphs.emplace(key, std::move(g)).first->second;
}

// Calls fn(bytes, length) for each drawn character, '&' access-key marks left out.
template <typename Fn>
void ForEachDrawnChar(std::string_view text, Fn fn) {
  for (size_t i = 0; i < text.size();) {
    size_t n = SjisCharLength(text.data(), i, text.size());
    if (n == 1 && text[i] == '&') {
      ++i;
      if (i >= text.size()) break;
      n = SjisCharLength(text.data(), i, text.size());
    }
    fn(reinterpret_cast<const uint8_t*>(text.data() + i), static_cast<int32_t>(n));
    i += n;
  }
}

void PutPixel(const MenuCanvas& c, int32_t x, int32_t y, uint32_t rgb) {
  if (x < 0 || y < 0 || x >= c.width || y >= c.height) return;
  uint8_t* p = c.pixels + static_cast<size_t>(y) * c.pitch + static_cast<size_t>(x) * 4;
  p[0] = static_cast<uint8_t>(rgb);
  p[1] = static_cast<uint8_t>(rgb >> 8);
  p[2] = static_cast<uint8_t>(rgb >> 16);
  p[3] = 255;
}

void FillBox(const MenuCanvas& c, MenuBox box, uint32_t rgb) {
  box.left = std::max(box.left, 0);
  box.top = std::max(box.top, 0);
  box.right = std::min(box.right, c.width);
  box.bottom = std::min(box.bottom, c.height);
  if (box.left >= box.right) return;
  uint8_t px[4] = {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                   static_cast<uint8_t>(rgb >> 16), 255};
  uint32_t word;
  std::memcpy(&word, px, 4);
  for (int32_t y = box.top; y < box.bottom; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(c.pixels + static_cast<size_t>(y) * c.pitch);
    std::fill(row + box.left, row + box.right, word);
  }
}

// Text with its cell's top at `top`, pen from `x`; blended over what is there.
void DrawText(const MenuCanvas& c, int32_t x, int32_t top, std::string_view text, uint32_t rgb) {
  MenuFontState& s = FontState();
  std::lock_guard guard(s.lock);
  OpenLocked(s);
  const int32_t colour[3] = {static_cast<int32_t>(rgb & 0xFF),
                             static_cast<int32_t>((rgb >> 8) & 0xFF),
                             static_cast<int32_t>((rgb >> 16) & 0xFF)};
  int32_t pen = x;
  ForEachDrawnChar(text, [&](const uint8_t* bytes, int32_t length) {
    const GlyphCoverage& g = GlyphOf(s, bytes, length);
    for (int32_t gy = 0; gy < kMenuFontCell; ++gy) {
      const int32_t y = top + gy;
      if (y < 0 || y >= c.height) continue;
      uint8_t* row = c.pixels + static_cast<size_t>(y) * c.pitch;
      for (int32_t gx = 0; gx < kMenuFontCell; ++gx) {
        const int32_t a = g.coverage[static_cast<size_t>(gy) * kMenuFontCell + gx];
        const int32_t px = pen + gx;
        if (a == 0 || px < 0 || px >= c.width) continue;
        uint8_t* p = row + static_cast<size_t>(px) * 4;
        for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>(p[k] + (colour[k] - p[k]) * a / 255);
      }
    }
    pen += g.advance;
  });
}

void DrawCheck(const MenuCanvas& c, int32_t cx, int32_t cy, uint32_t rgb) {
  // A tick: down-right from the left, then up-right.
  for (int32_t i = 0; i < 3; ++i) {
    PutPixel(c, cx - 3 + i, cy + i - 1, rgb);
    PutPixel(c, cx - 3 + i, cy + i, rgb);
  }
  for (int32_t i = 0; i < 5; ++i) {
    PutPixel(c, cx + i, cy + 1 - i, rgb);
    PutPixel(c, cx + i, cy + 2 - i, rgb);
  }
}

void DrawArrow(const MenuCanvas& c, int32_t x, int32_t cy, uint32_t rgb) {
  for (int32_t i = 0; i < 4; ++i) FillBox(c, {x + i, cy - 3 + i, x + i + 1, cy + 4 - i}, rgb);
}

bool Selectable(const MenuEntry& e) {
  return e.kind != MenuEntryKind::kSeparator;
}

}  // namespace

bool OpenMenuFont() {
  MenuFontState& s = FontState();
  std::lock_guard guard(s.lock);
  return OpenLocked(s);
}

void CloseMenuFont() {
  MenuFontState& s = FontState();
  std::lock_guard guard(s.lock);
  if (s.font != nullptr) platform::ClosePlatformFont(s.font);
  s.font = nullptr;
  s.tried = false;
  s.glyphs.clear();
}

int32_t MenuTextWidth(std::string_view text_sjis) {
  MenuFontState& s = FontState();
  std::lock_guard guard(s.lock);
  OpenLocked(s);
  int32_t width = 0;
  ForEachDrawnChar(text_sjis, [&](const uint8_t*, int32_t length) {
    width += s.half_advance * length;
  });
  return width;
}

MenuLayout LayoutPopupMenu(const Menu& menu) {
  MenuLayout layout;
  int32_t text_width = 0;
  for (const MenuEntry& e : menu.entries) text_width = std::max(text_width, MenuTextWidth(e.text));
  layout.width = std::max(kMenuMinimumWidth,
                          2 * kMenuPopupBorder + kMenuCheckColumn + text_width + kMenuArrowColumn);
  int32_t y = kMenuPopupBorder;
  for (const MenuEntry& e : menu.entries) {
    const int32_t h = e.kind == MenuEntryKind::kSeparator ? kMenuSeparatorHeight : kMenuItemHeight;
    layout.items.push_back({kMenuPopupBorder, y, layout.width - kMenuPopupBorder, y + h});
    y += h;
  }
  layout.height = y + kMenuPopupBorder;
  return layout;
}

MenuLayout LayoutMenuBar(const Menu& menu, int32_t width) {
  MenuLayout layout;
  layout.width = width;
  layout.height = kMenuBarHeight;
  int32_t x = 0;
  for (const MenuEntry& e : menu.entries) {
    const int32_t w = e.kind == MenuEntryKind::kSeparator
                          ? kMenuBarPadding
                          : MenuTextWidth(e.text) + 2 * kMenuBarPadding;
    layout.items.push_back({x, 0, x + w, kMenuBarHeight});
    x += w;
  }
  return layout;
}

void DrawPopupMenu(const Menu& menu, const MenuLayout& layout, int32_t hot,
                   const MenuCanvas& canvas) {
  FillBox(canvas, {0, 0, layout.width, layout.height}, kColourFrame);
  FillBox(canvas, {1, 1, layout.width - 1, layout.height - 1}, kColourFace);
  const size_t n = std::min(menu.entries.size(), layout.items.size());
  for (size_t i = 0; i < n; ++i) {
    const MenuEntry& e = menu.entries[i];
    const MenuBox& box = layout.items[i];
    if (e.kind == MenuEntryKind::kSeparator) {
      const int32_t y = (box.top + box.bottom) / 2;
      FillBox(canvas, {box.left + 2, y, box.right - 2, y + 1}, kColourSeparator);
      continue;
    }
    const bool is_hot = static_cast<int32_t>(i) == hot && Selectable(e);
    if (is_hot) FillBox(canvas, box, kColourHot);
    const uint32_t ink = e.greyed ? kColourGreyed : (is_hot ? kColourHotText : kColourText);
    const int32_t mid = (box.top + box.bottom) / 2;
    if (e.checked) DrawCheck(canvas, box.left + kMenuCheckColumn / 2 - 1, mid, ink);
    DrawText(canvas, box.left + kMenuCheckColumn, box.top + (kMenuItemHeight - kMenuFontCell) / 2,
             e.text, ink);
    if (e.kind == MenuEntryKind::kSubmenu) DrawArrow(canvas, box.right - kMenuArrowColumn / 2, mid, ink);
  }
}

void DrawMenuBar(const Menu& menu, const MenuLayout& layout, int32_t hot,
                 const MenuCanvas& canvas) {
  FillBox(canvas, {0, 0, layout.width, layout.height}, kColourFace);
  const size_t n = std::min(menu.entries.size(), layout.items.size());
  for (size_t i = 0; i < n; ++i) {
    const MenuEntry& e = menu.entries[i];
    if (e.kind == MenuEntryKind::kSeparator) continue;
    const MenuBox& box = layout.items[i];
    const bool is_hot = static_cast<int32_t>(i) == hot;
    if (is_hot) FillBox(canvas, box, kColourHot);
    const uint32_t ink = e.greyed ? kColourGreyed : (is_hot ? kColourHotText : kColourText);
    DrawText(canvas, box.left + kMenuBarPadding, (kMenuBarHeight - kMenuFontCell) / 2, e.text, ink);
  }
}

int32_t MenuEntryAt(const MenuLayout& layout, int32_t x, int32_t y) {
  for (size_t i = 0; i < layout.items.size(); ++i) {
    if (layout.items[i].Contains(x, y)) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace korvel
