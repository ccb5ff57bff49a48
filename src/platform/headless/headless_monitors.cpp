// Headless monitors and display modes (KORVEL_MONITORS), full screen, z-order, caption flashing
// and window shapes, kept in the window records for tests to read.
#include <algorithm>
#include <charconv>

#include "platform/headless/headless_api.h"
#include "platform/headless/headless_state.h"

namespace korvel::platform::headless {
namespace {

Window* Find(WindowId id) {
  if (id < 0 || static_cast<size_t>(id) >= g_state.windows.size()) return nullptr;
  Window& window = g_state.windows[static_cast<size_t>(id)];
  return window.alive ? &window : nullptr;
}

void PostLocked(EventKind kind, WindowId id, int32_t x, int32_t y) {
  Event event;
  event.kind = kind;
  event.x = x;
  event.y = y;
  AddressEventLocked(&event, id);
  PostEvent(std::move(event));
}

// Reads a decimal number (with an optional sign when `sign`) at the front of `text`.
bool TakeNumber(std::string_view* text, bool sign, int32_t min, int32_t max, int32_t* out) {
  const char* begin = text->data();
  const char* end = begin + text->size();
  if (sign && begin != end && *begin == '+') ++begin;
  if (begin == end || (!sign && *begin == '-')) return false;
  int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc{} || value < min || value > max) return false;
  *out = static_cast<int32_t>(value);
  text->remove_prefix(static_cast<size_t>(ptr - text->data()));
  return true;
}

bool TakeChar(std::string_view* text, char c) {
  if (text->empty() || text->front() != c) return false;
  text->remove_prefix(1);
  return true;
}

// "WxH" with sides 1..16384.
bool TakeSize(std::string_view* text, int32_t* w, int32_t* h) {
  return TakeNumber(text, false, 1, 16384, w) && TakeChar(text, 'x') &&
         TakeNumber(text, false, 1, 16384, h);
}

bool ParseMonitor(std::string_view text, Monitor* out, std::string* error) {
  const std::string_view whole = text;
  int32_t w = 0, h = 0, x = 0, y = 0;
  // Offsets are written with their sign: "+1920", "-1280".
  const auto offset = [&text](int32_t* v) {
    if (text.empty() || (text.front() != '+' && text.front() != '-')) return false;
    return TakeNumber(&text, true, -1000000, 1000000, v);
  };
  if (!TakeSize(&text, &w, &h) || !offset(&x) || !offset(&y)) {
    *error = "monitor \"" + std::string(whole) + "\" is not WxH+X+Y";
    return false;
  }
  out->info.bounds = Rect{x, y, x + w, y + h};
  out->info.work_area = out->info.bounds;
  out->modes.clear();
  if (text.empty()) {
    out->modes.push_back(DisplayMode{w, h, 32, 60});
    return true;
  }
  if (!TakeChar(&text, ':')) {
    *error = "monitor \"" + std::string(whole) + "\": modes follow a ':'";
    return false;
  }
  while (true) {
    DisplayMode mode{0, 0, 32, 60};
    if (!TakeSize(&text, &mode.width, &mode.height) ||
        (TakeChar(&text, '@') && !TakeNumber(&text, false, 1, 64, &mode.bits_per_pixel))) {
      *error = "monitor \"" + std::string(whole) + "\": a mode is not WxH or WxH@bits";
      return false;
    }
    out->modes.push_back(mode);
    if (text.empty()) return true;
    if (!TakeChar(&text, ',')) {
      *error = "monitor \"" + std::string(whole) + "\": modes are separated by ','";
      return false;
    }
  }
}

}  // namespace

std::vector<Monitor> DefaultMonitors() {
  Monitor m;
  m.info.bounds = m.info.work_area = Rect{0, 0, 1920, 1080};
  for (auto [w, h] : {std::pair{1920, 1080}, {1600, 900}, {1280, 1024}, {1280, 720}, {1024, 768},
                      {800, 600}, {640, 480}}) {
    m.modes.push_back(DisplayMode{w, h, 32, 60});
  }
  return {m};
}

bool ParseMonitorTable(std::string_view text, std::vector<Monitor>* out, std::string* error) {
  std::vector<Monitor> monitors;
  while (!text.empty()) {
    const size_t end = std::min(text.find(';'), text.size());
    Monitor m;
    if (!ParseMonitor(text.substr(0, end), &m, error)) return false;
    monitors.push_back(std::move(m));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  if (monitors.empty() || monitors.size() > static_cast<size_t>(kMaxMonitors)) {
    *error = "the table needs 1 to 16 monitors";
    return false;
  }
  *out = std::move(monitors);
  return true;
}

std::vector<MonitorInfo> HeadlessBackend::GetMonitors() {
  std::lock_guard lock(g_state.mutex);
  std::vector<MonitorInfo> out;
  for (const Monitor& m : g_state.monitors) out.push_back(m.info);
  return out;
}

std::vector<DisplayMode> HeadlessBackend::GetDisplayModes(int32_t monitor) {
  std::lock_guard lock(g_state.mutex);
  if (monitor < 0 || static_cast<size_t>(monitor) >= g_state.monitors.size()) return {};
  return g_state.monitors[static_cast<size_t>(monitor)].modes;
}

bool HeadlessBackend::EnterFullScreen(WindowId window, int32_t monitor, const DisplayMode& mode) {
  std::lock_guard lock(g_state.mutex);
  Window* w = Find(window);
  if (w == nullptr || monitor < 0 || static_cast<size_t>(monitor) >= g_state.monitors.size()) {
    return false;
  }
  const Monitor& m = g_state.monitors[static_cast<size_t>(monitor)];
  const bool offered = std::any_of(m.modes.begin(), m.modes.end(), [&mode](const DisplayMode& o) {
    return o.width == mode.width && o.height == mode.height &&
           o.bits_per_pixel == mode.bits_per_pixel;
  });
  if (!offered) return false;
  w->full_screen = true;
  w->full_screen_monitor = monitor;
  w->full_screen_mode = mode;
  w->borderless = true;
  const bool moved = w->x != m.info.bounds.left || w->y != m.info.bounds.top;
  const bool sized = w->width != mode.width || w->height != mode.height;
  w->x = m.info.bounds.left;
  w->y = m.info.bounds.top;
  w->width = mode.width;
  w->height = mode.height;
  if (moved) PostLocked(EventKind::kMoved, window, w->x, w->y);
  if (sized) PostLocked(EventKind::kSized, window, w->width, w->height);
  return true;
}

void HeadlessBackend::LeaveFullScreen(WindowId window) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) {
    w->full_screen = false;
    w->full_screen_monitor = -1;
    w->full_screen_mode = DisplayMode{};
  }
}

void HeadlessBackend::SetWindowBorderless(WindowId window, bool borderless) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) w->borderless = borderless;
}

void HeadlessBackend::SetWindowMaximizable(WindowId window, bool maximizable) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) w->maximizable = maximizable;
}

void HeadlessBackend::SetWindowOrder(WindowId window, WindowOrder order, WindowId other) {
  std::lock_guard lock(g_state.mutex);
  Window* w = Find(window);
  if (w == nullptr) return;
  switch (order) {
    case WindowOrder::kTopmost:
      w->topmost = true;
      w->z = ++g_state.z_top;
      break;
    case WindowOrder::kNotTopmost:
      w->topmost = false;
      break;
    case WindowOrder::kTop:
      w->z = ++g_state.z_top;
      break;
    case WindowOrder::kBottom:
      w->z = --g_state.z_bottom;
      break;
    case WindowOrder::kBehind:
      if (const Window* o = Find(other)) {
        // Every window at or below the other one's place moves down by one to make room.
        const int64_t place = o->z;
        for (Window& each : g_state.windows) {
          if (each.alive && &each != w && &each != o && each.z < place) each.z -= 1;
        }
        w->z = place - 1;
        g_state.z_bottom = std::min(g_state.z_bottom, w->z);
      }
      break;
  }
}

void HeadlessBackend::FlashWindow(WindowId window, uint32_t flags, uint32_t count) {
  std::lock_guard lock(g_state.mutex);
  if (Window* w = Find(window)) {
    w->flash_flags = flags;
    w->flash_count = count;
    w->flash_calls += 1;
  }
}

bool HeadlessBackend::SetWindowShape(WindowId window, const std::vector<Rect>& rects) {
  std::lock_guard lock(g_state.mutex);
  Window* w = Find(window);
  if (w == nullptr) return false;
  w->shaped = true;
  w->shape = rects;
  return true;
}

}  // namespace korvel::platform::headless

namespace korvel::platform {

bool SetHeadlessMonitors(std::string_view spec, std::string* error) {
  std::vector<headless::Monitor> monitors;
  if (!headless::ParseMonitorTable(spec, &monitors, error)) return false;
  std::lock_guard lock(headless::g_state.mutex);
  headless::g_state.monitors = std::move(monitors);
  return true;
}

}  // namespace korvel::platform
