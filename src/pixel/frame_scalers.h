// Frame scalers: nearest-neighbour (worker job 11) and bilinear with sharpened horizontal weights,
// single-threaded or split over the worker pool (job 21). Used by the frame presentation and by
// the layer resampling operations (so they live with the pixel routines, below both).
//
// Sources are layer pixel buffers: rows of srcWidth pixels, then one spare row and one spare pixel
// (width * 4 * (height + 1) + 4 bytes); the smooth scalers read one pixel right of and one row
// below each source pixel, with weight 0 at the last row and column. Destinations are dstW * dstH
// pixels. Destination pixels whose source lies outside the source buffer are zero.
#pragma once

#include <array>
#include <cstdint>

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

// The weight-sharpening table: t[f] = clamp(trunc(1.25 * (f - 128) + 128), 0, 255).
const std::array<uint8_t, 256>& SharpenTable();

}  // namespace korvel
