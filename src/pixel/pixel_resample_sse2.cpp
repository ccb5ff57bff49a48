// SSE2 bicubic and Lanczos row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_resample_impl.h"

#if defined(__x86_64__) || defined(__i386__)

#include <emmintrin.h>

#include <vector>

namespace korvel::resample::sse2 {

namespace {

#define KORVEL_RS __attribute__((target("sse2")))
#define KORVEL_RS_INLINE __attribute__((target("sse2"), always_inline)) inline

KORVEL_RS_INLINE __m128i Load(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
KORVEL_RS_INLINE void Store(void* p, __m128i v) {
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// Four pixels' bytes as 16-bit lanes, pixels 0 and 2 interleaved by channel in `a`, 1 and 3 in
// `b`, ready for madd with the weight pairs (w0, w2) and (w1, w3).
KORVEL_RS_INLINE void SplitTaps(__m128i v, __m128i& a, __m128i& b) {
  const __m128i t = _mm_unpacklo_epi8(v, _mm_srli_si128(v, 8));
  a = _mm_unpacklo_epi8(t, _mm_setzero_si128());
  b = _mm_unpackhi_epi8(t, _mm_setzero_si128());
}

// floor((s + offset) * inverse) for the four 32-bit lanes of one pixel, below 256.
KORVEL_RS_INLINE __m128i Divide(__m128i s, __m128d offset, __m128d inverse) {
  const __m128d limit = _mm_set1_pd(256.0);
  const __m128d a = _mm_min_pd(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(s), offset), inverse), limit);
  const __m128d b = _mm_min_pd(
      _mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(_mm_srli_si128(s, 8)), offset), inverse), limit);
  return _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
}

// Four pixels' 32-bit channel values to bytes (negative values give 0).
KORVEL_RS_INLINE __m128i PackPixels(__m128i q0, __m128i q1, __m128i q2, __m128i q3) {
  return _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q3));
}

// Two 16-bit weights as one 32-bit lane (a low, b high), and that lane repeated.
inline int32_t PairBits(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint16_t>(a) |
                              (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}
KORVEL_RS_INLINE __m128i WeightPair(int32_t a, int32_t b) { return _mm_set1_epi32(PairBits(a, b)); }

KORVEL_RS_INLINE __m128i CubicTaps(const uint8_t* padded, const CubicColumns& c, int32_t x) {
  __m128i a, b;
  SplitTaps(Load(padded + static_cast<size_t>(c.start[static_cast<size_t>(x)]) * 4), a, b);
  const __m128i w = _mm_loadl_epi64(
      reinterpret_cast<const __m128i*>(&c.weights[static_cast<size_t>(x) * 4]));
  return _mm_add_epi32(_mm_madd_epi16(a, _mm_shuffle_epi32(w, 0x00)),
                       _mm_madd_epi16(b, _mm_shuffle_epi32(w, 0x55)));
}

KORVEL_RS void CubicRow(const uint8_t* padded, const CubicColumns& c, int16_t* hi, int16_t* lo) {
  const __m128i low_byte = _mm_set1_epi32(255);
  int32_t x = 0;
  for (; x + 2 <= c.n; x += 2) {
    const __m128i r0 = CubicTaps(padded, c, x), r1 = CubicTaps(padded, c, x + 1);
    const size_t i = static_cast<size_t>(x) * 4;
    Store(hi + i, _mm_packs_epi32(_mm_srai_epi32(r0, 8), _mm_srai_epi32(r1, 8)));
    Store(lo + i, _mm_packs_epi32(_mm_and_si128(r0, low_byte), _mm_and_si128(r1, low_byte)));
  }
  for (; x < c.n; ++x) CubicRowPixel(padded, c, x, hi, lo);
}

KORVEL_RS void CubicBlend(const CubicRows& r, const CubicColumns& c, uint8_t* out) {
  const auto n = static_cast<size_t>(c.n);
  const __m128i w01 = WeightPair(r.weight[0], r.weight[1]);
  const __m128i w23 = WeightPair(r.weight[2], r.weight[3]);
  const __m128i half = _mm_set1_epi32(32768);
  size_t x = 0;
  for (; x + 4 <= n; x += 4) {
    __m128i q[4];
    for (size_t h = 0; h < 2; ++h) {
      const size_t i = x * 4 + h * 8;
      const __m128i h0 = Load(r.hi[0] + i), h1 = Load(r.hi[1] + i);
      const __m128i h2 = Load(r.hi[2] + i), h3 = Load(r.hi[3] + i);
      const __m128i l0 = Load(r.lo[0] + i), l1 = Load(r.lo[1] + i);
      const __m128i l2 = Load(r.lo[2] + i), l3 = Load(r.lo[3] + i);
      const __m128i ha = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(h0, h1), w01),
                                       _mm_madd_epi16(_mm_unpacklo_epi16(h2, h3), w23));
      const __m128i hb = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(h0, h1), w01),
                                       _mm_madd_epi16(_mm_unpackhi_epi16(h2, h3), w23));
      const __m128i la = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(l0, l1), w01),
                                       _mm_madd_epi16(_mm_unpacklo_epi16(l2, l3), w23));
      const __m128i lb = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(l0, l1), w01),
                                       _mm_madd_epi16(_mm_unpackhi_epi16(l2, l3), w23));
      q[h * 2] = _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(ha, 8), la), half), 16);
      q[h * 2 + 1] =
          _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(hb, 8), lb), half), 16);
    }
    Store(out + x * 4, PackPixels(q[0], q[1], q[2], q[3]));
  }
  for (; x < n; ++x) CubicBlendPixel(r, c, static_cast<int32_t>(x), out);
}

// One Lanczos destination pixel as four 32-bit channel values.
KORVEL_RS_INLINE __m128i LanczosTaps(const uint8_t* line, const LanczosPlan& p, size_t i,
                                     size_t groups) {
  const uint8_t* px = line + static_cast<size_t>(p.start[i]) * 4;
  const int16_t* w = &p.split[i * groups * 8];
  __m128i hi = _mm_setzero_si128(), lo = _mm_setzero_si128();
  for (size_t g = 0; g < groups; ++g) {
    __m128i a, b;
    SplitTaps(Load(px + g * 16), a, b);
    const __m128i wg = Load(w + g * 8);
    hi = _mm_add_epi32(hi, _mm_add_epi32(_mm_madd_epi16(a, _mm_shuffle_epi32(wg, 0x00)),
                                         _mm_madd_epi16(b, _mm_shuffle_epi32(wg, 0x55))));
    lo = _mm_add_epi32(lo, _mm_add_epi32(_mm_madd_epi16(a, _mm_shuffle_epi32(wg, 0xAA)),
                                         _mm_madd_epi16(b, _mm_shuffle_epi32(wg, 0xFF))));
  }
  return Divide(_mm_add_epi32(_mm_slli_epi32(hi, 8), lo), _mm_set1_pd(p.offset[i]),
                _mm_set1_pd(p.inverse[i]));
}

KORVEL_RS void LanczosRow(const uint8_t* line, const LanczosPlan& p, uint8_t* out) {
  const auto n = static_cast<size_t>(p.n);
  const auto groups = static_cast<size_t>(p.taps) / 4;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    Store(out + i * 4, PackPixels(LanczosTaps(line, p, i, groups),
                                  LanczosTaps(line, p, i + 1, groups),
                                  LanczosTaps(line, p, i + 2, groups),
                                  LanczosTaps(line, p, i + 3, groups)));
  }
  for (; i < n; ++i) LanczosRowPixel(line, p, static_cast<int32_t>(i), out);
}

KORVEL_RS void LanczosColumn(const uint8_t* const* rows, const int32_t* w, int32_t count,
                             int64_t sum, double inverse, size_t bytes, uint8_t* out) {
  // Taps in pairs; an odd last tap pairs with the first row at weight 0.
  const auto pairs = static_cast<size_t>(count + 1) / 2;
  std::vector<const uint8_t*> first(pairs), second(pairs);
  std::vector<int32_t> whi(pairs), wlo(pairs);
  for (size_t k = 0; k < pairs; ++k) {
    const size_t t = k * 2;
    const bool odd = t + 1 >= static_cast<size_t>(count);
    first[k] = rows[t];
    second[k] = odd ? rows[0] : rows[t + 1];
    const int32_t w0 = w[t], w1 = odd ? 0 : w[t + 1];
    whi[k] = PairBits(w0 >> 8, w1 >> 8);
    wlo[k] = PairBits(w0 & 255, w1 & 255);
  }
  const __m128d off = _mm_set1_pd(static_cast<double>(sum / 2) + 0.5);
  const __m128d inv = _mm_set1_pd(inverse);
  const __m128i zero = _mm_setzero_si128();
  size_t b = 0;
  for (; b + 16 <= bytes; b += 16) {
    __m128i hi[4] = {zero, zero, zero, zero}, lo[4] = {zero, zero, zero, zero};
    for (size_t k = 0; k < pairs; ++k) {
      const __m128i r0 = Load(first[k] + b), r1 = Load(second[k] + b);
      const __m128i wh = _mm_set1_epi32(whi[k]), wl = _mm_set1_epi32(wlo[k]);
      const __m128i ulo = _mm_unpacklo_epi8(r0, r1), uhi = _mm_unpackhi_epi8(r0, r1);
      const __m128i a[4] = {_mm_unpacklo_epi8(ulo, zero), _mm_unpackhi_epi8(ulo, zero),
                            _mm_unpacklo_epi8(uhi, zero), _mm_unpackhi_epi8(uhi, zero)};
      for (size_t j = 0; j < 4; ++j) {
        hi[j] = _mm_add_epi32(hi[j], _mm_madd_epi16(a[j], wh));
        lo[j] = _mm_add_epi32(lo[j], _mm_madd_epi16(a[j], wl));
      }
    }
    __m128i q[4];
    for (size_t j = 0; j < 4; ++j) {
      q[j] = Divide(_mm_add_epi32(_mm_slli_epi32(hi[j], 8), lo[j]), off, inv);
    }
    Store(out + b, PackPixels(q[0], q[1], q[2], q[3]));
  }
  for (; b < bytes; ++b) LanczosColumnByte(rows, w, count, sum, b, out);
}

}  // namespace

ResampleKernels Kernels() { return {CubicRow, CubicBlend, LanczosRow, LanczosColumn}; }

}  // namespace korvel::resample::sse2

#endif
