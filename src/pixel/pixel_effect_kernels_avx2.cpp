// AVX2 effect row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_effect_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <algorithm>

namespace korvel::effect_kernels::avx2 {

namespace {

#include "pixel/simd_avx2.inl"
#include "pixel/simd_common.inl"

// The operations the effect kernels need beyond V.
struct X {
  using Count = __m128i;
  KORVEL_SIMD_INLINE static Count CountOf(uint32_t n) { return _mm_cvtsi32_si128(static_cast<int>(n)); }
  KORVEL_SIMD_INLINE static __m256i MulU32(__m256i a, __m256i b) { return _mm256_mul_epu32(a, b); }
  KORVEL_SIMD_INLINE static __m256i Srl64(__m256i a, Count n) { return _mm256_srl_epi64(a, n); }
  template <int N>
  KORVEL_SIMD_INLINE static __m256i Srl64Imm(__m256i a) { return _mm256_srli_epi64(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static __m256i Sll64Imm(__m256i a) { return _mm256_slli_epi64(a, N); }
  // Eight bytes as eight 32-bit lanes.
  KORVEL_SIMD_INLINE static __m256i Widen8To32(const uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  }
  // Thirty-two 32-bit lanes holding 0..255, as thirty-two bytes in order (the packs work inside
  // each 128-bit half; the permute puts the 4-byte groups back in order).
  KORVEL_SIMD_INLINE static __m256i PackQuads(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d));
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
  }
};

#include "pixel/pixel_effect_kernels_simd.inl"

// Eight pixels at a time through the gather instruction (indices below 2^31).
KORVEL_SIMD void GatherAvx2(uint8_t* out, const uint8_t* in, const int32_t* index, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i idx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + i));
    V::Store(out + i * 4, _mm256_i32gather_epi32(reinterpret_cast<const int*>(in), idx, 4));
  }
  ScalarKernels().gather(out + i * 4, in, index + i, n - i);
}

KORVEL_SIMD void SwirlAvx2(uint8_t* out, const uint8_t* in, int32_t pitch, const uint32_t* ring,
                           const int32_t* co, const int32_t* si, int32_t x, int32_t count,
                           int32_t dy, int32_t cx, int32_t cy, int32_t rw, int32_t rh) {
  const __m256i step = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i vdy = _mm256_set1_epi32(dy), vcx = _mm256_set1_epi32(cx),
                vcy = _mm256_set1_epi32(cy), zero = _mm256_setzero_si256(),
                right = _mm256_set1_epi32(rw - 1), bottom = _mm256_set1_epi32(rh - 1),
                vpitch = _mm256_set1_epi32(pitch);
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ring + x + i));
    const __m256i c = _mm256_i32gather_epi32(co, r, 4);
    const __m256i s = _mm256_i32gather_epi32(si, r, 4);
    const __m256i dx = _mm256_add_epi32(_mm256_set1_epi32(x + i - cx), step);
    __m256i sx = _mm256_add_epi32(
        _mm256_srai_epi32(_mm256_sub_epi32(_mm256_mullo_epi32(dx, c), _mm256_mullo_epi32(vdy, s)), 8),
        vcx);
    __m256i sy = _mm256_add_epi32(
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(dx, s), _mm256_mullo_epi32(vdy, c)), 8),
        vcy);
    sx = _mm256_min_epi32(_mm256_max_epi32(sx, zero), right);
    sy = _mm256_min_epi32(_mm256_max_epi32(sy, zero), bottom);
    const __m256i idx = _mm256_add_epi32(_mm256_mullo_epi32(sy, vpitch), sx);
    V::Store(out + static_cast<size_t>(i) * 4,
             _mm256_i32gather_epi32(reinterpret_cast<const int*>(in), idx, 4));
  }
  ScalarKernels().swirl(out + static_cast<size_t>(i) * 4, in, pitch, ring, co, si, x + i, count - i,
                        dy, cx, cy, rw, rh);
}

}  // namespace

void Fill(Kernels& k) {
  FillKernels(k);
  k.gather = GatherAvx2;
  k.swirl = SwirlAvx2;
}

}  // namespace korvel::effect_kernels::avx2

#endif
