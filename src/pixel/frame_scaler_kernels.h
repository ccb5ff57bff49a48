// Row kernels of the frame scalers (horizontal and vertical bilinear passes, nearest gathers), one
// set per instruction set; every set gives the scalar set's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/pixel_kernels.h"

namespace korvel {

// Horizontal pass over one source row: for column i, with p = row + offsets[i] (the left pixel,
// its right neighbour at p + 4) and the weight lanes of the column at lanes + 8 * i
// (256 − w four times, then w four times), out[4i + c] = p[c]·(256 − w) + p[4 + c]·w. The sum
// is at most 255·256, so it always fits; reads stay within the two pixels of each column.
using ScaleHorizontalFn = void (*)(uint16_t* out, const uint8_t* row, const uint32_t* offsets,
                                   const uint16_t* lanes, int32_t count);

// Vertical pass over `count` values of two horizontal rows t (upper) and b (lower), row weight
// wy (0..255), into bytes:
//   eight-bit: t8 = t >> 8, b8 = b >> 8, out = (t8·(256 − wy) + b8·wy) >> 8;
//   split:     out = ((t·(256 − wy)) >> 16) + ((b·wy) >> 16);
//   joint:     out = (t·(256 − wy) + b·wy) >> 16;
// each at most 255 by construction.
using ScaleVerticalFn = void (*)(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                                 size_t count);

// The blocked smooth passes, for scales whose destination columns, eight at a time, read source
// pixels that lie close together (upscales, and downscales down to one half). A block's horizontal
// values lie in a 32-value block of the weighted row: the 16-bit sums of channels 0 and 2 of its
// eight columns (column j in values 2j and 2j + 1), then those of channels 1 and 3, so the
// vertical pass puts each column's bytes back together with a shift instead of a pack.
inline constexpr int32_t kScaleBlockColumns = 8;
inline constexpr size_t kScaleBlockValues = 32;

// One block of eight destination columns: each column's left source pixel (its right neighbour
// is the next pixel) and their weights, once per 16-bit value of a channel pair. A windowed block
// (span 8 or 16) reads `span` pixels from byte `base` of the row, `left` counting from there; a
// block of span 0 is weighed column by column, `left` then being the source column itself, or -1
// for a column outside the source (whose values are zero).
struct ScaleBlock {
  int32_t left[kScaleBlockColumns] = {};
  uint16_t w0[2 * kScaleBlockColumns] = {};  // 256 − w
  uint16_t w1[2 * kScaleBlockColumns] = {};  // w
  uint32_t base = 0;
  uint32_t span = 0;
};

// Blocked horizontal pass: `count` blocks of one source row into count · 32 values. Reads stay
// within each windowed block's `span` pixels from `base`, and within the two pixels of each
// column of the other blocks.
using ScaleBlocksHorizontalFn = void (*)(uint16_t* out, const uint8_t* row,
                                         const ScaleBlock* blocks, int32_t count);

// Blocked vertical pass: the columns [x0, x1) of a destination row (out_row is its column 0),
// each value by the formula of the matching unblocked pass, from two weighted rows whose first
// block is the one holding column x0. Nothing outside those columns is written.
using ScaleBlocksVerticalFn = void (*)(uint8_t* out_row, const uint16_t* t, const uint16_t* b,
                                       uint32_t wy, int32_t x0, int32_t x1);

// Nearest gather: out pixel i = row pixel columns[i].
using ScaleGatherFn = void (*)(uint8_t* out, const uint8_t* row, const int32_t* columns,
                               int32_t count);

struct FrameScalerKernels {
  ScaleHorizontalFn horizontal = nullptr;
  ScaleVerticalFn vertical_eight_bit = nullptr;
  ScaleVerticalFn vertical_split = nullptr;
  ScaleVerticalFn vertical_joint = nullptr;
  ScaleGatherFn gather = nullptr;
  // The blocked passes, where the instruction set has a cheap permute across a whole vector (null
  // otherwise: the scalers then take the unblocked passes).
  ScaleBlocksHorizontalFn horizontal_blocks = nullptr;
  ScaleBlocksVerticalFn vertical_blocks_eight_bit = nullptr;
  ScaleBlocksVerticalFn vertical_blocks_split = nullptr;
  ScaleBlocksVerticalFn vertical_blocks_joint = nullptr;
};

// The set of one instruction set (an unsupported one gives the scalar set), and the set of the
// instruction set chosen at start-up (SelectPixelKernels / InstallPixelKernels).
const FrameScalerKernels& FrameScalerKernelsFor(PixelIsa isa);
const FrameScalerKernels& GetFrameScalerKernels();

namespace frame_scaler_kernels {
#if defined(__x86_64__) || defined(__i386__)
namespace sse2 {
void Fill(FrameScalerKernels& k);
}
namespace avx2 {
void Fill(FrameScalerKernels& k);
}
#endif
}  // namespace frame_scaler_kernels

}  // namespace korvel
