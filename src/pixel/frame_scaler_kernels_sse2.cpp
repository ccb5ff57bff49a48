// SSE2 frame-scaler row kernels; results equal the scalar kernels byte for byte.
#include "pixel/frame_scaler_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <emmintrin.h>

#include <cstring>

namespace korvel::frame_scaler_kernels::sse2 {

namespace {

#include "pixel/simd_sse2.inl"

#include "pixel/frame_scaler_kernels_simd.inl"

}  // namespace

void Fill(FrameScalerKernels& k) { FillKernels(k); }

}  // namespace korvel::frame_scaler_kernels::sse2

#endif
