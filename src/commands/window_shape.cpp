// The shape scan.
#include "commands/window_shape.h"

#include <cstring>

namespace korvel {

namespace {

inline bool Shown(const uint8_t* row, int32_t x) {
  uint32_t p;
  std::memcpy(&p, row + static_cast<size_t>(x) * 4, 4);
  return (p & 0x00FFFFFFu) != 0;
}

}  // namespace

bool BuildWindowShape(const uint8_t* bgra, int32_t width, int32_t height,
                      std::vector<platform::Rect>* rects) {
  rects->clear();
  if (bgra == nullptr || width < 1 || height < 1) return true;
  const size_t pitch = static_cast<size_t>(width) * 4;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = bgra + pitch * static_cast<size_t>(y);
    int32_t x = 0;
    while (x < width) {
      while (x < width && !Shown(row, x)) ++x;
      if (x == width) break;
      const int32_t start = x;
      while (x < width && Shown(row, x)) ++x;
      if (rects->size() == kMaxShapeRects) return false;
      rects->push_back(platform::Rect{start, y, x, y + 1});
    }
  }
  return true;
}

}  // namespace korvel
