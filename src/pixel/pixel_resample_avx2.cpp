// AVX2 bicubic and Lanczos row kernels; results equal the scalar kernels byte for byte.
#include "pixel/pixel_resample_impl.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <vector>

namespace korvel::resample::avx2 {

namespace {

#define KORVEL_RS __attribute__((target("avx2")))
#define KORVEL_RS_INLINE __attribute__((target("avx2"), always_inline)) inline

KORVEL_RS_INLINE __m128i Load128(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
KORVEL_RS_INLINE __m256i Load(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
// 16 bytes at `a` in the low half, 16 at `b` in the high half.
KORVEL_RS_INLINE __m256i LoadTwo(const void* a, const void* b) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load128(a)), Load128(b), 1);
}
KORVEL_RS_INLINE __m256i LoadTwo64(const void* a, const void* b) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadl_epi64(static_cast<const __m128i*>(a))),
      _mm_loadl_epi64(static_cast<const __m128i*>(b)), 1);
}
KORVEL_RS_INLINE void Store(void* p, __m256i v) {
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}
KORVEL_RS_INLINE void Store128(void* p, __m128i v) {
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// In each half: four pixels' bytes as 16-bit lanes, pixels 0 and 2 interleaved by channel in
// `a`, 1 and 3 in `b`, ready for madd with the weight pairs (w0, w2) and (w1, w3).
KORVEL_RS_INLINE void SplitTaps(__m256i v, __m256i& a, __m256i& b) {
  const __m256i t = _mm256_unpacklo_epi8(v, _mm256_srli_si256(v, 8));
  a = _mm256_unpacklo_epi8(t, _mm256_setzero_si256());
  b = _mm256_unpackhi_epi8(t, _mm256_setzero_si256());
}

// floor((s + offset) * inverse) for the four 32-bit lanes of one pixel, below 256.
KORVEL_RS_INLINE __m128i Divide(__m128i s, double offset, double inverse) {
  const __m256d q = _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(s), _mm256_set1_pd(offset)),
                                  _mm256_set1_pd(inverse));
  return _mm256_cvttpd_epi32(_mm256_min_pd(q, _mm256_set1_pd(256.0)));
}

// Four pixels' 32-bit channel values to bytes (negative values give 0).
KORVEL_RS_INLINE __m128i PackPixels(__m128i q0, __m128i q1, __m128i q2, __m128i q3) {
  return _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q3));
}

KORVEL_RS_INLINE __m128i Low(__m256i v) { return _mm256_castsi256_si128(v); }
KORVEL_RS_INLINE __m128i High(__m256i v) { return _mm256_extracti128_si256(v, 1); }

// Two 16-bit weights as one 32-bit lane (a low, b high), and that lane repeated.
inline int32_t PairBits(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint16_t>(a) |
                              (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}
KORVEL_RS_INLINE __m256i WeightPair(int32_t a, int32_t b) { return _mm256_set1_epi32(PairBits(a, b)); }

// Columns x (low half) and x + 2 (high half) as 32-bit channel sums.
KORVEL_RS_INLINE __m256i CubicTaps(const uint8_t* padded, const CubicColumns& c, size_t x) {
  __m256i a, b;
  SplitTaps(LoadTwo(padded + static_cast<size_t>(c.start[x]) * 4,
                    padded + static_cast<size_t>(c.start[x + 2]) * 4),
            a, b);
  const __m256i w = LoadTwo64(&c.weights[x * 4], &c.weights[(x + 2) * 4]);
  return _mm256_add_epi32(_mm256_madd_epi16(a, _mm256_shuffle_epi32(w, 0x00)),
                          _mm256_madd_epi16(b, _mm256_shuffle_epi32(w, 0x55)));
}

KORVEL_RS void CubicRow(const uint8_t* padded, const CubicColumns& c, int16_t* hi, int16_t* lo) {
  const __m256i low_byte = _mm256_set1_epi32(255);
  const auto n = static_cast<size_t>(c.n);
  size_t x = 0;
  for (; x + 4 <= n; x += 4) {
    const __m256i ra = CubicTaps(padded, c, x), rb = CubicTaps(padded, c, x + 1);
    Store(hi + x * 4, _mm256_packs_epi32(_mm256_srai_epi32(ra, 8), _mm256_srai_epi32(rb, 8)));
    Store(lo + x * 4,
          _mm256_packs_epi32(_mm256_and_si256(ra, low_byte), _mm256_and_si256(rb, low_byte)));
  }
  for (; x < n; ++x) CubicRowPixel(padded, c, static_cast<int32_t>(x), hi, lo);
}

// Four pixels from x of the rows, as 16-bit channel values in order.
KORVEL_RS_INLINE __m256i CubicBlendFour(const CubicRows& r, size_t x, __m256i w01, __m256i w23) {
  const size_t i = x * 4;
  const __m256i h0 = Load(r.hi[0] + i), h1 = Load(r.hi[1] + i);
  const __m256i h2 = Load(r.hi[2] + i), h3 = Load(r.hi[3] + i);
  const __m256i l0 = Load(r.lo[0] + i), l1 = Load(r.lo[1] + i);
  const __m256i l2 = Load(r.lo[2] + i), l3 = Load(r.lo[3] + i);
  // Pixels x (low half) and x + 2 (high half) in `a`, x + 1 and x + 3 in `b`.
  const __m256i ha = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(h0, h1), w01),
                                      _mm256_madd_epi16(_mm256_unpacklo_epi16(h2, h3), w23));
  const __m256i hb = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(h0, h1), w01),
                                      _mm256_madd_epi16(_mm256_unpackhi_epi16(h2, h3), w23));
  const __m256i la = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(l0, l1), w01),
                                      _mm256_madd_epi16(_mm256_unpacklo_epi16(l2, l3), w23));
  const __m256i lb = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(l0, l1), w01),
                                      _mm256_madd_epi16(_mm256_unpackhi_epi16(l2, l3), w23));
  const __m256i half = _mm256_set1_epi32(32768);
  const __m256i qa =
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(ha, 8), la), half), 16);
  const __m256i qb =
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(hb, 8), lb), half), 16);
  return _mm256_packs_epi32(qa, qb);  // x, x + 1 | x + 2, x + 3
}

KORVEL_RS void CubicBlend(const CubicRows& r, const CubicColumns& c, uint8_t* out) {
  const auto n = static_cast<size_t>(c.n);
  const __m256i w01 = WeightPair(r.weight[0], r.weight[1]);
  const __m256i w23 = WeightPair(r.weight[2], r.weight[3]);
  size_t x = 0;
  for (; x + 8 <= n; x += 8) {
    const __m256i bytes = _mm256_packus_epi16(CubicBlendFour(r, x, w01, w23),
                                              CubicBlendFour(r, x + 4, w01, w23));
    Store(out + x * 4, _mm256_permute4x64_epi64(bytes, 0xD8));
  }
  for (; x < n; ++x) CubicBlendPixel(r, c, static_cast<int32_t>(x), out);
}

// Lanczos destination pixels i (low half) and i + 2 (high half) as 32-bit channel sums.
KORVEL_RS_INLINE __m256i LanczosTaps(const uint8_t* line, const LanczosPlan& p, size_t i,
                                     size_t groups) {
  const uint8_t* pa = line + static_cast<size_t>(p.start[i]) * 4;
  const uint8_t* pb = line + static_cast<size_t>(p.start[i + 2]) * 4;
  const int16_t* wa = &p.split[i * groups * 8];
  const int16_t* wb = &p.split[(i + 2) * groups * 8];
  __m256i hi = _mm256_setzero_si256(), lo = _mm256_setzero_si256();
  for (size_t g = 0; g < groups; ++g) {
    __m256i a, b;
    SplitTaps(LoadTwo(pa + g * 16, pb + g * 16), a, b);
    const __m256i wg = LoadTwo(wa + g * 8, wb + g * 8);
    hi = _mm256_add_epi32(hi,
                          _mm256_add_epi32(_mm256_madd_epi16(a, _mm256_shuffle_epi32(wg, 0x00)),
                                           _mm256_madd_epi16(b, _mm256_shuffle_epi32(wg, 0x55))));
    lo = _mm256_add_epi32(lo,
                          _mm256_add_epi32(_mm256_madd_epi16(a, _mm256_shuffle_epi32(wg, 0xAA)),
                                           _mm256_madd_epi16(b, _mm256_shuffle_epi32(wg, 0xFF))));
  }
  return _mm256_add_epi32(_mm256_slli_epi32(hi, 8), lo);
}

KORVEL_RS void LanczosRow(const uint8_t* line, const LanczosPlan& p, uint8_t* out) {
  const auto n = static_cast<size_t>(p.n);
  const auto groups = static_cast<size_t>(p.taps) / 4;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256i sa = LanczosTaps(line, p, i, groups);
    const __m256i sb = LanczosTaps(line, p, i + 1, groups);
    Store128(out + i * 4, PackPixels(Divide(Low(sa), p.offset[i], p.inverse[i]),
                                     Divide(Low(sb), p.offset[i + 1], p.inverse[i + 1]),
                                     Divide(High(sa), p.offset[i + 2], p.inverse[i + 2]),
                                     Divide(High(sb), p.offset[i + 3], p.inverse[i + 3])));
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
  const double off = static_cast<double>(sum / 2) + 0.5;
  const __m256i zero = _mm256_setzero_si256();
  size_t b = 0;
  for (; b + 32 <= bytes; b += 32) {
    // s[j]: pixel j (low half) and pixel j + 4 (high half) of the eight.
    __m256i hi[4] = {zero, zero, zero, zero}, lo[4] = {zero, zero, zero, zero};
    for (size_t k = 0; k < pairs; ++k) {
      const __m256i r0 = Load(first[k] + b), r1 = Load(second[k] + b);
      const __m256i wh = _mm256_set1_epi32(whi[k]), wl = _mm256_set1_epi32(wlo[k]);
      const __m256i ulo = _mm256_unpacklo_epi8(r0, r1), uhi = _mm256_unpackhi_epi8(r0, r1);
      const __m256i a[4] = {_mm256_unpacklo_epi8(ulo, zero), _mm256_unpackhi_epi8(ulo, zero),
                            _mm256_unpacklo_epi8(uhi, zero), _mm256_unpackhi_epi8(uhi, zero)};
      for (size_t j = 0; j < 4; ++j) {
        hi[j] = _mm256_add_epi32(hi[j], _mm256_madd_epi16(a[j], wh));
        lo[j] = _mm256_add_epi32(lo[j], _mm256_madd_epi16(a[j], wl));
      }
    }
    __m256i s[4];
    for (size_t j = 0; j < 4; ++j) s[j] = _mm256_add_epi32(_mm256_slli_epi32(hi[j], 8), lo[j]);
    Store128(out + b, PackPixels(Divide(Low(s[0]), off, inverse), Divide(Low(s[1]), off, inverse),
                                 Divide(Low(s[2]), off, inverse), Divide(Low(s[3]), off, inverse)));
    Store128(out + b + 16,
             PackPixels(Divide(High(s[0]), off, inverse), Divide(High(s[1]), off, inverse),
                        Divide(High(s[2]), off, inverse), Divide(High(s[3]), off, inverse)));
  }
  for (; b < bytes; ++b) LanczosColumnByte(rows, w, count, sum, b, out);
}

}  // namespace

ResampleKernels Kernels() { return {CubicRow, CubicBlend, LanczosRow, LanczosColumn}; }

}  // namespace korvel::resample::avx2

#endif
