// SSE2 generic blend-span kernels; results equal the scalar kernels byte for byte.
#include "pixel/blend_generic.h"

#if defined(__x86_64__) || defined(__i386__)

#include <emmintrin.h>

#include <utility>

#include "pixel/blend_modes.h"
#include "pixel/blend_tables.h"
#include "pixel/mask_weights.h"

namespace korvel::blend_generic::sse2 {

namespace {

#include "pixel/simd_sse2.inl"
#include "pixel/simd_common.inl"

#include "pixel/blend_generic_simd.inl"

}  // namespace

void Fill(GenericKernels& k) { FillModes(k, std::make_index_sequence<19>()); }

}  // namespace korvel::blend_generic::sse2

#endif
