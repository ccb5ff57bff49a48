// The rule-transition row mix: scalar reference and the SSE2 routine.
#include "pixel/rule_mix.h"

#include "pixel/pixel_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvel {

void RuleMixRowScalar(uint8_t* out, const uint8_t* from, const uint8_t* to, const uint8_t* rule,
                      const MaskWeightTable& weights, size_t pixels) {
  for (size_t p = 0; p < pixels; ++p) {
    const int32_t w = weights.weight[rule[p * 4]];
    for (size_t b = 0; b < 4; ++b) {
      const int t = to[p * 4 + b];
      out[p * 4 + b] = w < 2 ? static_cast<uint8_t>(t)
                             : static_cast<uint8_t>(t - (((t - from[p * 4 + b]) * w) >> 8));
    }
  }
}

#if defined(__SSE2__)
namespace {

// Four pixels at a time: 16-bit lanes hold to − from (−255..255) and w (0..256 after the w < 2
// rule); the product needs 17 bits, so it is split into its high and low 16-bit halves and
// shifted as a 32-bit value.
void RuleMixRowSse2(uint8_t* out, const uint8_t* from, const uint8_t* to, const uint8_t* rule,
                    const MaskWeightTable& weights, size_t pixels) {
  const __m128i zero = _mm_setzero_si128();
  size_t p = 0;
  for (; p + 4 <= pixels; p += 4) {
    int32_t w[4];
    for (int i = 0; i < 4; ++i) {
      const int32_t v = weights.weight[rule[(p + i) * 4]];
      w[i] = v < 2 ? 0 : (v > 256 ? -1 : v);
    }
    if ((w[0] | w[1] | w[2] | w[3]) < 0) {  // a weight above 256: the scalar formula as written
      RuleMixRowScalar(out + p * 4, from + p * 4, to + p * 4, rule + p * 4, weights, 4);
      continue;
    }
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + p * 4));
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + p * 4));
    const __m128i wlo = _mm_set_epi16(static_cast<int16_t>(w[1]), static_cast<int16_t>(w[1]),
                                      static_cast<int16_t>(w[1]), static_cast<int16_t>(w[1]),
                                      static_cast<int16_t>(w[0]), static_cast<int16_t>(w[0]),
                                      static_cast<int16_t>(w[0]), static_cast<int16_t>(w[0]));
    const __m128i whi = _mm_set_epi16(static_cast<int16_t>(w[3]), static_cast<int16_t>(w[3]),
                                      static_cast<int16_t>(w[3]), static_cast<int16_t>(w[3]),
                                      static_cast<int16_t>(w[2]), static_cast<int16_t>(w[2]),
                                      static_cast<int16_t>(w[2]), static_cast<int16_t>(w[2]));
    const auto half = [&](__m128i tv, __m128i fv, __m128i wv) {
      const __m128i diff = _mm_sub_epi16(tv, fv);
      const __m128i lo = _mm_mullo_epi16(diff, wv);
      const __m128i hi = _mm_mulhi_epi16(diff, wv);
      const __m128i p0 = _mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 8);
      const __m128i p1 = _mm_srai_epi32(_mm_unpackhi_epi16(lo, hi), 8);
      return _mm_sub_epi16(tv, _mm_packs_epi32(p0, p1));
    };
    const __m128i r0 = half(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(f, zero), wlo);
    const __m128i r1 = half(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(f, zero), whi);
    // Results lie in 0..255 except for the byte wrap of the scalar form, which w ≤ 256 rules out.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + p * 4), _mm_packus_epi16(r0, r1));
  }
  RuleMixRowScalar(out + p * 4, from + p * 4, to + p * 4, rule + p * 4, weights, pixels - p);
}

}  // namespace
#endif

void RuleMixRow(uint8_t* out, const uint8_t* from, const uint8_t* to, const uint8_t* rule,
                const MaskWeightTable& weights, size_t pixels) {
#if defined(__SSE2__)
  if (g_pixel_selection.isa != PixelIsa::kScalar) {
    RuleMixRowSse2(out, from, to, rule, weights, pixels);
    return;
  }
#endif
  RuleMixRowScalar(out, from, to, rule, weights, pixels);
}

}  // namespace korvel
