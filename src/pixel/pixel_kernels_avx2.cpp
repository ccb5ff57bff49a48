// AVX2 pixel-row kernels (32 bytes per step); results equal the scalar reference byte for byte.
#include "pixel/pixel_kernels_impl.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace korvel::avx2 {

namespace {

#include "pixel/simd_avx2.inl"
#include "pixel/simd_common.inl"

#include "pixel/pixel_kernels_simd.inl"
#include "pixel/pixel_translucent_simd.inl"

}  // namespace

void FillTable(PixelKernelTable& table, KernelSet set) { FillSimdTable(table, set); }

}  // namespace korvel::avx2

#endif
