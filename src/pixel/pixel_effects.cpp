// The effect dispatcher: every mode on its fastest routine (row kernels per instruction set,
// running sums with exact reciprocals, tables and offsets built once per call). Each routine gives
// the reference routine's bytes.
#include "pixel/pixel_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "pixel/pixel_effect_kernels.h"

namespace korvel {

const uint8_t kShufflePermutations[24][4] = {
    {3, 2, 1, 0}, {2, 3, 1, 0}, {3, 1, 2, 0}, {1, 3, 2, 0}, {2, 1, 3, 0}, {1, 2, 3, 0},
    {3, 2, 0, 1}, {2, 3, 0, 1}, {3, 0, 2, 1}, {0, 3, 2, 1}, {2, 0, 3, 1}, {0, 2, 3, 1},
    {3, 1, 0, 2}, {1, 3, 0, 2}, {3, 0, 1, 2}, {0, 3, 1, 2}, {1, 0, 3, 2}, {0, 1, 3, 2},
    {2, 1, 0, 3}, {1, 2, 0, 3}, {2, 0, 1, 3}, {0, 2, 1, 3}, {1, 0, 2, 3}, {0, 1, 2, 3}};

namespace {

using effect_kernels::Kernels;
using effect_kernels::ReciprocalOf;

size_t At(int64_t x, int64_t y, int64_t pitch) { return static_cast<size_t>((y * pitch + x) * 4); }

int64_t Bounded(int64_t v, int64_t limit) { return std::clamp(v, -limit, limit); }

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Calls `row(out row, in row, pixels)` for every row of the rectangle into the cut output.
template <typename F>
void Rows(const EffectCall& c, F row) {
  const auto pixels = static_cast<size_t>(c.x1 - c.x0 + 1);
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    row(c.out + At(0, y - c.y0, c.out_width), c.in + At(c.x0, y, c.width), pixels);
  }
}

// Mode 1: beyond ±255 every channel saturates alike, so the step is bounded there.
void Brightness(const Kernels& k, const EffectCall& c) {
  const auto add = static_cast<int32_t>(std::clamp<int64_t>(Bounded(c.a, 1 << 20) - 128, -255, 255));
  Rows(c, [&](uint8_t* d, const uint8_t* s, size_t n) { k.brightness(d, s, n, add); });
}

void Negative(const Kernels& k, const EffectCall& c) {
  Rows(c, [&](uint8_t* d, const uint8_t* s, size_t n) { k.negative(d, s, n); });
}

// Mode 10: the targets of blue, green and red from A as 0xRRGGBB.
void Tone(const Kernels& k, const EffectCall& c) {
  uint8_t up[4] = {0, 0, 0, 0}, down[4] = {0, 0, 0, 0};
  for (int ch = 0; ch < 3; ++ch) {
    const int32_t t = static_cast<int32_t>((static_cast<uint64_t>(c.a) >> (8 * ch)) & 255);
    up[ch] = static_cast<uint8_t>(std::max(t - 128, 0));
    down[ch] = static_cast<uint8_t>(std::max(128 - t, 0));
  }
  Rows(c, [&](uint8_t* d, const uint8_t* s, size_t n) { k.tone(d, s, n, up, down); });
}

void Sepia(const Kernels& k, const EffectCall& c) {
  Rows(c, [&](uint8_t* d, const uint8_t* s, size_t n) { k.sepia(d, s, n); });
}

// Mode 27: the kernels take A in 0..256 (what the draw command allows); other values go the
// reference's way.
bool SaturationInKernelRange(int64_t a) { return a >= 0 && a <= 256; }

void Saturation(const Kernels& k, const EffectCall& c) {
  if (!SaturationInKernelRange(c.a)) {
    RunPixelEffectReference(27, c);
    return;
  }
  const auto a = static_cast<int32_t>(c.a);
  Rows(c, [&](uint8_t* d, const uint8_t* s, size_t n) { k.saturate(d, s, n, a); });
}

// The running-sum pass down the columns of a `width` × `height` image: each output row is one
// kernel step over the sums of all its columns. `box` clamps window rows into the image and
// divides by 2r + 1; otherwise the window is cut at the image and divides by the rows summed.
// With `keep_alpha` the alpha bytes are the source's.
template <typename Sum>
void BlurColumnsWith(const Kernels& k, const uint8_t* src, size_t src_pitch, uint8_t* dst,
                     size_t dst_pitch, int32_t width, int32_t height, int64_t r, bool keep_alpha,
                     bool box, std::vector<Sum>& sums) {
  constexpr bool kShort = sizeof(Sum) == 2;
  const size_t lanes = static_cast<size_t>(width) * 4;
  sums.assign(lanes, 0);
  auto row = [&](int64_t i) {
    return src + static_cast<size_t>(std::clamp<int64_t>(i, 0, height - 1)) * src_pitch;
  };
  auto add = [&](const uint8_t* p, uint32_t times) {
    for (size_t j = 0; j < lanes; ++j) sums[j] = static_cast<Sum>(sums[j] + times * p[j]);
  };
  auto alpha = [&](int32_t i) { return keep_alpha ? src + static_cast<size_t>(i) * src_pitch : nullptr; };
  auto step = [&](const uint8_t* enter, const uint8_t* leave, int32_t i, uint32_t n) {
    uint8_t* out = dst + static_cast<size_t>(i) * dst_pitch;
    if constexpr (kShort) {
      k.blur_step_short(sums.data(), lanes, enter, leave, alpha(i), out, effect_kernels::ShortDivisorOf(n));
    } else {
      k.blur_step(sums.data(), lanes, enter, leave, alpha(i), out, ReciprocalOf(n));
    }
  };
  if (box) {
    const int64_t inside = std::min<int64_t>(r, height - 1);
    add(row(0), static_cast<uint32_t>(r + 1));
    for (int64_t i = 1; i <= inside; ++i) add(row(i), 1);
    if (r > inside) add(row(height - 1), static_cast<uint32_t>(r - inside));
    for (int32_t i = 0; i < height; ++i) {
      step(i == 0 ? nullptr : row(i + r), i == 0 ? nullptr : row(i - r - 1), i,
           static_cast<uint32_t>(2 * r + 1));
    }
    return;
  }
  const int64_t first_end = std::min<int64_t>(height, r + 1);
  for (int64_t i = 0; i < first_end; ++i) add(row(i), 1);
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t* enter = i > 0 && i + r < height ? row(i + r) : nullptr;
    const uint8_t* leave = i > 0 && i - r - 1 >= 0 ? row(i - r - 1) : nullptr;
    const int64_t n = std::min<int64_t>(height, i + r + 1) - std::max<int64_t>(0, i - r);
    step(enter, leave, i, static_cast<uint32_t>(n));
  }
}

// The running-sum pass down the columns of a `width` × `height` image: each output row is one
// kernel step over the sums of all its columns. `box` clamps window rows into the image and
// divides by 2r + 1; otherwise the window is cut at the image and divides by the rows summed.
// With `keep_alpha` the alpha bytes are the source's. Windows of at most 257 rows keep 16-bit
// sums.
struct BlurSums {
  std::vector<uint32_t> wide;
  std::vector<uint16_t> narrow;
};

void BlurColumns(const Kernels& k, const uint8_t* src, size_t src_pitch, uint8_t* dst,
                 size_t dst_pitch, int32_t width, int32_t height, int64_t r, bool keep_alpha,
                 bool box, BlurSums& sums) {
  const int64_t widest = box ? 2 * r + 1 : std::min<int64_t>(2 * r + 1, height);
  if (widest <= effect_kernels::kShortDivisorLimit) {
    BlurColumnsWith(k, src, src_pitch, dst, dst_pitch, width, height, r, keep_alpha, box, sums.narrow);
  } else {
    BlurColumnsWith(k, src, src_pitch, dst, dst_pitch, width, height, r, keep_alpha, box, sums.wide);
  }
}

// The pass along the rows, as the column pass over strips of rows turned on their side: a strip
// of kStrip rows becomes kStrip columns, is blurred down, and is turned back.
void BlurRows(const Kernels& k, const uint8_t* src, size_t src_pitch, uint8_t* dst,
              size_t dst_pitch, int32_t width, int32_t height, int64_t r, bool keep_alpha,
              bool box) {
  constexpr int32_t kStrip = 32;
  const size_t strip_bytes = static_cast<size_t>(width) * kStrip * 4;
  std::unique_ptr<uint8_t[]> across(new uint8_t[strip_bytes]), blurred(new uint8_t[strip_bytes]);
  BlurSums sums;
  for (int32_t y0 = 0; y0 < height; y0 += kStrip) {
    const int32_t rows = std::min(kStrip, height - y0);
    const size_t pitch = static_cast<size_t>(rows) * 4;
    k.transpose(across.get(), pitch, src + static_cast<size_t>(y0) * src_pitch, src_pitch, width,
                rows);
    BlurColumns(k, across.get(), pitch, blurred.get(), pitch, rows, width, r, keep_alpha, box,
                sums);
    k.transpose(dst + static_cast<size_t>(y0) * dst_pitch, dst_pitch, blurred.get(), pitch, rows,
                width);
  }
}

// Modes 2-5: rows (into a temporary when columns follow), then columns.
void Blur(const Kernels& k, const EffectCall& c, bool box, bool do_rows, bool do_columns) {
  const int32_t rw = c.x1 - c.x0 + 1, rh = c.y1 - c.y0 + 1;
  const int64_t r = std::clamp<int64_t>(c.a, 1, 1 << 20);
  const bool keep_alpha = !c.has_alpha;
  const size_t out_pitch = static_cast<size_t>(c.out_width) * 4;
  const size_t in_pitch = static_cast<size_t>(c.width) * 4;
  const uint8_t* in = c.in + At(c.x0, c.y0, c.width);
  // Every byte of the temporary is written before it is read: no clearing.
  std::unique_ptr<uint8_t[]> tmp;
  if (do_rows && do_columns) tmp.reset(new uint8_t[static_cast<size_t>(rw) * static_cast<size_t>(rh) * 4]);
  uint8_t* row_dst = do_columns ? tmp.get() : c.out;
  const size_t row_pitch = do_columns ? static_cast<size_t>(rw) * 4 : out_pitch;
  if (do_rows) BlurRows(k, in, in_pitch, row_dst, row_pitch, rw, rh, r, keep_alpha, box);
  if (do_columns) {
    BlurSums sums;
    BlurColumns(k, do_rows ? tmp.get() : in, do_rows ? row_pitch : in_pitch, c.out, out_pitch,
                rw, rh, r, keep_alpha, box, sums);
  }
}

// Mode 18, band by band of blocks: the band's column sums first, then each block's averages
// into one row of colours, then every row of the band from that row and its own alpha.
void Mosaic(const EffectCall& c) {
  const int64_t b = std::clamp<int64_t>(c.a, 1, 1 << 14);
  const int64_t cx = (c.width / 2) % b, cy = (c.height / 2) % b;
  const auto rw = static_cast<size_t>(c.x1 - c.x0 + 1);
  std::vector<uint32_t> column(rw * 4);  // a band's sums per column (at most 2^14 rows of 255)
  std::vector<uint32_t> colours(rw);
  // Block edges: the first at the centre's offset (when not 0), then every b.
  auto next_edge = [b](int64_t from, int64_t first) { return from < first ? first : from + b; };
  for (int64_t by0 = 0; by0 < c.height;) {
    const int64_t by1 = std::min<int64_t>(next_edge(by0, cy), c.height);
    const int64_t y0 = std::max<int64_t>(by0, c.y0), y1 = std::min<int64_t>(by1, c.y1 + 1);
    if (y0 < y1) {
      std::fill(column.begin(), column.end(), 0u);
      for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* p = c.in + At(c.x0, y, c.width);
        for (size_t j = 0; j < rw * 4; ++j) column[j] += p[j];
      }
      for (int64_t bx0 = 0; bx0 < c.width;) {
        const int64_t bx1 = std::min<int64_t>(next_edge(bx0, cx), c.width);
        const int64_t x0 = std::max<int64_t>(bx0, c.x0), x1 = std::min<int64_t>(bx1, c.x1 + 1);
        if (x0 < x1) {
          uint64_t sum[3] = {0, 0, 0};
          for (int64_t x = x0; x < x1; ++x) {
            for (int ch = 0; ch < 3; ++ch) sum[ch] += column[static_cast<size_t>(x - c.x0) * 4 + ch];
          }
          const auto n = static_cast<uint64_t>((x1 - x0) * (y1 - y0));
          const uint32_t colour = static_cast<uint32_t>(sum[0] / n) |
                                  static_cast<uint32_t>(sum[1] / n) << 8 |
                                  static_cast<uint32_t>(sum[2] / n) << 16;
          std::fill(colours.begin() + (x0 - c.x0), colours.begin() + (x1 - c.x0), colour);
        }
        bx0 = bx1;
      }
      for (int64_t y = y0; y < y1; ++y) {
        const uint8_t* s = c.in + At(c.x0, y, c.width);
        uint8_t* d = c.out + At(0, y - c.y0, c.out_width);
        for (size_t x = 0; x < rw; ++x) {
          Store32(d + x * 4, (Load32(s + x * 4) & 0xFF000000u) | colours[x]);
        }
      }
    }
    by0 = by1;
  }
}

// Mode 8: the blocks of a pass are apart, so each block needs only its own number: the numbers
// come a row of blocks at a time (reversed for the backward passes, which start from the last
// block) and the row's blocks move in one kernel call. Each position keeps its alpha; the first
// pass reads the input and so also makes the copy.
void Shuffle(const Kernels& k, const EffectCall& c) {
  const int32_t rw = c.x1 - c.x0 + 1, rh = c.y1 - c.y0 + 1;
  const size_t row_bytes = static_cast<size_t>(rw) * 4;
  auto copy_rows = [&](int32_t from, int32_t to) {
    for (int32_t y = from; y < to; ++y) {
      std::memcpy(c.out + At(0, y, c.out_width), c.in + At(c.x0, c.y0 + y, c.width), row_bytes);
    }
  };
  const int64_t half = c.a / 2;
  if (half < 1 || c.next_random == nullptr || rw < 2 || rh < 2) {
    copy_rows(0, rh);
    return;
  }
  const int64_t passes = 1 + (std::min<int64_t>(half, 1 << 20) - 1) / 32;
  const size_t out_pitch = static_cast<size_t>(c.out_width) * 4;
  const size_t in_pitch = static_cast<size_t>(c.width) * 4;
  std::vector<uint32_t> draws(static_cast<size_t>(rw / 2));
  auto draw = [&](size_t n, bool backward) {
    if (c.fill_random != nullptr) {
      c.fill_random(draws.data(), n);
    } else {
      for (size_t i = 0; i < n; ++i) draws[i] = c.next_random();
    }
    if (backward) std::reverse(draws.begin(), draws.begin() + static_cast<ptrdiff_t>(n));
  };
  // The first pass (forward, grid at (0, 0)) reads the input directly.
  const int32_t cols0 = rw / 2, rows0 = rh / 2;
  for (int32_t j = 0; j < rows0; ++j) {
    uint8_t* to = c.out + At(0, 2 * j, c.out_width);
    const uint8_t* from = c.in + At(c.x0, c.y0 + 2 * j, c.width);
    draw(static_cast<size_t>(cols0), false);
    k.shuffle_blocks(to, out_pitch, from, in_pitch, draws.data(), static_cast<size_t>(cols0));
    if (rw & 1) {
      std::memcpy(to + (rw - 1) * 4, from + (rw - 1) * 4, 4);
      std::memcpy(to + out_pitch + (rw - 1) * 4, from + in_pitch + (rw - 1) * 4, 4);
    }
  }
  if (rh & 1) copy_rows(rh - 1, rh);
  for (int64_t pass = 1; pass < passes; ++pass) {
    const int32_t start = static_cast<int32_t>(pass & 1);
    const int32_t cols = (rw - start) / 2, rows = (rh - start) / 2;
    if (cols <= 0 || rows <= 0) continue;
    const bool backward = (pass & 1) != 0;
    for (int32_t r = 0; r < rows; ++r) {
      const int32_t j = backward ? rows - 1 - r : r;
      uint8_t* at = c.out + At(start, start + j * 2, c.out_width);
      draw(static_cast<size_t>(cols), backward);
      k.shuffle_blocks(at, out_pitch, at, out_pitch, draws.data(), static_cast<size_t>(cols));
    }
  }
}

// Modes 19-21 with the offsets computed once per row and once per column, then bounded to what
// the clamps can tell apart (an offset beyond the rectangle's size acts like that size).
int64_t WaveOffset(double angle_source, int64_t a, bool sine) {
  const double k = static_cast<double>(0.017453292f);
  const double v = (sine ? std::sin(angle_source * k) : std::cos(angle_source * k)) *
                   static_cast<double>(a);
  if (!(v > -9.0e18 && v < 9.0e18)) return INT64_MIN;
  return static_cast<int64_t>(v);
}

int32_t BoundedOffset(int64_t v, int32_t size) {
  if (v == INT64_MIN) return -size;
  return static_cast<int32_t>(std::clamp<int64_t>(v, -size, size));
}

void Waves(const Kernels& k, const EffectCall& c, bool rows, bool columns) {
  const int32_t rw = c.x1 - c.x0 + 1, rh = c.y1 - c.y0 + 1;
  if (columns && (int64_t{c.y1} + 1 + rh) * c.width >= (int64_t{1} << 31)) {
    // Pixel indices beyond 32 bits: the reference's way.
    RunPixelEffectReference(rows ? 21 : 20, c);
    return;
  }
  const int32_t right = std::max(c.x1 - 1, c.x0);
  // Per column: the source row offset times the width; per row: the source column of every x
  // and the pixel index it reads.
  std::vector<int32_t> e(static_cast<size_t>(rw), 0);
  if (columns) {
    for (int32_t x = c.x0; x <= c.x1; ++x) {
      e[static_cast<size_t>(x - c.x0)] =
          BoundedOffset(WaveOffset(static_cast<double>(x) + static_cast<double>(c.b), c.a, false), rh) *
          c.width;
    }
  }
  std::vector<int32_t> source_x(static_cast<size_t>(rw)), index(static_cast<size_t>(rw));
  for (int32_t y = c.y0; y <= c.y1; ++y) {
    const int32_t d =
        rows ? BoundedOffset(WaveOffset(static_cast<double>(y) + static_cast<double>(c.b), c.a, true), rw)
             : 0;
    uint8_t* out = c.out + At(0, y - c.y0, c.out_width);
    if (!columns) {
      // One row: a shifted copy with the edge pixels repeated.
      const uint8_t* in = c.in + At(0, y, c.width);
      int32_t x = c.x0;
      for (; x <= c.x1 && x + d < c.x0; ++x) std::memcpy(out + (x - c.x0) * 4, in + At(c.x0, 0, 0), 4);
      const int32_t middle_end = std::min(c.x1, c.x1 - d);  // last x with x + d <= x1
      if (x <= middle_end) {
        std::memcpy(out + (x - c.x0) * 4, in + At(x + d, 0, 0), static_cast<size_t>(middle_end - x + 1) * 4);
        x = middle_end + 1;
      }
      for (; x <= c.x1; ++x) std::memcpy(out + (x - c.x0) * 4, in + At(right, 0, 0), 4);
      continue;
    }
    for (int32_t x = c.x0; x <= c.x1; ++x) {
      int32_t sx = x + d;
      sx = sx < c.x0 ? c.x0 : (sx > c.x1 ? right : sx);
      source_x[static_cast<size_t>(x - c.x0)] = sx;
    }
    // Clamping the row before scaling by the width equals clamping the scaled row.
    const int32_t row = y * c.width, top = c.y0 * c.width, bottom = c.y1 * c.width;
    for (size_t i = 0; i < source_x.size(); ++i) {
      index[i] = std::min(std::max(row + e[i], top), bottom) + source_x[i];
    }
    k.gather(out, c.in, index.data(), index.size());
  }
}

// Mode 37's ring of every pixel of a rw × rh rectangle: trunc(hypot(|dx|, |dy|)) bounded to the
// last ring. The square root of the integer dx² + dy² is exact or lies at least 1/(2·root) from
// an integer, so its floor is hypot's truncation; only for a whole root does hypot itself decide
// (as the reference does). A map up to a full-HD rectangle is kept per thread until the size
// changes; a larger one is built in `local` each time, so no thread holds on to hundreds of
// megabytes after a swirl of a large layer.
struct RingMap {
  int32_t rw = 0, rh = 0;
  std::vector<uint32_t> ring;
};
constexpr size_t kKeptRingPixels = size_t{1} << 21;

const std::vector<uint32_t>& Rings(int32_t rw, int32_t rh, int32_t rings,
                                   std::vector<uint32_t>* local) {
  thread_local RingMap map;
  if (map.rw == rw && map.rh == rh) return map.ring;
  const size_t pixels = static_cast<size_t>(rw) * static_cast<size_t>(rh);
  const bool keep = pixels <= kKeptRingPixels;
  std::vector<uint32_t>& ring = keep ? map.ring : *local;
  ring.resize(pixels);
  const int32_t cx = rw / 2, cy = rh / 2;
  const auto last = static_cast<uint64_t>(rings - 1);
  for (int32_t y = 0; y < rh; ++y) {
    const int64_t dy = y - cy;
    uint32_t* out = ring.data() + static_cast<size_t>(y) * static_cast<size_t>(rw);
    for (int32_t x = 0; x < rw; ++x) {
      const int64_t dx = x - cx;
      const auto n = static_cast<uint64_t>(dx * dx + dy * dy);
      auto root = static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
      if (root * root == n) {
        root = static_cast<uint64_t>(std::hypot(static_cast<double>(dx < 0 ? -dx : dx),
                                                static_cast<double>(dy < 0 ? -dy : dy)));
      }
      out[x] = static_cast<uint32_t>(std::min(root, last));
    }
  }
  if (keep) {
    map.rw = rw;
    map.rh = rh;
  }
  return ring;
}

void Swirl(const Kernels& k, const EffectCall& c) {
  const int32_t rw = c.x1 - c.x0 + 1, rh = c.y1 - c.y0 + 1;
  if (rw >= 32768 || rh >= 32768) {
    // Offsets beyond 16 bits: the reference's way.
    RunPixelEffectReference(37, c);
    return;
  }
  const int32_t cx = rw / 2, cy = rh / 2;
  const auto rings = static_cast<int32_t>(1.0 + (std::hypot(double(rw), double(rh)) + 1.0) * 0.5);
  const double a = static_cast<double>(Bounded(c.a, int64_t{1} << 40));
  // Each ring's turn: cos in the low 16 bits, sin in the high 16 bits (both −256..256).
  std::vector<int32_t> turn(static_cast<size_t>(rings));
  for (int32_t i = 0; i < rings; ++i) {
    const double deg = a / 10.0 - i * a / (10.0 * rings);
    const double rad = deg * 0.017453292519444445;
    const auto co = static_cast<int32_t>(std::cos(rad) * 256.0);
    const auto si = static_cast<int32_t>(std::sin(rad) * 256.0);
    turn[static_cast<size_t>(i)] =
        static_cast<int32_t>((static_cast<uint32_t>(co) & 0xFFFFu) | (static_cast<uint32_t>(si) << 16));
  }
  std::vector<uint32_t> local;
  const std::vector<uint32_t>& ring = Rings(rw, rh, rings, &local);
  const uint8_t* in = c.in + At(c.x0, c.y0, c.width);
  // Tiles keep each stretch of turned reads within a few pages and cache lines.
  constexpr int32_t kTile = 32;
  for (int32_t ty = 0; ty < rh; ty += kTile) {
    for (int32_t tx = 0; tx < rw; tx += kTile) {
      const int32_t y_end = std::min(rh, ty + kTile), count = std::min(rw - tx, kTile);
      for (int32_t y = ty; y < y_end; ++y) {
        k.swirl(c.out + At(tx, y, c.out_width), in, c.width,
                ring.data() + static_cast<size_t>(y) * static_cast<size_t>(rw), turn.data(), tx,
                count, y - cy, cx, cy, rw, rh);
      }
    }
  }
}

}  // namespace

void SaturatePixels(uint8_t* pixels, int32_t width, int32_t height, int64_t a) {
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  if (!SaturationInKernelRange(a)) {
    SaturatePixelsReference(pixels, width, height, a);
    return;
  }
  effect_kernels::KernelsFor(g_pixel_selection.isa)
      .saturate(pixels, pixels, static_cast<size_t>(width) * static_cast<size_t>(height),
                static_cast<int32_t>(a));
}

bool RunPixelEffectOn(PixelIsa isa, uint8_t mode, const EffectCall& c) {
  const Kernels& k = effect_kernels::KernelsFor(isa);
  switch (mode) {
    case 1: Brightness(k, c); return true;
    case 2: Blur(k, c, true, true, true); return true;
    case 3: Blur(k, c, false, true, false); return true;
    case 4: Blur(k, c, false, false, true); return true;
    case 5: Blur(k, c, false, true, true); return true;
    case 8: Shuffle(k, c); return true;
    case 10: Tone(k, c); return true;
    case 18: Mosaic(c); return true;
    case 19: Waves(k, c, true, false); return true;
    case 20: Waves(k, c, false, true); return true;
    case 21: Waves(k, c, true, true); return true;
    case 25: Negative(k, c); return true;
    case 27: Saturation(k, c); return true;
    case 36: Sepia(k, c); return true;
    case 37: Swirl(k, c); return true;
    default: return RunPixelEffectReference(mode, c);
  }
}

bool RunPixelEffect(uint8_t mode, const EffectCall& c) {
  return RunPixelEffectOn(g_pixel_selection.isa, mode, c);
}

}  // namespace korvel
