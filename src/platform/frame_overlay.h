// Pictures drawn over a window's presented frame after the engine composed it (the movie player's
// video): each overlay draws into a copy of the frame on its way to the backend.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace korvel::platform {

enum class OverlaySlot : uint8_t { kMovie = 0, kCount };

// Draws into `bgra` (width × height, rows of `pitch` bytes, client coordinates of the window).
using OverlayDraw = void (*)(uint8_t* bgra, int32_t width, int32_t height, int32_t pitch);

// Puts an overlay over the frames presented to `window`; null removes it.
void SetFrameOverlay(OverlaySlot slot, WindowId window, OverlayDraw draw);
bool HasFrameOverlay(WindowId window);

// The frame to present: `bgra` itself when no overlay covers the window, else a copy with every
// overlay drawn (rows of width × 4 bytes; valid until the next call).
const uint8_t* ApplyFrameOverlays(WindowId window, const uint8_t* bgra, int32_t width,
                                  int32_t height, int32_t* pitch);

// Drops every overlay and the copy buffer.
void ResetFrameOverlays();

}  // namespace korvel::platform
