// Rotation of an image about its centre (scalar).
#include "pixel/pixel_rotate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvel {

namespace {

size_t At(int64_t x, int64_t y, int64_t width) { return static_cast<size_t>((y * width + x) * 4); }

// Columns x in [0, width) with 0 <= (p0 + x * step) >> 16 < size, as [*first, *end). The set is an
// interval since the position is monotone in x; a zero step has all or nothing.
void InsideSpan(int64_t p0, int64_t step, int64_t size, int32_t width, int64_t* first,
                int64_t* end) {
  const int64_t hi = size << 16;  // positions in [0, hi) are inside
  auto inside = [&](int64_t x) {
    const int64_t p = p0 + x * step;
    return p >= 0 && p < hi;
  };
  if (step == 0) {
    *first = 0;
    *end = inside(0) ? width : 0;
    return;
  }
  // Solve 0 <= p0 + x step < hi for x (one division per bound), then settle the ends.
  auto floor_div = [](int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
  };
  int64_t lo_x, hi_x;  // candidate inclusive bounds
  if (step > 0) {
    lo_x = -floor_div(p0, step);       // ceil(-p0 / step)
    hi_x = floor_div(hi - 1 - p0, step);
  } else {
    lo_x = -floor_div(hi - 1 - p0, -step);
    hi_x = floor_div(p0, -step);
  }
  lo_x = std::max<int64_t>(lo_x - 1, 0);
  hi_x = std::min<int64_t>(hi_x + 1, width - 1);
  while (lo_x <= hi_x && !inside(lo_x)) ++lo_x;
  while (hi_x >= lo_x && !inside(hi_x)) --hi_x;
  *first = lo_x;
  *end = hi_x + 1;
  if (*end < *first) *end = *first;
}

}  // namespace

RotationSteps RotationStepsOf(int64_t angle) {
  RotationSteps s;
  s.remainder = angle % 360;
  const double radians = static_cast<double>(s.remainder) * 3.1415926535 / 180.0;
  s.sin = static_cast<int64_t>(std::sin(radians) * 65536.0);
  s.cos = static_cast<int64_t>(std::cos(radians) * 65536.0);
  return s;
}

bool RotatePixels(uint8_t* out, const uint8_t* in, int32_t width, int32_t height, int64_t angle,
                  int32_t mode) {
  if (mode != 11 && mode != 12) return false;
  const RotationSteps st = RotationStepsOf(angle);
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  if (st.remainder == 0 || (mode == 12 && st.remainder < 0)) {
    std::memcpy(out, in, bytes);
    return true;
  }
  if (st.remainder == 180 || st.remainder == -180) {
    for (int64_t y = 0; y < height; ++y) {
      for (int64_t x = 0; x < width; ++x) {
        std::memcpy(out + At(x, y, width), in + At(width - 1 - x, height - 1 - y, width), 4);
      }
    }
    return true;
  }
  const int64_t cx = width / 2, cy = height / 2;
  for (int64_t y = 0; y < height; ++y) {
    const int64_t dy = y - cy;
    // Row origin (x = 0) in 16.16, plus half a pixel so the integer part is the nearest pixel;
    // positions are relative to the centre's pixel, shifted so the inside test is 0..size.
    const int64_t px0 = -cx * st.cos - dy * st.sin + 0x8000 + (cx << 16);
    const int64_t py0 = -cx * st.sin + dy * st.cos + 0x8000 + (cy << 16);
    uint8_t* row = out + At(0, y, width);
    if (mode == 11) {
      for (int64_t x = 0; x < width; ++x) {
        const int64_t px = px0 + x * st.cos, py = py0 + x * st.sin;
        const int64_t sx = px >> 16, sy = py >> 16;
        if (px < 0 || py < 0 || sx >= width || sy >= height) {
          std::memset(row + x * 4, 0, 4);
        } else {
          std::memcpy(row + x * 4, in + At(sx, sy, width), 4);
        }
      }
      continue;
    }
    int64_t fx, ex, fy, ey;
    InsideSpan(px0, st.cos, width, width, &fx, &ex);
    InsideSpan(py0, st.sin, height, width, &fy, &ey);
    const int64_t first = std::min<int64_t>(std::max(fx, fy), width);
    const int64_t end = std::max(first, std::min(ex, ey));
    std::memset(row, 0, static_cast<size_t>(first) * 4);
    for (int64_t x = first; x < end; ++x) {
      const int64_t sx = (px0 + x * st.cos) >> 16, sy = (py0 + x * st.sin) >> 16;
      std::memcpy(row + x * 4, in + At(sx, sy, width), 4);
    }
    std::memset(row + end * 4, 0, static_cast<size_t>(width - end) * 4);
  }
  return true;
}

}  // namespace korvel
