// Effect row kernels over a vector type V and its extra operations X (included after
// simd_<isa>.inl and simd_common.inl inside an anonymous namespace). Whole vectors here; the
// pixels after the last whole vector go to the scalar kernels, so every byte equals theirs.

constexpr size_t kPixelsPerVector = V::kBytes / 4;

KORVEL_SIMD_INLINE V::R Min32(V::R a, V::R b) { return Select(V::CmpGt32(a, b), b, a); }

// Blue, green, red bytes of 32-bit lanes (0..255 each) with the alpha of `x`.
KORVEL_SIMD_INLINE V::R Assemble(V::R b, V::R g, V::R r, V::R x) {
  return V::Or(V::Or(b, V::template Sll32<8>(g)),
               V::Or(V::template Sll32<16>(r), V::And(x, V::Set32(static_cast<int32_t>(0xFF000000u)))));
}

KORVEL_SIMD void BrightnessV(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t add) {
  const int32_t amount = std::min(add < 0 ? -add : add, 255);
  const V::R step = V::Set32(amount * 0x010101);
  size_t i = 0;
  if (add >= 0) {
    for (; i + kPixelsPerVector <= pixels; i += kPixelsPerVector) {
      V::Store(dst + i * 4, V::AddsU8(V::Load(src + i * 4), step));
    }
  } else {
    for (; i + kPixelsPerVector <= pixels; i += kPixelsPerVector) {
      V::Store(dst + i * 4, V::SubsU8(V::Load(src + i * 4), step));
    }
  }
  ScalarKernels().brightness(dst + i * 4, src + i * 4, pixels - i, add);
}

KORVEL_SIMD void NegativeV(uint8_t* dst, const uint8_t* src, size_t pixels) {
  const V::R flip = V::Set32(0x00FFFFFF);
  size_t i = 0;
  for (; i + kPixelsPerVector <= pixels; i += kPixelsPerVector) {
    V::Store(dst + i * 4, V::Xor(V::Load(src + i * 4), flip));
  }
  ScalarKernels().negative(dst + i * 4, src + i * 4, pixels - i);
}

// Four 16-bit lanes, one per byte of a pixel, repeated.
KORVEL_SIMD_INLINE V::R PixelPattern16(const uint8_t* v) {
  return V::Set64(static_cast<long long>(uint64_t{v[0]} | uint64_t{v[1]} << 16 |
                                         uint64_t{v[2]} << 32 | uint64_t{v[3]} << 48));
}

// On 16-bit lanes: (255 − c)·up ≤ 255·127 and c·down ≤ 255·128, both below 2^16.
KORVEL_SIMD_INLINE V::R ToneLanes(V::R c, V::R up, V::R down) {
  return V::Sub16(V::Add16(c, V::template Srl16<7>(V::Mul16(V::Sub16(V::Set16(255), c), up))),
                  V::template Srl16<7>(V::Mul16(c, down)));
}

KORVEL_SIMD void ToneV(uint8_t* dst, const uint8_t* src, size_t pixels, const uint8_t* up,
                       const uint8_t* down) {
  const V::R vu = PixelPattern16(up), vd = PixelPattern16(down);
  size_t i = 0;
  for (; i + kPixelsPerVector <= pixels; i += kPixelsPerVector) {
    const V::R x = V::Load(src + i * 4);
    V::Store(dst + i * 4, V::Pack(ToneLanes(V::Lo(x), vu, vd), ToneLanes(V::Hi(x), vu, vd)));
  }
  ScalarKernels().tone(dst + i * 4, src + i * 4, pixels - i, up, down);
}

// max(0, y − k) >> 20 on 32-bit lanes.
KORVEL_SIMD_INLINE V::R FloorPart(V::R y, int32_t k) {
  const V::R t = V::Sub32(y, V::Set32(k));
  return V::template Srl32<20>(V::AndNot(V::template Sra32<31>(t), t));
}

// Y' = 117 b + 601 g + 306 r from two multiply-adds on 16-bit halves of each pixel's lane.
KORVEL_SIMD void SepiaV(uint8_t* dst, const uint8_t* src, size_t pixels) {
  const V::R low = V::Set32(0xFF), mid = V::Set32(0xFF0000);
  const V::R k_bg = V::Set32(117 | (601 << 16)), k_r = V::Set32(306);
  size_t i = 0;
  for (; i + kPixelsPerVector <= pixels; i += kPixelsPerVector) {
    const V::R x = V::Load(src + i * 4);
    const V::R bg = V::Or(V::And(x, low), V::And(V::template Sll32<8>(x), mid));
    const V::R r = V::And(V::template Srl32<16>(x), low);
    const V::R y = V::template Sll32<10>(V::Add32(V::Madd16(bg, k_bg), V::Madd16(r, k_r)));
    const V::R red = V::template Srl32<20>(V::Add32(y, V::Set32(18748416)));
    const V::R red_capped = Select(V::CmpGt32(red, V::Set32(255)), V::Set32(255), red);
    V::Store(dst + i * 4, Assemble(FloorPart(y, 46347025), FloorPart(y, 287585), red_capped, x));
  }
  ScalarKernels().sepia(dst + i * 4, src + i * 4, pixels - i);
}

// floor(num / den) for non-negative num and den ≥ 1 on 32-bit lanes, of the smaller of the
// fractions o_num / o_den and u_num / u_den (nums below 2^15, dens below 2^8: the cross products
// compare exactly). A quotient of numbers below 2^15 by 1..255 that is not whole lies at least
// 1/255 from the next integer, far beyond the single-precision rounding, so truncating the
// correctly rounded quotient gives the integer one.
KORVEL_SIMD_INLINE V::R SmallerQuotient(V::R o_num, V::R o_den, V::R u_num, V::R u_den) {
  const V::R u_smaller = V::CmpGt32(V::Madd16(o_num, u_den), V::Madd16(u_num, o_den));
  const V::R num = Select(u_smaller, u_num, o_num), den = Select(u_smaller, u_den, o_den);
  return V::TruncToInt(V::DivF(V::ToFloat(num), V::ToFloat(den)));
}

// Saturation above 128 on 16-bit lanes, two vectors of pixels at a time. With gray the exact
// third, a channel above gray by d passes 255 at s exactly when (s + 128)·d ≥ 128·(256 − gray),
// and its bound 128·(255 − c)/d = 128·(255 − gray)/d − 128 falls as d grows: when any channel
// passes, the largest one c_max does and gives the tightest bound. Likewise below 0, where the
// smallest channel c_min gives 128·c_min/(gray − c_min), and a channel that stays within range at
// s has a lower bound of at least s (so it needs no test). t = min(s, the bounds that apply); one
// that does not apply is 32767 / 1..170, beyond any s. Every product stays below 2^15:
// |d| ≤ 170, t ≤ 128. No clamp: t ≤ s keeps each channel that was within range at s, and t at
// most a channel's own bound keeps that one within 0..255.
KORVEL_SIMD void SaturateUp16(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t a,
                              size_t& done) {
  const V::R byte = V::Set16(0xFF), alpha = V::Set16(static_cast<int16_t>(0xFF00));
  const V::R third = V::Set16(21846), one = V::Set16(1), zero = V::Zero();
  const V::R s = V::Set16(static_cast<int16_t>(a - 128)), absent = V::Set16(0x7FFF);
  size_t i = 0;
  for (; i + 2 * kPixelsPerVector <= pixels; i += 2 * kPixelsPerVector) {
    const V::R x0 = V::Load(src + i * 4), x1 = V::Load(src + i * 4 + V::kBytes);
    // Each 32-bit pixel's halves as signed 16-bit lanes: green·256 + blue and alpha·256 + red.
    const V::R gb = V::Packs32(V::template Sra32<16>(V::template Sll32<16>(x0)),
                               V::template Sra32<16>(V::template Sll32<16>(x1)));
    const V::R ar = V::Packs32(V::template Sra32<16>(x0), V::template Sra32<16>(x1));
    const V::R c[3] = {V::And(gb, byte), V::template Srl16<8>(gb), V::And(ar, byte)};
    const V::R gray = V::MulHiU16(V::Add16(V::Add16(c[0], c[1]), c[2]), third);
    const V::R c_max = V::MaxS16(V::MaxS16(c[0], c[1]), c[2]);
    const V::R c_min = V::MinS16(V::MinS16(c[0], c[1]), c[2]);
    const V::R up = V::Sub16(c_max, gray), down = V::Sub16(gray, c_min);
    const V::R passes = V::CmpGt16(V::Add16(c_max, V::template Sra16<7>(V::Mul16(up, s))), byte);
    const V::R o_num = V::Or(V::template Sll16<7>(V::Sub16(byte, c_max)), V::AndNot(passes, absent));
    const V::R u_num = V::Or(V::template Sll16<7>(c_min), V::And(V::CmpEq16(down, zero), absent));
    const V::R o_den = V::MaxS16(up, one), u_den = V::MaxS16(down, one);
    const V::R lo = SmallerQuotient(V::Widen16Lo(o_num), V::Widen16Lo(o_den), V::Widen16Lo(u_num),
                                    V::Widen16Lo(u_den));
    const V::R hi = SmallerQuotient(V::Widen16Hi(o_num), V::Widen16Hi(o_den), V::Widen16Hi(u_num),
                                    V::Widen16Hi(u_den));
    const V::R t = V::MinS16(V::Packs32(lo, hi), s);
    V::R out[3];
    for (int ch = 0; ch < 3; ++ch) {
      out[ch] = V::Add16(c[ch], V::template Sra16<7>(V::Mul16(V::Sub16(c[ch], gray), t)));
    }
    const V::R low = V::Or(out[0], V::template Sll16<8>(out[1]));
    const V::R high = V::Or(out[2], V::And(ar, alpha));
    V::Store(dst + i * 4, X::Interleave16Lo(low, high));
    V::Store(dst + i * 4 + V::kBytes, X::Interleave16Hi(low, high));
  }
  done = i;
}

// Below 128, channels in 32-bit lanes. g = (b + g + r)·21846 >> 16 is the exact third below
// 32768 (above 128 the same third on 16-bit lanes).
KORVEL_SIMD void SaturateV(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t a) {
  const V::R low = V::Set32(0xFF);
  size_t i = 0;
  if (a >= 128) {
    SaturateUp16(dst, src, pixels, a, i);
  } else {
    // c + (((g − c)·k) >> 7) lies between c and g: no clamp needed.
    const V::R k = V::Set32(128 - a);
    for (; i + kPixelsPerVector <= pixels; i += kPixelsPerVector) {
      const V::R x = V::Load(src + i * 4);
      const V::R c[3] = {V::And(x, low), V::And(V::template Srl32<8>(x), low),
                         V::And(V::template Srl32<16>(x), low)};
      const V::R sum = V::Add32(V::Add32(c[0], c[1]), c[2]);
      const V::R g = V::template Srl32<16>(V::Madd16(sum, V::Set32(21846)));
      V::R out[3];
      for (int ch = 0; ch < 3; ++ch) {
        out[ch] = V::Add32(c[ch], V::template Sra32<7>(V::Madd16(V::Sub32(g, c[ch]), k)));
      }
      V::Store(dst + i * 4, Assemble(out[0], out[1], out[2], x));
    }
  }
  ScalarKernels().saturate(dst + i * 4, src + i * 4, pixels - i, a);
}

// (sums·m) >> shift on 32-bit lanes, through two 32 × 32 → 64-bit products.
KORVEL_SIMD_INLINE V::R DivideLanes(V::R sums, V::R m, X::Count shift) {
  const V::R even = X::Srl64(X::MulU32(sums, m), shift);
  const V::R odd = X::Srl64(X::MulU32(X::template Srl64Imm<32>(sums), m), shift);
  return V::Or(even, X::template Sll64Imm<32>(odd));
}

template <bool kEnter, bool kLeave>
KORVEL_SIMD_INLINE V::R StepLanes(uint32_t* sums, const uint8_t* enter, const uint8_t* leave,
                                  size_t k) {
  V::R s = V::Load(reinterpret_cast<const uint8_t*>(sums + k));
  if constexpr (kEnter) s = V::Add32(s, X::Widen8To32(enter + k));
  if constexpr (kLeave) s = V::Sub32(s, X::Widen8To32(leave + k));
  if constexpr (kEnter || kLeave) V::Store(reinterpret_cast<uint8_t*>(sums + k), s);
  return s;
}

// trunc((sums + 0.5)·inverse) on 32-bit lanes (see Reciprocal).
KORVEL_SIMD_INLINE V::R DivideLanesSingle(V::R sums, V::F inverse) {
  return V::TruncToInt(V::MulF(V::SubF(V::ToFloat(sums), V::SetF(-0.5f)), inverse));
}

template <bool kEnter, bool kLeave, bool kSingle>
KORVEL_SIMD void BlurStepT(uint32_t* sums, size_t lanes, const uint8_t* enter,
                           const uint8_t* leave, const uint8_t* alpha_from, uint8_t* out,
                           Reciprocal r) {
  constexpr size_t kLanes = V::kBytes / 4;  // 32-bit lanes per vector
  const V::R m = V::Set32(static_cast<int32_t>(r.m));
  const X::Count shift = X::CountOf(r.shift);
  const V::F inverse = V::SetF(r.inverse);
  const V::R alpha = V::Set32(static_cast<int32_t>(0xFF000000u));
  size_t k = 0;
  for (; k + 4 * kLanes <= lanes; k += 4 * kLanes) {
    V::R q[4];
    for (size_t j = 0; j < 4; ++j) {
      const V::R v = StepLanes<kEnter, kLeave>(sums, enter, leave, k + j * kLanes);
      if constexpr (kSingle) {
        q[j] = DivideLanesSingle(v, inverse);
      } else {
        q[j] = DivideLanes(v, m, shift);
      }
    }
    V::R bytes = X::PackQuads(q[0], q[1], q[2], q[3]);
    if (alpha_from != nullptr) bytes = Select(alpha, V::Load(alpha_from + k), bytes);
    V::Store(out + k, bytes);
  }
  // The last lanes one by one.
  for (; k < lanes; ++k) {
    if constexpr (kEnter) sums[k] += enter[k];
    if constexpr (kLeave) sums[k] -= leave[k];
    out[k] = static_cast<uint8_t>(DivideBy(sums[k], r));
    if (alpha_from != nullptr && (k & 3) == 3) out[k] = alpha_from[k];
  }
}

template <bool kEnter, bool kLeave>
KORVEL_SIMD_INLINE void BlurStepE(uint32_t* sums, size_t lanes, const uint8_t* enter,
                                  const uint8_t* leave, const uint8_t* alpha_from, uint8_t* out,
                                  Reciprocal r) {
  if (r.single) {
    BlurStepT<kEnter, kLeave, true>(sums, lanes, enter, leave, alpha_from, out, r);
  } else {
    BlurStepT<kEnter, kLeave, false>(sums, lanes, enter, leave, alpha_from, out, r);
  }
}

KORVEL_SIMD void BlurStepV(uint32_t* sums, size_t lanes, const uint8_t* enter,
                           const uint8_t* leave, const uint8_t* alpha_from, uint8_t* out,
                           Reciprocal r) {
  if (enter != nullptr && leave != nullptr) {
    BlurStepE<true, true>(sums, lanes, enter, leave, alpha_from, out, r);
  } else if (enter != nullptr) {
    BlurStepE<true, false>(sums, lanes, enter, leave, alpha_from, out, r);
  } else if (leave != nullptr) {
    BlurStepE<false, true>(sums, lanes, enter, leave, alpha_from, out, r);
  } else {
    BlurStepE<false, false>(sums, lanes, enter, leave, alpha_from, out, r);
  }
}

template <bool kEnter, bool kLeave>
KORVEL_SIMD_INLINE V::R StepShort(uint16_t* sums, const uint8_t* enter, const uint8_t* leave,
                                  size_t k, V::R m, X::Count first, X::Count second) {
  V::R s = V::Load(reinterpret_cast<const uint8_t*>(sums + k));
  if constexpr (kEnter) s = V::Add16(s, X::Widen8To16(enter + k));
  if constexpr (kLeave) s = V::Sub16(s, X::Widen8To16(leave + k));
  if constexpr (kEnter || kLeave) V::Store(reinterpret_cast<uint8_t*>(sums + k), s);
  const V::R t = V::MulHiU16(s, m);
  return X::Srl16(V::Add16(t, X::Srl16(V::Sub16(s, t), first)), second);
}

template <bool kEnter, bool kLeave>
KORVEL_SIMD void BlurStepShortT(uint16_t* sums, size_t lanes, const uint8_t* enter,
                                const uint8_t* leave, const uint8_t* alpha_from, uint8_t* out,
                                ShortDivisor d) {
  constexpr size_t kLanes = V::kBytes / 2;  // 16-bit lanes per vector
  const V::R m = V::Set16(static_cast<int16_t>(d.m));
  const X::Count first = X::CountOf(d.first_shift), second = X::CountOf(d.second_shift);
  const V::R alpha = V::Set32(static_cast<int32_t>(0xFF000000u));
  size_t k = 0;
  for (; k + 2 * kLanes <= lanes; k += 2 * kLanes) {
    const V::R q0 = StepShort<kEnter, kLeave>(sums, enter, leave, k, m, first, second);
    const V::R q1 = StepShort<kEnter, kLeave>(sums, enter, leave, k + kLanes, m, first, second);
    V::R bytes = X::PackInOrder(q0, q1);
    if (alpha_from != nullptr) bytes = Select(alpha, V::Load(alpha_from + k), bytes);
    V::Store(out + k, bytes);
  }
  ScalarKernels().blur_step_short(sums + k, lanes - k, kEnter ? enter + k : nullptr,
                                  kLeave ? leave + k : nullptr,
                                  alpha_from != nullptr ? alpha_from + k : nullptr, out + k, d);
}

KORVEL_SIMD void BlurStepShortV(uint16_t* sums, size_t lanes, const uint8_t* enter,
                                const uint8_t* leave, const uint8_t* alpha_from, uint8_t* out,
                                ShortDivisor d) {
  if (enter != nullptr && leave != nullptr) {
    BlurStepShortT<true, true>(sums, lanes, enter, leave, alpha_from, out, d);
  } else if (enter != nullptr) {
    BlurStepShortT<true, false>(sums, lanes, enter, leave, alpha_from, out, d);
  } else if (leave != nullptr) {
    BlurStepShortT<false, true>(sums, lanes, enter, leave, alpha_from, out, d);
  } else {
    BlurStepShortT<false, false>(sums, lanes, enter, leave, alpha_from, out, d);
  }
}

// Four rows of four pixels turned over with 128-bit unpacks (both instruction sets).
KORVEL_SIMD void TransposeV(uint8_t* dst, size_t dst_pitch, const uint8_t* src, size_t src_pitch,
                            int32_t w, int32_t h) {
  const int32_t w4 = w & ~3, h4 = h & ~3;
  for (int32_t y = 0; y < h4; y += 4) {
    const uint8_t* s = src + static_cast<size_t>(y) * src_pitch;
    for (int32_t x = 0; x < w4; x += 4) {
      const uint8_t* p = s + static_cast<size_t>(x) * 4;
      const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + src_pitch));
      const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * src_pitch));
      const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3 * src_pitch));
      const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
      const __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
      uint8_t* d = dst + static_cast<size_t>(x) * dst_pitch + static_cast<size_t>(y) * 4;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi64(t0, t1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + dst_pitch), _mm_unpackhi_epi64(t0, t1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * dst_pitch), _mm_unpacklo_epi64(t2, t3));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * dst_pitch), _mm_unpackhi_epi64(t2, t3));
    }
  }
  // The columns right of the last whole block, then the rows below it.
  if (w4 < w) {
    ScalarKernels().transpose(dst + static_cast<size_t>(w4) * dst_pitch, dst_pitch,
                              src + static_cast<size_t>(w4) * 4, src_pitch, w - w4, h);
  }
  if (h4 < h) {
    ScalarKernels().transpose(dst + static_cast<size_t>(h4) * 4, dst_pitch,
                              src + static_cast<size_t>(h4) * src_pitch, src_pitch, w4, h - h4);
  }
}

// The swirl through 16-bit multiply-adds: each ring's turn is packed as a (co, si) pair, so that
// the pairs (dx, −dy) and (dy, dx) give dx·co − dy·si and dx·si + dy·co in one step each. The
// clamps work on the saturated 16-bit results: the bounds are below 32768, so saturating first
// changes nothing. |dx| and |dy| stay below 32768.
KORVEL_SIMD void SwirlV(uint8_t* out, const uint8_t* in, int32_t pitch, const uint32_t* ring,
                        const int32_t* turn, int32_t x, int32_t count, int32_t dy, int32_t cx,
                        int32_t cy, int32_t rw, int32_t rh) {
  constexpr int32_t kN = static_cast<int32_t>(kPixelsPerVector);
  alignas(32) int32_t offsets[kN];
  alignas(32) int16_t packed[2 * kN];
  for (int32_t j = 0; j < kN; ++j) offsets[j] = j;
  const V::R step = V::Load(reinterpret_cast<const uint8_t*>(offsets));
  const V::R vcx = V::Set32(cx), vcy = V::Set32(cy);
  const V::R minus_dy = V::Set32(static_cast<int32_t>(static_cast<uint32_t>(-dy) << 16));
  const V::R plus_dy = V::Set32(dy & 0xFFFF), low = V::Set32(0xFFFF);
  const V::R bounds = X::ClampPairs(rw - 1, rh - 1);
  int32_t i = 0;
  for (; i + kN <= count; i += kN) {
    const V::R t = X::LookUp(turn, ring + x + i);
    const V::R dx = V::Add32(V::Set32(x + i - cx), step);
    const V::R sx = V::Add32(V::template Sra32<8>(V::Madd16(t, V::Or(V::And(dx, low), minus_dy))), vcx);
    const V::R sy = V::Add32(V::template Sra32<8>(V::Madd16(t, V::Or(plus_dy, V::template Sll32<16>(dx)))), vcy);
    V::Store(reinterpret_cast<uint8_t*>(packed),
             V::MinS16(V::MaxS16(V::Packs32(sx, sy), V::Zero()), bounds));
    // The packs leave four x then four y per 128 bits.
    for (int32_t j = 0; j < kN; ++j) {
      const auto px = static_cast<size_t>(packed[(j / 4) * 8 + j % 4]);
      const auto py = static_cast<size_t>(packed[(j / 4) * 8 + 4 + j % 4]);
      std::memcpy(out + static_cast<size_t>(i + j) * 4, in + (py * static_cast<size_t>(pitch) + px) * 4, 4);
    }
  }
  ScalarKernels().swirl(out + static_cast<size_t>(i) * 4, in, pitch, ring, turn, x + i, count - i, dy,
                        cx, cy, rw, rh);
}

// MT19937's twist a vector of words at a time: word k reads words k + 1 and the far word
// k + 397 (old ones, not yet twisted) or k − 227 (already twisted, at least 227 words back), so
// the lanes of one vector never read each other's results. The words where a vector would cross
// from one kind of far word to the other, and the last word (which reads the new first one),
// go one by one.
KORVEL_SIMD_INLINE V::R TwistLanes(const uint32_t* x, size_t k, size_t far) {
  const V::R word = V::Load(reinterpret_cast<const uint8_t*>(x + k));
  const V::R next = V::Load(reinterpret_cast<const uint8_t*>(x + k + 1));
  const V::R y = V::Or(V::And(word, V::Set32(static_cast<int32_t>(0x80000000u))),
                       V::And(next, V::Set32(0x7FFFFFFF)));
  const V::R odd = V::Sub32(V::Zero(), V::And(y, V::Set32(1)));
  const V::R far_word = V::Load(reinterpret_cast<const uint8_t*>(x + far));
  return V::Xor(V::Xor(far_word, V::template Srl32<1>(y)),
                V::And(odd, V::Set32(static_cast<int32_t>(0x9908B0DFu))));
}

KORVEL_SIMD_INLINE void TwistOne(uint32_t* x, size_t k, size_t far) {
  const uint32_t y = (x[k] & 0x80000000u) | (x[k + 1] & 0x7FFFFFFFu);
  x[k] = x[far] ^ (y >> 1) ^ ((y & 1u) != 0 ? 0x9908B0DFu : 0u);
}

KORVEL_SIMD void MtTwistV(uint32_t* x) {
  constexpr size_t kWords = 624, kShift = 397, kLanes = V::kBytes / 4;
  constexpr size_t kNear = kWords - kShift;  // words whose far word is still old
  constexpr size_t kNearVectors = kNear / kLanes * kLanes;
  constexpr size_t kBackVectors = kNear + (kWords - 1 - kNear) / kLanes * kLanes;
  for (size_t k = 0; k < kNearVectors; k += kLanes) {
    V::Store(reinterpret_cast<uint8_t*>(x + k), TwistLanes(x, k, k + kShift));
  }
  for (size_t k = kNearVectors; k < kNear; ++k) TwistOne(x, k, k + kShift);
  for (size_t k = kNear; k < kBackVectors; k += kLanes) {
    V::Store(reinterpret_cast<uint8_t*>(x + k), TwistLanes(x, k, k - kNear));
  }
  for (size_t k = kBackVectors; k < kWords - 1; ++k) TwistOne(x, k, k - kNear);
  const uint32_t y = (x[kWords - 1] & 0x80000000u) | (x[0] & 0x7FFFFFFFu);
  x[kWords - 1] = x[kShift - 1] ^ (y >> 1) ^ ((y & 1u) != 0 ? 0x9908B0DFu : 0u);
}

KORVEL_SIMD void MtTemperV(uint32_t* out, const uint32_t* words, size_t n) {
  constexpr size_t kLanes = V::kBytes / 4;
  const V::R b = V::Set32(static_cast<int32_t>(0x9D2C5680u));
  const V::R c = V::Set32(static_cast<int32_t>(0xEFC60000u));
  size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    V::R y = V::Load(reinterpret_cast<const uint8_t*>(words + i));
    y = V::Xor(y, V::template Srl32<11>(y));
    y = V::Xor(y, V::And(V::template Sll32<7>(y), b));
    y = V::Xor(y, V::And(V::template Sll32<15>(y), c));
    V::Store(reinterpret_cast<uint8_t*>(out + i), V::Xor(y, V::template Srl32<18>(y)));
  }
  ScalarKernels().mt_temper(out + i, words + i, n - i);
}

void FillKernels(Kernels& k) {
  k.mt_twist = MtTwistV;
  k.mt_temper = MtTemperV;
  k.swirl = SwirlV;
  k.transpose = TransposeV;
  k.brightness = BrightnessV;
  k.negative = NegativeV;
  k.tone = ToneV;
  k.sepia = SepiaV;
  k.saturate = SaturateV;
  k.blur_step = BlurStepV;
  k.blur_step_short = BlurStepShortV;
}
