// SSE2 effect row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_effect_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace korvel::effect_kernels::sse2 {

namespace {

#include "pixel/simd_sse2.inl"
#include "pixel/simd_common.inl"

// The operations the effect kernels need beyond V.
struct X {
  using Count = __m128i;
  // 16-bit lanes of a and b interleaved into 32-bit lanes (first and second half of each 128 bits).
  KORVEL_SIMD_INLINE static __m128i Interleave16Lo(__m128i a, __m128i b) { return _mm_unpacklo_epi16(a, b); }
  KORVEL_SIMD_INLINE static __m128i Interleave16Hi(__m128i a, __m128i b) { return _mm_unpackhi_epi16(a, b); }
  KORVEL_SIMD_INLINE static __m128i Srl16(__m128i a, Count n) { return _mm_srl_epi16(a, n); }
  // Eight bytes as eight 16-bit lanes.
  KORVEL_SIMD_INLINE static __m128i Widen8To16(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
  }
  // Two vectors of 16-bit lanes holding 0..255 as bytes in order.
  KORVEL_SIMD_INLINE static __m128i PackInOrder(__m128i a, __m128i b) { return _mm_packus_epi16(a, b); }
  // table[index[i]] for four indices, built in registers.
  KORVEL_SIMD_INLINE static __m128i LookUp(const int32_t* table, const uint32_t* index) {
    return _mm_setr_epi32(table[index[0]], table[index[1]], table[index[2]], table[index[3]]);
  }
  // 16-bit lanes: four of a, then four of b.
  KORVEL_SIMD_INLINE static __m128i ClampPairs(int32_t a, int32_t b) {
    return _mm_set_epi16(static_cast<int16_t>(b), static_cast<int16_t>(b), static_cast<int16_t>(b),
                         static_cast<int16_t>(b), static_cast<int16_t>(a), static_cast<int16_t>(a),
                         static_cast<int16_t>(a), static_cast<int16_t>(a));
  }
  KORVEL_SIMD_INLINE static Count CountOf(uint32_t n) { return _mm_cvtsi32_si128(static_cast<int>(n)); }
  KORVEL_SIMD_INLINE static __m128i MulU32(__m128i a, __m128i b) { return _mm_mul_epu32(a, b); }
  KORVEL_SIMD_INLINE static __m128i Srl64(__m128i a, Count n) { return _mm_srl_epi64(a, n); }
  template <int N>
  KORVEL_SIMD_INLINE static __m128i Srl64Imm(__m128i a) { return _mm_srli_epi64(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static __m128i Sll64Imm(__m128i a) { return _mm_slli_epi64(a, N); }
  // Four bytes as four 32-bit lanes.
  KORVEL_SIMD_INLINE static __m128i Widen8To32(const uint8_t* p) {
    int32_t v;
    __builtin_memcpy(&v, p, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero), zero);
  }
  // Sixteen 32-bit lanes holding 0..255, as sixteen bytes in order.
  KORVEL_SIMD_INLINE static __m128i PackQuads(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
  }
};

#include "pixel/pixel_effect_kernels_simd.inl"

}  // namespace

void Fill(Kernels& k) { FillKernels(k); }

}  // namespace korvel::effect_kernels::sse2

#endif
