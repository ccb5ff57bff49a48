// The SSE2 vector type the shared kernel templates are written over (include inside an
// anonymous namespace, after <emmintrin.h>).

#define KORVEL_SIMD __attribute__((target("sse2")))
// Helpers are inlined even in unoptimised builds, which keeps sanitizer runs fast.
#define KORVEL_SIMD_INLINE __attribute__((target("sse2"), always_inline)) inline

struct V {
  using R = __m128i;
  static constexpr size_t kBytes = 16;

  KORVEL_SIMD_INLINE static R Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  KORVEL_SIMD_INLINE static void Store(uint8_t* p, R v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  }
  KORVEL_SIMD_INLINE static R Set8(int8_t v) { return _mm_set1_epi8(v); }
  KORVEL_SIMD_INLINE static R Set16(int16_t v) { return _mm_set1_epi16(v); }
  KORVEL_SIMD_INLINE static R Set32(int32_t v) { return _mm_set1_epi32(v); }
  KORVEL_SIMD_INLINE static R Set64(long long v) { return _mm_set1_epi64x(v); }
  KORVEL_SIMD_INLINE static R Zero() { return _mm_setzero_si128(); }
  KORVEL_SIMD_INLINE static R MaxS16(R a, R b) { return _mm_max_epi16(a, b); }
  KORVEL_SIMD_INLINE static R CmpGt16(R a, R b) { return _mm_cmpgt_epi16(a, b); }
  KORVEL_SIMD_INLINE static R CmpEq16(R a, R b) { return _mm_cmpeq_epi16(a, b); }
  KORVEL_SIMD_INLINE static R MulHiS16(R a, R b) { return _mm_mulhi_epi16(a, b); }
  // Non-negative 16-bit lanes widened to 32 bits (the first and the second half of each 128 bits).
  KORVEL_SIMD_INLINE static R Widen16Lo(R a) { return _mm_unpacklo_epi16(a, _mm_setzero_si128()); }
  KORVEL_SIMD_INLINE static R Widen16Hi(R a) { return _mm_unpackhi_epi16(a, _mm_setzero_si128()); }
  // 32-bit lanes back to 16 bits, saturating (the inverse of Widen16Lo/Hi).
  KORVEL_SIMD_INLINE static R Packs32(R lo, R hi) { return _mm_packs_epi32(lo, hi); }
  KORVEL_SIMD_INLINE static R Lo(R a) { return _mm_unpacklo_epi8(a, _mm_setzero_si128()); }
  KORVEL_SIMD_INLINE static R Hi(R a) { return _mm_unpackhi_epi8(a, _mm_setzero_si128()); }
  KORVEL_SIMD_INLINE static R Pack(R lo, R hi) { return _mm_packus_epi16(lo, hi); }
  KORVEL_SIMD_INLINE static R Add8(R a, R b) { return _mm_add_epi8(a, b); }
  KORVEL_SIMD_INLINE static R Add16(R a, R b) { return _mm_add_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Sub16(R a, R b) { return _mm_sub_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Mul16(R a, R b) { return _mm_mullo_epi16(a, b); }
  KORVEL_SIMD_INLINE static R MulHiU16(R a, R b) { return _mm_mulhi_epu16(a, b); }
  KORVEL_SIMD_INLINE static R MinS16(R a, R b) { return _mm_min_epi16(a, b); }
  template <int N>
  KORVEL_SIMD_INLINE static R Srl16(R a) { return _mm_srli_epi16(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sll16(R a) { return _mm_slli_epi16(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sra16(R a) { return _mm_srai_epi16(a, N); }
  // For comparison results (lanes all ones or all zeros): whether any lane is set.
  KORVEL_SIMD_INLINE static bool AnyMaskSet(R a) { return _mm_movemask_epi8(a) != 0; }
  // Whether any bit of the vector is set.
  KORVEL_SIMD_INLINE static bool AnyNonZero(R a) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_setzero_si128())) != 0xFFFF;
  }
  KORVEL_SIMD_INLINE static R AddsU8(R a, R b) { return _mm_adds_epu8(a, b); }
  KORVEL_SIMD_INLINE static R SubsU8(R a, R b) { return _mm_subs_epu8(a, b); }
  KORVEL_SIMD_INLINE static R MaxU8(R a, R b) { return _mm_max_epu8(a, b); }
  KORVEL_SIMD_INLINE static R MinU8(R a, R b) { return _mm_min_epu8(a, b); }
  KORVEL_SIMD_INLINE static R AvgU8(R a, R b) { return _mm_avg_epu8(a, b); }
  KORVEL_SIMD_INLINE static R And(R a, R b) { return _mm_and_si128(a, b); }
  KORVEL_SIMD_INLINE static R Xor(R a, R b) { return _mm_xor_si128(a, b); }
  KORVEL_SIMD_INLINE static R Or(R a, R b) { return _mm_or_si128(a, b); }
  // ~mask & b
  KORVEL_SIMD_INLINE static R AndNot(R mask, R b) { return _mm_andnot_si128(mask, b); }
  template <int N>
  KORVEL_SIMD_INLINE static R Srl32(R a) { return _mm_srli_epi32(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sra32(R a) { return _mm_srai_epi32(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sll32(R a) { return _mm_slli_epi32(a, N); }
  KORVEL_SIMD_INLINE static R Add32(R a, R b) { return _mm_add_epi32(a, b); }
  KORVEL_SIMD_INLINE static R Sub32(R a, R b) { return _mm_sub_epi32(a, b); }
  KORVEL_SIMD_INLINE static R CmpEq32(R a, R b) { return _mm_cmpeq_epi32(a, b); }
  // a·b in 32-bit lanes for |a| < 32768 and 0 <= b < 32768.
  KORVEL_SIMD_INLINE static R Madd16(R a, R b) { return _mm_madd_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Unpack32Lo(R a, R b) { return _mm_unpacklo_epi32(a, b); }
  KORVEL_SIMD_INLINE static R Unpack32Hi(R a, R b) { return _mm_unpackhi_epi32(a, b); }
  using F = __m128;
  KORVEL_SIMD_INLINE static F SetF(float v) { return _mm_set1_ps(v); }
  KORVEL_SIMD_INLINE static F ToFloat(R a) { return _mm_cvtepi32_ps(a); }
  KORVEL_SIMD_INLINE static R TruncToInt(F a) { return _mm_cvttps_epi32(a); }
  KORVEL_SIMD_INLINE static F DivF(F a, F b) { return _mm_div_ps(a, b); }
  KORVEL_SIMD_INLINE static F MulF(F a, F b) { return _mm_mul_ps(a, b); }
  KORVEL_SIMD_INLINE static F MinF(F a, F b) { return _mm_min_ps(a, b); }
  KORVEL_SIMD_INLINE static F MaxF(F a, F b) { return _mm_max_ps(a, b); }
  KORVEL_SIMD_INLINE static F SubF(F a, F b) { return _mm_sub_ps(a, b); }
  // All ones where a < b, as a float mask.
  KORVEL_SIMD_INLINE static F CmpLtF(F a, F b) { return _mm_cmplt_ps(a, b); }
  KORVEL_SIMD_INLINE static R CastToInt(F a) { return _mm_castps_si128(a); }
  KORVEL_SIMD_INLINE static F SqrtF(F a) { return _mm_sqrt_ps(a); }
  KORVEL_SIMD_INLINE static R CmpGt32(R a, R b) { return _mm_cmpgt_epi32(a, b); }
  KORVEL_SIMD_INLINE static R FloorToInt(F a) {
    const R t = _mm_cvttps_epi32(a);
    return _mm_add_epi32(t, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), a)));
  }
  // Each pixel's alpha (16-bit lane 3 of the pixel) in all four of its lanes.
  // lut[blue byte] of each of the four pixels at `px`, one per 32-bit lane.
  KORVEL_SIMD_INLINE static R GatherByBlue(const uint8_t* px, const int32_t* lut) {
    return _mm_setr_epi32(lut[px[0]], lut[px[4]], lut[px[8]], lut[px[12]]);
  }
  KORVEL_SIMD_INLINE static R AlphaBroadcast16(R a) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xFF), 0xFF);
  }
  // 64-bit halves of a and b interleaved, within each 128 bits.
  KORVEL_SIMD_INLINE static R Unpack64Lo(R a, R b) { return _mm_unpacklo_epi64(a, b); }
  KORVEL_SIMD_INLINE static R Unpack64Hi(R a, R b) { return _mm_unpackhi_epi64(a, b); }
  // Bytes (16-bit lanes) of a and b interleaved, within each 128 bits.
  KORVEL_SIMD_INLINE static R Unpack8Lo(R a, R b) { return _mm_unpacklo_epi8(a, b); }
  KORVEL_SIMD_INLINE static R Unpack8Hi(R a, R b) { return _mm_unpackhi_epi8(a, b); }
  KORVEL_SIMD_INLINE static R Unpack16Lo(R a, R b) { return _mm_unpacklo_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Unpack16Hi(R a, R b) { return _mm_unpackhi_epi16(a, b); }
  // Each 128 bits shifted down by N bytes.
  template <int N>
  KORVEL_SIMD_INLINE static R ByteSrl(R a) { return _mm_srli_si128(a, N); }
  // 32-bit lane N of each 128 bits in all four lanes of those 128 bits.
  template <int N>
  KORVEL_SIMD_INLINE static R Broadcast32(R a) { return _mm_shuffle_epi32(a, N * 0x55); }
  // The result of Pack or Unpack64Lo/Hi on two vectors, with its 64-bit quarters in the order of
  // the source lanes (a no-op on one 128-bit vector).
  KORVEL_SIMD_INLINE static R InOrder64(R a) { return a; }
  // 16 (and 8) bytes from at(k) into 128-bit half k: here the one half, at(0).
  template <typename At>
  KORVEL_SIMD_INLINE static R LoadEach16(At at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at(0)));
  }
  template <typename At>
  KORVEL_SIMD_INLINE static R LoadEach8(At at) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at(0)));
  }
  // LoadEach8 widened to 16-bit lanes (Lo of it).
  template <typename At>
  KORVEL_SIMD_INLINE static R LoadEach8Widened(At at) {
    return _mm_unpacklo_epi8(LoadEach8(at), _mm_setzero_si128());
  }
  // min(256, (s + offset[k·stride])·scale[k·stride]) truncated, in double precision, for the
  // 32-bit lanes of 128-bit half k.
  KORVEL_SIMD_INLINE static R ScaleF64Each(R s, const double* offset, const double* scale,
                                           [[maybe_unused]] size_t stride) {
    const __m128d off = _mm_set1_pd(offset[0]), mul = _mm_set1_pd(scale[0]);
    const __m128d limit = _mm_set1_pd(256.0);
    const __m128d a = _mm_min_pd(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(s), off), mul), limit);
    const __m128d b =
        _mm_min_pd(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(_mm_srli_si128(s, 8)), off), mul), limit);
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
  }
  // The 32-bit words base[index[k]], one per lane; loaded one by one (SSE2 has no gather).
  KORVEL_SIMD_INLINE static R Gather32(const uint8_t* base, const int32_t* index) {
    int32_t w[4];
    for (int k = 0; k < 4; ++k) {
      __builtin_memcpy(&w[k], base + static_cast<size_t>(index[k]) * 4, 4);
    }
    return _mm_setr_epi32(w[0], w[1], w[2], w[3]);
  }
  // Pixels 0, 2, 4, 6 (and 1, 3, 5, 7) of the eight pixels in a then b.
  KORVEL_SIMD_INLINE static R EvenPixels(R a, R b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  }
  KORVEL_SIMD_INLINE static R OddPixels(R a, R b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
  }
};
