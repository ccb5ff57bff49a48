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

// Job 11: destination rows first_row + band row; in each, the window columns [zero_x0, zero_x1)
// are written: [first_col, end_col) copied from the source columns, the rest zero.
struct ScaleRowsParams {
  uint8_t* dst = nullptr;
  size_t dst_pitch = 0;  // bytes from one destination row to the next
  const uint8_t* src = nullptr;
  int32_t src_width = 0;
  const int32_t* columns = nullptr;  // source columns, indexed from first_col
  const int32_t* rows = nullptr;     // source row of each destination row
  int32_t first_row = 0;
  int32_t first_col = 0, end_col = 0;
  int32_t zero_x0 = 0, zero_x1 = 0;
  ScaleGatherFn gather = nullptr;
};

// Jobs 21 and 41 and the single-threaded smooth scaler: per destination row the upper source row
// and the row weight; the columns either in blocks (the blocked passes) or, per valid column, the
// byte offset of the left source pixel and its weight lanes. Each source row is weighted across
// once per band and kept while rows use it.
struct SmoothRowsParams {
  uint8_t* dst = nullptr;
  size_t dst_pitch = 0;
  const uint8_t* src = nullptr;
  int32_t src_width = 0;
  int32_t src_height = 0;
  const int32_t* rows = nullptr;     // upper source row of each destination row
  const uint8_t* row_weights = nullptr;
  int32_t first_row = 0;
  int32_t first_col = 0, end_col = 0;
  int32_t zero_x0 = 0, zero_x1 = 0;
  size_t read_from = 0, read_end = 0;  // the bytes of a source row the columns read
  // Blocked: the blocks from the one holding first_col to the one holding end_col - 1.
  const ScaleBlock* blocks = nullptr;
  int32_t block_count = 0;
  ScaleBlocksHorizontalFn horizontal_blocks = nullptr;
  ScaleBlocksVerticalFn vertical_blocks = nullptr;
  // Unblocked (blocks null): indexed from first_col, eight lanes per column.
  const uint32_t* offsets = nullptr;
  const uint16_t* lanes = nullptr;
  ScaleHorizontalFn horizontal = nullptr;
  ScaleVerticalFn vertical = nullptr;
};

constexpr int32_t kMaxSide = 8192;
// Source coordinates beyond this (in hundredths) are refused, so no product can overflow.
constexpr int64_t kMaxHundredths = int64_t{100} * 4 * kMaxSide;

bool SideOk(int64_t side) { return side >= 1 && side <= kMaxSide; }

size_t RowBytes(int32_t width) { return static_cast<size_t>(width) * 4; }

// The range of sources (entries) that lie in 0..size - 1: a negative source moves the start past
// it, the first source at or beyond the size ends the range.
void ValidRange(const std::vector<int32_t>& sources, int64_t size, int32_t* first, int32_t* end) {
  *first = 0;
  *end = static_cast<int32_t>(sources.size());
  for (size_t i = 0; i < sources.size(); ++i) {
    if (sources[i] < 0) {
      *first = static_cast<int32_t>(i + 1);
    } else if (sources[i] >= size) {
      *end = static_cast<int32_t>(i);
      break;
    }
  }
  if (*end < *first) *end = *first;
}

// Zero-fills the columns [x0, first) and [end, x1) of a destination row.
void ZeroColumnsOutside(uint8_t* out, int32_t x0, int32_t x1, int32_t first, int32_t end) {
  if (first > x0) g_pixel_kernels.zero_row(out + RowBytes(x0), RowBytes(first - x0));
  if (end < x1) g_pixel_kernels.zero_row(out + RowBytes(end), RowBytes(x1 - end));
}

// Job 11's routine: the band is a range of rows counted from the params' first row. A row with
// the same source row as the one above it in the band is a copy of that row.
WorkerStatus ScaleRowsBand(void* context, WorkerBand band) {
  const ScaleRowsParams& p = *static_cast<const ScaleRowsParams*>(context);
  const size_t dst_row = p.dst_pitch;
  const size_t src_row = RowBytes(p.src_width);
  for (int32_t i = band.first; i < band.end(); ++i) {
    const int32_t y = p.first_row + i;
    uint8_t* out = p.dst + static_cast<size_t>(y) * dst_row;
    if (i > band.first && p.rows[y] == p.rows[y - 1]) {
      g_pixel_kernels.copy_row(out + RowBytes(p.zero_x0), out - dst_row + RowBytes(p.zero_x0),
                               RowBytes(p.zero_x1 - p.zero_x0));
      continue;
    }
    ZeroColumnsOutside(out, p.zero_x0, p.zero_x1, p.first_col, p.end_col);
    if (p.end_col > p.first_col) {
      p.gather(out + RowBytes(p.first_col), p.src + static_cast<size_t>(p.rows[y]) * src_row,
               p.columns, p.end_col - p.first_col);
    }
  }
  return WorkerStatus::kOk;
}

// The smooth scalers' routine, banded as job 11's.
WorkerStatus SmoothRowsBand(void* context, WorkerBand band) {
  const SmoothRowsParams& p = *static_cast<const SmoothRowsParams*>(context);
  const size_t dst_row = p.dst_pitch;
  const size_t src_row = RowBytes(p.src_width);
  const int32_t columns = p.end_col - p.first_col;
  if (columns <= 0) {
    for (int32_t i = band.first; i < band.end(); ++i) {
      uint8_t* out = p.dst + static_cast<size_t>(p.first_row + i) * dst_row;
      ZeroColumnsOutside(out, p.zero_x0, p.zero_x1, p.first_col, p.end_col);
    }
    return WorkerStatus::kOk;
  }
  const size_t values = p.blocks != nullptr
                            ? static_cast<size_t>(p.block_count) * kScaleBlockValues
                            : static_cast<size_t>(columns) * 4;
  // The weighted source rows k (upper) and k + 1 (lower) of the last destination row.
  std::vector<uint16_t> cache(values * 2);
  uint16_t* upper = cache.data();
  uint16_t* lower = cache.data() + values;
  int64_t cached = -2;
  const auto weigh = [&p, src_row, columns](uint16_t* out, int64_t k) {
    const uint8_t* row = p.src + static_cast<size_t>(k) * src_row;
    if (p.blocks != nullptr) {
      p.horizontal_blocks(out, row, p.blocks, p.block_count);
    } else {
      p.horizontal(out, row, p.offsets, p.lanes, columns);
    }
  };
  for (int32_t i = band.first; i < band.end(); ++i) {
    const int32_t y = p.first_row + i;
    uint8_t* out = p.dst + static_cast<size_t>(y) * dst_row;
    ZeroColumnsOutside(out, p.zero_x0, p.zero_x1, p.first_col, p.end_col);
    const int64_t k = p.rows[y];
    if (k != cached) {
      if (k == cached + 1) {
        std::swap(upper, lower);
      } else {
        weigh(upper, k);
      }
      weigh(lower, k + 1);
      cached = k;
      // The next source row is usually not in the cache: a frame's parts are composed, then
      // scaled, between sleeps. Asking for it now hides the wait behind this row's work.
      if (k + 2 < p.src_height) {
        const uint8_t* next = p.src + static_cast<size_t>(k + 2) * src_row;
        for (size_t b = p.read_from; b < p.read_end; b += 64) __builtin_prefetch(next + b);
      }
    }
    // The destination row below, for writing (the window system's picture of a window has left
    // the cache too).
    if (i + 1 < band.end()) {
      uint8_t* below = out + dst_row + RowBytes(p.first_col);
      for (size_t b = 0; b < RowBytes(columns); b += 64) __builtin_prefetch(below + b, 1);
    }
    if (p.blocks != nullptr) {
      p.vertical_blocks(out, upper, lower, p.row_weights[y], p.first_col, p.end_col);
    } else {
      p.vertical(out + RowBytes(p.first_col), upper, lower, p.row_weights[y], values);
    }
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

// The blocks of the smooth scalers' columns (see ScaleBlock). A block whose eight columns all have
// a source, and whose pixels lie within 8 or 16 of the row's width + 1 (the spare pixel past the
// last row is part of the buffer), is windowed; the others go column by column. Tables with many
// of those (downscales past one half) keep no blocks.
void BuildScaleBlocks(const std::vector<uint8_t>& col_weights, FrameScaleTables* t) {
  constexpr int32_t kCols = kScaleBlockColumns;
  const int32_t count = (t->dst_width + kCols - 1) / kCols;
  t->blocks.assign(static_cast<size_t>(count), ScaleBlock{});
  int32_t by_columns = 0;
  for (int32_t b = 0; b < count; ++b) {
    ScaleBlock& block = t->blocks[static_cast<size_t>(b)];
    const int32_t x0 = b * kCols;
    for (int32_t j = 0; j < kCols; ++j) {
      const int32_t x = x0 + j;
      const bool valid = x >= t->first_col && x < t->end_col;
      const uint16_t w = valid ? col_weights[static_cast<size_t>(x)] : 0;
      block.left[j] = valid ? t->col_sources[static_cast<size_t>(x)] : -1;
      block.w0[2 * j] = block.w0[2 * j + 1] = static_cast<uint16_t>(256 - w);
      block.w1[2 * j] = block.w1[2 * j + 1] = w;
    }
    if (x0 < t->first_col || x0 + kCols > t->end_col) {
      ++by_columns;
      continue;
    }
    // Sources never decrease along an axis: the first column's left pixel starts the window.
    const int32_t first = block.left[0];
    const int32_t needed = block.left[kCols - 1] + 2 - first;
    const int32_t span = needed <= 8 ? 8 : needed <= 16 ? 16 : 0;
    if (span == 0 || int64_t{first} + span > int64_t{t->src_width} + 1) {
      ++by_columns;
      continue;
    }
    block.base = static_cast<uint32_t>(first) * 4;
    block.span = static_cast<uint32_t>(span);
    for (int32_t& left : block.left) left -= first;
  }
  if (by_columns > 2 && by_columns * 4 > count) t->blocks.clear();
}

// The smooth scalers' tables: the axes in 1/256 pixel (columns sharpened, rows when asked),
// split into source pixels and weights, with the valid ranges and each valid column's weight
// lanes. False for refused arguments.
bool PlanSmooth(FrameFilter filter, const uint8_t* src, int32_t src_x0, int32_t src_y0,
                int32_t src_x1, int32_t src_y1, int32_t src_width, int32_t src_height,
                int32_t dst_width, int32_t dst_height, FrameScaleTables* t) {
  if (src == nullptr || !SideOk(src_width) || !SideOk(src_height)) return false;
  SmoothAxis cols, rows;
  if (!BuildSmoothAxis(src_x0, src_x1, dst_width, &cols) ||
      !BuildSmoothAxis(src_y0, src_y1, dst_height, &rows)) {
    return false;
  }
  const auto& sharpen = SharpenTable();
  const bool sharpen_rows = filter == FrameFilter::kSmoothContrast;
  t->filter = filter;
  t->src_width = src_width;
  t->src_height = src_height;
  t->dst_width = static_cast<int32_t>(cols.entries.size());
  t->dst_height = static_cast<int32_t>(rows.entries.size());
  t->col_sources.resize(cols.entries.size());
  std::vector<uint8_t> col_weights(cols.entries.size());
  for (size_t i = 0; i < cols.entries.size(); ++i) {
    const int64_t e = cols.entries[i];
    t->col_sources[i] = static_cast<int32_t>((e >> 8) + cols.whole);
    col_weights[i] = sharpen[static_cast<size_t>(e & 255)];
  }
  t->row_sources.resize(rows.entries.size());
  t->row_weights.resize(rows.entries.size());
  for (size_t i = 0; i < rows.entries.size(); ++i) {
    const int64_t e = rows.entries[i];
    t->row_sources[i] = static_cast<int32_t>((e >> 8) + rows.whole);
    t->row_weights[i] = sharpen_rows ? sharpen[static_cast<size_t>(e & 255)]
                                     : static_cast<uint8_t>(e & 255);
  }
  ValidRange(t->col_sources, src_width, &t->first_col, &t->end_col);
  ValidRange(t->row_sources, src_height, &t->first_row, &t->end_row);
  const auto columns = static_cast<size_t>(t->end_col - t->first_col);
  t->offsets.resize(columns);
  t->lanes.resize(columns * 8);
  for (size_t i = 0; i < columns; ++i) {
    const size_t x = static_cast<size_t>(t->first_col) + i;
    const uint16_t w = col_weights[x];
    t->offsets[i] = static_cast<uint32_t>(t->col_sources[x]) * 4;
    for (size_t c = 0; c < 4; ++c) {
      t->lanes[i * 8 + c] = static_cast<uint16_t>(256 - w);
      t->lanes[i * 8 + 4 + c] = w;
    }
  }
  BuildScaleBlocks(col_weights, t);
  return true;
}

// The nearest scaler's tables: 16.16 steps accumulated per destination column and row.
bool PlanNearest(const uint8_t* src, int32_t src_x0, int32_t src_y0, int32_t src_x1,
                 int32_t src_y1, int32_t src_width, int32_t src_height, int32_t dst_width,
                 int32_t dst_height, FrameScaleTables* t) {
  const int64_t span_x = int64_t{src_x1} - src_x0 + 1;
  const int64_t span_y = int64_t{src_y1} - src_y0 + 1;
  if (src == nullptr || !SideOk(dst_width) || !SideOk(dst_height) || !SideOk(src_width) ||
      !SideOk(src_height) || !SideOk(span_x) || !SideOk(span_y)) {
    return false;
  }
  t->filter = FrameFilter::kNearest;
  t->src_width = src_width;
  t->src_height = src_height;
  t->dst_width = dst_width;
  t->dst_height = dst_height;
  const auto fill = [](std::vector<int32_t>& table, int32_t count, int64_t span, int32_t start) {
    const auto step = static_cast<int32_t>((span << 16) / count);
    table.resize(static_cast<size_t>(count));
    int32_t acc = 0;
    for (int32_t& c : table) {
      c = (acc >> 16) + start;
      acc += step;
    }
  };
  fill(t->col_sources, dst_width, span_x, src_x0);
  fill(t->row_sources, dst_height, span_y, src_y0);
  ValidRange(t->col_sources, src_width, &t->first_col, &t->end_col);
  ValidRange(t->row_sources, src_height, &t->first_row, &t->end_row);
  return true;
}

// Below this many destination pixels a scale runs on the calling thread: waking the workers and
// their spin afterwards cost more than they save on a small part.
constexpr int64_t kCallerThreadPixels = int64_t{1} << 19;

// Runs the bands on the worker pool, or on this thread for a small scale or a single-threaded
// filter.
void RunBands(WorkerRoutine routine, void* params, int32_t rows, int32_t columns, bool pooled) {
  if (!pooled || int64_t{rows} * columns < kCallerThreadPixels) {
    routine(params, WorkerBand{0, rows});
  } else {
    PostWorkerBands(g_worker_pool, routine, params, rows);
  }
}

// The destination window clipped to the destination, or false when nothing of it remains.
bool ClipWindow(const FrameScaleTables& t, ScaleRect* w) {
  w->x0 = std::clamp(w->x0, 0, t.dst_width);
  w->x1 = std::clamp(w->x1, w->x0, t.dst_width);
  w->y0 = std::clamp(w->y0, 0, t.dst_height);
  w->y1 = std::clamp(w->y1, w->y0, t.dst_height);
  return w->x1 > w->x0 && w->y1 > w->y0;
}

}  // namespace

bool BuildFrameScaleTables(FrameFilter filter, int32_t src_width, int32_t src_height,
                           int32_t dst_width, int32_t dst_height, FrameScaleTables* tables) {
  static const uint8_t kAny = 0;
  if (filter == FrameFilter::kNearest) {
    return PlanNearest(&kAny, 0, 0, src_width - 1, src_height - 1, src_width, src_height,
                       dst_width, dst_height, tables);
  }
  if (!SideOk(src_width) || !SideOk(src_height) || !SideOk(dst_width) || !SideOk(dst_height)) {
    return false;
  }
  return PlanSmooth(filter, &kAny, 0, 0, (src_width - 1) * 100, (src_height - 1) * 100,
                    src_width, src_height, dst_width * 100, dst_height * 100, tables);
}

ScaleRect ScaledPartOf(const FrameScaleTables& t, ScaleRect changed) {
  // The smooth filters read the source pixel and its right (lower) neighbour: a change at s
  // alters destinations whose source is s - 1 or s. Sources never decrease along an axis.
  const int32_t margin = t.filter == FrameFilter::kNearest ? 0 : 1;
  const auto span = [margin](const std::vector<int32_t>& sources, int32_t first, int32_t end,
                             int32_t lo, int32_t hi, int32_t* out0, int32_t* out1) {
    const auto b = sources.begin();
    const auto from = std::lower_bound(b + first, b + end, lo - margin);
    const auto to = std::upper_bound(from, b + end, hi - 1);
    *out0 = static_cast<int32_t>(from - b);
    *out1 = static_cast<int32_t>(to - b);
  };
  ScaleRect out;
  if (changed.x1 <= changed.x0 || changed.y1 <= changed.y0) return out;
  span(t.col_sources, t.first_col, t.end_col, changed.x0, changed.x1, &out.x0, &out.x1);
  span(t.row_sources, t.first_row, t.end_row, changed.y0, changed.y1, &out.y0, &out.y1);
  if (out.x1 <= out.x0 || out.y1 <= out.y0) return ScaleRect{};
  return out;
}

int32_t ScaleFramePart(const FrameScaleTables& t, uint8_t* dst, const uint8_t* src,
                       ScaleRect window) {
  return ScaleFramePart(t, dst, RowBytes(t.dst_width), src, window);
}

int32_t ScaleFramePart(const FrameScaleTables& t, uint8_t* dst, size_t dst_pitch,
                       const uint8_t* src, ScaleRect window) {
  if (dst == nullptr || src == nullptr || t.dst_width < 1 || t.dst_height < 1 ||
      dst_pitch < RowBytes(t.dst_width)) {
    return kScaleRefused;
  }
  if (!ClipWindow(t, &window)) return 0;
  const size_t dst_row = dst_pitch;
  // Rows of the window whose source lies outside the image are zero.
  for (int32_t y = window.y0; y < window.y1; ++y) {
    if (y < t.first_row || y >= t.end_row) {
      g_pixel_kernels.zero_row(dst + static_cast<size_t>(y) * dst_row + RowBytes(window.x0),
                               RowBytes(window.x1 - window.x0));
    }
  }
  const int32_t row0 = std::max(t.first_row, window.y0);
  const int32_t row1 = std::min(t.end_row, window.y1);
  if (row1 <= row0) return 0;
  const int32_t col0 = std::clamp(t.first_col, window.x0, window.x1);
  const int32_t col1 = std::clamp(t.end_col, col0, window.x1);
  const FrameScalerKernels& k = GetFrameScalerKernels();
  if (t.filter == FrameFilter::kNearest) {
    ScaleRowsParams p;
    p.dst = dst;
    p.dst_pitch = dst_pitch;
    p.src = src;
    p.src_width = t.src_width;
    p.columns = t.col_sources.data() + col0;
    p.rows = t.row_sources.data();
    p.first_row = row0;
    p.first_col = col0;
    p.end_col = col1;
    p.zero_x0 = window.x0;
    p.zero_x1 = window.x1;
    p.gather = k.gather;
    RunBands(ScaleRowsBand, &p, row1 - row0, window.x1 - window.x0, true);
    return 0;
  }
  SmoothRowsParams p;
  p.dst = dst;
  p.dst_pitch = dst_pitch;
  p.src = src;
  p.src_width = t.src_width;
  p.src_height = t.src_height;
  p.rows = t.row_sources.data();
  p.row_weights = t.row_weights.data();
  p.first_row = row0;
  p.first_col = col0;
  p.end_col = col1;
  p.zero_x0 = window.x0;
  p.zero_x1 = window.x1;
  if (col1 > col0) {
    p.read_from = RowBytes(t.col_sources[static_cast<size_t>(col0)]);
    p.read_end = RowBytes(t.col_sources[static_cast<size_t>(col1 - 1)] + 2);
  }
  const bool smooth = t.filter == FrameFilter::kSmooth;
  const bool threaded = t.filter == FrameFilter::kSmoothThreaded;
  p.vertical_blocks = smooth     ? k.vertical_blocks_eight_bit
                      : threaded ? k.vertical_blocks_split
                                 : k.vertical_blocks_joint;
  if (k.horizontal_blocks != nullptr && p.vertical_blocks != nullptr && !t.blocks.empty()) {
    const int32_t first_block = col0 / kScaleBlockColumns;
    p.blocks = t.blocks.data() + first_block;
    p.block_count = (col1 + kScaleBlockColumns - 1) / kScaleBlockColumns - first_block;
    p.horizontal_blocks = k.horizontal_blocks;
  } else {
    p.offsets = t.offsets.data() + (col0 - t.first_col);
    p.lanes = t.lanes.data() + static_cast<size_t>(col0 - t.first_col) * 8;
    p.horizontal = k.horizontal;
    p.vertical = smooth ? k.vertical_eight_bit : threaded ? k.vertical_split : k.vertical_joint;
  }
  RunBands(SmoothRowsBand, &p, row1 - row0, window.x1 - window.x0,
           t.filter != FrameFilter::kSmooth);
  return 0;
}

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
  FrameScaleTables t;
  if (dst == nullptr || !PlanNearest(src, src_x0, src_y0, src_x1, src_y1, src_width, src_height,
                                     dst_width, dst_height, &t)) {
    return kScaleRefused;
  }
  return ScaleFramePart(t, dst, src, ScaleRect{0, 0, t.dst_width, t.dst_height});
}

namespace {

int32_t RunSmooth(FrameFilter filter, uint8_t* dst, const uint8_t* src, int32_t src_x0,
                  int32_t src_y0, int32_t src_x1, int32_t src_y1, int32_t src_width,
                  int32_t src_height, int32_t dst_width, int32_t dst_height) {
  FrameScaleTables t;
  if (dst == nullptr || !PlanSmooth(filter, src, src_x0, src_y0, src_x1, src_y1, src_width,
                                    src_height, dst_width, dst_height, &t)) {
    return kScaleRefused;
  }
  return ScaleFramePart(t, dst, src, ScaleRect{0, 0, t.dst_width, t.dst_height});
}

}  // namespace

int32_t ScaleFrameSmooth(uint8_t* dst, const uint8_t* src, int32_t src_x0, int32_t src_y0,
                         int32_t src_x1, int32_t src_y1, int32_t src_width, int32_t src_height,
                         int32_t dst_width, int32_t dst_height) {
  return RunSmooth(FrameFilter::kSmooth, dst, src, src_x0, src_y0, src_x1, src_y1, src_width,
                   src_height, dst_width, dst_height);
}

int32_t ScaleFrameSmoothThreaded(uint8_t* dst, const uint8_t* src, int32_t src_x0,
                                 int32_t src_y0, int32_t src_x1, int32_t src_y1,
                                 int32_t src_width, int32_t src_height, int32_t dst_width,
                                 int32_t dst_height) {
  return RunSmooth(FrameFilter::kSmoothThreaded, dst, src, src_x0, src_y0, src_x1, src_y1,
                   src_width, src_height, dst_width, dst_height);
}

int32_t ScaleFrameSmoothContrast(uint8_t* dst, const uint8_t* src, int32_t src_x0,
                                 int32_t src_y0, int32_t src_x1, int32_t src_y1,
                                 int32_t src_width, int32_t src_height, int32_t dst_width,
                                 int32_t dst_height) {
  return RunSmooth(FrameFilter::kSmoothContrast, dst, src, src_x0, src_y0, src_x1, src_y1,
                   src_width, src_height, dst_width, dst_height);
}

}  // namespace korvel
