// Window 0's screen: the monitor look and the screen size it gives.
#include "render/screen_state.h"

#include "core/display_state.h"
#include "core/gpu_requests.h"
#include "render/drawing_mode.h"
#include "render/monitor_table.h"

namespace korvel {

ScreenState g_screen;

void InitDisplayScreen() {
  g_screen = ScreenState{};
  EnumerateMonitors();
  g_screen.screen_width = g_monitors.width[0];
  g_screen.screen_height = g_monitors.height[0];
}

WindowRecord* ShownMainWindow() {
  WindowRecord* w = g_windows[0];
  return w != nullptr && w->handle != platform::kNoWindow ? w : nullptr;
}

void RefreshScreenSize(platform::WindowId window) {
  EnumerateMonitors();
  g_screen.monitor = MonitorOfWindow(window);
  g_screen.screen_width = g_monitors.width[g_screen.monitor];
  g_screen.screen_height = g_monitors.height[g_screen.monitor];
}

void UpdateWindowMonitor(platform::WindowId window) {
  RefreshScreenSize(window);
  if (g_screen.monitor != g_screen.last_monitor) {
    g_screen.last_monitor = g_screen.monitor;
    if (g_drawing.gpu != 0 && g_display.full_screen == 0 && g_display.maximised == 0) {
      RequestGpuReset();
    }
  }
}

}  // namespace korvel
