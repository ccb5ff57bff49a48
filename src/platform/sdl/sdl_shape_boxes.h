// The rectangles of a shaped window in X's 16-bit window coordinates, below the menu bar strip.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace korvel::platform::sdl {

struct ShapeBox {
  int16_t x = 0, y = 0;
  uint16_t width = 0, height = 0;
};

// Client-area rectangles moved down by the bar's height, clipped to the 16-bit coordinate range,
// empty ones left out; with a bar, its whole strip (window_width wide) comes first so it stays
// visible.
std::vector<ShapeBox> ShapeBoxes(const std::vector<Rect>& rects, int32_t bar_height,
                                 int32_t window_width);

}  // namespace korvel::platform::sdl
