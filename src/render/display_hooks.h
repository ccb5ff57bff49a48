// Connects the display code to the shell: monitors, the first display-mode switch (full screen when
// asked) and the window settings at start-up, full screen left at shutdown, and the size, move,
// paint and activation messages of window 0.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvel {

// Set on the main thread by a paint or activation message; the next presentation of window 0
// shows its whole frame.
extern std::atomic<uint8_t> g_repaint_pending;

void WireDisplayHooks();

// The window procedure's display share (the hook's function), on the main thread: a size or move
// of window 0 is only recorded; paint and activation ask for a whole repaint.
void HandleDisplayMessage(int32_t window_index, int32_t kind, int32_t x, int32_t y);
// On the frame step's thread at the start of a frame: the monitor look and the resize that size
// and move messages left.
void ApplyDisplayChanges();

}  // namespace korvel
