// Window 0's display: the screen size of its monitor, full screen and back, the presentation size
// and frame placement with the CPU scaling buffer, and the sizing limits and aspect fitting of a
// resizable window. The placement and device resets go to the GPU path's requests.
#pragma once

#include <cstdint>

#include "core/window_record.h"
#include "platform/platform.h"

namespace korvel {

// Where the presented frame sits (the GPU frame's placement numbers): 0 unscaled, 1 the area's width (bands above and below), 2 the
// area's height (bands left and right), 3 stretched to the area.
enum : uint8_t {
  kPlacementNone = 0, kPlacementFitWidth = 1, kPlacementFitHeight = 2, kPlacementStretch = 3,
};

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

inline constexpr uint32_t kBorderCountdownFrames = 20;

// Resets the display state; windowed, with the screen of monitor 0.
void InitDisplayScreen();

// Presentation size and placement for a frame shown in an area (the scale option, or fit when
// maximised); a size beyond the screen becomes half the screen, except with cover scaling. The
// scaling buffer is made again when the size changed. 0, or -1 after a fatal report (100010 for a
// side above 8192, 104030 without memory).
int32_t AllocateScreenBuffers(int32_t frame_width, int32_t frame_height, int32_t area_width,
                              int32_t area_height);

// Finds the monitor of window 0 and takes its size as the screen size.
void RefreshScreenSize(platform::WindowId window);
// WM_MOVE: the monitor changed: remembered, and with GPU drawing in windowed state the device is
// to be made again.
void UpdateWindowMonitor(platform::WindowId window);

// Full screen and back for window 0 (the flags are the caller's, as the display-state command sets
// them). Full screen: 0, or -1 when the mode change failed and the window went back.
int32_t SwitchToFullScreen();
int32_t SwitchToWindowed();

// The client size of a window that keeps the logical aspect ratio inside the screen, rounded.
void LargestAspectClient(int32_t logical_width, int32_t logical_height, int32_t bound_width,
                         int32_t bound_height, int32_t* width, int32_t* height);
// WM_GETMINMAXINFO: the smallest and largest client sizes of the resizable main window.
void SetWindowTrackLimits();
// Windows' sizing edges (WMSZ codes): 1 left, 2 right, 3 top, 6 bottom, 4/5/7/8 corners.
inline constexpr int32_t kSizingEdgeRight = 2;
inline constexpr int32_t kSizingEdgeBottom = 6;
// The client rectangle the player dragged by `edge`, corrected to the logical aspect ratio: a top
// or bottom edge moves the right edge, any other edge (corners too) moves the bottom edge.
void FitRectToAspect(int32_t edge, platform::Rect* client);
// WM_SIZE in windowed state: the client keeps the logical aspect ratio within the screen and the
// presentation follows the client size. The window system tells no sizing edge while the player
// drags, so the size the drag ended with is fitted here, the edge told by which sides changed.
// Does nothing while the border countdown runs.
void ResizeWindowToScreen(int32_t client_width, int32_t client_height);

}  // namespace korvel
