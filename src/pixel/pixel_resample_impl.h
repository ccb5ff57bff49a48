// Internal: the per-size tables of the bicubic and Lanczos filters and their row kernels per
// instruction set.
//
// Both filters are computed in exact integers, so every instruction set gives the same bytes.
// Bicubic filters rows first: R = sum(wx * p) per channel, kept as R >> 8 and R & 255 (both fit
// 16 bits), then out = round(sum(wy * R) / (sum wx * sum wy)); the kernel table's weights sum to
// 256 on both axes, so the SIMD kernels take (sum(wy * R) + 32768) >> 16. Lanczos filters rows then columns,
// rounding to bytes after each pass. The SIMD kernels divide through doubles:
// floor((s + floor(d / 2) + 0.5) * (1 / d)) is floor((s + floor(d / 2)) / d) for |s| < 2^31, as
// the quotient stays at least 1 / (2d) from a whole number and the error is far below that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixel/pixel_kernels.h"

namespace korvel::resample {

// Bicubic columns of one destination width. Column x reads four pixels of a padded source row
// (pixel 0 repeated once before the row, the last pixel twice after it) from `start[x]`.
// Columns whose position lies outside the image have weights 0 (and sum 256), which gives 0.
struct CubicColumns {
  int32_t n = 0;
  std::vector<int32_t> start;    // n
  std::vector<int16_t> weights;  // 4n, taps in the order 0, 2, 1, 3
  std::vector<int32_t> sum;      // n
};

// The four filtered rows of one destination row and their vertical weights.
struct CubicRows {
  const int16_t* hi[4];
  const int16_t* lo[4];
  int16_t weight[4];
  int32_t sum = 256;
};

// Filters one padded source row into R >> 8 and R & 255 per destination byte.
using CubicRowFn = void (*)(const uint8_t* padded, const CubicColumns& c, int16_t* hi,
                            int16_t* lo);
// Combines four filtered rows into one destination row. The SIMD kernels need every column sum
// and the row sum to be 256.
using CubicBlendFn = void (*)(const CubicRows& rows, const CubicColumns& c, uint8_t* out);

// One Lanczos axis as its pass reads it: destination index i takes `count[i]` taps from input
// index `start[i]` with `weights[i * taps ..]` (zero past count) and divisor `sum[i]`. An index
// with no tap in the image has count 0 and sum 1; one whose weights do not sum above 0 copies
// its nearest tap through weight 1 and sum 1.
struct LanczosPlan {
  int32_t n = 0;
  int32_t taps = 4;                // weights per index, a multiple of 4
  std::vector<int32_t> start, count;
  std::vector<int32_t> weights;    // n * taps
  std::vector<int64_t> sum;
  std::vector<double> inverse;     // 1 / sum
  std::vector<double> offset;      // floor(sum / 2) + 0.5
  // Every weighted sum and divisor of the plan stays inside 32-bit lanes (the SIMD kernels are
  // used only then), and the weights split as w = (w >> 8) * 256 + (w & 255): per index and
  // group of four taps, 8 int16 in the order hi 0, 2, 1, 3, lo 0, 2, 1, 3.
  bool fits32 = false;
  std::vector<int16_t> split;      // n * taps * 2
};

// Filters one input line (index 0 = first tap of the plan, readable up to the last start plus
// `taps` pixels) into n destination pixels.
using LanczosRowFn = void (*)(const uint8_t* line, const LanczosPlan& p, uint8_t* out);
// out[b] = round(sum(w[t] * rows[t][b]) / sum) for every byte b < bytes.
using LanczosColumnFn = void (*)(const uint8_t* const* rows, const int32_t* w, int32_t count,
                                 int64_t sum, double inverse, size_t bytes, uint8_t* out);

struct ResampleKernels {
  CubicRowFn cubic_row;
  CubicBlendFn cubic_blend;
  LanczosRowFn lanczos_row;
  LanczosColumnFn lanczos_column;
};

// floor((num + den / 2) / den) for den > 0, clamped to a byte.
inline uint8_t RoundedClamp(int64_t num, int64_t den) {
  int64_t v = num + den / 2;
  v = v >= 0 ? v / den : -((-v + den - 1) / den);
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// One destination pixel of each kernel: the scalar reference, and the SIMD kernels' row ends.
inline void CubicRowPixel(const uint8_t* padded, const CubicColumns& c, int32_t x, int16_t* hi,
                          int16_t* lo) {
  const uint8_t* p = padded + static_cast<size_t>(c.start[static_cast<size_t>(x)]) * 4;
  const int16_t* w = &c.weights[static_cast<size_t>(x) * 4];
  for (size_t ch = 0; ch < 4; ++ch) {
    const int32_t r = w[0] * p[ch] + w[2] * p[4 + ch] + w[1] * p[8 + ch] + w[3] * p[12 + ch];
    hi[static_cast<size_t>(x) * 4 + ch] = static_cast<int16_t>(r >> 8);
    lo[static_cast<size_t>(x) * 4 + ch] = static_cast<int16_t>(r & 255);
  }
}

inline void CubicBlendPixel(const CubicRows& r, const CubicColumns& c, int32_t x, uint8_t* out) {
  const int64_t den = int64_t{c.sum[static_cast<size_t>(x)]} * r.sum;
  for (size_t ch = 0; ch < 4; ++ch) {
    const size_t i = static_cast<size_t>(x) * 4 + ch;
    int64_t s = 0;
    for (int t = 0; t < 4; ++t) s += int64_t{r.weight[t]} * (r.hi[t][i] * 256 + r.lo[t][i]);
    out[i] = RoundedClamp(s, den);
  }
}

inline void LanczosRowPixel(const uint8_t* line, const LanczosPlan& p, int32_t i, uint8_t* out) {
  const auto ui = static_cast<size_t>(i);
  const uint8_t* px = line + static_cast<size_t>(p.start[ui]) * 4;
  const int32_t* w = &p.weights[ui * static_cast<size_t>(p.taps)];
  int64_t s[4] = {0, 0, 0, 0};
  for (int32_t t = 0; t < p.count[ui]; ++t) {
    for (size_t ch = 0; ch < 4; ++ch) s[ch] += int64_t{w[t]} * px[static_cast<size_t>(t) * 4 + ch];
  }
  for (size_t ch = 0; ch < 4; ++ch) out[ui * 4 + ch] = RoundedClamp(s[ch], p.sum[ui]);
}

inline void LanczosColumnByte(const uint8_t* const* rows, const int32_t* w, int32_t count,
                              int64_t sum, size_t b, uint8_t* out) {
  int64_t s = 0;
  for (int32_t t = 0; t < count; ++t) s += int64_t{w[t]} * rows[t][b];
  out[b] = RoundedClamp(s, sum);
}

const ResampleKernels& KernelsFor(PixelIsa isa);

namespace scalar {
void CubicRow(const uint8_t* padded, const CubicColumns& c, int16_t* hi, int16_t* lo);
void CubicBlend(const CubicRows& rows, const CubicColumns& c, uint8_t* out);
void LanczosRow(const uint8_t* line, const LanczosPlan& p, uint8_t* out);
void LanczosColumn(const uint8_t* const* rows, const int32_t* w, int32_t count, int64_t sum,
                   double inverse, size_t bytes, uint8_t* out);
}  // namespace scalar

#if defined(__x86_64__) || defined(__i386__)
namespace sse2 {
ResampleKernels Kernels();
}
namespace avx2 {
ResampleKernels Kernels();
}
#endif

}  // namespace korvel::resample
