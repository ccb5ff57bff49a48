// SSE2 effect row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_effect_kernels.h"

#include "pixel/pixel_effects.h"

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

// For each of the 24 orders and each source pixel k of a 2 × 2 block (top row then bottom row):
// the colour bytes of the positions that take pixel k.
struct ShuffleSelections {
  alignas(16) uint32_t take[24][4][4];
};

ShuffleSelections MakeShuffleSelections() {
  ShuffleSelections m{};
  for (int p = 0; p < 24; ++p) {
    for (int i = 0; i < 4; ++i) m.take[p][kShufflePermutations[p][i]][i] = 0x00FFFFFFu;
  }
  return m;
}

// Without a byte shuffle: each source pixel spread over the block and kept where the order
// takes it, the alpha of each position kept.
KORVEL_SIMD void ShuffleBlocksSse2(uint8_t* to, size_t to_pitch, const uint8_t* from,
                                   size_t from_pitch, const uint32_t* draws, size_t count) {
  static const ShuffleSelections selections = MakeShuffleSelections();
  const __m128i alpha = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  for (size_t b = 0; b < count; ++b, to += 8, from += 8) {
    const __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
    const __m128i bottom = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + from_pitch));
    const __m128i g = _mm_unpacklo_epi64(top, bottom);
    const auto* take = reinterpret_cast<const __m128i*>(selections.take[draws[b] % 24]);
    const __m128i p0 = _mm_and_si128(_mm_shuffle_epi32(g, 0x00), _mm_load_si128(take));
    const __m128i p1 = _mm_and_si128(_mm_shuffle_epi32(g, 0x55), _mm_load_si128(take + 1));
    const __m128i p2 = _mm_and_si128(_mm_shuffle_epi32(g, 0xAA), _mm_load_si128(take + 2));
    const __m128i p3 = _mm_and_si128(_mm_shuffle_epi32(g, 0xFF), _mm_load_si128(take + 3));
    const __m128i out = _mm_or_si128(_mm_or_si128(_mm_or_si128(p0, p1), _mm_or_si128(p2, p3)),
                                     _mm_and_si128(g, alpha));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), out);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to + to_pitch), _mm_unpackhi_epi64(out, out));
  }
}

}  // namespace

void Fill(Kernels& k) {
  FillKernels(k);
  k.shuffle_blocks = ShuffleBlocksSse2;
}

}  // namespace korvel::effect_kernels::sse2

#endif
