// Window 0's display states: screen size, full screen and back, presentation size and placement,
// sizing limits, aspect fitting and repainting.
#include "render/screen_state.h"

#include <algorithm>
#include <cmath>

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
#include "layer/layer_data.h"
#include "layer/layer_record.h"
#include "render/drawing_mode.h"
#include "render/frame_presentation.h"
#include "render/monitor_table.h"
#include "render/scaled_frame_buffer.h"

namespace korvel {

ScreenState g_screen;

namespace {

constexpr int32_t kMaxSide = 8192;

WindowRecord* Main() {
  WindowRecord* w = g_windows[0];
  return w != nullptr && w->handle != platform::kNoWindow ? w : nullptr;
}

bool Gpu() { return g_drawing.gpu != 0; }

// The scaling buffer for a presentation size: 0, or -1 after the fatal report.
int32_t ReallocateScaled(int32_t width, int32_t height) {
  if (width > kMaxSide || height > kMaxSide) {
    ReportImageSizeTooLarge(width, height);
    return -1;
  }
  if (width < 1 || height < 1) return 0;  // nothing to scale into
  return EnsureScaledFrameBuffer(width, height) != nullptr ? 0 : -1;
}

void CursorToMonitorCentre(int32_t monitor) {
  const int32_t i = std::clamp(monitor, 0, std::max(g_monitors.count - 1, 0));
  platform::SetCursorPos(g_monitors.left[i] + g_monitors.width[i] / 2,
                         g_monitors.top[i] + g_monitors.height[i] / 2);
}

// The frame's offset in the client area: centred in full screen and maximised state.
void CentreFrame(int32_t area_width, int32_t area_height) {
  if (g_display.full_screen != 0 || g_display.maximised != 0) {
    g_display.offset_x = (area_width - g_display.display_width) / 2;
    g_display.offset_y = (area_height - g_display.display_height) / 2;
  } else {
    g_display.offset_x = g_display.offset_y = 0;
  }
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

void InitDisplayScreen() {
  g_screen = ScreenState{};
  EnumerateMonitors();
  g_screen.screen_width = g_monitors.width[0];
  g_screen.screen_height = g_monitors.height[0];
}

int32_t AllocateScreenBuffers(int32_t frame_width, int32_t frame_height, int32_t area_width,
                              int32_t area_height) {
  const int32_t fw = frame_width != 0 ? frame_width : 1;
  const double fit = static_cast<double>(frame_height) * area_width / fw;
  const uint8_t option = g_display.maximised != 0 ? 1 : g_settings.scaling_mode;
  int32_t width = frame_width, height = frame_height;
  uint8_t placement = kPlacementNone;
  const auto by_width = [&] {
    placement = kPlacementFitWidth;
    width = area_width;
    height = frame_width != 0
                 ? static_cast<int32_t>(int64_t{frame_height} * area_width / frame_width)
                 : area_height;
  };
  const auto by_height = [&] {
    placement = kPlacementFitHeight;
    width = frame_height != 0
                ? static_cast<int32_t>(int64_t{frame_width} * area_height / frame_height)
                : area_width;
    height = area_height;
  };
  switch (option) {
    case 1:
      if (area_height > fit) by_width(); else by_height();
      break;
    case 2:
      if (area_height > fit) by_height(); else by_width();
      break;
    case 3:
      placement = kPlacementStretch;
      width = area_width;
      height = area_height;
      break;
    default:
      break;
  }
  if (option != 2 && (width > g_screen.screen_width || height > g_screen.screen_height)) {
    width = g_screen.screen_width / 2;
    height = g_screen.screen_height / 2;
  }
  g_gpu_requests.frame_placement.store(static_cast<int8_t>(placement));
  g_display.display_width = width;
  g_display.display_height = height;
  CentreFrame(area_width, area_height);
  // A frame shown at its own size needs no scaling buffer.
  if (width == frame_width && height == frame_height) return 0;
  return ReallocateScaled(width, height);
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
    if (Gpu() && g_display.full_screen == 0 && g_display.maximised == 0) RequestGpuReset();
  }
}

int32_t SwitchToFullScreen() {
  WindowRecord* main = Main();
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
  if (Gpu()) RequestGpuReset();
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
  WindowRecord* main = Main();
  if (main == nullptr) return -1;
  g_display.display_width = g_screen.full_screen_width = main->logical_width;
  g_display.display_height = g_screen.full_screen_height = main->logical_height;
  g_display.offset_x = g_display.offset_y = 0;
  g_gpu_requests.frame_placement.store(kPlacementNone);
  SwitchToWindowedGdi(main);
  if (Gpu()) RequestGpuReset();
  if (ReallocateScaled(g_display.display_width, g_display.display_height) != 0) return -1;
  RefreshScreenSize(main->handle);
  CursorToMonitorCentre(g_screen.monitor);
  return 0;
}

void LargestAspectClient(int32_t logical_width, int32_t logical_height, int32_t bound_width,
                         int32_t bound_height, int32_t* width, int32_t* height) {
  if (logical_width < 1 || logical_height < 1 || bound_width < 1 || bound_height < 1) {
    *width = std::max(bound_width, 1);
    *height = std::max(bound_height, 1);
    return;
  }
  const double aspect = static_cast<double>(logical_width) / logical_height;
  if (bound_width / aspect <= bound_height) {
    *width = bound_width;
    *height = std::max(1, static_cast<int32_t>(bound_width / aspect + 0.5));
  } else {
    *height = bound_height;
    *width = std::max(1, static_cast<int32_t>(bound_height * aspect + 0.5));
  }
  *width = std::min(*width, bound_width);
  *height = std::min(*height, bound_height);
}

void SetWindowTrackLimits() {
  WindowRecord* main = Main();
  if (main == nullptr || g_display.full_screen != 0 || g_display.maximised != 0) return;
  const int32_t lw = main->logical_width, lh = main->logical_height;
  if (lw < 1 || lh < 1) return;
  // The shorter logical side at a quarter, the other side from the aspect ratio.
  const double aspect = static_cast<double>(lw) / lh;
  if (lw <= lh) {
    g_screen.min_client_width = std::max(1, lw / 4);
    g_screen.min_client_height = std::max(1, static_cast<int32_t>(g_screen.min_client_width /
                                                                  aspect + 0.5));
  } else {
    g_screen.min_client_height = std::max(1, lh / 4);
    g_screen.min_client_width = std::max(1, static_cast<int32_t>(g_screen.min_client_height *
                                                                 aspect + 0.5));
  }
  LargestAspectClient(lw, lh, g_screen.screen_width - g_screen.frame_extra_width,
                      g_screen.screen_height - g_screen.frame_extra_height,
                      &g_screen.max_client_width, &g_screen.max_client_height);
  ReallocateScaled(g_screen.max_client_width, g_screen.max_client_height);
}

void FitRectToAspect(int32_t edge, platform::Rect* client) {
  const WindowRecord* main = g_windows[0];
  if (main == nullptr || main->logical_width < 1 || main->logical_height < 1) return;
  const double aspect = static_cast<double>(main->logical_width) / main->logical_height;
  const int32_t width = client->right - client->left;
  const int32_t height = client->bottom - client->top;
  switch (edge) {
    case 3:  // top
    case kSizingEdgeBottom:
      client->right = client->left + static_cast<int32_t>(height * aspect + 0.5);
      break;
    default:  // left, right and the corners move the bottom edge
      client->bottom = client->top + static_cast<int32_t>(width / aspect + 0.5);
      break;
  }
}

void ResizeWindowToScreen(int32_t client_width, int32_t client_height) {
  WindowRecord* main = Main();
  if (main == nullptr || g_display.full_screen != 0 || g_display.maximised != 0) return;
  if (g_frame.countdown_border != 0) return;
  if (client_width < 1 || client_height < 1) return;
  const int32_t lw = main->logical_width, lh = main->logical_height;
  if (lw < 1 || lh < 1) return;
  // The window system reports only the size a drag ended with: a drag that changed the height
  // alone was on the top or bottom edge, and the width follows it; otherwise the width leads. All
  // within the screen.
  const bool height_alone =
      client_width == g_display.display_width && client_height != g_display.display_height;
  platform::Rect fitted{0, 0, client_width, client_height};
  FitRectToAspect(height_alone ? kSizingEdgeBottom : kSizingEdgeRight, &fitted);
  int32_t width = fitted.right;
  int32_t height = fitted.bottom;
  const int32_t bound_w = std::max(g_screen.screen_width - g_screen.frame_extra_width, 1);
  const int32_t bound_h = std::max(g_screen.screen_height - g_screen.frame_extra_height, 1);
  if (width > bound_w || height > bound_h) {
    LargestAspectClient(lw, lh, bound_w, bound_h, &width, &height);
  }
  if (width != client_width || height != client_height) {
    platform::SetWindowClientSize(main->handle, width, height);
  }
  g_display.display_width = width;
  g_display.display_height = height;
  if (width != lw || height != lh) ReallocateScaled(width, height);
}

}  // namespace korvel
