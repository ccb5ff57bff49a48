// Bicubic and Lanczos resampling of layer images: the per-size tables, the passes, and the
// scalar row kernels (formulas in the header).
#include "pixel/pixel_resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "pixel/pixel_resample_impl.h"

namespace korvel {

namespace {

const uint8_t* PixelAt(const ResampleSource& s, int64_t x, int64_t y) {
  return s.pixels + (static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x)) * 4;
}

// One axis of Lanczos weights: per destination index the first tap and its weights.
struct LanczosAxis {
  std::vector<int64_t> first;    // first tap (rectangle index) per destination index
  std::vector<int32_t> count;    // taps per destination index
  std::vector<int64_t> weights;  // taps * n, tap k of index i at k * n + i
  int32_t taps = 0;
};

// `valid(j)` says whether rectangle index j can be read.
template <typename Valid>
void BuildLanczosAxis(int32_t n, int64_t span, Valid valid, LanczosAxis* axis) {
  double r;
  double centre_offset = 0.0;
  if (n == 1) {
    r = 1.0 / static_cast<double>(span);
    centre_offset = static_cast<double>(span - 1) / 2.0;
  } else if (span == 1) {
    r = n;
  } else {
    r = static_cast<double>(n - 1) / static_cast<double>(span - 1);
  }
  const double s = std::min(r, 1.0);
  const double h = 2.0 / s;
  axis->taps = static_cast<int32_t>(2.0 * h) + 4;
  const auto taps = static_cast<size_t>(axis->taps);
  axis->first.assign(static_cast<size_t>(n), 0);
  axis->count.assign(static_cast<size_t>(n), 0);
  axis->weights.assign(taps * static_cast<size_t>(n), 0);
  for (int32_t i = 0; i < n; ++i) {
    const double c = n == 1 ? centre_offset : i / r;
    const auto j0 = static_cast<int64_t>(std::floor(c - h));
    const auto j1 = static_cast<int64_t>(std::ceil(c + h));
    axis->first[static_cast<size_t>(i)] = j0;
    int32_t k = 0;
    for (int64_t j = j0; j <= j1 && k < axis->taps; ++j, ++k) {
      const int64_t w = (j >= 0 && j < span && valid(j))
                            ? static_cast<int64_t>(LanczosValue((c - j) * s) * 65536.0)
                            : 0;
      axis->weights[static_cast<size_t>(k) * static_cast<size_t>(n) + static_cast<size_t>(i)] = w;
    }
    axis->count[static_cast<size_t>(i)] = k;
  }
}

// The pass's view of one axis: per destination index the taps that are read (the image's, with
// weights not 0), or the special cases as single taps (see LanczosPlan). `base` is the rectangle
// index of the pass's input index 0.
template <typename Valid>
void BuildLanczosPlan(const LanczosAxis& axis, int32_t n, int64_t span, Valid valid, int64_t base,
                      resample::LanczosPlan* plan) {
  const auto un = static_cast<size_t>(n);
  plan->n = n;
  plan->start.assign(un, 0);
  plan->count.assign(un, 0);
  plan->sum.assign(un, 1);
  plan->inverse.assign(un, 1.0);
  plan->offset.assign(un, 0.5);
  // First pass: the tap ranges, to size the weight rows.
  std::vector<int64_t> lo(un, 0), hi(un, -1);
  std::vector<int64_t> copy(un, -1);
  int32_t widest = 1;
  for (size_t i = 0; i < un; ++i) {
    const int64_t j0 = axis.first[i];
    const int32_t count = axis.count[i];
    bool any = false;
    int64_t wsum = 0, nearest = -1;
    double best = 1e300;
    lo[i] = INT64_MAX;
    for (int32_t k = 0; k < count; ++k) {
      const int64_t j = j0 + k;
      if (j < 0 || j >= span || !valid(j)) continue;
      any = true;
      const int64_t w = axis.weights[static_cast<size_t>(k) * un + i];
      wsum += w;
      const double d = std::fabs(static_cast<double>(k) - static_cast<double>(count - 1) / 2.0);
      if (d < best) {
        best = d;
        nearest = j;
      }
      if (w != 0) {
        lo[i] = std::min(lo[i], j);
        hi[i] = std::max(hi[i], j);
      }
    }
    if (!any) {
      hi[i] = -1;
      lo[i] = 0;
    } else if (wsum <= 0) {
      copy[i] = nearest;
    } else {
      plan->sum[i] = wsum;
      plan->inverse[i] = 1.0 / static_cast<double>(wsum);
      plan->offset[i] = static_cast<double>(wsum / 2) + 0.5;
      widest = std::max(widest, static_cast<int32_t>(hi[i] - lo[i] + 1));
    }
  }
  plan->taps = (widest + 3) / 4 * 4;
  const auto taps = static_cast<size_t>(plan->taps);
  plan->weights.assign(un * taps, 0);
  bool fits = true;
  for (size_t i = 0; i < un; ++i) {
    int32_t* w = &plan->weights[i * taps];
    if (copy[i] >= 0) {
      plan->start[i] = static_cast<int32_t>(copy[i] - base);
      plan->count[i] = 1;
      w[0] = 1;
      continue;
    }
    if (hi[i] < lo[i]) continue;
    plan->start[i] = static_cast<int32_t>(lo[i] - base);
    plan->count[i] = static_cast<int32_t>(hi[i] - lo[i] + 1);
    int64_t magnitude = 0;
    for (int64_t j = lo[i]; j <= hi[i]; ++j) {
      const int64_t weight = axis.weights[static_cast<size_t>(j - axis.first[i]) * un + i];
      w[j - lo[i]] = static_cast<int32_t>(weight);
      magnitude += weight < 0 ? -weight : weight;
    }
    // The SIMD kernels sum 256 * sum((w >> 8) p) and sum((w & 255) p) in 32-bit lanes.
    if (255 * (magnitude + 256 * int64_t{plan->count[i]}) + plan->sum[i] >= (int64_t{1} << 31)) {
      fits = false;
    }
  }
  plan->fits32 = fits;
  if (!fits) return;
  plan->split.assign(un * taps * 2, 0);
  const int order[4] = {0, 2, 1, 3};
  for (size_t i = 0; i < un; ++i) {
    for (size_t g = 0; g < taps / 4; ++g) {
      int16_t* out = &plan->split[(i * taps + g * 4) * 2];
      for (size_t t = 0; t < 4; ++t) {
        const int32_t w = plan->weights[i * taps + g * 4 + static_cast<size_t>(order[t])];
        out[t] = static_cast<int16_t>(w >> 8);
        out[4 + t] = static_cast<int16_t>(w & 255);
      }
    }
  }
}

// The four taps (-1, 0, +1, +2) around position `pos` (1/256 pixel) along an axis of `size`
// pixels: indices clamped into the image, kernel weights at distances 256 + f, f, 256 - f, 512 - f;
// returns the weights' sum.
int64_t CubicTaps(const std::array<int32_t, 513>& k, int64_t pos, int64_t size, int64_t index[4],
                  int32_t weight[4]) {
  const int64_t base = pos >> 8, f = pos & 255;
  const int64_t distance[4] = {256 + f, f, 256 - f, 512 - f};
  int64_t sum = 0;
  for (int t = 0; t < 4; ++t) {
    index[t] = std::clamp<int64_t>(base - 1 + t, 0, size - 1);
    weight[t] = k[static_cast<size_t>(distance[t])];
    sum += weight[t];
  }
  return sum;
}

}  // namespace

const std::array<int32_t, 513>& BicubicKernelTable() {
  static const std::array<int32_t, 513> table = [] {
    std::array<int32_t, 513> t{};
    for (int i = 0; i <= 512; ++i) {
      const double x = i / 256.0;
      const double k = x < 1.0 ? x * x * x - 2 * x * x + 1 : -x * x * x + 5 * x * x - 8 * x + 4;
      t[static_cast<size_t>(i)] = static_cast<int32_t>(256.0 * k);
    }
    return t;
  }();
  return table;
}

void BuildSourceIndexTable(int32_t n, int64_t span, int64_t* table) {
  for (int64_t i = 0; i < n; ++i) table[i] = (((i * 65536) / n) * span) >> 8;
}

void ResampleBicubic(uint8_t* dst, int32_t dst_width, int32_t dst_height,
                     const ResampleSource& src) {
  ResampleBicubicWith(g_pixel_selection.isa, dst, dst_width, dst_height, src);
}

void ResampleBicubicWith(PixelIsa isa, uint8_t* dst, int32_t dst_width, int32_t dst_height,
                         const ResampleSource& src) {
  if (dst_width <= 0 || dst_height <= 0) return;
  if (src.width <= 0 || src.height <= 0) {
    std::memset(dst, 0, static_cast<size_t>(dst_width) * static_cast<size_t>(dst_height) * 4);
    return;
  }
  const resample::ResampleKernels& kernels = resample::KernelsFor(isa);
  const auto& k = BicubicKernelTable();
  const auto dw = static_cast<size_t>(dst_width);
  std::vector<int64_t> tx(dw), ty(static_cast<size_t>(dst_height));
  BuildSourceIndexTable(dst_width, src.span_x, tx.data());
  BuildSourceIndexTable(dst_height, src.span_y, ty.data());
  const int64_t limit_x = int64_t{src.width} * 256, limit_y = int64_t{src.height} * 256;

  // The kernel table's four weights sum to 256 at every fraction, so the SIMD kernels divide by
  // 65536 with a shift; should a sum ever differ, the scalar kernels take the general division.
  bool every_sum_256 = true;
  resample::CubicColumns c;
  c.n = dst_width;
  c.start.assign(dw, 0);
  c.weights.assign(dw * 4, 0);
  c.sum.assign(dw, 256);
  for (size_t x = 0; x < dw; ++x) {
    const int64_t px = src.x0 * 256 + tx[x];
    if (px < 0 || px >= limit_x) continue;
    int64_t cols[4];
    int32_t wx[4];
    c.sum[x] = static_cast<int32_t>(CubicTaps(k, px, src.width, cols, wx));
    every_sum_256 = every_sum_256 && c.sum[x] == 256;
    // The padded row holds image column i at i + 1, so tap 0 (column base - 1) is at base.
    c.start[x] = static_cast<int32_t>(px >> 8);
    const int order[4] = {0, 2, 1, 3};
    for (size_t t = 0; t < 4; ++t) c.weights[x * 4 + t] = static_cast<int16_t>(wx[order[t]]);
  }

  // Source rows filtered along x, four at a time: row r lives in slot r % 4.
  const size_t line = dw * 4;
  std::vector<int16_t> hi(line * 4), lo(line * 4);
  int64_t slot_row[4] = {-1, -1, -1, -1};
  const auto sw = static_cast<size_t>(src.width);
  std::vector<uint8_t> padded((sw + 3) * 4 + 16);
  for (int32_t y = 0; y < dst_height; ++y) {
    uint8_t* out = dst + static_cast<size_t>(y) * line;
    const int64_t py = src.y0 * 256 + ty[static_cast<size_t>(y)];
    if (py < 0 || py >= limit_y) {
      std::memset(out, 0, line);
      continue;
    }
    int64_t rows[4];
    int32_t wy[4];
    resample::CubicRows r;
    r.sum = static_cast<int32_t>(CubicTaps(k, py, src.height, rows, wy));
    const resample::CubicBlendFn blend =
        every_sum_256 && r.sum == 256 ? kernels.cubic_blend : resample::scalar::CubicBlend;
    for (size_t t = 0; t < 4; ++t) {
      const auto slot = static_cast<size_t>(rows[t] & 3);
      if (slot_row[slot] != rows[t]) {
        const uint8_t* row = PixelAt(src, 0, rows[t]);
        std::memcpy(padded.data(), row, 4);
        std::memcpy(padded.data() + 4, row, sw * 4);
        std::memcpy(padded.data() + (sw + 1) * 4, row + (sw - 1) * 4, 4);
        std::memcpy(padded.data() + (sw + 2) * 4, row + (sw - 1) * 4, 4);
        kernels.cubic_row(padded.data(), c, hi.data() + slot * line, lo.data() + slot * line);
        slot_row[slot] = rows[t];
      }
      r.hi[t] = hi.data() + slot * line;
      r.lo[t] = lo.data() + slot * line;
      r.weight[t] = static_cast<int16_t>(wy[t]);
    }
    blend(r, c, out);
  }
}

double SincValue(double x) {
  if (x == 0.0) return 1.0;
  const double pix = 3.1415927410125732 * x;
  return std::sin(pix) / pix;
}

double LanczosValue(double x) {
  if (std::fabs(x) < 2.0) return SincValue(x) * SincValue(x * 0.5);
  return 0.0;
}

void ResampleLanczos(uint8_t* dst, int32_t dst_width, int32_t dst_height,
                     const ResampleSource& src) {
  ResampleLanczosWith(g_pixel_selection.isa, dst, dst_width, dst_height, src);
}

void ResampleLanczosWith(PixelIsa isa, uint8_t* dst, int32_t dst_width, int32_t dst_height,
                         const ResampleSource& src) {
  if (dst_width <= 0 || dst_height <= 0) return;
  const resample::ResampleKernels& simd = resample::KernelsFor(isa);
  // Columns and rows of the rectangle that lie in the image; only those are read.
  const int64_t col_first = std::clamp<int64_t>(-src.x0, 0, src.span_x);
  const int64_t col_end = std::clamp<int64_t>(src.width - src.x0, col_first, src.span_x);
  const int64_t row_first = std::clamp<int64_t>(-src.y0, 0, src.span_y);
  const int64_t row_end = std::clamp<int64_t>(src.height - src.y0, row_first, src.span_y);
  auto col_valid = [col_first, col_end](int64_t j) { return j >= col_first && j < col_end; };
  auto row_valid = [row_first, row_end](int64_t j) { return j >= row_first && j < row_end; };
  resample::LanczosPlan cols, rows;
  {
    LanczosAxis axis;
    BuildLanczosAxis(dst_width, src.span_x, col_valid, &axis);
    BuildLanczosPlan(axis, dst_width, src.span_x, col_valid, col_first, &cols);
    BuildLanczosAxis(dst_height, src.span_y, row_valid, &axis);
    BuildLanczosPlan(axis, dst_height, src.span_y, row_valid, row_first, &rows);
  }
  const resample::LanczosRowFn row_fn = cols.fits32 ? simd.lanczos_row : resample::scalar::LanczosRow;
  const resample::LanczosColumnFn column_fn =
      rows.fits32 ? simd.lanczos_column : resample::scalar::LanczosColumn;

  // Rows pass: each image row's columns in the rectangle filtered into `mid`. The kernels read
  // up to the widest tap group past a row's last column: straight from the image where it holds
  // that many more pixels, else from a copy followed by zeros.
  const auto line_pixels = static_cast<size_t>(col_end - col_first);
  const auto reach = line_pixels + static_cast<size_t>(cols.taps);
  std::vector<uint8_t> line(reach * 4 + 16, 0);
  const size_t mid_pitch = static_cast<size_t>(dst_width) * 4;
  const auto mid = std::make_unique_for_overwrite<uint8_t[]>(
      static_cast<size_t>(row_end - row_first) * mid_pitch + 4);
  const size_t image_pixels = static_cast<size_t>(src.width) * static_cast<size_t>(src.height);
  for (int64_t j = row_first; j < row_end; ++j) {
    const uint8_t* first = line.data();
    if (line_pixels > 0) {
      const uint8_t* row = PixelAt(src, src.x0 + col_first, src.y0 + j);
      if (static_cast<size_t>(row - src.pixels) / 4 + reach <= image_pixels) {
        first = row;
      } else {
        std::memcpy(line.data(), row, line_pixels * 4);
      }
    }
    row_fn(first, cols, mid.get() + static_cast<size_t>(j - row_first) * mid_pitch);
  }
  // Columns pass: each destination row from its rows of `mid`.
  std::vector<const uint8_t*> taps(static_cast<size_t>(rows.taps));
  for (int32_t y = 0; y < dst_height; ++y) {
    const auto uy = static_cast<size_t>(y);
    for (int32_t t = 0; t < rows.count[uy]; ++t) {
      taps[static_cast<size_t>(t)] =
          mid.get() + static_cast<size_t>(rows.start[uy] + t) * mid_pitch;
    }
    column_fn(taps.data(), &rows.weights[uy * static_cast<size_t>(rows.taps)], rows.count[uy],
              rows.sum[uy], rows.inverse[uy], mid_pitch, dst + uy * mid_pitch);
  }
}

namespace resample {

void scalar::CubicRow(const uint8_t* padded, const CubicColumns& c, int16_t* hi, int16_t* lo) {
  for (int32_t x = 0; x < c.n; ++x) CubicRowPixel(padded, c, x, hi, lo);
}

void scalar::CubicBlend(const CubicRows& rows, const CubicColumns& c, uint8_t* out) {
  for (int32_t x = 0; x < c.n; ++x) CubicBlendPixel(rows, c, x, out);
}

void scalar::LanczosRow(const uint8_t* line, const LanczosPlan& p, uint8_t* out) {
  for (int32_t i = 0; i < p.n; ++i) LanczosRowPixel(line, p, i, out);
}

void scalar::LanczosColumn(const uint8_t* const* rows, const int32_t* w, int32_t count,
                           int64_t sum, double, size_t bytes, uint8_t* out) {
  for (size_t b = 0; b < bytes; ++b) LanczosColumnByte(rows, w, count, sum, b, out);
}

const ResampleKernels& KernelsFor(PixelIsa isa) {
  static const ResampleKernels scalar_kernels{scalar::CubicRow, scalar::CubicBlend,
                                              scalar::LanczosRow, scalar::LanczosColumn};
  if (!PixelIsaSupported(isa)) isa = PixelIsa::kScalar;
#if defined(__x86_64__) || defined(__i386__)
  if (isa == PixelIsa::kSse2) {
    static const ResampleKernels k = sse2::Kernels();
    return k;
  }
  if (isa == PixelIsa::kAvx2) {
    static const ResampleKernels k = avx2::Kernels();
    return k;
  }
#endif
  return scalar_kernels;
}

}  // namespace resample

}  // namespace korvel
