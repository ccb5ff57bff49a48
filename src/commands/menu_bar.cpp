// The menu bar: building, drawing, presenting, opening its menus and the full-screen bar window.
#include "commands/menu_bar.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "commands/menu_commands.h"
#include "commands/popup_menu.h"
#include "commands/window_commands.h"
#include "core/display_state.h"
#include "core/error_report.h"
#include "core/window_record.h"
#include "layer/layer_record.h"
#include "platform/frame_overlay.h"
#include "script/script_data.h"

namespace korvel {

MenuBarState g_menu_bar;

namespace {

constexpr int32_t kErrorNoSuchMenu = 101250;

platform::WindowId HandleOf(int32_t window) {
  if (window < 0 || window >= kWindowCount || g_windows[window] == nullptr) {
    return platform::kNoWindow;
  }
  return g_windows[window]->handle.load();
}

const Menu* TopMenu(const MenuSet& set) {
  return set.menus[0].used != 0 ? &set.menus[0] : nullptr;
}

}  // namespace

void DrawMenuBarLocked() {
  MenuBarState& b = g_menu_bar;
  if (b.drawn) return;
  const Menu* top = TopMenu(b.menus);
  const size_t bytes = static_cast<size_t>(b.layout.width) * kMenuBarHeight * 4;
  if (b.pixels.size() != bytes) b.pixels.assign(bytes, 0);
  if (top != nullptr && b.layout.width > 0) {
    const MenuCanvas canvas{b.pixels.data(), b.layout.width, kMenuBarHeight, b.layout.width * 4};
    DrawMenuBar(*top, b.layout, b.hot, canvas);
  }
  b.drawn = true;
  b.presented = false;
}

namespace {

// The strip's overlay: the bar's pixels, opaque, in the rows above the client area.
void DrawMenuBarOverlay(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                        int32_t client_top) {
  std::lock_guard guard(g_menu_bar.lock);
  DrawMenuBarLocked();
  const int32_t bar_w = g_menu_bar.layout.width;
  const int32_t w = std::min(width, bar_w);
  const int32_t rows = std::min({height, client_top, kMenuBarHeight});
  if (w <= 0 || rows <= 0 || g_menu_bar.pixels.size() < static_cast<size_t>(bar_w) * 4 * rows) {
    return;
  }
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* src = g_menu_bar.pixels.data() + static_cast<size_t>(y) * bar_w * 4;
    uint8_t* dst = bgra + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    for (int32_t x = 0; x < w; ++x) {
      std::memcpy(dst + x * 4, src + x * 4, 3);
      dst[x * 4 + 3] = 255;
    }
  }
  g_menu_bar.presented = true;
}

// Shows the bar in `window` now (any thread): in the strip above window 0's client area, or as the
// whole picture of the full-screen bar's own window.
void PresentTo(platform::WindowId window) {
  int32_t width = 0;
  bool own_window = false;
  {
    std::lock_guard guard(g_menu_bar.lock);
    width = g_menu_bar.layout.width;
    own_window = window == g_menu_bar.bar_window;
  }
  if (window == platform::kNoWindow || width <= 0) return;
  if (!own_window) {
    platform::PresentMenuBar(window, width);
    return;
  }
  std::vector<uint8_t> picture(static_cast<size_t>(width) * 4 * kMenuBarHeight, 0);
  DrawMenuBarOverlay(picture.data(), width, kMenuBarHeight, width * 4, kMenuBarHeight);
  // Frame 0: the bar window's picture is one file in headless dumps, replaced as the bar changes.
  platform::PresentFrame(window, picture.data(), width, kMenuBarHeight, width * 4, 0);
}

void SetHot(int32_t hot) {
  platform::WindowId strip, bar;
  {
    std::lock_guard guard(g_menu_bar.lock);
    if (g_menu_bar.hot == hot) return;
    g_menu_bar.hot = hot;
    g_menu_bar.drawn = false;
    strip = g_menu_bar.strip_window;
    bar = g_menu_bar.bar_window;
  }
  PresentTo(bar != platform::kNoWindow ? bar : strip);
}

void PostCommand(uint32_t command) {
  const platform::WindowId main = HandleOf(0);
  if (main == platform::kNoWindow) return;
  platform::Event e;
  e.kind = platform::EventKind::kCommand;
  e.window = main;
  e.engine_index = 0;
  e.value = static_cast<int32_t>(command);
  platform::PostEvent(std::move(e));
}

// Opens bar entry `item`; (left, bottom) is the bar's bottom-left corner on the screen.
void TrackBarItem(int32_t item, int32_t left, int32_t bottom) {
  MenuSet menus;
  MenuBox box;
  {
    std::lock_guard guard(g_menu_bar.lock);
    const Menu* top = TopMenu(g_menu_bar.menus);
    if (top == nullptr || item < 0 || item >= static_cast<int32_t>(top->entries.size()) ||
        item >= static_cast<int32_t>(g_menu_bar.layout.items.size())) {
      return;
    }
    const MenuEntry& e = top->entries[static_cast<size_t>(item)];
    if (e.kind == MenuEntryKind::kSeparator || e.greyed) return;
    menus = g_menu_bar.menus;
    box = g_menu_bar.layout.items[static_cast<size_t>(item)];
  }
  const MenuEntry& entry = menus.menus[0].entries[static_cast<size_t>(item)];
  SetHot(item);
  uint32_t chosen = 0;
  if (entry.kind == MenuEntryKind::kSubmenu) {
    chosen = TrackMenuOf(menus, entry.submenu, left + box.left, bottom);
  } else {
    chosen = entry.id & 0xFFFF;
    platform::LogDialog("menu bar", entry.text, "menu:" + std::to_string(chosen));
  }
  SetHot(-1);
  if (entry.kind == MenuEntryKind::kSubmenu) g_menu_bar.repaint_requested.store(true);
  if (chosen != 0) PostCommand(chosen);
}

void RemoveLocked(platform::WindowId* strip, platform::WindowId* bar) {
  *strip = g_menu_bar.strip_window;
  *bar = g_menu_bar.bar_window;
  g_menu_bar.window_index = -1;
  g_menu_bar.strip_window = platform::kNoWindow;
  g_menu_bar.bar_window = platform::kNoWindow;
  g_menu_bar.menus = MenuSet{};
  g_menu_bar.layout = MenuLayout{};
  g_menu_bar.pixels.clear();
  g_menu_bar.hot = -1;
  g_menu_bar.drawn = false;
  g_menu_bar.presented = false;
}

void RemoveBar() {
  platform::WindowId strip, bar;
  {
    std::lock_guard guard(g_menu_bar.lock);
    RemoveLocked(&strip, &bar);
  }
  if (strip != platform::kNoWindow) {
    platform::SetFrameOverlay(platform::OverlaySlot::kMenuBar, strip, nullptr);
    platform::SetWindowMenuBar(strip, 0);
  }
  if (bar != platform::kNoWindow) platform::DestroyWindow(bar);
  g_display.menu_bar_exists = 0;
  g_display.menu_bar_shown = 0;
}

}  // namespace

void MarkRootLayerWhollyChanged(int32_t window) {
  if (window < 0 || window >= kWindowCount || g_windows[window] == nullptr) return;
  if (LayerData* root = LayerOf(g_windows[window]->root_layer)) MarkLayerWhollyChanged(root);
}

void RepaintFrameUnderMenus(int32_t window) {
  if (window != 0 || !g_menu_bar.repaint_requested.exchange(false) || g_windows[0] == nullptr) {
    return;
  }
  // The root holds the last composed frame: show all of it again.
  if (LayerData* root = LayerOf(g_windows[0]->root_layer)) {
    SetWholeFrameRect(root);
    root->needs_redraw = 1;
  }
}

void InitMenuBar() {
  std::lock_guard guard(g_menu_bar.lock);
  platform::WindowId strip, bar;
  RemoveLocked(&strip, &bar);
  g_display.menu_bar_height = kMenuBarHeight;
  g_menu_bar.repaint_requested.store(false);
}

void ShutdownMenuBar() { RemoveBar(); }

int32_t RebuildMenuBar(const char* name, int32_t window) {
  if (name == nullptr || name[0] == '\0') {
    {
      std::lock_guard guard(g_menus.lock);
      DestroyMenuSet(kMenuSetBar);
    }
    RemoveBar();
    return 0;
  }
  char path[kObjectPathCapacity];
  if (NormalizeObjectPath(path, sizeof path, name, g_menu_tree.base_path, true) < 0) return -1;
  const NamedTreeNode* node = FindMenuNode(path);
  if (node == nullptr) {
    ReportScriptError(kErrorNoSuchMenu, true, CommandName(kCommandWindow), name);
    return -1;
  }
  MenuSet built;
  int32_t result = -1;
  {
    std::lock_guard guard(g_menus.lock);
    DestroyMenuSet(kMenuSetBar);
    const int32_t top = CreateMenuHandle(kMenuSetBar);
    result = top < 0 ? -1 : BuildMenuRecursive(kMenuSetBar, top, node);
    if (result == 0) built = g_menus.sets[kMenuSetBar];
  }
  RemoveBar();
  const platform::WindowId handle = HandleOf(window);
  if (result != 0 || handle == platform::kNoWindow) return result;

  const bool full_screen = window == 0 && g_display.full_screen == 1;
  {
    std::lock_guard guard(g_menu_bar.lock);
    g_menu_bar.window_index = window;
    g_menu_bar.menus = std::move(built);
    g_menu_bar.layout = LayoutMenuBar(g_menu_bar.menus.menus[0], g_windows[window]->logical_width);
    g_menu_bar.strip_window = full_screen ? platform::kNoWindow : handle;
    g_menu_bar.drawn = false;
  }
  if (window == 0) g_display.menu_bar_exists = 1;
  // In full screen the bar lives in its own window, shown when the cursor nears the top edge.
  if (!full_screen) {
    platform::SetWindowMenuBar(handle, kMenuBarHeight);
    platform::SetFrameOverlay(platform::OverlaySlot::kMenuBar, handle, DrawMenuBarOverlay);
    PresentTo(handle);
  }
  return 0;
}

void PresentWindowMenuBar(int32_t window) {
  platform::WindowId strip;
  {
    std::lock_guard guard(g_menu_bar.lock);
    if (g_menu_bar.window_index != window || (g_menu_bar.drawn && g_menu_bar.presented)) return;
    strip = g_menu_bar.strip_window;
  }
  if (strip != platform::kNoWindow) PresentTo(strip);
}

bool HandleMenuBarEvent(const platform::Event& event) {
  using platform::EventKind;
  if (event.kind == EventKind::kMenuBarChoice) {
    const uint32_t chosen = ChooseFromMenuBar(static_cast<uint32_t>(event.value));
    if (chosen != 0) PostCommand(chosen);
    return true;
  }
  platform::WindowId strip, bar;
  MenuLayout layout;
  {
    std::lock_guard guard(g_menu_bar.lock);
    if (g_menu_bar.window_index < 0) return false;
    strip = g_menu_bar.strip_window;
    bar = g_menu_bar.bar_window;
    if (event.window == strip && (event.kind == EventKind::kExposed ||
                                  event.kind == EventKind::kSized)) {
      g_menu_bar.presented = false;  // the window's pixels were lost: show the bar again
      return false;
    }
    layout = g_menu_bar.layout;
  }
  const bool mouse = event.kind == EventKind::kMouseMove || event.kind == EventKind::kMouseDown ||
                     event.kind == EventKind::kMouseUp || event.kind == EventKind::kMouseWheel;
  if (event.window == bar && bar != platform::kNoWindow) {
    if (event.kind == EventKind::kExposed) PresentTo(bar);
    if (event.kind == EventKind::kMouseDown) {
      platform::Rect r;
      if (platform::GetWindowRect(bar, &r)) {
        TrackBarItem(MenuEntryAt(layout, event.x, event.y), r.left, r.top + kMenuBarHeight);
      }
    }
    return true;
  }
  if (event.window != strip || strip == platform::kNoWindow || !mouse || event.y >= 0) {
    return false;
  }
  // A point over the bar: client coordinates are above the client area.
  if (event.kind == EventKind::kMouseDown) {
    int32_t ox = 0, oy = 0;
    platform::ScreenToClient(strip, &ox, &oy);
    TrackBarItem(MenuEntryAt(layout, event.x, event.y + kMenuBarHeight), -ox, -oy);
  }
  return true;
}

void ShowFullScreenMenuBar(bool show) {
  platform::WindowId bar;
  int32_t width = 0;
  {
    std::lock_guard guard(g_menu_bar.lock);
    bar = g_menu_bar.bar_window;
    width = g_menu_bar.layout.width;
    if (show && g_menu_bar.window_index < 0) return;
  }
  if (!show) {
    if (bar == platform::kNoWindow) return;
    platform::DestroyWindow(bar);
    {
      std::lock_guard guard(g_menu_bar.lock);
      g_menu_bar.bar_window = platform::kNoWindow;
    }
    // The bar covered the top of the frame.
    MarkRootLayerWhollyChanged(0);
    return;
  }
  if (bar != platform::kNoWindow || width <= 0) return;
  const platform::WindowId main = HandleOf(0);
  int32_t ox = 0, oy = 0;
  if (main != platform::kNoWindow) platform::ScreenToClient(main, &ox, &oy);
  bar = OpenMenuWindow("krMncl", -ox, -oy, width, kMenuBarHeight);
  if (bar == platform::kNoWindow) return;
  {
    std::lock_guard guard(g_menu_bar.lock);
    g_menu_bar.bar_window = bar;
  }
  PresentTo(bar);
}

uint32_t ChooseFromMenuBar(uint32_t command) {
  MenuSet menus;
  {
    std::lock_guard guard(g_menu_bar.lock);
    if (g_menu_bar.window_index < 0) {
      platform::LogDialog("menu bar", "(none)", "menu:0");
      return 0;
    }
    menus = g_menu_bar.menus;
  }
  const uint32_t chosen = command != 0 && MenuOffers(menus, 0, command & 0xFFFF) ? command & 0xFFFF : 0;
  std::string items;
  for (const MenuEntry& e : menus.menus[0].entries) {
    items += items.empty() ? "[" : " [";
    items += e.kind == MenuEntryKind::kSeparator ? std::string("-") : e.text;
    items += "]";
  }
  platform::LogDialog("menu bar", items, "menu:" + std::to_string(chosen));
  return chosen;
}

}  // namespace korvel
