// Headless windows: records of title, position, size and show state, with the events a window
// manager would send (activation, size, move). The desktop is monitor 0 of the monitor table.
#include "platform/headless/headless_api.h"
#include "platform/headless/headless_state.h"
#include "platform/text_encoding.h"

namespace korvel::platform::headless {
namespace {

// Monitor 0's rectangle (the table always holds one).
Rect DesktopLocked() {
  return g_state.monitors.empty() ? Rect{0, 0, 1920, 1080} : g_state.monitors[0].info.bounds;
}

Window* Find(WindowId id) {
  if (id < 0 || static_cast<size_t>(id) >= g_state.windows.size()) return nullptr;
  Window& window = g_state.windows[static_cast<size_t>(id)];
  return window.alive ? &window : nullptr;
}

void PostLocked(EventKind kind, WindowId id, int32_t value = 0, int32_t x = 0, int32_t y = 0) {
  Event event;
  event.kind = kind;
  event.value = value;
  event.x = x;
  event.y = y;
  AddressEventLocked(&event, id);
  PostEvent(std::move(event));
}

// Moves and sizes a window, posting kMoved / kSized for what changed.
void PlaceLocked(WindowId id, Window* w, int32_t x, int32_t y, int32_t width, int32_t height) {
  const bool moved = x != w->x || y != w->y;
  const bool sized = width != w->width || height != w->height;
  w->x = x;
  w->y = y;
  w->width = width;
  w->height = height;
  if (moved) PostLocked(EventKind::kMoved, id, 0, x, y);
  if (sized) PostLocked(EventKind::kSized, id, 0, width, height);
}

}  // namespace

void AddressEventLocked(Event* event, WindowId window) {
  const Window* w = Find(window);
  event->window = w != nullptr ? window : kNoWindow;
  event->engine_index = w != nullptr ? w->engine_index : -1;
}

WindowId MainWindowLocked() {
  for (size_t i = 0; i < g_state.windows.size(); ++i) {
    if (g_state.windows[i].alive && g_state.windows[i].engine_index == 0) {
      return static_cast<WindowId>(i);
    }
  }
  return kNoWindow;
}

void ActivateLocked(WindowId window) {
  if (window == g_state.active) return;
  if (Find(g_state.active) != nullptr) PostLocked(EventKind::kActivate, g_state.active, 0);
  g_state.active = Find(window) != nullptr ? window : kNoWindow;
  if (g_state.active != kNoWindow) PostLocked(EventKind::kActivate, g_state.active, 1);
}

WindowId HeadlessBackend::CreateWindow(const WindowDesc& desc) {
  std::lock_guard lock(g_state.mutex);
  Window w;
  w.alive = true;
  w.title = desc.title;
  w.x = desc.x;
  w.y = desc.y;
  w.width = desc.client_width;
  w.height = desc.client_height;
  w.resizable = desc.resizable;
  w.engine_index = desc.engine_index;
  w.borderless = desc.borderless;
  w.topmost = desc.topmost;
  w.z = ++g_state.z_top;
  g_state.windows.push_back(std::move(w));
  return static_cast<WindowId>(g_state.windows.size() - 1);
}

void HeadlessBackend::DestroyWindow(WindowId window) {
  std::lock_guard lock(g_state.mutex);
  Window* w = Find(window);
  if (w == nullptr) return;
  if (g_state.active == window) ActivateLocked(kNoWindow);
  *w = Window{};
}

void HeadlessBackend::ShowWindow(WindowId window, ShowCommand command) {
  std::lock_guard lock(g_state.mutex);
  ShowWindowLocked(window, command);
}

void ShowWindowLocked(WindowId window, ShowCommand command) {
  Window* w = Find(window);
  if (w == nullptr) return;
  switch (command) {
    case ShowCommand::kHide:
      w->visible = false;
      if (g_state.active == window) ActivateLocked(kNoWindow);
      break;
    case ShowCommand::kShow:
      w->visible = true;
      if (!w->minimized) ActivateLocked(window);
      break;
    case ShowCommand::kMinimize:
      w->visible = w->minimized = true;
      if (g_state.active == window) ActivateLocked(kNoWindow);
      break;
    case ShowCommand::kRestore:
      w->visible = true;
      w->minimized = false;
      if (w->maximized) {
        w->maximized = false;
        PlaceLocked(window, w, w->restore_x, w->restore_y, w->restore_width, w->restore_height);
      }
      ActivateLocked(window);
      break;
    case ShowCommand::kMaximize:
      w->visible = true;
      w->minimized = false;
      if (!w->maximized) {
        w->maximized = true;
        w->restore_x = w->x;
        w->restore_y = w->y;
        w->restore_width = w->width;
        w->restore_height = w->height;
        const Rect d = DesktopLocked();
        PlaceLocked(window, w, d.left, d.top, d.right - d.left, d.bottom - d.top);
      }
      ActivateLocked(window);
      break;
  }
}

bool HeadlessBackend::IsWindowVisible(WindowId window) {
  std::lock_guard lock(g_state.mutex);
  const Window* w = Find(window);
  return w != nullptr && w->visible;
}

bool HeadlessBackend::IsWindowMinimized(WindowId window) {
  std::lock_guard lock(g_state.mutex);
  const Window* w = Find(window);
  return w != nullptr && w->minimized;
}

void HeadlessBackend::SetWindowTitle(WindowId window, std::string_view title_sjis) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) w->title = std::string(title_sjis.substr(0, title_sjis.find('\0')));
}

void HeadlessBackend::SetWindowResizable(WindowId window, bool resizable) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) w->resizable = resizable;
}

void HeadlessBackend::SetWindowPosition(WindowId window, int32_t x, int32_t y) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) PlaceLocked(window, w, x, y, w->width, w->height);
}

void HeadlessBackend::SetWindowClientSize(WindowId window, int32_t width, int32_t height) {
  std::lock_guard lock(g_state.mutex);
  if (width < 0 || height < 0) return;
  if (Window* w = Find(window)) PlaceLocked(window, w, w->x, w->y, width, height);
}

void HeadlessBackend::SetWindowMenuBar(WindowId window, int32_t height) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) w->menu_bar_height = height;
}

int32_t HeadlessBackend::MenuBarHeight(WindowId window) {
  std::lock_guard lock(g_state.mutex);
  const Window* w = Find(window);
  return w != nullptr ? w->menu_bar_height : 0;
}

// Headless windows have no frame: the outer rectangle is the client area.
bool HeadlessBackend::GetWindowRect(WindowId window, Rect* rect) {
  std::lock_guard lock(g_state.mutex);
  const Window* w = Find(window);
  if (w == nullptr) return false;
  *rect = Rect{w->x, w->y, CoordinateSum(w->x, w->width), CoordinateSum(w->y, w->height)};
  return true;
}

bool HeadlessBackend::GetClientRect(WindowId window, Rect* rect) {
  std::lock_guard lock(g_state.mutex);
  const Window* w = Find(window);
  if (w == nullptr) return false;
  *rect = Rect{0, 0, w->width, w->height};
  return true;
}

bool HeadlessBackend::ScreenToClient(WindowId window, int32_t* x, int32_t* y) {
  std::lock_guard lock(g_state.mutex);
  const Window* w = Find(window);
  if (w == nullptr) return false;
  *x = CoordinateSum(*x, -int64_t{w->x});
  *y = CoordinateSum(*y, -int64_t{w->y});
  return true;
}

void HeadlessBackend::RaiseWindow(WindowId window) {
  std::lock_guard lock(g_state.mutex);
  if (Find(window) != nullptr) ActivateLocked(window);
}

bool HeadlessBackend::GetWorkArea(Rect* area) {
  std::lock_guard lock(g_state.mutex);
  *area = g_state.monitors.empty() ? DesktopLocked() : g_state.monitors[0].info.work_area;
  return true;
}

DisplayMode HeadlessBackend::GetDesktopMode() {
  std::lock_guard lock(g_state.mutex);
  const Rect d = DesktopLocked();
  return DisplayMode{d.right - d.left, d.bottom - d.top, 32, 60};
}

void HeadlessBackend::GetCursorPos(int32_t* x, int32_t* y) {
  std::lock_guard lock(g_state.mutex);
  *x = g_state.cursor_x;
  *y = g_state.cursor_y;
}

void HeadlessBackend::SetCursorPos(int32_t x, int32_t y) {
  std::lock_guard lock(g_state.mutex);
  g_state.cursor_x = x;
  g_state.cursor_y = y;
}

void HeadlessBackend::SetDragTest(DragTest test) {
  std::lock_guard lock(g_state.mutex);
  g_state.drag_test = test;
}

void HeadlessBackend::AllowScreenSaver(bool allow) {
  std::lock_guard lock(g_state.mutex);
  g_state.screen_saver_allowed = allow;
}

void HeadlessBackend::ShowCursor(bool show) {
  std::lock_guard lock(g_state.mutex);
  g_state.cursor_shown = show;
}

}  // namespace korvel::platform::headless

namespace korvel::platform {

bool GetHeadlessWindowInfo(WindowId window, HeadlessWindowInfo* info) {
  using namespace headless;
  std::lock_guard lock(g_state.mutex);
  const Window* w = Find(window);
  if (w == nullptr) return false;
  info->title = Cp932ToUtf8(w->title);
  info->x = w->x;
  info->y = w->y;
  info->width = w->width;
  info->height = w->height;
  info->visible = w->visible;
  info->minimized = w->minimized;
  info->maximized = w->maximized;
  info->resizable = w->resizable;
  info->engine_index = w->engine_index;
  info->borderless = w->borderless;
  info->maximizable = w->maximizable;
  info->topmost = w->topmost;
  info->full_screen = w->full_screen;
  info->full_screen_monitor = w->full_screen_monitor;
  info->full_screen_mode = w->full_screen_mode;
  info->z = w->z;
  info->flash_flags = w->flash_flags;
  info->flash_count = w->flash_count;
  info->flash_calls = w->flash_calls;
  info->shaped = w->shaped;
  info->shape = w->shape;
  info->menu_bar_height = w->menu_bar_height;
  return true;
}

WindowId HeadlessActiveWindow() {
  std::lock_guard lock(headless::g_state.mutex);
  return headless::g_state.active;
}

bool HeadlessScreenSaverAllowed() {
  std::lock_guard lock(headless::g_state.mutex);
  return headless::g_state.screen_saver_allowed;
}

bool HeadlessCursorShown() {
  std::lock_guard lock(headless::g_state.mutex);
  return headless::g_state.cursor_shown;
}

}  // namespace korvel::platform
