// The opaque-pixel bit mask: scalar reference and the SSE2 routine.
#include "pixel/opaque_bits.h"

#include "pixel/pixel_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvel {

void OpaqueBitsScalar(const uint8_t* pixels, size_t count, uint8_t* out) {
  // out[i / 8] bit i % 8 = (pixels[i * 4 + 3] != 0)
  for (size_t byte = 0; byte * 8 < count; ++byte) {
    uint32_t b = 0;
    for (size_t k = 0; k < 8 && byte * 8 + k < count; ++k) {
      b |= static_cast<uint32_t>(pixels[(byte * 8 + k) * 4 + 3] != 0) << k;
    }
    out[byte] = static_cast<uint8_t>(b);
  }
}

#if defined(__SSE2__)
namespace {

// Sixteen pixels at a time: the alpha bytes shifted down and packed into sixteen bytes, compared
// with 0; the byte mask's sign bits are the transparent pixels in order.
void OpaqueBitsSse2(const uint8_t* pixels, size_t count, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  size_t p = 0;
  for (; p + 16 <= count; p += 16) {
    const auto* v = reinterpret_cast<const __m128i*>(pixels + p * 4);
    const __m128i a0 = _mm_srli_epi32(_mm_loadu_si128(v), 24);
    const __m128i a1 = _mm_srli_epi32(_mm_loadu_si128(v + 1), 24);
    const __m128i a2 = _mm_srli_epi32(_mm_loadu_si128(v + 2), 24);
    const __m128i a3 = _mm_srli_epi32(_mm_loadu_si128(v + 3), 24);
    // Values 0..255 pass both packs unchanged.
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a0, a1), _mm_packs_epi32(a2, a3));
    const uint32_t clear = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
    const uint32_t set = ~clear & 0xFFFFu;
    out[p / 8] = static_cast<uint8_t>(set);
    out[p / 8 + 1] = static_cast<uint8_t>(set >> 8);
  }
  OpaqueBitsScalar(pixels + p * 4, count - p, out + p / 8);
}

}  // namespace
#endif

void BuildOpaqueBits(const uint8_t* pixels, size_t count, std::vector<uint8_t>* bits) {
  bits->resize((count + 7) / 8);
  if (count == 0) return;
#if defined(__SSE2__)
  if (g_pixel_selection.isa != PixelIsa::kScalar) {
    OpaqueBitsSse2(pixels, count, bits->data());
    return;
  }
#endif
  OpaqueBitsScalar(pixels, count, bits->data());
}

}  // namespace korvel
