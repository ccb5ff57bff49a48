// The plain effect routines (scalar, each formula above its routine): the reference every faster
// path is held to, byte for byte.
#include "pixel/pixel_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "pixel/pixel_kernels.h"

namespace korvel {

namespace {

size_t At(int64_t x, int64_t y, int64_t pitch) { return static_cast<size_t>((y * pitch + x) * 4); }

uint8_t Clamp255(int64_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Script values as multipliers: beyond this they act as this (every result already saturates).
int64_t Bounded(int64_t v, int64_t limit) { return std::clamp(v, -limit, limit); }

// Applies `f(in pixel, out pixel)` over the rectangle into the cut output.
template <typename F>
void PerPixel(const EffectCall& c, F f) {
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    const uint8_t* s = c.in + At(c.x0, y, c.width);
    uint8_t* d = c.out + At(0, y - c.y0, c.out_width);
    for (int32_t x = c.x0; x <= c.x1; ++x, s += 4, d += 4) f(s, d);
  }
}

// Mode 1: c' = clamp(c + A - 128, 0, 255), alpha copied.
void Brightness(const EffectCall& c) {
  const int64_t add = Bounded(c.a, 1 << 20) - 128;
  PerPixel(c, [add](const uint8_t* s, uint8_t* d) {
    for (int i = 0; i < 3; ++i) d[i] = Clamp255(s[i] + add);
    d[3] = s[3];
  });
}

// Mode 25: c' = 255 - c.
void Negative(const EffectCall& c) {
  PerPixel(c, [](const uint8_t* s, uint8_t* d) {
    for (int i = 0; i < 3; ++i) d[i] = static_cast<uint8_t>(255 - s[i]);
    d[3] = s[3];
  });
}

// Mode 10: per channel target t (blue, green, red of A as 0xRRGGBB):
// out = c + (((255 - c) * max(t - 128, 0)) >> 7) - ((c * max(128 - t, 0)) >> 7).
void Tone(const EffectCall& c) {
  uint8_t table[3][256];
  for (int ch = 0; ch < 3; ++ch) {
    const int32_t t = static_cast<int32_t>((static_cast<uint64_t>(c.a) >> (8 * ch)) & 255);
    const int32_t up = std::max(t - 128, 0), down = std::max(128 - t, 0);
    for (int32_t v = 0; v < 256; ++v) {
      table[ch][v] = Clamp255(v + (((255 - v) * up) >> 7) - ((v * down) >> 7));
    }
  }
  PerPixel(c, [&table](const uint8_t* s, uint8_t* d) {
    for (int i = 0; i < 3; ++i) d[i] = table[i][s[i]];
    d[3] = s[3];
  });
}

// Mode 36: Y = (306 r + 601 g + 117 b) * 1024; b' = max(0, (Y - 46347025) / 2^20),
// g' = max(0, (Y - 287585) / 2^20), r' = min(255, (Y + 18748416) >> 20).
void Sepia(const EffectCall& c) {
  PerPixel(c, [](const uint8_t* s, uint8_t* d) {
    const int64_t y = (306 * int64_t{s[2]} + 601 * int64_t{s[1]} + 117 * int64_t{s[0]}) * 1024;
    d[0] = Clamp255(std::max<int64_t>(0, (y - 46347025) / (1 << 20)));
    d[1] = Clamp255(std::max<int64_t>(0, (y - 287585) / (1 << 20)));
    d[2] = Clamp255(std::min<int64_t>(255, (y + 18748416) >> 20));
    d[3] = s[3];
  });
}

// Mode 27 on one pixel. g = (b + g + r) / 3. A < 128: c' = c + (((g - c) * (128 - A)) >> 7).
// A >= 128: s = A - 128, d = c - g; t = s lowered to ((255 - c) * 128) / d where c + ((s * d) >> 7)
// would pass 255 and to (-128 * c) / d where it would fall below 0; c' = c + ((d * t) >> 7).
void SaturateOne(const uint8_t* s, uint8_t* d, int64_t a) {
  const int64_t g = (int64_t{s[0]} + s[1] + s[2]) / 3;
  if (a < 128) {
    const int64_t k = 128 - a;
    for (int i = 0; i < 3; ++i) d[i] = Clamp255(s[i] + (((g - s[i]) * k) >> 7));
  } else {
    const int64_t sv = a - 128;
    int64_t t = sv;
    for (int i = 0; i < 3; ++i) {
      const int64_t dv = s[i] - g;
      const int64_t r = s[i] + ((sv * dv) >> 7);
      if (r > 255) t = std::min(t, ((255 - s[i]) * 128) / dv);
      if (r < 0) t = std::min(t, (-128 * int64_t{s[i]}) / dv);
    }
    for (int i = 0; i < 3; ++i) d[i] = Clamp255(s[i] + (((s[i] - g) * t) >> 7));
  }
  d[3] = s[3];
}

void Saturation(const EffectCall& c) {
  const int64_t a = Bounded(c.a, 1 << 20);
  PerPixel(c, [a](const uint8_t* s, uint8_t* d) { SaturateOne(s, d, a); });
}

// Modes 6, 7: out = in, row by row through the copy kernel.
void CopyRect(const EffectCall& c) {
  const size_t bytes = static_cast<size_t>(c.x1 - c.x0 + 1) * 4;
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    g_pixel_kernels.copy_row(c.out + At(0, y - c.y0, c.out_width), c.in + At(c.x0, y, c.width),
                             bytes);
  }
}

// Mode 9: out(x, y) = in(width - 1 - x, y).
void Mirror(const EffectCall& c) {
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    uint8_t* d = c.out + At(0, y - c.y0, c.out_width);
    for (int32_t x = c.x0; x <= c.x1; ++x, d += 4) {
      std::memcpy(d, c.in + At(c.width - 1 - x, y, c.width), 4);
    }
  }
}

// Mode 35: out(x, y) = in(x, y0 + y1 - y).
void Flip(const EffectCall& c) {
  const size_t bytes = static_cast<size_t>(c.x1 - c.x0 + 1) * 4;
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    std::memcpy(c.out + At(0, y - c.y0, c.out_width), c.in + At(c.x0, c.y0 + c.y1 - y, c.width),
                bytes);
  }
}

// Mode 17 (whole image kept): inside the rectangle b + g + r >= 3A makes all three 255, else 0.
void Threshold(const EffectCall& c) {
  const int64_t limit = 3 * Bounded(c.a, 1 << 20);
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    uint8_t* d = c.out + At(c.x0, y, c.out_width);
    for (int32_t x = c.x0; x <= c.x1; ++x, d += 4) {
      const uint8_t v = (int64_t{d[0]} + d[1] + d[2]) >= limit ? 255 : 0;
      d[0] = d[1] = d[2] = v;
    }
  }
}

// Mode 22 (whole image kept): variant 1 fills with (A & 0xFFFFFF) and alpha 255, 2 sets each
// alpha to A & 255, 3 fills with A as a whole pixel.
void Fill(const EffectCall& c) {
  const auto a = static_cast<uint32_t>(static_cast<uint64_t>(c.a));
  const size_t bytes = static_cast<size_t>(c.x1 - c.x0 + 1) * 4;
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    uint8_t* d = c.out + At(c.x0, y, c.out_width);
    if (c.variant == 1) {
      g_pixel_kernels.fill_pixels(d, bytes, (a & 0xFFFFFFu) | 0xFF000000u);
    } else if (c.variant == 2) {
      for (size_t i = 3; i < bytes; i += 4) d[i] = static_cast<uint8_t>(a & 255);
    } else if (c.variant == 3) {
      g_pixel_kernels.fill_pixels(d, bytes, a);
    }
  }
}

// Modes 19-21: row offset d = trunc(sin((y + B) * k) * A), column offset e = trunc(cos((x + B) *
// k) * A), k = 0.017453292f. Source column x + d (below x0: x0, above x1: max(x1 - 1, x0)); source
// row clamp(y + e, y0, y1).
int64_t WaveOffset(double angle_source, int64_t a, bool sine) {
  const double k = static_cast<double>(0.017453292f);
  const double v = (sine ? std::sin(angle_source * k) : std::cos(angle_source * k)) *
                   static_cast<double>(a);
  if (!(v > -9.0e18 && v < 9.0e18)) return INT64_MIN;
  return static_cast<int64_t>(v);
}

void Waves(const EffectCall& c, bool rows, bool columns) {
  const int64_t right = std::max<int64_t>(c.x1 - 1, c.x0);
  std::vector<int64_t> e(static_cast<size_t>(c.x1 - c.x0 + 1), 0);
  if (columns) {
    for (int32_t x = c.x0; x <= c.x1; ++x) {
      e[static_cast<size_t>(x - c.x0)] =
          WaveOffset(static_cast<double>(x) + static_cast<double>(c.b), c.a, false);
    }
  }
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    const int64_t d =
        rows ? WaveOffset(static_cast<double>(y) + static_cast<double>(c.b), c.a, true) : 0;
    uint8_t* out = c.out + At(0, y - c.y0, c.out_width);
    for (int32_t x = c.x0; x <= c.x1; ++x, out += 4) {
      int64_t sx = d == INT64_MIN ? c.x0 : x + d;
      if (sx < c.x0) sx = c.x0;
      if (sx > c.x1) sx = right;
      const int64_t ev = e[static_cast<size_t>(x - c.x0)];
      const int64_t sy =
          ev == INT64_MIN ? c.y0 : std::clamp<int64_t>(y + ev, c.y0, c.y1);
      std::memcpy(out, c.in + At(sx, sy, c.width), 4);
    }
  }
}

// Running-sum blur of one line of `count` pixels at `src` (step `src_step` bytes) into `dst`
// (step `dst_step`): each channel = sum over i - r..i + r inside the line / pixels summed.
// `channels` is 4 with alpha, else 3 (alpha copied).
void BlurLine(const uint8_t* src, size_t src_step, uint8_t* dst, size_t dst_step, int32_t count,
              int64_t r, int channels) {
  int64_t sum[4] = {0, 0, 0, 0};
  int64_t first = 0, end = 0;  // summed pixels [first, end)
  for (int32_t i = 0; i < count; ++i) {
    const int64_t want_end = std::min<int64_t>(count, i + r + 1);
    const int64_t want_first = std::max<int64_t>(0, i - r);
    while (end < want_end) {
      const uint8_t* p = src + static_cast<size_t>(end) * src_step;
      for (int ch = 0; ch < 4; ++ch) sum[ch] += p[ch];
      ++end;
    }
    while (first < want_first) {
      const uint8_t* p = src + static_cast<size_t>(first) * src_step;
      for (int ch = 0; ch < 4; ++ch) sum[ch] -= p[ch];
      ++first;
    }
    const int64_t n = end - first;
    uint8_t* d = dst + static_cast<size_t>(i) * dst_step;
    const uint8_t* s = src + static_cast<size_t>(i) * src_step;
    for (int ch = 0; ch < channels; ++ch) d[ch] = static_cast<uint8_t>(sum[ch] / n);
    if (channels == 3) d[3] = s[3];
  }
}

// Box blur of one line with window indices clamped into the line (count 2r + 1 always).
void BoxLine(const uint8_t* src, size_t src_step, uint8_t* dst, size_t dst_step, int32_t count,
             int64_t r, int channels) {
  const int64_t n = 2 * r + 1;
  auto px = [&](int64_t i) {
    return src + static_cast<size_t>(std::clamp<int64_t>(i, 0, count - 1)) * src_step;
  };
  int64_t sum[4] = {0, 0, 0, 0};
  // Window of 0: indices -r..r; clamped ones below 0 count as pixel 0.
  const int64_t inside = std::min<int64_t>(r, count - 1);
  for (int ch = 0; ch < 4; ++ch) {
    sum[ch] = (r + 1) * int64_t{px(0)[ch]} + (r - inside) * int64_t{px(count - 1)[ch]};
  }
  for (int64_t i = 1; i <= inside; ++i) {
    for (int ch = 0; ch < 4; ++ch) sum[ch] += px(i)[ch];
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* d = dst + static_cast<size_t>(i) * dst_step;
    for (int ch = 0; ch < channels; ++ch) d[ch] = static_cast<uint8_t>(sum[ch] / n);
    if (channels == 3) d[3] = px(i)[3];
    const uint8_t* leave = px(i - r);
    const uint8_t* enter = px(i + r + 1);
    for (int ch = 0; ch < 4; ++ch) sum[ch] += int64_t{enter[ch]} - leave[ch];
  }
}

using LineFn = void (*)(const uint8_t*, size_t, uint8_t*, size_t, int32_t, int64_t, int);

// The column pass of both blurs, row by row over running sums per column (the same sums as
// BlurLine or BoxLine down each column, in cache order). `box` clamps window rows into the
// rectangle and divides by 2r + 1; otherwise the window is cut and divides by the rows summed.
void BlurColumns(const uint8_t* src, size_t src_pitch, uint8_t* dst, size_t dst_pitch,
                 int32_t rw, int32_t rh, int64_t r, int channels, bool box) {
  const size_t n4 = static_cast<size_t>(rw) * 4;
  std::vector<int64_t> sum(n4, 0);
  auto row = [&](int64_t i) {
    return src + static_cast<size_t>(std::clamp<int64_t>(i, 0, rh - 1)) * src_pitch;
  };
  auto add = [&](const uint8_t* p, int64_t times) {
    for (size_t k = 0; k < n4; ++k) sum[k] += times * p[k];
  };
  int64_t first = 0, end = 0;  // cut window rows [first, end)
  if (box) {
    const int64_t inside = std::min<int64_t>(r, rh - 1);
    add(row(0), r + 1);
    for (int64_t i = 1; i <= inside; ++i) add(row(i), 1);
    add(row(rh - 1), r - inside);
  }
  for (int32_t i = 0; i < rh; ++i) {
    int64_t n = 2 * r + 1;
    if (!box) {
      const int64_t want_end = std::min<int64_t>(rh, i + r + 1);
      const int64_t want_first = std::max<int64_t>(0, i - r);
      for (; end < want_end; ++end) add(row(end), 1);
      for (; first < want_first; ++first) add(row(first), -1);
      n = end - first;
    }
    uint8_t* d = dst + static_cast<size_t>(i) * dst_pitch;
    const uint8_t* s = src + static_cast<size_t>(i) * src_pitch;
    for (size_t k = 0; k < n4; k += 4) {
      for (int ch = 0; ch < channels; ++ch) d[k + ch] = static_cast<uint8_t>(sum[k + ch] / n);
      if (channels == 3) d[k + 3] = s[k + 3];
    }
    if (box) {
      const uint8_t* enter = row(i + r + 1);
      const uint8_t* leave = row(i - r);
      for (size_t k = 0; k < n4; ++k) sum[k] += int64_t{enter[k]} - leave[k];
    }
  }
}

// Rows of the rectangle through `line` (into a temporary when columns follow), then the columns.
void TwoPass(const EffectCall& c, LineFn line, bool do_rows, bool do_columns) {
  const int32_t rw = c.x1 - c.x0 + 1, rh = c.y1 - c.y0 + 1;
  const int64_t r = std::clamp<int64_t>(c.a, 1, 1 << 20);
  const int channels = c.has_alpha ? 4 : 3;
  const size_t out_pitch = static_cast<size_t>(c.out_width) * 4;
  std::vector<uint8_t> tmp;
  if (do_rows && do_columns) tmp.resize(static_cast<size_t>(rw) * rh * 4);
  uint8_t* row_dst = do_columns ? tmp.data() : c.out;
  const size_t row_pitch = do_columns ? static_cast<size_t>(rw) * 4 : out_pitch;
  if (do_rows) {
    for (int32_t y = 0; y < rh; ++y) {
      line(c.in + At(c.x0, c.y0 + y, c.width), 4, row_dst + y * row_pitch, 4, rw, r, channels);
    }
  }
  if (do_columns) {
    const uint8_t* src = do_rows ? tmp.data() : c.in + At(c.x0, c.y0, c.width);
    const size_t src_pitch = do_rows ? static_cast<size_t>(rw) * 4 : static_cast<size_t>(c.width) * 4;
    BlurColumns(src, src_pitch, c.out, out_pitch, rw, rh, r, channels, line == BoxLine);
  }
}

// Mode 18: block side b = max(A, 1), block edges on (width / 2, height / 2) every b pixels; each
// block's b, g, r = block sums / (block width * block height); alpha per pixel.
void Mosaic(const EffectCall& c) {
  const int64_t b = std::clamp<int64_t>(c.a, 1, 1 << 14);
  auto first_edge = [b](int32_t centre) { return static_cast<int64_t>(centre % b); };
  const int64_t cx = first_edge(c.width / 2), cy = first_edge(c.height / 2);
  int64_t by0 = 0;
  while (by0 < c.height) {
    int64_t by1 = (by0 < cy) ? cy : by0 + b;  // exclusive
    if (by0 == 0 && cy == 0) by1 = b;
    by1 = std::min<int64_t>(by1, c.height);
    int64_t bx0 = 0;
    while (bx0 < c.width) {
      int64_t bx1 = (bx0 < cx) ? cx : bx0 + b;
      if (bx0 == 0 && cx == 0) bx1 = b;
      bx1 = std::min<int64_t>(bx1, c.width);
      // The block clipped to the rectangle.
      const int64_t x0 = std::max<int64_t>(bx0, c.x0), x1 = std::min<int64_t>(bx1, c.x1 + 1);
      const int64_t y0 = std::max<int64_t>(by0, c.y0), y1 = std::min<int64_t>(by1, c.y1 + 1);
      if (x0 < x1 && y0 < y1) {
        int64_t sum[3] = {0, 0, 0};
        for (int64_t y = y0; y < y1; ++y) {
          for (int64_t x = x0; x < x1; ++x) {
            const uint8_t* p = c.in + At(x, y, c.width);
            for (int ch = 0; ch < 3; ++ch) sum[ch] += p[ch];
          }
        }
        const int64_t n = (x1 - x0) * (y1 - y0);
        for (int64_t y = y0; y < y1; ++y) {
          for (int64_t x = x0; x < x1; ++x) {
            uint8_t* d = c.out + At(x - c.x0, y - c.y0, c.out_width);
            for (int ch = 0; ch < 3; ++ch) d[ch] = static_cast<uint8_t>(sum[ch] / n);
            d[3] = c.in[At(x, y, c.width) + 3];
          }
        }
      }
      bx0 = bx1;
    }
    by0 = by1;
  }
}

// Mode 8: the rectangle copied, then for A / 2 >= 1 the colour bytes of each whole 2 x 2 block
// rearranged by kShufflePermutations[random % 24]. Passes: 1 + (A / 2 - 1) / 32; even passes walk
// forward on the grid at (0, 0), odd passes backward on the grid at (1, 1). Alpha stays.
void Shuffle(const EffectCall& c) {
  const int32_t rw = c.x1 - c.x0 + 1, rh = c.y1 - c.y0 + 1;
  for (int32_t y = 0; y < rh; ++y) {
    std::memcpy(c.out + At(0, y, c.out_width), c.in + At(c.x0, c.y0 + y, c.width),
                static_cast<size_t>(rw) * 4);
  }
  const int64_t half = c.a / 2;
  if (half < 1 || c.next_random == nullptr) return;
  const int64_t passes = 1 + (std::min<int64_t>(half, 1 << 20) - 1) / 32;
  for (int64_t pass = 0; pass < passes; ++pass) {
    const int32_t start = static_cast<int32_t>(pass & 1);
    const int32_t cols = (rw - start) / 2, rows = (rh - start) / 2;
    for (int64_t k = 0; k < int64_t{cols} * rows; ++k) {
      const int64_t index = (pass & 1) ? int64_t{cols} * rows - 1 - k : k;
      const int32_t bx = start + static_cast<int32_t>(index % cols) * 2;
      const int32_t by = start + static_cast<int32_t>(index / cols) * 2;
      uint8_t* p[4] = {c.out + At(bx, by, c.out_width), c.out + At(bx + 1, by, c.out_width),
                       c.out + At(bx, by + 1, c.out_width),
                       c.out + At(bx + 1, by + 1, c.out_width)};
      uint8_t gathered[4][3];
      for (int i = 0; i < 4; ++i) std::memcpy(gathered[i], p[i], 3);
      const uint8_t* order = kShufflePermutations[c.next_random() % 24];
      for (int i = 0; i < 4; ++i) std::memcpy(p[i], gathered[order[i]], 3);
    }
  }
}

// Mode 37: in rectangle coordinates (centre rw / 2, rh / 2), n = trunc(1 + (hypot(rw, rh) + 1) *
// 0.5) rings; ring i turns by A / 10 - i * A / (10 n) degrees (cos and sin stored * 256, truncated);
// a pixel's ring is trunc(hypot(|dx|, |dy|)); sx = ((dx cos - dy sin) >> 8) + cx, sy = ((dx sin +
// dy cos) >> 8) + cy, each clamped into the rectangle; out = rectangle pixel (sx, sy).
void Swirl(const EffectCall& c) {
  const int32_t rw = c.x1 - c.x0 + 1, rh = c.y1 - c.y0 + 1;
  const int32_t cx = rw / 2, cy = rh / 2;
  const auto rings = static_cast<int32_t>(1.0 + (std::hypot(double(rw), double(rh)) + 1.0) * 0.5);
  const double a = static_cast<double>(Bounded(c.a, int64_t{1} << 40));
  std::vector<int64_t> cosv(static_cast<size_t>(rings)), sinv(static_cast<size_t>(rings));
  for (int32_t i = 0; i < rings; ++i) {
    const double deg = a / 10.0 - i * a / (10.0 * rings);
    const double rad = deg * 0.017453292519444445;
    cosv[static_cast<size_t>(i)] = static_cast<int64_t>(std::cos(rad) * 256.0);
    sinv[static_cast<size_t>(i)] = static_cast<int64_t>(std::sin(rad) * 256.0);
  }
  for (int32_t y = 0; y < rh; ++y) {
    uint8_t* d = c.out + At(0, y, c.out_width);
    const int64_t dy = y - cy;
    for (int32_t x = 0; x < rw; ++x, d += 4) {
      const int64_t dx = x - cx;
      auto ring = static_cast<size_t>(std::hypot(double(dx < 0 ? -dx : dx), double(dy < 0 ? -dy : dy)));
      ring = std::min(ring, cosv.size() - 1);
      const int64_t co = cosv[ring], si = sinv[ring];
      const int64_t sx = std::clamp<int64_t>(((dx * co - dy * si) >> 8) + cx, 0, rw - 1);
      const int64_t sy = std::clamp<int64_t>(((dx * si + dy * co) >> 8) + cy, 0, rh - 1);
      std::memcpy(d, c.in + At(c.x0 + sx, c.y0 + sy, c.width), 4);
    }
  }
}

}  // namespace

void SaturatePixelsReference(uint8_t* pixels, int32_t width, int32_t height, int64_t a) {
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  const int64_t v = Bounded(a, 1 << 20);
  uint8_t* p = pixels;
  for (int64_t i = 0; i < int64_t{width} * height; ++i, p += 4) SaturateOne(p, p, v);
}

bool RunPixelEffectReference(uint8_t mode, const EffectCall& c) {
  switch (mode) {
    case 1: Brightness(c); return true;
    case 2: TwoPass(c, BoxLine, true, true); return true;
    case 3: TwoPass(c, BlurLine, true, false); return true;
    case 4: TwoPass(c, BlurLine, false, true); return true;
    case 5: TwoPass(c, BlurLine, true, true); return true;
    case 6:
    case 7: CopyRect(c); return true;
    case 8: Shuffle(c); return true;
    case 9: Mirror(c); return true;
    case 10: Tone(c); return true;
    case 17: Threshold(c); return true;
    case 18: Mosaic(c); return true;
    case 19: Waves(c, true, false); return true;
    case 20: Waves(c, false, true); return true;
    case 21: Waves(c, true, true); return true;
    case 22: Fill(c); return true;
    case 25: Negative(c); return true;
    case 27: Saturation(c); return true;
    case 35: Flip(c); return true;
    case 36: Sepia(c); return true;
    case 37: Swirl(c); return true;
    default: return false;
  }
}

}  // namespace korvel
