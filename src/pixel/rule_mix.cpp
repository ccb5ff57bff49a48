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

// Four pixels at a time in 16-bit lanes. With d = to − from (−255..255) and w (0..256 after the
// w < 2 rule), (d·w) >> 8 = mulhi(d·128, 2·w): d·128 and 2·w both fit 16 bits and the high half
// of their product is floor(d·w·256 / 65536), the same floor as the arithmetic shift.
void RuleMixRowSse2(uint8_t* out, const uint8_t* from, const uint8_t* to, const uint8_t* rule,
                    const MaskWeightTable& weights, size_t pixels) {
  int32_t doubled[256];
  for (int i = 0; i < 256; ++i) {
    const int32_t v = weights.weight[i];
    if (v > 256) {  // not a ramp weight: the scalar formula as written
      RuleMixRowScalar(out, from, to, rule, weights, pixels);
      return;
    }
    doubled[i] = v < 2 ? 0 : 2 * v;
  }
  const __m128i zero = _mm_setzero_si128();
  size_t p = 0;
  for (; p + 4 <= pixels; p += 4) {
    const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + p * 4));
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + p * 4));
    const __m128i w = _mm_set_epi32(doubled[rule[p * 4 + 12]], doubled[rule[p * 4 + 8]],
                                    doubled[rule[p * 4 + 4]], doubled[rule[p * 4]]);
    // Each pixel's weight in its four 16-bit lanes.
    const __m128i wlo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_unpacklo_epi32(w, w), 0), 0);
    const __m128i whi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_unpackhi_epi32(w, w), 0), 0);
    const auto half = [](__m128i tv, __m128i fv, __m128i wv) {
      const __m128i scaled = _mm_slli_epi16(_mm_sub_epi16(tv, fv), 7);
      return _mm_sub_epi16(tv, _mm_mulhi_epi16(scaled, wv));
    };
    const __m128i r0 = half(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(f, zero), wlo);
    const __m128i r1 = half(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(f, zero), whi);
    // With w ≤ 256 every result lies between "to" and "from": the pack never saturates.
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
