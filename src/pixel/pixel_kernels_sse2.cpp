// SSE2 pixel-row kernels (16 bytes per step); results equal the scalar reference byte for byte.
#include "pixel/pixel_kernels_impl.h"

#if defined(__x86_64__) || defined(__i386__)

#include <emmintrin.h>

namespace korvel::sse2 {

namespace {

#include "pixel/simd_sse2.inl"
#include "pixel/simd_common.inl"

#include "pixel/pixel_kernels_simd.inl"
#include "pixel/pixel_translucent_simd.inl"

}  // namespace

void FillTable(PixelKernelTable& table, KernelSet set) { FillSimdTable(table, set); }

}  // namespace korvel::sse2

#endif
