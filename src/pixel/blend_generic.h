// Internal: the generic blend-span kernels of every mode, per instruction set.
#pragma once

#include "pixel/blend_kernels.h"
#include "pixel/pixel_kernels.h"

namespace korvel::blend_generic {

struct GenericKernels {
  BlendSpanFn opaque[2][19];            // table A, by column then mode
  BlendSpanFn alpha[2][19];             // table B
  BlendMaskSpanFn masked[19];           // table C (mode 0 is its column-0 kernel)
  BlendMaskSpanFn masked_alpha[19];     // table D (mode 0 weights by w·A)
};

// The scalar kernels: the reference, and what the SIMD ones hand the ends of rows to.
const GenericKernels& ScalarKernels();

// The kernels of one instruction set (unsupported ones give the scalar kernels).
const GenericKernels& KernelsFor(PixelIsa isa);

#if defined(__x86_64__) || defined(__i386__)
namespace sse2 {
void Fill(GenericKernels& k);
}
namespace avx2 {
void Fill(GenericKernels& k);
}
#endif

}  // namespace korvel::blend_generic
