// The display code's hooks.
#include "render/display_wiring.h"

#include "core/display_state.h"
#include "core/project_config.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "platform/platform.h"
#include "render/display_screen.h"
#include "render/drag_snapshot.h"

namespace korvel {

std::atomic<uint8_t> g_repaint_pending{0};

namespace {

void StartDisplay() {
  InitDisplayScreen();
  ClearDragSnapshot();
  g_repaint_pending.store(0);
}

int LeaveFullScreenAtExit() { return SwitchToWindowed(); }

}  // namespace

void HandleDisplayMessage(int32_t window_index, int32_t kind, int32_t x, int32_t y) {
  if (window_index != 0 || g_windows[0] == nullptr) return;
  switch (static_cast<platform::EventKind>(kind)) {
    case platform::EventKind::kMoved:
      UpdateWindowMonitor(g_windows[0]->handle);
      break;
    case platform::EventKind::kSized:
      // Only a frame the player can size keeps the logical aspect ratio.
      if (g_project.resizable_main_window != 0) ResizeWindowToScreen(x, y - g_display.client_top);
      break;
    case platform::EventKind::kExposed:
    case platform::EventKind::kActivate:
      g_repaint_pending.store(1);
      break;
    default:
      break;
  }
}

void WireDisplayHooks() {
  g_hooks.enumerate_monitors = StartDisplay;
  g_hooks.leave_full_screen = LeaveFullScreenAtExit;
  g_hooks.display_message = HandleDisplayMessage;
  g_hooks.find_drag_layer = FindDragLayerSnapshot;
}

}  // namespace korvel
