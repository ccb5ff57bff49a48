// The display code's hooks, and window 0's size, move, paint and activation messages.
#include "render/display_hooks.h"

#include "core/display_state.h"
#include "core/project_config.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "platform/platform.h"
#include "render/drag_snapshot.h"
#include "render/full_screen.h"
#include "render/screen_state.h"
#include "render/window_sizing.h"

namespace korvel {

std::atomic<uint8_t> g_repaint_pending{0};

namespace {

void StartDisplay() {
  InitDisplayScreen();
  ClearDragSnapshot();
  g_repaint_pending.store(0);
}

int LeaveFullScreenAtExit() { return SwitchToWindowed(); }

// The first display-mode switch, before the frame step's thread runs: the window's monitor, and
// full screen when the flag asks for it. Non-zero: the switch failed and full screen is off.
int SwitchDisplayModeAtStart() {
  WindowRecord* main = g_windows[0];
  if (main == nullptr || main->handle == platform::kNoWindow) return -1;
  RefreshScreenSize(main->handle);
  g_screen.last_monitor = g_screen.monitor;
  if (g_display.full_screen == 0) return 0;
  return SwitchToFullScreen() == 0 ? 0 : -1;
}

// A player-sizable main window gets its sizing limits for the screen it starts on.
void ApplyWindowSettings() {
  if (g_project.resizable_main_window != 0) SetWindowTrackLimits();
}

// Full screen was entered by the first switch: 1 tells start-up to show the window and let the
// monitor settle.
int EnterFullScreenAtStart() { return g_display.full_screen != 0 ? 1 : 0; }

}  // namespace

void HandleDisplayMessage(int32_t window_index, int32_t kind, int32_t x, int32_t y) {
  if (window_index != 0 || g_windows[0] == nullptr) return;
  switch (static_cast<platform::EventKind>(kind)) {
    case platform::EventKind::kMoved:
      g_window_messages.monitor_check_pending.store(1);
      break;
    case platform::EventKind::kSized:
      // The frame step's thread resizes, as it scales into the buffer that a resize makes again;
      // it also holds the switch that lets the player size the frame.
      if (x > 0 && y > 0) {
        g_window_messages.display_client_size.store(static_cast<uint64_t>(x) << 32 |
                                                    static_cast<uint32_t>(y));
      }
      break;
    case platform::EventKind::kExposed:
    case platform::EventKind::kActivate:
      g_repaint_pending.store(1);
      break;
    default:
      break;
  }
}

void ApplyDisplayChanges() {
  WindowRecord* main = g_windows[0];
  if (main == nullptr || main->handle == platform::kNoWindow) return;
  if (g_window_messages.monitor_check_pending.exchange(0) != 0) UpdateWindowMonitor(main->handle);
  const uint64_t size = g_window_messages.display_client_size.exchange(0);
  // Only a frame the player can size keeps the logical aspect ratio.
  if (size != 0 && g_project.resizable_main_window != 0) {
    ResizeWindowToScreen(static_cast<int32_t>(size >> 32), static_cast<int32_t>(size & 0xffffffffu));
    // The frame, and the Flash window over it, are shown again at once at the new size: an
    // unchanged frame would otherwise stay as it was drawn for the old size.
    g_repaint_pending.store(1);
  }
}

void WireDisplayHooks() {
  g_hooks.apply_display_changes = ApplyDisplayChanges;
  g_hooks.enumerate_monitors = StartDisplay;
  g_hooks.switch_display_mode = SwitchDisplayModeAtStart;
  g_hooks.apply_window_settings = ApplyWindowSettings;
  g_hooks.enter_full_screen = EnterFullScreenAtStart;
  g_hooks.leave_full_screen = LeaveFullScreenAtExit;
  g_hooks.display_message = HandleDisplayMessage;
  g_hooks.find_drag_layer = FindDragLayerSnapshot;
}

}  // namespace korvel
