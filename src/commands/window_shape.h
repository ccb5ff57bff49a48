// A window shape from a layer: one rectangle per run of non-black pixels in each row.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace korvel {

struct LayerData;

// The most rectangles a shape may have; one more fails the shape.
inline constexpr size_t kMaxShapeRects = 1999;

// Scans the layer's pixels row by row: each run of pixels whose colour is not pure black (the
// alpha byte is ignored) becomes a rectangle one row high (right and bottom exclusive). All black
// gives an empty list (the window disappears). False when a 2000th run appears; `rects` is then
// unspecified.
bool BuildWindowShape(const uint8_t* bgra, int32_t width, int32_t height,
                      std::vector<platform::Rect>* rects);

}  // namespace korvel
