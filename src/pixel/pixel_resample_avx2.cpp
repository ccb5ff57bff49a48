// AVX2 bicubic and Lanczos row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_resample_impl.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <vector>

namespace korvel::resample::avx2 {

namespace {

#include "pixel/simd_avx2.inl"

#include "pixel/pixel_resample_simd.inl"

}  // namespace

ResampleKernels Kernels() { return {CubicRow, CubicBlend, LanczosRow, LanczosColumn}; }

}  // namespace korvel::resample::avx2

#endif
