// Frame scalers.
#include "pixel/frame_scalers.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "pixel/frame_scaler_kernels.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"

namespace korvel {

namespace {

// Job 11: destination rows first_row + band row; columns [first_col, end_col) are copied through
// the column table (source columns, x0 included), the rest of the row is zero.
struct ScaleRowsParams {
  uint8_t* dst = nullptr;
  int32_t dst_width = 0;
  const uint8_t* src = nullptr;
  int32_t src_width = 0;
  int32_t src_y0 = 0;
  const int32_t* columns = nullptr;  // indexed from first_col
  const int32_t* rows = nullptr;
  int32_t first_row = 0;
  int32_t first_col = 0, end_col = 0;
  ScaleGatherFn gather = nullptr;
};

// Jobs 21 and 41 and the single-threaded smooth scaler: per destination row the 8.8 row
// coordinate; per valid column the byte offset of the left source pixel (x0 included) and its
// weight lanes. Each source row is weighted across once per band and kept while rows use it.
struct SmoothRowsParams {
  uint8_t* dst = nullptr;
  int32_t dst_width = 0;
  const uint8_t* src = nullptr;
  int32_t src_width = 0;
  int64_t src_y0 = 0;
  const int64_t* rows = nullptr;
  const uint32_t* offsets = nullptr;  // indexed from first_col
  const uint16_t* lanes = nullptr;    // eight per column, indexed from first_col
  int32_t first_row = 0;
  int32_t first_col = 0, end_col = 0;
  ScaleHorizontalFn horizontal = nullptr;
  ScaleVerticalFn vertical = nullptr;
};

constexpr int32_t kMaxSide = 8192;
// Source coordinates beyond this (in hundredths) are refused, so no product can overflow.
constexpr int64_t kMaxHundredths = int64_t{100} * 4 * kMaxSide;

bool SideOk(int64_t side) { return side >= 1 && side <= kMaxSide; }

size_t RowBytes(int32_t width) { return static_cast<size_t>(width) * 4; }

// The range of table entries whose source (entry + offset) lies in 0..size - 1: a negative source
// moves the start past it, the first source at or beyond the size ends the range.
template <typename T, typename Source>
void ValidRange(const std::vector<T>& table, Source source, int64_t size, int32_t* first,
                int32_t* end) {
  *first = 0;
  *end = static_cast<int32_t>(table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const int64_t s = source(table[i]);
    if (s < 0) {
      *first = static_cast<int32_t>(i + 1);
    } else if (s >= size) {
      *end = static_cast<int32_t>(i);
      break;
    }
  }
  if (*end < *first) *end = *first;
}

// Zero-fills destination rows outside [first, end).
void ZeroRowsOutside(uint8_t* dst, int32_t width, int32_t height, int32_t first, int32_t end) {
  const size_t row = RowBytes(width);
  for (int32_t y = 0; y < height; ++y) {
    if (y < first || y >= end) g_pixel_kernels.zero_row(dst + static_cast<size_t>(y) * row, row);
  }
}

// Zero-fills the columns of a destination row left of first and from end on.
void ZeroColumnsOutside(uint8_t* out, int32_t width, int32_t first, int32_t end) {
  if (first > 0) g_pixel_kernels.zero_row(out, RowBytes(std::min(first, width)));
  if (end < width) {
    const int32_t from = std::max(end, 0);
    g_pixel_kernels.zero_row(out + RowBytes(from), RowBytes(width - from));
  }
}

// Job 11's routine: the band is a range of rows counted from the params' first row. A row with
// the same source row as the one above it in the band is a copy of that row.
WorkerStatus ScaleRowsBand(void* context, WorkerBand band) {
  const ScaleRowsParams& p = *static_cast<const ScaleRowsParams*>(context);
  const size_t dst_row = RowBytes(p.dst_width);
  const size_t src_row = RowBytes(p.src_width);
  for (int32_t i = band.first; i < band.end(); ++i) {
    const int32_t y = p.first_row + i;
    uint8_t* out = p.dst + static_cast<size_t>(y) * dst_row;
    if (i > band.first && p.rows[y] == p.rows[y - 1]) {
      g_pixel_kernels.copy_row(out, out - dst_row, dst_row);
      continue;
    }
    ZeroColumnsOutside(out, p.dst_width, p.first_col, p.end_col);
    const uint8_t* in = p.src + static_cast<size_t>(p.rows[y] + p.src_y0) * src_row;
    if (p.end_col > p.first_col) {
      p.gather(out + RowBytes(p.first_col), in, p.columns, p.end_col - p.first_col);
    }
  }
  return WorkerStatus::kOk;
}

// The smooth scalers' routine, banded as job 11's.
WorkerStatus SmoothRowsBand(void* context, WorkerBand band) {
  const SmoothRowsParams& p = *static_cast<const SmoothRowsParams*>(context);
  const size_t dst_row = RowBytes(p.dst_width);
  const size_t src_row = RowBytes(p.src_width);
  const int32_t columns = p.end_col - p.first_col;
  const size_t values = columns > 0 ? static_cast<size_t>(columns) * 4 : 0;
  // The weighted source rows k (upper) and k + 1 (lower) of the last destination row.
  std::vector<uint16_t> cache(values * 2);
  uint16_t* upper = cache.data();
  uint16_t* lower = cache.data() + values;
  int64_t cached = -2;
  const auto weigh = [&p, src_row, columns](uint16_t* out, int64_t k) {
    p.horizontal(out, p.src + static_cast<size_t>(k) * src_row, p.offsets, p.lanes, columns);
  };
  for (int32_t i = band.first; i < band.end(); ++i) {
    const int32_t y = p.first_row + i;
    uint8_t* out = p.dst + static_cast<size_t>(y) * dst_row;
    ZeroColumnsOutside(out, p.dst_width, p.first_col, p.end_col);
    if (columns <= 0) continue;
    const int64_t r = p.rows[y];
    const int64_t k = p.src_y0 + (r >> 8);
    if (k != cached) {
      if (k == cached + 1) {
        std::swap(upper, lower);
      } else {
        weigh(upper, k);
      }
      weigh(lower, k + 1);
      cached = k;
    }
    p.vertical(out + RowBytes(p.first_col), upper, lower, static_cast<uint32_t>(r & 255), values);
  }
  return WorkerStatus::kOk;
}

// The 8.8 source coordinates of the smooth scalers along one axis.
struct SmoothAxis {
  int64_t whole = 0;    // x0 or y0
  std::vector<int64_t> entries;
};

bool BuildSmoothAxis(int32_t from, int32_t to, int32_t dst_hundredths, SmoothAxis* axis) {
  if (from > to || from < -kMaxHundredths || to > kMaxHundredths) return false;
  const int64_t count = dst_hundredths / 100;
  if (!SideOk(count)) return false;
  axis->whole = from / 100;
  const int64_t fraction = (from % 100) * 256 / 100;
  const int64_t span = int64_t{to} - from;
  int64_t denominator = int64_t{dst_hundredths} - 100;
  if (denominator == 0) denominator = 100;
  const bool shrinking = dst_hundredths < span;
  axis->entries.resize(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    axis->entries[static_cast<size_t>(i)] =
        shrinking ? ((i * 256 + fraction) * span) / denominator
                  : (i * 256 * span) / denominator + fraction;
  }
  return true;
}

// Shared set-up of both smooth scalers: the two axes (columns sharpened), their valid ranges and
// the zero rows. False for refused arguments.
struct SmoothPlan {
  SmoothAxis cols, rows;
  int32_t dst_w = 0, dst_h = 0;
  int32_t first_col = 0, end_col = 0, first_row = 0, end_row = 0;
};

bool PlanSmooth(uint8_t* dst, const uint8_t* src, int32_t src_x0, int32_t src_y0, int32_t src_x1,
                int32_t src_y1, int32_t src_width, int32_t src_height, int32_t dst_width,
                int32_t dst_height, SmoothPlan* plan, bool sharpen_rows = false) {
  if (dst == nullptr || src == nullptr || !SideOk(src_width) || !SideOk(src_height)) return false;
  if (!BuildSmoothAxis(src_x0, src_x1, dst_width, &plan->cols) ||
      !BuildSmoothAxis(src_y0, src_y1, dst_height, &plan->rows)) {
    return false;
  }
  const auto& t = SharpenTable();
  for (int64_t& e : plan->cols.entries) e = (e & ~int64_t{255}) | t[static_cast<size_t>(e & 255)];
  if (sharpen_rows) {
    for (int64_t& e : plan->rows.entries) e = (e & ~int64_t{255}) | t[static_cast<size_t>(e & 255)];
  }
  plan->dst_w = static_cast<int32_t>(plan->cols.entries.size());
  plan->dst_h = static_cast<int32_t>(plan->rows.entries.size());
  const int64_t x0 = plan->cols.whole, y0 = plan->rows.whole;
  ValidRange(plan->cols.entries, [x0](int64_t e) { return (e >> 8) + x0; }, src_width,
             &plan->first_col, &plan->end_col);
  ValidRange(plan->rows.entries, [y0](int64_t e) { return (e >> 8) + y0; }, src_height,
             &plan->first_row, &plan->end_row);
  ZeroRowsOutside(dst, plan->dst_w, plan->dst_h, plan->first_row, plan->end_row);
  return true;
}

}  // namespace

const std::array<uint8_t, 256>& SharpenTable() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int f = 0; f < 256; ++f) {
      const auto v = static_cast<int>(1.25 * (f - 128) + 128.0);
      t[static_cast<size_t>(f)] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
    return t;
  }();
  return table;
}

int32_t ScaleFrameNearest(uint8_t* dst, const uint8_t* src, int32_t src_x0, int32_t src_y0,
                          int32_t src_x1, int32_t src_y1, int32_t src_width, int32_t src_height,
                          int32_t dst_width, int32_t dst_height) {
  const int64_t span_x = int64_t{src_x1} - src_x0 + 1;
  const int64_t span_y = int64_t{src_y1} - src_y0 + 1;
  if (dst == nullptr || src == nullptr || !SideOk(dst_width) || !SideOk(dst_height) ||
      !SideOk(src_width) || !SideOk(src_height) || !SideOk(span_x) || !SideOk(span_y)) {
    return kScaleRefused;
  }
  const auto step_x = static_cast<int32_t>((span_x << 16) / dst_width);
  const auto step_y = static_cast<int32_t>((span_y << 16) / dst_height);
  std::vector<int32_t> columns(static_cast<size_t>(dst_width));
  std::vector<int32_t> rows(static_cast<size_t>(dst_height));
  int32_t acc = 0;
  for (int32_t& c : columns) {
    c = acc >> 16;
    acc += step_x;
  }
  acc = 0;
  for (int32_t& r : rows) {
    r = acc >> 16;
    acc += step_y;
  }
  ScaleRowsParams p;
  p.dst = dst;
  p.dst_width = dst_width;
  p.src = src;
  p.src_width = src_width;
  p.src_y0 = src_y0;
  p.rows = rows.data();
  p.gather = GetFrameScalerKernels().gather;
  int32_t end_row = 0;
  ValidRange(columns, [src_x0](int32_t c) { return int64_t{c} + src_x0; }, src_width,
             &p.first_col, &p.end_col);
  ValidRange(rows, [src_y0](int32_t r) { return int64_t{r} + src_y0; }, src_height, &p.first_row,
             &end_row);
  // The valid columns as source columns, so the gather reads them directly.
  std::vector<int32_t> sources(columns.begin() + p.first_col, columns.begin() + p.end_col);
  for (int32_t& c : sources) c += src_x0;
  p.columns = sources.data();
  ZeroRowsOutside(dst, dst_width, dst_height, p.first_row, end_row);
  if (end_row > p.first_row) {
    PostWorkerBands(g_worker_pool, ScaleRowsBand, &p, end_row - p.first_row);
  }
  return 0;
}

namespace {

// Which vertical pass a smooth scale uses, and whether its bands run on the worker pool.
enum class SmoothKind : uint8_t { kSingle, kThreaded, kContrast };

int32_t RunSmooth(SmoothKind kind, uint8_t* dst, const uint8_t* src, int32_t src_x0,
                  int32_t src_y0, int32_t src_x1, int32_t src_y1, int32_t src_width,
                  int32_t src_height, int32_t dst_width, int32_t dst_height) {
  SmoothPlan plan;
  if (!PlanSmooth(dst, src, src_x0, src_y0, src_x1, src_y1, src_width, src_height, dst_width,
                  dst_height, &plan, kind == SmoothKind::kContrast)) {
    return kScaleRefused;
  }
  const int32_t columns = plan.end_col - plan.first_col;
  std::vector<uint32_t> offsets(static_cast<size_t>(std::max(columns, 0)));
  std::vector<uint16_t> lanes(offsets.size() * 8);
  for (int32_t i = 0; i < columns; ++i) {
    const int64_t e = plan.cols.entries[static_cast<size_t>(plan.first_col + i)];
    const auto w = static_cast<uint16_t>(e & 255);
    offsets[static_cast<size_t>(i)] = static_cast<uint32_t>((plan.cols.whole + (e >> 8)) * 4);
    for (int c = 0; c < 4; ++c) {
      lanes[static_cast<size_t>(i) * 8 + static_cast<size_t>(c)] = static_cast<uint16_t>(256 - w);
      lanes[static_cast<size_t>(i) * 8 + 4 + static_cast<size_t>(c)] = w;
    }
  }
  const FrameScalerKernels& k = GetFrameScalerKernels();
  SmoothRowsParams p;
  p.dst = dst;
  p.dst_width = plan.dst_w;
  p.src = src;
  p.src_width = src_width;
  p.src_y0 = plan.rows.whole;
  p.rows = plan.rows.entries.data();
  p.offsets = offsets.data();
  p.lanes = lanes.data();
  p.first_row = plan.first_row;
  p.first_col = plan.first_col;
  p.end_col = plan.end_col;
  p.horizontal = k.horizontal;
  p.vertical = kind == SmoothKind::kSingle     ? k.vertical_eight_bit
               : kind == SmoothKind::kThreaded ? k.vertical_split
                                               : k.vertical_joint;
  const int32_t count = plan.end_row - plan.first_row;
  if (count <= 0) return 0;
  if (kind == SmoothKind::kSingle) {
    SmoothRowsBand(&p, WorkerBand{0, count});
  } else {
    PostWorkerBands(g_worker_pool, SmoothRowsBand, &p, count);
  }
  return 0;
}

}  // namespace

int32_t ScaleFrameSmooth(uint8_t* dst, const uint8_t* src, int32_t src_x0, int32_t src_y0,
                         int32_t src_x1, int32_t src_y1, int32_t src_width, int32_t src_height,
                         int32_t dst_width, int32_t dst_height) {
  return RunSmooth(SmoothKind::kSingle, dst, src, src_x0, src_y0, src_x1, src_y1, src_width,
                   src_height, dst_width, dst_height);
}

int32_t ScaleFrameSmoothThreaded(uint8_t* dst, const uint8_t* src, int32_t src_x0,
                                 int32_t src_y0, int32_t src_x1, int32_t src_y1,
                                 int32_t src_width, int32_t src_height, int32_t dst_width,
                                 int32_t dst_height) {
  return RunSmooth(SmoothKind::kThreaded, dst, src, src_x0, src_y0, src_x1, src_y1, src_width,
                   src_height, dst_width, dst_height);
}

int32_t ScaleFrameSmoothContrast(uint8_t* dst, const uint8_t* src, int32_t src_x0,
                                 int32_t src_y0, int32_t src_x1, int32_t src_y1,
                                 int32_t src_width, int32_t src_height, int32_t dst_width,
                                 int32_t dst_height) {
  return RunSmooth(SmoothKind::kContrast, dst, src, src_x0, src_y0, src_x1, src_y1, src_width,
                   src_height, dst_width, dst_height);
}

}  // namespace korvel
