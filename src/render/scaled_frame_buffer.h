// ScaledFrameBuffer: the one pixel buffer of the presentation size that receives a frame scaled on
// the CPU (width * 4 * (height + 1) + 4 bytes, reallocated when the size changes).
#pragma once

#include <cstdint>
#include <vector>

namespace korvel {

struct ScaledFrameBuffer {
  std::vector<uint8_t> pixels;
  int32_t width = 0;
  int32_t height = 0;
  // Counts allocations and releases: a scale kept in the buffer is stale once it moves on.
  uint32_t generation = 0;
};

extern ScaledFrameBuffer g_scaled_frame;

// The buffer sized for width x height (1..8192 each); null for other sides or when memory runs
// out (reported as 104030).
uint8_t* EnsureScaledFrameBuffer(int32_t width, int32_t height);

// Frees the buffer.
void ReleaseScaledFrameBuffer();

}  // namespace korvel
