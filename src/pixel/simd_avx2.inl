// The AVX2 vector type the shared kernel templates are written over (include inside an
// anonymous namespace, after <immintrin.h>).

#define KORVEL_SIMD __attribute__((target("avx2")))
// Helpers are inlined even in unoptimised builds, which keeps sanitizer runs fast.
#define KORVEL_SIMD_INLINE __attribute__((target("avx2"), always_inline)) inline

// Unpacks, packs and shuffles work inside each 128-bit half, exactly as the SSE2 ones do on one.
struct V {
  using R = __m256i;
  static constexpr size_t kBytes = 32;

  KORVEL_SIMD_INLINE static R Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  KORVEL_SIMD_INLINE static void Store(uint8_t* p, R v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
  KORVEL_SIMD_INLINE static R Set8(int8_t v) { return _mm256_set1_epi8(v); }
  KORVEL_SIMD_INLINE static R Set16(int16_t v) { return _mm256_set1_epi16(v); }
  KORVEL_SIMD_INLINE static R Set32(int32_t v) { return _mm256_set1_epi32(v); }
  KORVEL_SIMD_INLINE static R Set64(long long v) { return _mm256_set1_epi64x(v); }
  KORVEL_SIMD_INLINE static R Zero() { return _mm256_setzero_si256(); }
  KORVEL_SIMD_INLINE static R MaxS16(R a, R b) { return _mm256_max_epi16(a, b); }
  KORVEL_SIMD_INLINE static R CmpGt16(R a, R b) { return _mm256_cmpgt_epi16(a, b); }
  KORVEL_SIMD_INLINE static R CmpEq16(R a, R b) { return _mm256_cmpeq_epi16(a, b); }
  KORVEL_SIMD_INLINE static R MulHiS16(R a, R b) { return _mm256_mulhi_epi16(a, b); }
  // Non-negative 16-bit lanes widened to 32 bits (the first and the second half of each 128 bits).
  KORVEL_SIMD_INLINE static R Widen16Lo(R a) {
    return _mm256_unpacklo_epi16(a, _mm256_setzero_si256());
  }
  KORVEL_SIMD_INLINE static R Widen16Hi(R a) {
    return _mm256_unpackhi_epi16(a, _mm256_setzero_si256());
  }
  // 32-bit lanes back to 16 bits, saturating (the inverse of Widen16Lo/Hi).
  KORVEL_SIMD_INLINE static R Packs32(R lo, R hi) { return _mm256_packs_epi32(lo, hi); }
  KORVEL_SIMD_INLINE static R Lo(R a) { return _mm256_unpacklo_epi8(a, _mm256_setzero_si256()); }
  KORVEL_SIMD_INLINE static R Hi(R a) { return _mm256_unpackhi_epi8(a, _mm256_setzero_si256()); }
  KORVEL_SIMD_INLINE static R Pack(R lo, R hi) { return _mm256_packus_epi16(lo, hi); }
  KORVEL_SIMD_INLINE static R Add8(R a, R b) { return _mm256_add_epi8(a, b); }
  KORVEL_SIMD_INLINE static R Add16(R a, R b) { return _mm256_add_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Mul16(R a, R b) { return _mm256_mullo_epi16(a, b); }
  KORVEL_SIMD_INLINE static R MulHiU16(R a, R b) { return _mm256_mulhi_epu16(a, b); }
  KORVEL_SIMD_INLINE static R MinS16(R a, R b) { return _mm256_min_epi16(a, b); }
  template <int N>
  KORVEL_SIMD_INLINE static R Srl16(R a) { return _mm256_srli_epi16(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sll16(R a) { return _mm256_slli_epi16(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sra16(R a) { return _mm256_srai_epi16(a, N); }
  // For comparison results (lanes all ones or all zeros): whether any lane is set.
  KORVEL_SIMD_INLINE static bool AnyMaskSet(R a) { return _mm256_movemask_epi8(a) != 0; }
  // Whether any bit of the vector is set.
  KORVEL_SIMD_INLINE static bool AnyNonZero(R a) {
    return _mm256_movemask_epi8(_mm256_cmpeq_epi8(a, _mm256_setzero_si256())) != -1;
  }
  KORVEL_SIMD_INLINE static R AddsU8(R a, R b) { return _mm256_adds_epu8(a, b); }
  KORVEL_SIMD_INLINE static R SubsU8(R a, R b) { return _mm256_subs_epu8(a, b); }
  KORVEL_SIMD_INLINE static R MaxU8(R a, R b) { return _mm256_max_epu8(a, b); }
  KORVEL_SIMD_INLINE static R MinU8(R a, R b) { return _mm256_min_epu8(a, b); }
  KORVEL_SIMD_INLINE static R AvgU8(R a, R b) { return _mm256_avg_epu8(a, b); }
  KORVEL_SIMD_INLINE static R And(R a, R b) { return _mm256_and_si256(a, b); }
  KORVEL_SIMD_INLINE static R Xor(R a, R b) { return _mm256_xor_si256(a, b); }
  KORVEL_SIMD_INLINE static R Or(R a, R b) { return _mm256_or_si256(a, b); }
  // ~mask & b
  KORVEL_SIMD_INLINE static R AndNot(R mask, R b) { return _mm256_andnot_si256(mask, b); }
  template <int N>
  KORVEL_SIMD_INLINE static R Srl32(R a) { return _mm256_srli_epi32(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sra32(R a) { return _mm256_srai_epi32(a, N); }
  template <int N>
  KORVEL_SIMD_INLINE static R Sll32(R a) { return _mm256_slli_epi32(a, N); }
  KORVEL_SIMD_INLINE static R Add32(R a, R b) { return _mm256_add_epi32(a, b); }
  KORVEL_SIMD_INLINE static R Sub32(R a, R b) { return _mm256_sub_epi32(a, b); }
  KORVEL_SIMD_INLINE static R CmpEq32(R a, R b) { return _mm256_cmpeq_epi32(a, b); }
  // a·b in 32-bit lanes for |a| < 32768 and 0 <= b < 32768.
  KORVEL_SIMD_INLINE static R Madd16(R a, R b) { return _mm256_madd_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Unpack32Lo(R a, R b) { return _mm256_unpacklo_epi32(a, b); }
  KORVEL_SIMD_INLINE static R Unpack32Hi(R a, R b) { return _mm256_unpackhi_epi32(a, b); }
  using F = __m256;
  KORVEL_SIMD_INLINE static F SetF(float v) { return _mm256_set1_ps(v); }
  KORVEL_SIMD_INLINE static F ToFloat(R a) { return _mm256_cvtepi32_ps(a); }
  KORVEL_SIMD_INLINE static R TruncToInt(F a) { return _mm256_cvttps_epi32(a); }
  KORVEL_SIMD_INLINE static F DivF(F a, F b) { return _mm256_div_ps(a, b); }
  KORVEL_SIMD_INLINE static F MulF(F a, F b) { return _mm256_mul_ps(a, b); }
  KORVEL_SIMD_INLINE static F MinF(F a, F b) { return _mm256_min_ps(a, b); }
  KORVEL_SIMD_INLINE static F MaxF(F a, F b) { return _mm256_max_ps(a, b); }
  KORVEL_SIMD_INLINE static F SubF(F a, F b) { return _mm256_sub_ps(a, b); }
  // All ones where a < b, as a float mask.
  KORVEL_SIMD_INLINE static F CmpLtF(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
  KORVEL_SIMD_INLINE static R CastToInt(F a) { return _mm256_castps_si256(a); }
  KORVEL_SIMD_INLINE static F SqrtF(F a) { return _mm256_sqrt_ps(a); }
  KORVEL_SIMD_INLINE static R CmpGt32(R a, R b) { return _mm256_cmpgt_epi32(a, b); }
  KORVEL_SIMD_INLINE static R FloorToInt(F a) {
    const R t = _mm256_cvttps_epi32(a);
    const __m256 above = _mm256_cmp_ps(_mm256_cvtepi32_ps(t), a, _CMP_GT_OQ);
    return _mm256_add_epi32(t, _mm256_castps_si256(above));
  }
  // lut[blue byte] of each of the eight pixels at `px`, one per 32-bit lane.
  KORVEL_SIMD_INLINE static R GatherByBlue(const uint8_t* px, const int32_t* lut) {
    const R index = _mm256_and_si256(Load(px), _mm256_set1_epi32(255));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(lut), index, 4);
  }
  KORVEL_SIMD_INLINE static R AlphaBroadcast16(R a) {
    return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xFF), 0xFF);
  }
  // 64-bit halves of a and b interleaved, within each 128 bits.
  KORVEL_SIMD_INLINE static R Unpack64Lo(R a, R b) { return _mm256_unpacklo_epi64(a, b); }
  KORVEL_SIMD_INLINE static R Unpack64Hi(R a, R b) { return _mm256_unpackhi_epi64(a, b); }
  // Bytes (16-bit lanes) of a and b interleaved, within each 128 bits.
  KORVEL_SIMD_INLINE static R Unpack8Lo(R a, R b) { return _mm256_unpacklo_epi8(a, b); }
  KORVEL_SIMD_INLINE static R Unpack8Hi(R a, R b) { return _mm256_unpackhi_epi8(a, b); }
  KORVEL_SIMD_INLINE static R Unpack16Lo(R a, R b) { return _mm256_unpacklo_epi16(a, b); }
  KORVEL_SIMD_INLINE static R Unpack16Hi(R a, R b) { return _mm256_unpackhi_epi16(a, b); }
  // Each 128 bits shifted down by N bytes.
  template <int N>
  KORVEL_SIMD_INLINE static R ByteSrl(R a) { return _mm256_srli_si256(a, N); }
  // 32-bit lane N of each 128 bits in all four lanes of those 128 bits.
  template <int N>
  KORVEL_SIMD_INLINE static R Broadcast32(R a) { return _mm256_shuffle_epi32(a, N * 0x55); }
  // The result of Pack or Unpack64Lo/Hi on two vectors, with its 64-bit quarters in the order of
  // the source lanes (those work per 128-bit half: quarters 0, 2, 1, 3 become 0, 1, 2, 3).
  KORVEL_SIMD_INLINE static R InOrder64(R a) {
    return _mm256_permute4x64_epi64(a, _MM_SHUFFLE(3, 1, 2, 0));
  }
  // 16 (and 8) bytes from at(k) into 128-bit half k.
  template <typename At>
  KORVEL_SIMD_INLINE static R LoadEach16(At at) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at(0)))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(at(1))), 1);
  }
  template <typename At>
  KORVEL_SIMD_INLINE static R LoadEach8(At at) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at(0)))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at(1))), 1);
  }
  // LoadEach8 widened to 16-bit lanes (Lo of it).
  template <typename At>
  KORVEL_SIMD_INLINE static R LoadEach8Widened(At at) {
    return _mm256_cvtepu8_epi16(
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at(0))),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at(1)))));
  }
  // min(256, (s + offset[k·stride])·scale[k·stride]) truncated, in double precision, for the
  // 32-bit lanes of 128-bit half k.
  KORVEL_SIMD_INLINE static R ScaleF64Each(R s, const double* offset, const double* scale,
                                           size_t stride) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(ScaleF64(_mm256_castsi256_si128(s), offset[0], scale[0])),
        ScaleF64(_mm256_extracti128_si256(s, 1), offset[stride], scale[stride]), 1);
  }
  KORVEL_SIMD_INLINE static __m128i ScaleF64(__m128i v, double offset, double scale) {
    const __m256d q = _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(v), _mm256_set1_pd(offset)),
                                    _mm256_set1_pd(scale));
    return _mm256_cvttpd_epi32(_mm256_min_pd(q, _mm256_set1_pd(256.0)));
  }
  // The 32-bit words base[index[k]], one per lane, by the gather instruction.
  KORVEL_SIMD_INLINE static R Gather32(const uint8_t* base, const int32_t* index) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(base),
                                  Load(reinterpret_cast<const uint8_t*>(index)), 4);
  }
  // Pixels 0, 2, ..., 14 (and 1, 3, ..., 15) of the sixteen pixels in a then b.
  KORVEL_SIMD_INLINE static R EvenPixels(R a, R b) {
    const __m256 e = _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b),
                                       _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(e), _MM_SHUFFLE(3, 1, 2, 0));
  }
  KORVEL_SIMD_INLINE static R OddPixels(R a, R b) {
    const __m256 o = _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b),
                                       _MM_SHUFFLE(3, 1, 3, 1));
    return _mm256_permute4x64_epi64(_mm256_castps_si256(o), _MM_SHUFFLE(3, 1, 2, 0));
  }
};
