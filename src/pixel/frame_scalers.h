// Frame scalers: nearest-neighbour (worker job 11) and bilinear with sharpened horizontal weights,
// single-threaded or split over the worker pool (job 21). Used by the frame presentation and by
// the layer resampling operations (so they live with the pixel routines, below both).
//
// Sources are layer pixel buffers: rows of srcWidth pixels, then one spare row and one spare pixel
// (width * 4 * (height + 1) + 4 bytes); the smooth scalers read one pixel right of and one row
// below each source pixel, with weight 0 at the last row and column. Destinations are dstW * dstH
// pixels. Destination pixels whose source lies outside the source buffer are zero.
//
// Every scaler weighs each source row across once and keeps it while destination rows use it;
// the row kernels are those of the instruction set chosen at start-up. The pooled filters run a
// scale of fewer than 2^19 destination pixels on the calling thread (the bytes are the same).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixel/frame_scaler_kernels.h"

namespace korvel {

// Refused arguments: a destination or source side outside 1..8192, an empty or reversed source
// rectangle, or a null buffer. Nothing is written then.
inline constexpr int32_t kScaleRefused = -1;

// Nearest neighbour. The source rectangle is in whole pixels (inclusive corners); the destination
// size in pixels. Rows run on the worker pool (job 11). 0, or kScaleRefused.
int32_t ScaleFrameNearest(uint8_t* dst, const uint8_t* src, int32_t src_x0, int32_t src_y0,
                          int32_t src_x1, int32_t src_y1, int32_t src_width, int32_t src_height,
                          int32_t dst_width, int32_t dst_height);

// Bilinear. The source rectangle corners and the destination size are in hundredths of a pixel
// (the frame path passes 0, 0, (w - 1) * 100, (h - 1) * 100 and width * 100, height * 100); the
// source buffer size in pixels. 0, or kScaleRefused.
int32_t ScaleFrameSmooth(uint8_t* dst, const uint8_t* src, int32_t src_x0, int32_t src_y0,
                         int32_t src_x1, int32_t src_y1, int32_t src_width, int32_t src_height,
                         int32_t dst_width, int32_t dst_height);

// The same arguments, the rows split over the worker pool (job 21), with 16-bit intermediate
// sums instead of the single-threaded 8-bit ones.
int32_t ScaleFrameSmoothThreaded(uint8_t* dst, const uint8_t* src, int32_t src_x0,
                                 int32_t src_y0, int32_t src_x1, int32_t src_y1,
                                 int32_t src_width, int32_t src_height, int32_t dst_width,
                                 int32_t dst_height);

// As ScaleFrameSmoothThreaded, with the row weights sharpened through the same table as the
// column weights (the layer resampling's threaded filter).
int32_t ScaleFrameSmoothContrast(uint8_t* dst, const uint8_t* src, int32_t src_x0,
                                 int32_t src_y0, int32_t src_x1, int32_t src_y1,
                                 int32_t src_width, int32_t src_height, int32_t dst_width,
                                 int32_t dst_height);

// The filters of a frame scale: nearest (job 11), smooth single-threaded, smooth over the worker
// pool (job 21) and the layer resampling's smooth filter with sharpened rows (job 41).
enum class FrameFilter : uint8_t {
  kNearest = 0,
  kSmooth = 1,
  kSmoothThreaded = 2,
  kSmoothContrast = 3,
};

// A rectangle of pixels, [x0, x1) x [y0, y1).
struct ScaleRect {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

// The tables of one scale: per destination column and row its source pixel (the left or upper
// one of a smooth pair), the ranges whose sources lie inside the image, the smooth filters' row
// weights and, per valid column, the left pixel's byte offset and its weight lanes.
struct FrameScaleTables {
  FrameFilter filter = FrameFilter::kNearest;
  int32_t src_width = 0, src_height = 0, dst_width = 0, dst_height = 0;
  int32_t first_col = 0, end_col = 0, first_row = 0, end_row = 0;
  std::vector<int32_t> col_sources, row_sources;
  std::vector<uint8_t> row_weights;
  std::vector<uint32_t> offsets;
  std::vector<uint16_t> lanes;
  // The smooth filters' columns in blocks of eight from column 0, for the blocked passes; empty
  // when too few blocks read pixels close enough together (downscales past one half).
  std::vector<ScaleBlock> blocks;
};

// The tables of a whole-frame scale (the whole source onto the whole destination, with the
// arguments the frame path passes each scaler). False for sides outside 1..8192.
bool BuildFrameScaleTables(FrameFilter filter, int32_t src_width, int32_t src_height,
                           int32_t dst_width, int32_t dst_height, FrameScaleTables* tables);

// The destination pixels a change of the source pixels `changed` can alter: the smallest
// rectangle holding every destination pixel that reads a changed pixel (the smooth filters also
// read the right and lower neighbour). Empty when none does.
ScaleRect ScaledPartOf(const FrameScaleTables& tables, ScaleRect changed);

// Writes the destination pixels inside `window` (clipped to the destination) exactly as the whole
// scale writes them, and nothing else. The destination has the tables' size; the source is a
// layer buffer of the tables' source size. 0, or kScaleRefused for a null buffer or empty tables.
int32_t ScaleFramePart(const FrameScaleTables& tables, uint8_t* dst, const uint8_t* src,
                       ScaleRect window);
// The same into a destination whose rows lie `dst_pitch` bytes apart (at least the width's bytes;
// kScaleRefused otherwise), such as the window system's picture of a window.
int32_t ScaleFramePart(const FrameScaleTables& tables, uint8_t* dst, size_t dst_pitch,
                       const uint8_t* src, ScaleRect window);

// The weight-sharpening table: t[f] = clamp(trunc(1.25 * (f - 128) + 128), 0, 255).
const std::array<uint8_t, 256>& SharpenTable();

}  // namespace korvel
