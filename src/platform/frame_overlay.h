// Pictures drawn over a window's presented frame after the engine composed it: the movie
// player's video, the Flash window's rectangle and the menu bar in its strip above the client
// area. The CPU path draws them into a copy of the frame on its way to the backend; the GPU path
// draws them into a picture of the whole drawable and lays it over the frame.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace korvel::platform {

// Drawn in this order. The menu bar draws only into the strip; the others only into the client
// area.
enum class OverlaySlot : uint8_t { kMovie = 0, kFlash = 1, kMenuBar = 2, kCount };

// Draws into `bgra` (width × height, rows of `pitch` bytes): the window's picture, whose client
// area starts at row `client_top` (the menu bar strip lies above it; 0 when the picture is the
// client area alone). Every pixel drawn is opaque (alpha 255); the others are left as they are.
using OverlayDraw = void (*)(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                             int32_t client_top);

// Puts an overlay over the frames presented to `window`; null removes it.
void SetFrameOverlay(OverlaySlot slot, WindowId window, OverlayDraw draw);
// An overlay draws into `window`'s client area (with `strip_too`, or into its menu bar strip).
bool HasFrameOverlay(WindowId window, bool strip_too = false);

// The frame to present: `bgra` itself when no overlay covers the client area, else a copy with
// every overlay drawn (rows of width × 4 bytes; valid until the next call).
// The copy is one buffer shared by every window, filled under the overlays' lock and read by the
// caller after the lock is released. That is safe only because one thread presents every window
// (the frame step's thread, through PresentFrame; the SDL backend reads the copy on the main thread
// while that caller waits), so no other call refills or resizes the buffer while it is read, and
// ResetFrameOverlays, which frees it, never runs during a present. Presenting from a second thread
// would need a copy per thread.
const uint8_t* ApplyFrameOverlays(WindowId window, const uint8_t* bgra, int32_t width,
                                  int32_t height, int32_t* pitch);
// Draws every overlay of `window` into `bgra` in place, in slot order.
void DrawFrameOverlays(WindowId window, uint8_t* bgra, int32_t width, int32_t height,
                       int32_t pitch, int32_t client_top);

// Draws only the overlays of `window` that draw into its menu bar strip, into `bgra`, the strip
// alone (client_top is `height`). Showing the strip runs on whichever thread the bar changes on:
// the client area's overlays, and what they read, stay with the frame's own presentation.
void DrawStripOverlays(WindowId window, uint8_t* bgra, int32_t width, int32_t height,
                       int32_t pitch);

// Drops every overlay and the copy buffer.
void ResetFrameOverlays();

}  // namespace korvel::platform
