// Pixel buffers and a child's rectangle inside its parent, as the row routines take them.
#pragma once

#include <cstdint>

namespace korvel {

// A BGRA pixel buffer of width × height pixels, rows width × 4 bytes apart.
struct PixelImage {
  uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

struct ConstPixelImage {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// One child's rectangle inside its parent's compose rectangle.
struct BlitClip {
  int32_t source_x = 0;
  int32_t source_y = 0;
  int32_t dest_x = 0;
  int32_t dest_y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace korvel
