// SSE2 frame-scaler row kernels; results equal the scalar kernels byte for byte.
#include "pixel/frame_scaler_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <emmintrin.h>

#include <cstring>

namespace korvel::frame_scaler_kernels::sse2 {

namespace {

#define KORVEL_SIMD __attribute__((target("sse2")))

KORVEL_SIMD inline __m128i Load64(const void* p) {
  return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
KORVEL_SIMD inline __m128i Load(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
KORVEL_SIMD inline void Store(void* p, __m128i v) {
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

KORVEL_SIMD void Horizontal(uint16_t* out, const uint8_t* row, const uint32_t* offsets,
                            const uint16_t* lanes, int32_t count) {
  const __m128i zero = _mm_setzero_si128();
  int32_t i = 0;
  for (; i + 2 <= count; i += 2) {
    // Two columns: their pixel pairs widened to 16 bits, weighted, the pair halves summed.
    const __m128i a = _mm_unpacklo_epi64(Load64(row + offsets[i]), Load64(row + offsets[i + 1]));
    const __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), Load(lanes + 8 * i));
    const __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), Load(lanes + 8 * i + 8));
    Store(out + 4 * i, _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi)));
  }
  if (i < count) {
    const __m128i p = _mm_mullo_epi16(_mm_unpacklo_epi8(Load64(row + offsets[i]), zero),
                                      Load(lanes + 8 * i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i),
                     _mm_add_epi16(p, _mm_srli_si128(p, 8)));
  }
}

KORVEL_SIMD inline __m128i EightBit(__m128i t, __m128i b, __m128i w0, __m128i w1) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(t, 8), w0),
                                      _mm_mullo_epi16(_mm_srli_epi16(b, 8), w1)),
                        8);
}

KORVEL_SIMD inline __m128i Split(__m128i t, __m128i b, __m128i w0, __m128i w1) {
  return _mm_add_epi16(_mm_mulhi_epu16(t, w0), _mm_mulhi_epu16(b, w1));
}

// The high halves of the two 32-bit products plus the carry out of their low halves.
KORVEL_SIMD inline __m128i Joint(__m128i t, __m128i b, __m128i w0, __m128i w1) {
  const __m128i high = _mm_add_epi16(_mm_mulhi_epu16(t, w0), _mm_mulhi_epu16(b, w1));
  const __m128i low_t = _mm_mullo_epi16(t, w0);
  const __m128i sum = _mm_add_epi16(low_t, _mm_mullo_epi16(b, w1));
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  // A wrapped low sum is below its first term (unsigned): that lane carries one.
  const __m128i carry =
      _mm_cmpgt_epi16(_mm_xor_si128(low_t, bias), _mm_xor_si128(sum, bias));
  return _mm_sub_epi16(high, carry);
}

template <__m128i (*Lerp)(__m128i, __m128i, __m128i, __m128i), typename Tail>
KORVEL_SIMD inline void Vertical(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                                 size_t count, Tail tail) {
  const __m128i w0 = _mm_set1_epi16(static_cast<int16_t>(256 - wy));
  const __m128i w1 = _mm_set1_epi16(static_cast<int16_t>(wy));
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i v0 = Lerp(Load(t + i), Load(b + i), w0, w1);
    const __m128i v1 = Lerp(Load(t + i + 8), Load(b + i + 8), w0, w1);
    Store(out + i, _mm_packus_epi16(v0, v1));
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
  for (; i + 4 <= count; i += 4) {
    uint32_t px[4];
    for (int k = 0; k < 4; ++k) {
      std::memcpy(&px[k], row + static_cast<size_t>(columns[i + k]) * 4, 4);
    }
    std::memcpy(out + static_cast<size_t>(i) * 4, px, 16);
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

}  // namespace korvel::frame_scaler_kernels::sse2

#endif
