// The monitor table (index = the platform's display index), the screen size of the monitor the
// main window is on, and the display-mode pick for full screen.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace korvel {

inline constexpr int32_t kMonitorSlots = 16;

struct MonitorTable {
  int32_t left[kMonitorSlots] = {};
  int32_t top[kMonitorSlots] = {};
  int32_t width[kMonitorSlots] = {};
  int32_t height[kMonitorSlots] = {};
  int32_t count = 0;
};

extern MonitorTable g_monitors;

// Fills the table from the platform's monitors (at most 16); with none, one entry of the desktop
// mode's size at the origin.
void EnumerateMonitors();

// The monitor that holds the point, else the nearest one; an index whose entry is empty (zero
// width or height) gives the first usable entry. Always inside 0..count-1 (0 for an empty table).
int32_t MonitorAtPoint(const MonitorTable& table, int32_t x, int32_t y);

// The monitor under the centre of the window's outer rectangle (0 when the window has none).
int32_t MonitorOfWindow(platform::WindowId window);

// The full-screen mode with the low-resolution option: among `modes`, those with the monitor's
// aspect ratio (width × 1000 / height, compared as integers), at least the logical size on both
// sides and the desktop's depth, the one with the smallest sides (a later mode replaces the best
// only when both of its sides are smaller). False when none qualifies.
bool PickLowResolutionMode(const std::vector<platform::DisplayMode>& modes, int32_t monitor_width,
                           int32_t monitor_height, int32_t logical_width, int32_t logical_height,
                           int32_t depth, platform::DisplayMode* out);

}  // namespace korvel
