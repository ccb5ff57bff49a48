// AVX2 effect row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_effect_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace korvel::effect_kernels::avx2 {

namespace {

#include "pixel/simd_avx2.inl"
#include "pixel/simd_common.inl"

// The operations the effect kernels need beyond V.
struct X {
  using Count = __m128i;
  KORVEL_SIMD_INLINE static __m256i Srl16(__m256i a, Count n) { return _mm256_srl_epi16(a, n); }
  // Sixteen bytes as sixteen 16-bit lanes.
  KORVEL_SIMD_INLINE static __m256i Widen8To16(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  // Two vectors of 16-bit lanes holding 0..255 as bytes in order (the pack works per half).
  KORVEL_SIMD_INLINE static __m256i PackInOrder(__m256i a, __m256i b) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), _MM_SHUFFLE(3, 1, 2, 0));
  }
  // table[index[i]] for eight indices, built in registers (the gather instruction is slower here).
  KORVEL_SIMD_INLINE static __m256i LookUp(const int32_t* table, const uint32_t* index) {
    return _mm256_setr_epi32(table[index[0]], table[index[1]], table[index[2]], table[index[3]],
                             table[index[4]], table[index[5]], table[index[6]], table[index[7]]);
  }
  // 16-bit lanes: four of a, then four of b, in each 128-bit half.
  KORVEL_SIMD_INLINE static __m256i ClampPairs(int32_t a, int32_t b) {
    const __m128i h = _mm_set_epi16(static_cast<int16_t>(b), static_cast<int16_t>(b),
                                    static_cast<int16_t>(b), static_cast<int16_t>(b),
                                    static_cast<int16_t>(a), static_cast<int16_t>(a),
                                    static_cast<int16_t>(a), static_cast<int16_t>(a));
    return _mm256_broadcastsi128_si256(h);
  }
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

}  // namespace

void Fill(Kernels& k) {
  FillKernels(k);
  k.gather = GatherAvx2;
}

}  // namespace korvel::effect_kernels::avx2

#endif
