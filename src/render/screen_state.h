// Window 0's screen: the size of the monitor it is on, the display mode full screen uses, the
// window frame's extra size and the sizing limits, and the other windows' places kept across full
// screen. The monitor look that fills it; the mode switches are in full_screen.h.
#pragma once

#include <cstdint>

#include "core/window_record.h"
#include "platform/platform.h"

namespace korvel {

// Where one of the engine's other windows was before a display-mode change: outer top-left and
// client size, and the window record's counts of command changes at that time.
struct SavedPlacement {
  platform::WindowId window = platform::kNoWindow;
  int32_t x = 0, y = 0, client_width = 0, client_height = 0;
  uint32_t size_changes = 0, position_changes = 0;
};

struct ScreenState {
  int32_t screen_width = 0, screen_height = 0;            // the window's monitor
  int32_t full_screen_width = 0, full_screen_height = 0;  // display mode used in full screen
  int32_t saved_full_screen_width = 0, saved_full_screen_height = 0;
  int32_t saved_present_width = 0, saved_present_height = 0;
  int32_t monitor = 0;       // the monitor of the last look
  int32_t last_monitor = -1; // the monitor UpdateWindowMonitor saw last
  // The window frame's extra width and height around the client area (resizable frame).
  int32_t frame_extra_width = 0, frame_extra_height = 0;
  // Sizing limits of the resizable main window, client sizes.
  int32_t min_client_width = 0, min_client_height = 0;
  int32_t max_client_width = 0, max_client_height = 0;
  // The engine's other visible windows (1..3), taken when full screen starts and put back when
  // window 0 is windowed again.
  SavedPlacement saved_placements[kWindowCount - 1];
  int32_t saved_placement_count = 0;
};

extern ScreenState g_screen;

// Resets the display state; windowed, with the screen of monitor 0.
void InitDisplayScreen();

// Window 0 when it exists and has a platform window; else null.
WindowRecord* ShownMainWindow();

// Finds the monitor of window 0 and takes its size as the screen size.
void RefreshScreenSize(platform::WindowId window);
// WM_MOVE: the monitor changed: remembered, and with GPU drawing in windowed state the device is
// to be made again.
void UpdateWindowMonitor(platform::WindowId window);

}  // namespace korvel
