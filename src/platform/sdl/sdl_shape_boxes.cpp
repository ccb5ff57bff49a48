// The rectangles of a shaped window in X's 16-bit window coordinates.
#include "platform/sdl/sdl_shape_boxes.h"

#include <algorithm>

namespace korvel::platform::sdl {

namespace {

constexpr int64_t kMin = INT16_MIN, kMax = INT16_MAX;

void AddBox(int64_t left, int64_t top, int64_t right, int64_t bottom, std::vector<ShapeBox>* out) {
  left = std::clamp(left, kMin, kMax);
  top = std::clamp(top, kMin, kMax);
  right = std::clamp(right, kMin, kMax);
  bottom = std::clamp(bottom, kMin, kMax);
  if (right <= left || bottom <= top) return;
  out->push_back(ShapeBox{static_cast<int16_t>(left), static_cast<int16_t>(top),
                          static_cast<uint16_t>(right - left),
                          static_cast<uint16_t>(bottom - top)});
}

}  // namespace

std::vector<ShapeBox> ShapeBoxes(const std::vector<Rect>& rects, int32_t bar_height,
                                 int32_t window_width) {
  std::vector<ShapeBox> boxes;
  boxes.reserve(rects.size() + 1);
  const int64_t bar = std::max(bar_height, 0);
  if (bar > 0) AddBox(0, 0, window_width, bar, &boxes);
  for (const Rect& r : rects) {
    AddBox(r.left, int64_t{r.top} + bar, r.right, int64_t{r.bottom} + bar, &boxes);
  }
  return boxes;
}

}  // namespace korvel::platform::sdl
