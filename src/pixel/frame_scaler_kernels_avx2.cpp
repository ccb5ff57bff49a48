// AVX2 frame-scaler row kernels; results equal the scalar kernels byte for byte.
#include "pixel/frame_scaler_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstring>

namespace korvel::frame_scaler_kernels::avx2 {

namespace {

#define KORVEL_SIMD __attribute__((target("avx2")))

KORVEL_SIMD inline __m128i Load64(const void* p) {
  return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
KORVEL_SIMD inline __m128i Load128(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
KORVEL_SIMD inline __m256i Load(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
KORVEL_SIMD inline void Store(void* p, __m256i v) {
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

// Pixel pairs of two columns, widened to 16 bits: [left, right] of the first, then of the second.
KORVEL_SIMD inline __m256i PairsOf(const uint8_t* row, uint32_t first, uint32_t second) {
  return _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(Load64(row + first), Load64(row + second)));
}

KORVEL_SIMD void Horizontal(uint16_t* out, const uint8_t* row, const uint32_t* offsets,
                            const uint16_t* lanes, int32_t count) {
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256i p01 =
        _mm256_mullo_epi16(PairsOf(row, offsets[i], offsets[i + 1]), Load(lanes + 8 * i));
    const __m256i p23 =
        _mm256_mullo_epi16(PairsOf(row, offsets[i + 2], offsets[i + 3]), Load(lanes + 8 * i + 16));
    // Sums in column order 0, 2, 1, 3; the permute puts them 0, 1, 2, 3.
    const __m256i s =
        _mm256_add_epi16(_mm256_unpacklo_epi64(p01, p23), _mm256_unpackhi_epi64(p01, p23));
    Store(out + 4 * i, _mm256_permute4x64_epi64(s, 0xD8));
  }
  const __m128i zero = _mm_setzero_si128();
  for (; i < count; ++i) {
    const __m128i p = _mm_mullo_epi16(_mm_unpacklo_epi8(Load64(row + offsets[i]), zero),
                                      Load128(lanes + 8 * i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i),
                     _mm_add_epi16(p, _mm_srli_si128(p, 8)));
  }
}

KORVEL_SIMD inline __m256i EightBit(__m256i t, __m256i b, __m256i w0, __m256i w1) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(t, 8), w0),
                                            _mm256_mullo_epi16(_mm256_srli_epi16(b, 8), w1)),
                           8);
}

KORVEL_SIMD inline __m256i Split(__m256i t, __m256i b, __m256i w0, __m256i w1) {
  return _mm256_add_epi16(_mm256_mulhi_epu16(t, w0), _mm256_mulhi_epu16(b, w1));
}

// The high halves of the two 32-bit products plus the carry out of their low halves.
KORVEL_SIMD inline __m256i Joint(__m256i t, __m256i b, __m256i w0, __m256i w1) {
  const __m256i high = _mm256_add_epi16(_mm256_mulhi_epu16(t, w0), _mm256_mulhi_epu16(b, w1));
  const __m256i low_t = _mm256_mullo_epi16(t, w0);
  const __m256i sum = _mm256_add_epi16(low_t, _mm256_mullo_epi16(b, w1));
  // A wrapped low sum is below its first term: that lane carries one.
  const __m256i no_carry = _mm256_cmpeq_epi16(_mm256_max_epu16(sum, low_t), sum);
  return _mm256_sub_epi16(high, _mm256_andnot_si256(no_carry, _mm256_set1_epi16(-1)));
}

template <__m256i (*Lerp)(__m256i, __m256i, __m256i, __m256i), typename Tail>
KORVEL_SIMD inline void Vertical(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                                 size_t count, Tail tail) {
  const __m256i w0 = _mm256_set1_epi16(static_cast<int16_t>(256 - wy));
  const __m256i w1 = _mm256_set1_epi16(static_cast<int16_t>(wy));
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i v0 = Lerp(Load(t + i), Load(b + i), w0, w1);
    const __m256i v1 = Lerp(Load(t + i + 16), Load(b + i + 16), w0, w1);
    Store(out + i, _mm256_permute4x64_epi64(_mm256_packus_epi16(v0, v1), 0xD8));
  }
  for (; i < count; ++i) out[i] = tail(t[i], b[i], wy);
}

KORVEL_SIMD void VerticalEightBit(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                                  size_t count) {
  Vertical<EightBit>(out, t, b, wy, count, [](uint32_t tv, uint32_t bv, uint32_t w) {
    return static_cast<uint8_t>(((tv >> 8) * (256 - w) + (bv >> 8) * w) >> 8);
  });
}

KORVEL_SIMD void VerticalSplit(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                               size_t count) {
  Vertical<Split>(out, t, b, wy, count, [](uint32_t tv, uint32_t bv, uint32_t w) {
    const uint32_t v = ((tv * (256 - w)) >> 16) + ((bv * w) >> 16);
    return static_cast<uint8_t>(v > 255 ? 255 : v);
  });
}

KORVEL_SIMD void VerticalJoint(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                               size_t count) {
  Vertical<Joint>(out, t, b, wy, count, [](uint32_t tv, uint32_t bv, uint32_t w) {
    const uint32_t v = (tv * (256 - w) + bv * w) >> 16;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
  });
}

KORVEL_SIMD void Gather(uint8_t* out, const uint8_t* row, const int32_t* columns, int32_t count) {
  int32_t i = 0;
  const auto* base = reinterpret_cast<const int*>(row);
  for (; i + 8 <= count; i += 8) {
    const __m256i index = Load(columns + i);
    Store(out + static_cast<size_t>(i) * 4, _mm256_i32gather_epi32(base, index, 4));
  }
  for (; i < count; ++i) {
    std::memcpy(out + static_cast<size_t>(i) * 4, row + static_cast<size_t>(columns[i]) * 4, 4);
  }
}

#undef KORVEL_SIMD

}  // namespace

void Fill(FrameScalerKernels& k) {
  k.horizontal = Horizontal;
  k.vertical_eight_bit = VerticalEightBit;
  k.vertical_split = VerticalSplit;
  k.vertical_joint = VerticalJoint;
  k.gather = Gather;
}

}  // namespace korvel::frame_scaler_kernels::avx2

#endif
