// Where window 0's frame sits and how large every window's logical area is, as the main thread
// sees them: one copy published by the frame step's thread, read whole.
#pragma once

#include <cstdint>

#include "core/window_record.h"

namespace korvel {

struct WindowPlacement {
  int32_t offset_x = 0, offset_y = 0;              // window 0's frame origin in its client area
  int32_t display_width = 0, display_height = 0;   // window 0's presentation size (0: logical)
  int32_t logical_width[kWindowCount] = {};
  int32_t logical_height[kWindowCount] = {};
};

// The frame step's thread: copies the display placement and the windows' logical sizes as they
// stand now. Called once the frame's scripts have run (and at start-up), so a mouse position is
// never mapped with an offset from one state and a size from another.
void PublishWindowPlacement();
// Any thread: the last published copy.
WindowPlacement PublishedWindowPlacement();
// Back to all zeros.
void ResetWindowPlacement();

}  // namespace korvel
