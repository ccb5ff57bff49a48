// Window 0's presentation size: how large the frame is shown in an area and where it sits, with
// the CPU scaling buffer made for that size. The placement goes to the GPU path's requests.
#pragma once

#include <cstdint>

namespace korvel {

// Where the presented frame sits (the GPU frame's placement numbers): 0 unscaled, 1 the area's width (bands above and below), 2 the
// area's height (bands left and right), 3 stretched to the area.
enum : uint8_t {
  kPlacementNone = 0, kPlacementFitWidth = 1, kPlacementFitHeight = 2, kPlacementStretch = 3,
};

// Presentation size and placement for a frame shown in an area (the scale option, or fit when
// maximised); a size beyond the screen becomes half the screen, except with cover scaling. The
// scaling buffer is made again when the size changed. 0, or -1 after a fatal report (100010 for a
// side above 8192, 104030 without memory).
int32_t AllocateScreenBuffers(int32_t frame_width, int32_t frame_height, int32_t area_width,
                              int32_t area_height);

// The scaling buffer for a presentation size: 0, or -1 after the fatal report (a side above 8192,
// or no memory). Nothing to make for an empty size.
int32_t ReallocateScaledBuffer(int32_t width, int32_t height);

}  // namespace korvel
