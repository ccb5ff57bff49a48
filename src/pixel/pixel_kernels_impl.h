// Internal: the routines of each instruction set, for the selection code and the SIMD remainders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/pixel_kernels.h"

namespace korvel {

// The scalar routines are the reference: every other instruction set matches them byte for byte.
// Where the two sets differ a routine is a template on the set. SIMD routines hand the part of a
// row after their last whole vector to these, starting on a group boundary.
namespace scalar {

void ZeroRow(uint8_t* row, size_t bytes);
void FillBytes(uint8_t* row, size_t bytes, uint8_t value);
void FillPixels(uint8_t* row, size_t bytes, uint32_t pixel);
void CopyRow(uint8_t* dst, const uint8_t* src, size_t bytes);
template <KernelSet S>
void BlendRowOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes);
template <KernelSet S>
void BlendRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes);
template <KernelSet S>
void BlendRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes);
template <KernelSet S>
void BlendRowMaskTable(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                       const MaskWeightTable& weights, int32_t level, int32_t ramp, size_t bytes);
template <KernelSet S>
void LerpTwoRows(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t o,
                 size_t bytes);
void AddRowSaturate(uint8_t* dst, const uint8_t* src, size_t bytes);
void AddRowSaturateOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes);
template <KernelSet S>
void AddRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes);
template <KernelSet S>
void AddRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes);
void SubtractRowSaturate(uint8_t* dst, const uint8_t* src, size_t bytes);
void MultiplyRow(uint8_t* dst, const uint8_t* src, size_t bytes);
void ScreenRow(uint8_t* dst, const uint8_t* src, size_t bytes);
void ScreenRowOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes);
void LightenRow(uint8_t* dst, const uint8_t* src, size_t bytes);
void DarkenRow(uint8_t* dst, const uint8_t* src, size_t bytes);
void LinearBurnRow(uint8_t* dst, const uint8_t* src, size_t bytes);
void LinearLightRow(uint8_t* dst, const uint8_t* src, size_t bytes);
template <KernelSet S>
void HalveRows(uint8_t* dst, const uint8_t* src, size_t source_pitch_pixels, size_t pixels);
void ScreenRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes);
void ScreenRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes);
void BlendRowAlphaTableOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes);
void BlendRowOntoTranslucent(uint8_t* dst, const uint8_t* src, int32_t o1, int32_t o2,
                             size_t bytes);

// Bytes before the first 8-byte-aligned destination address (at most `bytes`).
inline size_t BytesToAlign8(const uint8_t* p, size_t bytes) {
  const size_t mis = reinterpret_cast<uintptr_t>(p) & 7u;
  const size_t n = mis ? 8 - mis : 0;
  return n < bytes ? n : bytes;
}

void FillTable(PixelKernelTable& table, KernelSet set);

}  // namespace scalar

#if defined(__x86_64__) || defined(__i386__)
namespace sse2 {
void FillTable(PixelKernelTable& table, KernelSet set);
}
namespace avx2 {
void FillTable(PixelKernelTable& table, KernelSet set);
}
#endif

}  // namespace korvel
