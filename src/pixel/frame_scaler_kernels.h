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

// Nearest gather: out pixel i = row pixel columns[i].
using ScaleGatherFn = void (*)(uint8_t* out, const uint8_t* row, const int32_t* columns,
                               int32_t count);

struct FrameScalerKernels {
  ScaleHorizontalFn horizontal = nullptr;
  ScaleVerticalFn vertical_eight_bit = nullptr;
  ScaleVerticalFn vertical_split = nullptr;
  ScaleVerticalFn vertical_joint = nullptr;
  ScaleGatherFn gather = nullptr;
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
