// Generic blend-span kernels over a vector type V (included after simd_<isa>.inl and
// simd_common.inl inside an anonymous namespace). They equal the scalar kernels byte for byte.
//
// F is computed on 16-bit lanes from the mode's formula; the divisions are single-precision,
// exact because every dividend stays below 2^24 (a correctly rounded quotient then truncates to
// the integer one).

// trunc(num / den) on 32-bit lanes.
KORVEL_SIMD_INLINE V::R Quotient(V::R num, V::R den) {
  return V::TruncToInt(V::DivF(V::ToFloat(num), V::ToFloat(den)));
}

// trunc(num / den) for 16-bit lanes holding 0..65535 and 1..65535, saturated to 32767.
KORVEL_SIMD_INLINE V::R Quotient16(V::R num, V::R den) {
  return V::Packs32(Quotient(V::Widen16Lo(num), V::Widen16Lo(den)),
                    Quotient(V::Widen16Hi(num), V::Widen16Hi(den)));
}

// k2 = trunc(16384 − sqrt(256 − d)·(768 − 8·d)) of soft light on 32-bit lanes, for d ≤ 32
// (single precision gives the double-precision value for all 33 of them; the exhaustive test
// holds it to that).
KORVEL_SIMD_INLINE V::R SoftLightK2(V::R d) {
  const V::F r = V::SqrtF(V::ToFloat(V::Sub32(V::Set32(256), d)));
  const V::F m = V::ToFloat(V::Sub32(V::Set32(768), V::template Sll32<3>(d)));
  return V::TruncToInt(V::SubF(V::SetF(16384.0f), V::MulF(r, m)));
}

// Soft light with a = s − 128. Its k = trunc(16384 − sqrt(256 − d)) lies in 16368..16383, close
// enough to 16384 that (a·k) >> 15 = floor(a / 2) for a < 0 and (a·k) >> 16 =
// floor(a / 4) − [a > 0 and a ≡ 0 mod 4] for a ≥ 0, whatever the root. Only s ≥ 128 with d ≤ 32
// needs its own k2: d + ((a·k2) >> 15), the high half of 2a·k2.
KORVEL_SIMD_INLINE V::R SoftLight16(V::R s, V::R d) {
  const V::R zero = V::Zero();
  const V::R a = V::Sub16(s, V::Set16(128));
  const V::R low_s = V::CmpGt16(zero, a);
  const V::R low = V::Add16(d, V::template Sra16<1>(a));
  // The comparisons give −1 where true.
  const V::R quarter = V::Add16(V::template Sra16<2>(a),
                                V::And(V::CmpGt16(a, zero),
                                       V::CmpEq16(V::And(a, V::Set16(3)), zero)));
  V::R f = Select(low_s, low, V::Add16(d, quarter));
  const V::R dark = V::AndNot(low_s, V::CmpGt16(V::Set16(33), d));
  if (V::AnyMaskSet(dark)) {
    const V::R k2 = V::Packs32(SoftLightK2(V::Widen16Lo(d)), SoftLightK2(V::Widen16Hi(d)));
    f = Select(dark, V::Add16(d, V::MulHiS16(V::Add16(a, a), k2)), f);
  }
  return V::MinS16(V::MaxS16(f, zero), V::Set16(255));
}

// F(s, d) of mode M on 16-bit lanes holding 0..255.
template <int M>
KORVEL_SIMD_INLINE V::R Formula16(V::R s, V::R d, const uint8_t* table) {
  const V::R k255 = V::Set16(255);
  const V::R zero = V::Zero();
  if constexpr (M == kBlendNormal) {
    return s;
  } else if constexpr (M == kBlendAdd) {
    return V::MinS16(V::Add16(s, d), k255);
  } else if constexpr (M == kBlendSubtract) {
    return V::MaxS16(V::Sub16(s, d), zero);
  } else if constexpr (M == kBlendMultiply) {
    return Div255(V::Mul16(s, d));
  } else if constexpr (M == kBlendDivide) {
    const V::R q = V::MinS16(Quotient16(V::Mul16(s, k255), V::MaxS16(d, V::Set16(1))), k255);
    return Select(V::CmpEq16(d, zero), V::And(V::CmpGt16(s, zero), k255), q);
  } else if constexpr (M == kBlendScreen) {
    return V::Sub16(V::Add16(s, d), Div255(V::Mul16(s, d)));
  } else if constexpr (M == kBlendLighten) {
    return V::MaxS16(s, d);
  } else if constexpr (M == kBlendDarken) {
    return V::MinS16(s, d);
  } else if constexpr (M == kBlendDifference) {
    return V::MaxS16(V::Sub16(s, d), V::Sub16(d, s));
  } else if constexpr (M == kBlendExclusion) {
    const V::R p = Div255(V::Mul16(s, d));
    return V::Sub16(V::Add16(s, d), V::Add16(p, p));
  } else if constexpr (M == kBlendOverlay || M == kBlendHardLight) {
    // Overlay splits on d, hard light on s (the same formula with the roles swapped).
    const V::R a = M == kBlendOverlay ? s : d;
    const V::R b = M == kBlendOverlay ? d : s;
    const V::R low = Div255(V::Mul16(V::Add16(a, a), b));  // b < 128: floor(2ab / 255)
    const V::R high = V::Add16(V::Sub16(V::Add16(b, b), V::Set16(257)),
                               Div255(V::Mul16(a, V::Sub16(V::Set16(512), V::Add16(b, b)))));
    const V::R k128 = V::Set16(128);
    return Select(V::CmpGt16(k128, b), low, Select(V::CmpEq16(b, k128), a, high));
  } else if constexpr (M == kBlendColourDodge) {
    const V::R q = Quotient16(V::template Sll16<8>(d), V::Sub16(V::Set16(256), s));
    return V::MinS16(q, k255);
  } else if constexpr (M == kBlendColourBurn) {
    const V::R q = Quotient16(V::template Sll16<8>(V::Sub16(k255, d)), V::Add16(s, V::Set16(1)));
    return V::MaxS16(V::Sub16(k255, q), zero);
  } else if constexpr (M == kBlendLinearBurn) {
    return V::MaxS16(V::Sub16(V::Add16(s, d), k255), zero);
  } else if constexpr (M == kBlendSoftLight) {
    (void)table;
    return SoftLight16(s, d);
  } else if constexpr (M == kBlendVividLight) {
    // s < 128: 255·(2s + d − 255) / 2s, where a negative numerator ends at 0 anyway and so is
    // taken as 0; s ≥ 128: 255·d / (510 − 2s). Both numerators fit 16 unsigned bits. The first
    // quotient never exceeds 255 and the second is never negative, so one clamp serves both;
    // s = 0 gives 0 and s = 255 gives 255 (their zero denominators are made 1 and replaced).
    const V::R s2 = V::Add16(s, s);
    const V::R low = V::CmpGt16(V::Set16(128), s);
    const V::R base = Select(low, V::MaxS16(V::Sub16(V::Add16(s2, d), k255), zero), d);
    const V::R den = V::MaxS16(Select(low, s2, V::Sub16(V::Set16(510), s2)), V::Set16(1));
    const V::R q = V::MinS16(Quotient16(V::Mul16(base, k255), den), k255);
    return Select(V::CmpEq16(s, zero), zero, Select(V::CmpEq16(s, k255), k255, q));
  } else if constexpr (M == kBlendLinearLight) {
    return V::MinS16(V::MaxS16(V::Sub16(V::Add16(V::Add16(s, s), d), V::Set16(256)), zero), k255);
  } else {  // pin light
    const V::R s2 = V::Add16(s, s);
    return Select(V::CmpGt16(s, V::Set16(127)), V::MaxS16(d, V::Sub16(s2, k255)), V::MinS16(d, s2));
  }
}

// Table A, column 1: d ← F on every byte.
template <int M>
KORVEL_SIMD void OpaqueFull(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes) {
  const uint8_t* table = BlendFormulaTable(M);
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R d = V::Load(dst + i);
    const V::R s = V::Load(src + i);
    V::Store(dst + i, V::Pack(Formula16<M>(V::Lo(s), V::Lo(d), table),
                              Formula16<M>(V::Hi(s), V::Hi(d), table)));
  }
  if (i < bytes) blend_generic::ScalarKernels().opaque[1][M](dst + i, src + i, o, bytes - i);
}

// Table A, column 0, one half: d + (((F − d)·o) >> 8); difference: d ± ((|F − d|·o) >> 8).
template <int M>
KORVEL_SIMD_INLINE V::R OpaqueOpacity16(V::R s, V::R d, V::R vo, const uint8_t* table) {
  const V::R f = Formula16<M>(s, d, table);
  if constexpr (M == kBlendDifference) {
    const V::R t = V::template Srl16<8>(V::Mul16(V::MaxS16(V::Sub16(f, d), V::Sub16(d, f)), vo));
    return Select(V::CmpGt16(d, f), V::Sub16(d, t), V::Add16(d, t));
  } else {
    return Lerp16(d, f, vo);
  }
}

template <int M>
KORVEL_SIMD void OpaqueOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const uint8_t* table = BlendFormulaTable(M);
  const int o = ClampOpacity(opacity);
  const V::R vo = V::Set16(static_cast<int16_t>(o));
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R d = V::Load(dst + i);
    const V::R s = V::Load(src + i);
    V::Store(dst + i, V::Pack(OpaqueOpacity16<M>(V::Lo(s), V::Lo(d), vo, table),
                              OpaqueOpacity16<M>(V::Hi(s), V::Hi(d), vo, table)));
  }
  if (i < bytes) blend_generic::ScalarKernels().opaque[0][M](dst + i, src + i, o, bytes - i);
}

// Table B, one half: v = A + 1, or ((A + 1)·o) >> 8 as the high half of ((A + 1) << 7)·(o << 1).
template <int M, bool kFull>
KORVEL_SIMD_INLINE V::R Alpha16(V::R s, V::R d, V::R vo2, const uint8_t* table) {
  const V::R a1 = V::Add16(V::AlphaBroadcast16(s), V::Set16(1));
  const V::R v = kFull ? a1 : V::MulHiU16(V::template Sll16<7>(a1), vo2);
  return Lerp16(d, Formula16<M>(s, d, table), V::And(v, RgbLanes()));
}

template <int M, bool kFull>
KORVEL_SIMD void Alpha(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const uint8_t* table = BlendFormulaTable(M);
  const int o = ClampOpacity(opacity);
  const V::R vo2 = V::Set16(static_cast<int16_t>(o << 1));
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R d = V::Load(dst + i);
    const V::R s = V::Load(src + i);
    V::Store(dst + i, V::Pack(Alpha16<M, kFull>(V::Lo(s), V::Lo(d), vo2, table),
                              Alpha16<M, kFull>(V::Hi(s), V::Hi(d), vo2, table)));
  }
  if (i + 4 <= bytes) {
    blend_generic::ScalarKernels().alpha[kFull ? 1 : 0][M](dst + i, src + i, o, bytes - i);
  }
}

// The mask weights of one vector of pixels, spread over the colour lanes; false when all are 0.
KORVEL_SIMD_INLINE bool MaskWeights(const uint8_t* mask, const int32_t* lut, V::R& lo, V::R& hi) {
  const V::R w = V::GatherByBlue(mask, lut);
  if (!V::AnyNonZero(w)) return false;
  SpreadPixelValues(w, lo, hi);
  lo = V::And(lo, RgbLanes());
  hi = V::And(hi, RgbLanes());
  return true;
}

KORVEL_SIMD_INLINE void EffectiveWeights(const MaskWeightTable& weights, int32_t* lut) {
  for (int m = 0; m < 256; ++m) lut[m] = EffectiveMaskWeight(weights.weight[m]);
}

// Table C: d + (((F − d)·w) >> 8) on the colours; w = 0 leaves the pixel.
template <int M>
KORVEL_SIMD void Masked(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                        const MaskWeightTable& weights, int32_t level, int32_t ramp, size_t bytes) {
  size_t i = 0;
  if (bytes >= V::kBytes) {
    const uint8_t* table = BlendFormulaTable(M);
    int32_t lut[256];
    EffectiveWeights(weights, lut);
    for (; i + V::kBytes <= bytes; i += V::kBytes) {
      V::R w_lo, w_hi;
      if (!MaskWeights(mask + i, lut, w_lo, w_hi)) continue;
      const V::R d = V::Load(dst + i);
      const V::R s = V::Load(src + i);
      V::Store(dst + i, V::Pack(Lerp16(V::Lo(d), Formula16<M>(V::Lo(s), V::Lo(d), table), w_lo),
                                Lerp16(V::Hi(d), Formula16<M>(V::Hi(s), V::Hi(d), table), w_hi)));
    }
  }
  if (i + 4 <= bytes) {
    blend_generic::ScalarKernels().masked[M](dst + i, src + i, mask + i, weights, level, ramp,
                                             bytes - i);
  }
}

// Table D, one half: v = w·(A + 1) (mode 0: w·A) up to 65536; d + (((F − d)·v) >> 16) with the
// product's high half taken from a signed multiply and corrected for v ≥ 32768; v = 65536 gives F.
template <int M>
KORVEL_SIMD_INLINE V::R MaskedAlpha16(V::R s, V::R d, V::R w, const uint8_t* table) {
  const V::R f = Formula16<M>(s, d, table);
  const V::R a = M == kBlendNormal ? V::AlphaBroadcast16(s)
                                   : V::Add16(V::AlphaBroadcast16(s), V::Set16(1));
  const V::R v = V::Mul16(w, a);  // low 16 bits of w·a
  const V::R full = V::CmpGt16(V::MulHiU16(w, a), V::Zero());
  const V::R x = V::Sub16(f, d);
  const V::R step = V::Add16(V::MulHiS16(x, v), V::And(x, V::CmpGt16(V::Zero(), v)));
  return Select(full, f, V::Add16(d, step));
}

template <int M>
KORVEL_SIMD void MaskedAlpha(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                             const MaskWeightTable& weights, int32_t level, int32_t ramp,
                             size_t bytes) {
  size_t i = 0;
  if (bytes >= V::kBytes) {
    const uint8_t* table = BlendFormulaTable(M);
    int32_t lut[256];
    EffectiveWeights(weights, lut);
    for (; i + V::kBytes <= bytes; i += V::kBytes) {
      V::R w_lo, w_hi;
      if (!MaskWeights(mask + i, lut, w_lo, w_hi)) continue;
      const V::R d = V::Load(dst + i);
      const V::R s = V::Load(src + i);
      V::Store(dst + i, V::Pack(MaskedAlpha16<M>(V::Lo(s), V::Lo(d), w_lo, table),
                                MaskedAlpha16<M>(V::Hi(s), V::Hi(d), w_hi, table)));
    }
  }
  if (i + 4 <= bytes) {
    blend_generic::ScalarKernels().masked_alpha[M](dst + i, src + i, mask + i, weights, level,
                                                   ramp, bytes - i);
  }
}

template <size_t... I>
void FillModes(blend_generic::GenericKernels& k, std::index_sequence<I...>) {
  ((k.opaque[1][I] = OpaqueFull<I>), ...);
  ((k.opaque[0][I] = OpaqueOpacity<I>), ...);
  ((k.alpha[1][I] = Alpha<I, true>), ...);
  ((k.alpha[0][I] = Alpha<I, false>), ...);
  ((k.masked[I] = Masked<I>), ...);
  ((k.masked_alpha[I] = MaskedAlpha<I>), ...);
}
