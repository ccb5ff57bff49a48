// Full screen and back for window 0: the display mode, the borderless window, the other windows'
// places kept across the switch, and the cursor put on the monitor's centre.
#include "render/full_screen.h"

#include <algorithm>
#include <vector>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/gpu_requests.h"
#include "core/project_config.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "core/window_record.h"
#include "render/drawing_mode.h"
#include "render/monitor_table.h"
#include "render/presentation_size.h"
#include "render/screen_state.h"

namespace korvel {

namespace {

void CursorToMonitorCentre(int32_t monitor) {
  const int32_t i = std::clamp(monitor, 0, std::max(g_monitors.count - 1, 0));
  platform::SetCursorPos(g_monitors.left[i] + g_monitors.width[i] / 2,
                         g_monitors.top[i] + g_monitors.height[i] / 2);
}

// The engine's other visible windows, before a display-mode change may move them.
void SaveOtherWindowPlacements() {
  g_screen.saved_placement_count = 0;
  for (int32_t i = 1; i < kWindowCount; ++i) {
    const WindowRecord* w = g_windows[i];
    if (w == nullptr || w->handle == platform::kNoWindow || !platform::IsWindowVisible(w->handle)) {
      continue;
    }
    platform::Rect outer, client;
    if (!platform::GetWindowRect(w->handle, &outer) || !platform::GetClientRect(w->handle, &client)) {
      continue;
    }
    g_screen.saved_placements[g_screen.saved_placement_count++] =
        SavedPlacement{w->handle,    outer.left,      outer.top,          client.right,
                       client.bottom, w->size_changes, w->position_changes};
  }
}

// Puts the saved windows back where they were, those still open; the saved list is used once.
// A size or position a command gave a window meanwhile is the script's and stays.
void RestoreOtherWindowPlacements() {
  for (int32_t i = 0; i < g_screen.saved_placement_count; ++i) {
    const SavedPlacement& p = g_screen.saved_placements[i];
    const WindowRecord* w = FindWindowRecord(p.window);
    if (w == nullptr) continue;
    if (w->size_changes == p.size_changes) {
      platform::SetWindowClientSize(p.window, p.client_width, p.client_height);
    }
    if (w->position_changes == p.position_changes) platform::SetWindowPosition(p.window, p.x, p.y);
  }
  g_screen.saved_placement_count = 0;
}

// Back to the desktop's mode and a framed window, restarting the border countdown.
void SwitchToWindowedGdi(WindowRecord* main) {
  platform::LeaveFullScreen(main->handle);
  if (!QuitRequested()) {
    platform::SetWindowBorderless(main->handle, g_project.window_option == 0);
    platform::SetWindowResizable(main->handle, true);
    g_frame.countdown_border = kBorderCountdownFrames;
  }
  RestoreOtherWindowPlacements();
  // A maximised window is restored first, so the centring below is where it stays.
  if (g_display.maximised != 0) {
    platform::ShowWindow(main->handle, platform::ShowCommand::kRestore);
  }
  platform::SetWindowClientSize(main->handle, main->logical_width, main->logical_height);
  // The window comes back centred on the work area of its monitor.
  platform::Rect area;
  if (platform::GetWorkArea(&area)) {
    const int32_t monitor = std::clamp(g_screen.monitor, 0, std::max(g_monitors.count - 1, 0));
    if (monitor != 0) {
      area = platform::Rect{g_monitors.left[monitor], g_monitors.top[monitor],
                            g_monitors.left[monitor] + g_monitors.width[monitor],
                            g_monitors.top[monitor] + g_monitors.height[monitor]};
    }
    platform::SetWindowPosition(
        main->handle, area.left + (area.right - area.left) / 2 - main->logical_width / 2,
        area.top + (area.bottom - area.top) / 2 - main->logical_height / 2);
  }
}

}  // namespace

int32_t SwitchToFullScreen() {
  WindowRecord* main = ShownMainWindow();
  if (main == nullptr) return -1;
  RefreshScreenSize(main->handle);
  const int32_t monitor = g_screen.monitor;
  SaveOtherWindowPlacements();
  g_screen.saved_full_screen_width = g_screen.full_screen_width;
  g_screen.saved_full_screen_height = g_screen.full_screen_height;
  g_screen.saved_present_width = g_display.display_width;
  g_screen.saved_present_height = g_display.display_height;

  platform::DisplayMode mode{g_screen.screen_width, g_screen.screen_height,
                             g_display.desktop_bits, 60};
  if (g_settings.full_screen_sizing != 0) {
    platform::DisplayMode low;
    if (PickLowResolutionMode(platform::GetDisplayModes(monitor), g_screen.screen_width,
                              g_screen.screen_height, main->logical_width, main->logical_height,
                              g_display.desktop_bits, &low)) {
      mode = low;
    }
  }
  g_screen.full_screen_width = mode.width;
  g_screen.full_screen_height = mode.height;
  if (AllocateScreenBuffers(main->logical_width, main->logical_height, mode.width, mode.height) !=
      0) {
    return -1;
  }
  platform::SetWindowBorderless(main->handle, true);
  platform::SetWindowResizable(main->handle, false);

  // The mode change: the monitor must offer the size at the desktop's depth.
  if (g_drawing.gpu != 0) RequestGpuReset();
  const std::vector<platform::DisplayMode> modes = platform::GetDisplayModes(monitor);
  const bool offered =
      std::any_of(modes.begin(), modes.end(), [&mode](const platform::DisplayMode& m) {
        return m.width == mode.width && m.height == mode.height &&
               m.bits_per_pixel == mode.bits_per_pixel;
      });
  if (!offered || !platform::EnterFullScreen(main->handle, monitor, mode)) {
    g_display.full_screen = 0;
    SwitchToWindowedGdi(main);
    SwitchToWindowed();
    if (!offered) {
      ShowMessageF("", Sjis("PC環境が %d x %d 解像度でのフルスクリーンに対応していません。").c_str(),
                   mode.width, mode.height);
    } else {
      ReportErrorPlain(105210, false);
    }
    return -1;
  }
  CursorToMonitorCentre(monitor);
  return 0;
}

int32_t SwitchToWindowed() {
  WindowRecord* main = ShownMainWindow();
  if (main == nullptr) return -1;
  g_display.display_width = g_screen.full_screen_width = main->logical_width;
  g_display.display_height = g_screen.full_screen_height = main->logical_height;
  g_display.offset_x = g_display.offset_y = 0;
  g_gpu_requests.frame_placement.store(kPlacementNone);
  SwitchToWindowedGdi(main);
  if (g_drawing.gpu != 0) RequestGpuReset();
  if (ReallocateScaledBuffer(g_display.display_width, g_display.display_height) != 0) return -1;
  RefreshScreenSize(main->handle);
  CursorToMonitorCentre(g_screen.monitor);
  return 0;
}

}  // namespace korvel
