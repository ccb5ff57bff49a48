// The monitor table and the monitor under a window.
#include "render/monitor_table.h"

#include <algorithm>

namespace korvel {

MonitorTable g_monitors;

void EnumerateMonitors() {
  g_monitors = MonitorTable{};
  const std::vector<platform::MonitorInfo> monitors = platform::GetMonitors();
  for (const platform::MonitorInfo& m : monitors) {
    if (g_monitors.count >= kMonitorSlots) break;
    const int32_t i = g_monitors.count++;
    g_monitors.left[i] = m.bounds.left;
    g_monitors.top[i] = m.bounds.top;
    g_monitors.width[i] = m.bounds.right - m.bounds.left;
    g_monitors.height[i] = m.bounds.bottom - m.bounds.top;
  }
  if (g_monitors.count == 0) {
    const platform::DisplayMode mode = platform::GetDesktopMode();
    g_monitors.count = 1;
    g_monitors.width[0] = mode.width;
    g_monitors.height[0] = mode.height;
  }
}

int32_t MonitorAtPoint(const MonitorTable& table, int32_t x, int32_t y) {
  const int32_t count = std::clamp(table.count, 0, kMonitorSlots);
  int32_t best = 0;
  int64_t best_distance = INT64_MAX;
  for (int32_t i = 0; i < count; ++i) {
    // Squared distance from the point to the monitor's rectangle (0 inside).
    const int64_t l = table.left[i], t = table.top[i];
    const int64_t r = l + table.width[i], b = t + table.height[i];
    const int64_t dx = x < l ? l - x : (x >= r ? x - r + 1 : 0);
    const int64_t dy = y < t ? t - y : (y >= b ? y - b + 1 : 0);
    const int64_t d = dx * dx + dy * dy;
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  if (count > 0 && (table.width[best] <= 0 || table.height[best] <= 0)) {
    for (int32_t i = 0; i < count; ++i) {
      if (table.width[i] > 0 && table.height[i] > 0) return i;
    }
  }
  return best;
}

int32_t MonitorOfWindow(platform::WindowId window) {
  platform::Rect r;
  if (window == platform::kNoWindow || !platform::GetWindowRect(window, &r)) {
    return MonitorAtPoint(g_monitors, g_monitors.left[0], g_monitors.top[0]);
  }
  const int32_t cx = static_cast<int32_t>((int64_t{r.left} + r.right) / 2);
  const int32_t cy = static_cast<int32_t>((int64_t{r.top} + r.bottom) / 2);
  return MonitorAtPoint(g_monitors, cx, cy);
}

bool PickLowResolutionMode(const std::vector<platform::DisplayMode>& modes, int32_t monitor_width,
                           int32_t monitor_height, int32_t logical_width, int32_t logical_height,
                           int32_t depth, platform::DisplayMode* out) {
  if (monitor_width <= 0 || monitor_height <= 0) return false;
  const int64_t aspect = int64_t{monitor_width} * 1000 / monitor_height;
  bool found = false;
  platform::DisplayMode best;
  const size_t limit = std::min<size_t>(modes.size(), 10000);
  for (size_t i = 0; i < limit; ++i) {
    const platform::DisplayMode& m = modes[i];
    if (m.width <= 0 || m.height <= 0 || m.bits_per_pixel != depth) continue;
    if (int64_t{m.width} * 1000 / m.height != aspect) continue;
    if (m.width < logical_width || m.height < logical_height) continue;
    if (!found || (m.width < best.width && m.height < best.height)) {
      best = m;
      found = true;
    }
  }
  if (found) *out = best;
  return found;
}

}  // namespace korvel
