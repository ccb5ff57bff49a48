// AVX2 effect row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_effect_kernels.h"

#include "pixel/pixel_effects.h"

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
  // 16-bit lanes of a and b interleaved into 32-bit lanes (first and second half of each 128 bits).
  KORVEL_SIMD_INLINE static __m256i Interleave16Lo(__m256i a, __m256i b) { return _mm256_unpacklo_epi16(a, b); }
  KORVEL_SIMD_INLINE static __m256i Interleave16Hi(__m256i a, __m256i b) { return _mm256_unpackhi_epi16(a, b); }
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

// Eight rows of eight pixels turned over: unpacks inside each 128-bit half, then the halves
// exchanged. The columns right of the last whole block and the rows below it go to the 4 × 4 way.
KORVEL_SIMD void TransposeAvx2(uint8_t* dst, size_t dst_pitch, const uint8_t* src,
                               size_t src_pitch, int32_t w, int32_t h) {
  const int32_t w8 = w & ~7, h8 = h & ~7;
  for (int32_t y = 0; y < h8; y += 8) {
    const uint8_t* s = src + static_cast<size_t>(y) * src_pitch;
    for (int32_t x = 0; x < w8; x += 8) {
      const uint8_t* p = s + static_cast<size_t>(x) * 4;
      __m256i r[8];
      for (int i = 0; i < 8; ++i) r[i] = V::Load(p + static_cast<size_t>(i) * src_pitch);
      __m256i t[8];
      for (int i = 0; i < 4; ++i) {
        t[2 * i] = _mm256_unpacklo_epi32(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm256_unpackhi_epi32(r[2 * i], r[2 * i + 1]);
      }
      // u[k] holds column k (first four rows) | column k + 4 for rows 0-3 (u[0..3]) and 4-7 (u[4..7]).
      __m256i u[8];
      for (int half = 0; half < 2; ++half) {
        const __m256i* q = t + 4 * half;
        u[4 * half + 0] = _mm256_unpacklo_epi64(q[0], q[2]);
        u[4 * half + 1] = _mm256_unpackhi_epi64(q[0], q[2]);
        u[4 * half + 2] = _mm256_unpacklo_epi64(q[1], q[3]);
        u[4 * half + 3] = _mm256_unpackhi_epi64(q[1], q[3]);
      }
      uint8_t* d = dst + static_cast<size_t>(x) * dst_pitch + static_cast<size_t>(y) * 4;
      for (int k = 0; k < 4; ++k) {
        V::Store(d + static_cast<size_t>(k) * dst_pitch, _mm256_permute2x128_si256(u[k], u[k + 4], 0x20));
        V::Store(d + static_cast<size_t>(k + 4) * dst_pitch,
                 _mm256_permute2x128_si256(u[k], u[k + 4], 0x31));
      }
    }
  }
  if (w8 < w) {
    TransposeV(dst + static_cast<size_t>(w8) * dst_pitch, dst_pitch, src + static_cast<size_t>(w8) * 4,
               src_pitch, w - w8, h);
  }
  if (h8 < h) {
    TransposeV(dst + static_cast<size_t>(h8) * 4, dst_pitch, src + static_cast<size_t>(h8) * src_pitch,
               src_pitch, w8, h - h8);
  }
}

// Byte shuffles for the 24 orders of a 2 × 2 block held as its top row then its bottom row:
// position i takes the colour bytes of pixel order[i] and keeps its own alpha.
struct ShuffleMasks {
  alignas(16) uint8_t mask[24][16];
};

ShuffleMasks MakeShuffleMasks() {
  ShuffleMasks m;
  for (int p = 0; p < 24; ++p) {
    for (int i = 0; i < 4; ++i) {
      for (int b = 0; b < 3; ++b) m.mask[p][4 * i + b] = static_cast<uint8_t>(4 * kShufflePermutations[p][i] + b);
      m.mask[p][4 * i + 3] = static_cast<uint8_t>(4 * i + 3);
    }
  }
  return m;
}

// One block per byte shuffle: both rows in one register, rearranged, written back as two halves.
KORVEL_SIMD void ShuffleBlocksAvx2(uint8_t* to, size_t to_pitch, const uint8_t* from,
                                   size_t from_pitch, const uint32_t* draws, size_t count) {
  static const ShuffleMasks masks = MakeShuffleMasks();
  for (size_t b = 0; b < count; ++b, to += 8, from += 8) {
    const __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
    const __m128i bottom = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + from_pitch));
    const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.mask[draws[b] % 24]));
    const __m128i out = _mm_shuffle_epi8(_mm_unpacklo_epi64(top, bottom), mask);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), out);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to + to_pitch), _mm_unpackhi_epi64(out, out));
  }
}

}  // namespace

void Fill(Kernels& k) {
  k.shuffle_blocks = ShuffleBlocksAvx2;
  FillKernels(k);
  k.transpose = TransposeAvx2;
  k.gather = GatherAvx2;
}

}  // namespace korvel::effect_kernels::avx2

#endif
