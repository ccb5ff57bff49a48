// The popup menu's modal loop: one borderless window per open level, drawn by the engine, with
// mouse and keyboard; the answer queue stands in for the player in headless runs.
#include "commands/popup_menu.h"

#include <algorithm>
#include <string>
#include <vector>

#include "commands/menu_bar.h"
#include "platform/headless/headless_api.h"
#include "platform/process.h"

namespace korvel {

namespace {

constexpr int32_t kVkReturn = 0x0D;
constexpr int32_t kVkEscape = 0x1B;
constexpr int32_t kVkSpace = 0x20;
constexpr int32_t kVkLeft = 0x25;
constexpr int32_t kVkUp = 0x26;
constexpr int32_t kVkRight = 0x27;
constexpr int32_t kVkDown = 0x28;
constexpr uint32_t kLoopSleepMs = 10;

// One open menu: its window, where it is on the screen, its pixels and the highlighted entry.
struct Level {
  int32_t menu = -1;
  platform::WindowId window = platform::kNoWindow;
  MenuBox screen;
  MenuLayout layout;
  std::vector<uint8_t> pixels;
  int32_t hot = -1;
  bool dirty = true;
};

struct Loop {
  const MenuSet* set = nullptr;
  std::vector<Level> levels;
  std::vector<platform::Event> kept;  // events for the window procedure, posted again afterwards
  bool done = false;
  uint32_t chosen = 0;
};

const Menu* MenuIn(const MenuSet& set, int32_t menu) {
  if (menu < 0 || menu >= kMenuHandlesPerSet || set.menus[menu].used == 0) return nullptr;
  return &set.menus[menu];
}

const Menu* MenuOf(const Loop& loop, int32_t menu) { return MenuIn(*loop.set, menu); }

platform::Rect WorkArea() {
  platform::Rect area;
  if (!platform::GetWorkArea(&area) || area.right <= area.left || area.bottom <= area.top) {
    const platform::DisplayMode mode = platform::GetDesktopMode();
    area = {0, 0, std::max(mode.width, 1), std::max(mode.height, 1)};
  }
  return area;
}

void OpenLevel(Loop& loop, int32_t menu, int32_t x, int32_t y, int32_t flip_x) {
  const Menu* m = MenuOf(loop, menu);
  if (m == nullptr) return;
  Level level;
  level.menu = menu;
  level.layout = LayoutPopupMenu(*m);
  level.screen = PlacePopupMenu(x, y, level.layout.width, level.layout.height, WorkArea());
  // A submenu that does not fit on the right opens on the left of its parent.
  if (flip_x != x && level.screen.left < x) {
    level.screen = PlacePopupMenu(flip_x - level.layout.width, y, level.layout.width,
                                  level.layout.height, WorkArea());
  }
  level.pixels.assign(static_cast<size_t>(level.layout.width) * level.layout.height * 4, 0);
  level.window = OpenMenuWindow("menu", level.screen.left, level.screen.top, level.layout.width,
                                level.layout.height);
  loop.levels.push_back(std::move(level));
}

void CloseLevelsFrom(Loop& loop, size_t first) {
  while (loop.levels.size() > first) {
    if (loop.levels.back().window != platform::kNoWindow) {
      platform::DestroyWindow(loop.levels.back().window);
    }
    loop.levels.pop_back();
  }
}

void Redraw(Loop& loop) {
  for (Level& level : loop.levels) {
    if (!level.dirty || level.window == platform::kNoWindow) continue;
    const Menu* m = MenuOf(loop, level.menu);
    if (m == nullptr) continue;
    MenuCanvas canvas{level.pixels.data(), level.layout.width, level.layout.height,
                      level.layout.width * 4};
    DrawPopupMenu(*m, level.layout, level.hot, canvas);
    platform::PresentFrame(level.window, level.pixels.data(), level.layout.width,
                           level.layout.height, level.layout.width * 4, 0);
    level.dirty = false;
  }
}

int32_t LevelOfWindow(const Loop& loop, platform::WindowId window) {
  for (size_t i = 0; i < loop.levels.size(); ++i) {
    if (loop.levels[i].window == window) return static_cast<int32_t>(i);
  }
  return -1;
}

void SetHot(Level& level, int32_t hot) {
  if (level.hot == hot) return;
  level.hot = hot;
  level.dirty = true;
}

// Opens the submenu of the highlighted entry of level `index` (closing deeper ones first).
void OpenHotSubmenu(Loop& loop, size_t index, bool select_first) {
  CloseLevelsFrom(loop, index + 1);
  Level& level = loop.levels[index];
  const Menu* m = MenuOf(loop, level.menu);
  if (m == nullptr || level.hot < 0 || level.hot >= static_cast<int32_t>(m->entries.size())) return;
  const MenuEntry& e = m->entries[static_cast<size_t>(level.hot)];
  if (e.kind != MenuEntryKind::kSubmenu || e.greyed) return;
  const MenuBox& box = level.layout.items[static_cast<size_t>(level.hot)];
  const int32_t submenu = e.submenu;
  const int32_t x = level.screen.left + box.right;
  const int32_t y = level.screen.top + box.top - kMenuPopupBorder;
  const int32_t flip = level.screen.left + box.left;
  OpenLevel(loop, submenu, x, y, flip);
  if (select_first && loop.levels.size() > index + 1) {
    Level& child = loop.levels.back();
    const Menu* cm = MenuOf(loop, child.menu);
    if (cm != nullptr) {
      for (size_t i = 0; i < cm->entries.size(); ++i) {
        if (cm->entries[i].kind != MenuEntryKind::kSeparator) {
          child.hot = static_cast<int32_t>(i);
          break;
        }
      }
    }
  }
}

// Chooses the highlighted entry of the deepest level holding one: a string item ends the loop, a
// submenu opens.
void Activate(Loop& loop, size_t index) {
  Level& level = loop.levels[index];
  const Menu* m = MenuOf(loop, level.menu);
  if (m == nullptr || level.hot < 0 || level.hot >= static_cast<int32_t>(m->entries.size())) return;
  const MenuEntry& e = m->entries[static_cast<size_t>(level.hot)];
  if (e.greyed || e.kind == MenuEntryKind::kSeparator) return;
  if (e.kind == MenuEntryKind::kSubmenu) {
    OpenHotSubmenu(loop, index, true);
    return;
  }
  loop.chosen = e.id & 0xFFFF;
  loop.done = true;
}

void MoveHot(Loop& loop, int32_t step) {
  Level& level = loop.levels.back();
  const Menu* m = MenuOf(loop, level.menu);
  if (m == nullptr || m->entries.empty()) return;
  const int32_t n = static_cast<int32_t>(m->entries.size());
  int32_t i = level.hot < 0 ? (step > 0 ? -1 : n) : level.hot;
  for (int32_t tries = 0; tries < n; ++tries) {
    i = ((i + step) % n + n) % n;
    if (m->entries[static_cast<size_t>(i)].kind != MenuEntryKind::kSeparator) {
      SetHot(level, i);
      return;
    }
  }
}

void OnKey(Loop& loop, int32_t vk) {
  const size_t deepest = loop.levels.size() - 1;
  switch (vk) {
    case kVkEscape:
    case kVkLeft:
      if (deepest == 0) {
        if (vk == kVkEscape) loop.done = true;
      } else {
        CloseLevelsFrom(loop, deepest);
        loop.levels.back().dirty = true;
      }
      break;
    case kVkUp: MoveHot(loop, -1); break;
    case kVkDown: MoveHot(loop, 1); break;
    case kVkRight: OpenHotSubmenu(loop, deepest, true); break;
    case kVkReturn:
    case kVkSpace: Activate(loop, deepest); break;
    default: break;
  }
}

void OnEvent(Loop& loop, const platform::Event& e) {
  using platform::EventKind;
  const int32_t index = LevelOfWindow(loop, e.window);
  switch (e.kind) {
    case EventKind::kMouseMove: {
      if (index < 0) return;
      Level& level = loop.levels[static_cast<size_t>(index)];
      const int32_t hot = MenuEntryAt(level.layout, e.x, e.y);
      if (hot < 0) return;
      if (hot != level.hot) {
        SetHot(level, hot);
        OpenHotSubmenu(loop, static_cast<size_t>(index), false);
      }
      return;
    }
    case EventKind::kMouseDown:
      // A press outside every open menu dismisses them; the press itself is eaten.
      if (index < 0) loop.done = true;
      return;
    case EventKind::kMouseUp: {
      if (index < 0) return;
      Level& level = loop.levels[static_cast<size_t>(index)];
      const int32_t hot = MenuEntryAt(level.layout, e.x, e.y);
      if (hot < 0) return;
      SetHot(level, hot);
      Activate(loop, static_cast<size_t>(index));
      return;
    }
    case EventKind::kKeyDown: OnKey(loop, e.value); return;
    case EventKind::kKeyUp:
    case EventKind::kMouseWheel:
    case EventKind::kDragStart:
    // A menu never takes the activation from its owner; where the window system moves the focus
    // to a menu window (the pointer's focus without a window manager) it is not a deactivation.
    case EventKind::kActivate: return;
    case EventKind::kQuit:
    case EventKind::kTerminate:
    case EventKind::kClose:
    case EventKind::kCloseButton:
      loop.kept.push_back(e);
      loop.done = true;
      return;
    default:
      if (index < 0) loop.kept.push_back(e);
      return;
  }
}

struct LoopCall {
  const MenuSet* set;
  int32_t menu, x, y;
  uint32_t chosen;
};

void RunLoopOnMainThread(void* context) {
  auto* call = static_cast<LoopCall*>(context);
  Loop loop;
  loop.set = call->set;
  OpenLevel(loop, call->menu, call->x, call->y, call->x);
  if (loop.levels.empty() || loop.levels.front().window == platform::kNoWindow) {
    CloseLevelsFrom(loop, 0);
    call->chosen = 0;
    return;
  }
  while (!loop.done) {
    // A termination signal taken before the menu opened ends it as well.
    if (platform::TerminationRequested()) break;
    Redraw(loop);
    platform::Event e;
    bool any = false;
    while (!loop.done && platform::PollEvent(&e)) {
      any = true;
      OnEvent(loop, e);
    }
    if (!any && !loop.done) platform::SleepMs(kLoopSleepMs);
  }
  CloseLevelsFrom(loop, 0);
  for (platform::Event& kept : loop.kept) platform::PostEvent(std::move(kept));
  call->chosen = loop.chosen;
}

// Whether `command` names an enabled string item of the menu or its submenus.
bool Offers(const MenuSet& set, int32_t menu, uint32_t command, int depth) {
  const Menu* m = MenuIn(set, menu);
  if (m == nullptr || depth > kMenuHandlesPerSet) return false;
  for (const MenuEntry& e : m->entries) {
    if (e.kind == MenuEntryKind::kSubmenu && !e.greyed && Offers(set, e.submenu, command, depth + 1)) {
      return true;
    }
    if (e.kind == MenuEntryKind::kString && !e.greyed && (e.id & 0xFFFF) == command) return true;
  }
  return false;
}

std::string DescribeMenu(const MenuSet& set, int32_t menu, int32_t x, int32_t y) {
  std::string text = "at " + std::to_string(x) + "," + std::to_string(y) + ":";
  const Menu* m = MenuIn(set, menu);
  if (m == nullptr) return text;
  for (const MenuEntry& e : m->entries) {
    text += " [";
    text += e.kind == MenuEntryKind::kSeparator ? std::string("-") : e.text;
    if (e.kind == MenuEntryKind::kString) text += "=" + std::to_string(e.id & 0xFFFF);
    text += "]";
  }
  return text;
}

uint32_t HeadlessChoice(const MenuSet& set, int32_t menu, int32_t x, int32_t y) {
  int32_t answer = 0;
  const std::string text = DescribeMenu(set, menu, x, y);
  if (!platform::TakeHeadlessMenuAnswer(&answer)) {
    platform::LogDialog("menu", text, "(no answer)");
    return 0;
  }
  uint32_t chosen = static_cast<uint32_t>(answer) & 0xFFFF;
  if (answer <= 0 || !Offers(set, menu, chosen, 0)) chosen = 0;
  platform::LogDialog("menu", text, "menu:" + std::to_string(chosen));
  return chosen;
}

}  // namespace

platform::WindowId OpenMenuWindow(const char* title, int32_t x, int32_t y, int32_t width,
                                  int32_t height) {
  platform::WindowDesc desc;
  desc.title = title;
  desc.x = x;
  desc.y = y;
  desc.client_width = width;
  desc.client_height = height;
  desc.borderless = true;
  desc.topmost = true;
  desc.utility = true;
  desc.popup_menu = true;
  desc.accept_drops = false;
  desc.engine_index = -1;
  const platform::WindowId window = platform::CreateWindow(desc);
  if (window != platform::kNoWindow) {
    platform::SetWindowPosition(window, x, y);
    platform::ShowWindow(window, platform::ShowCommand::kShow);
  }
  return window;
}

MenuBox PlacePopupMenu(int32_t x, int32_t y, int32_t width, int32_t height,
                       const platform::Rect& area) {
  int32_t left = x, top = y;
  if (left + width > area.right && x - width >= area.left) left = x - width;
  if (top + height > area.bottom && y - height >= area.top) top = y - height;
  left = std::max(area.left, std::min(left, area.right - width));
  top = std::max(area.top, std::min(top, area.bottom - height));
  return {left, top, left + width, top + height};
}

uint32_t TrackPopupMenu(int32_t set, int32_t menu, int32_t x, int32_t y) {
  const MenuSet copy = CopyMenuSet(set);
  return TrackMenuOf(copy, menu, x, y);
}

uint32_t TrackMenuOf(const MenuSet& set, int32_t menu, int32_t x, int32_t y) {
  if (MenuIn(set, menu) == nullptr) return 0;
  if (platform::IsHeadless()) return HeadlessChoice(set, menu, x, y);
  LoopCall call{&set, menu, x, y, 0};
  platform::RunOnMainThread(RunLoopOnMainThread, &call);
  platform::LogDialog("menu", DescribeMenu(set, menu, x, y), "menu:" + std::to_string(call.chosen));
  return call.chosen;
}

uint64_t ShowPopupMenuSet(int set, int32_t x, int32_t y) {
  const int32_t menu = PopupMenuOf(set);
  if (menu < 0) return 0;
  const uint32_t chosen = TrackPopupMenu(set, menu, x, y);
  // The menu's windows covered part of the frame.
  if (!platform::IsHeadless()) g_menu_bar.repaint_requested.store(true);
  return chosen;
}

bool MenuOffers(const MenuSet& set, int32_t menu, uint32_t command) {
  return Offers(set, menu, command, 0);
}

}  // namespace korvel
