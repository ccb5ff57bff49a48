// Slots 22 to 25 written once over a vector type V (see pixel_kernels_simd.inl).
//
// Per-pixel values live in 32-bit lanes (one pixel each). Products of small values go through
// the 16-bit multiply-add (the high halves are 0 or a sign), floor(x / 255) is
// (x + 1 + (x >> 8)) >> 8 (exact below 65535), and the divisions are single-precision: every
// dividend and product stays below 2^24, where a correctly rounded quotient truncates to the
// exact integer result.

// Byte c of each pixel, in 32-bit lanes.
template <int C>
KORVEL_SIMD_INLINE V::R Channel(V::R px) {
  return V::And(V::template Srl32<C * 8>(px), V::Set32(255));
}

// floor(a·b / 255) for a, b ≤ 255.
KORVEL_SIMD_INLINE V::R AlphaProduct32(V::R a, V::R b) {
  const V::R x = V::Madd16(a, b);
  return V::template Srl32<8>(V::Add32(V::Add32(x, V::Set32(1)), V::template Srl32<8>(x)));
}

// floor(256·a / k) where k > 0, else 0.
KORVEL_SIMD_INLINE V::R Reciprocal32(V::R k, V::R a) {
  const V::R zero = V::CmpEq32(k, V::Set32(0));
  const V::R den = V::Sub32(k, zero);  // 0 becomes 1; masked off below
  const V::R q = V::TruncToInt(V::DivF(V::ToFloat(V::template Sll32<8>(a)), V::ToFloat(den)));
  return V::AndNot(zero, q);
}

// Slots 22 and 24 after the destination alpha da is known: D = (da + A − da·A/255) mod 256,
// w = recip(D, A), colours lerped by w, alpha = D.
KORVEL_SIMD_INLINE V::R OverTranslucent(V::R vd, V::R vs, V::R da) {
  const V::R a = V::template Srl32<24>(vs);
  const V::R dd = V::And(V::Sub32(V::Add32(da, a), AlphaProduct32(da, a)), V::Set32(255));
  V::R w_lo, w_hi;
  SpreadPixelValues(Reciprocal32(dd, a), w_lo, w_hi);
  const V::R rgb = RgbLanes();
  const V::R col = V::Pack(Lerp16(V::Lo(vd), V::Lo(vs), V::And(w_lo, rgb)),
                           Lerp16(V::Hi(vd), V::Hi(vs), V::And(w_hi, rgb)));
  return V::Or(V::And(col, V::Set32(0x00FFFFFF)), V::template Sll32<24>(dd));
}

KORVEL_SIMD void ScreenRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    V::Store(dst + i, OverTranslucent(vd, V::Load(src + i), V::template Srl32<24>(vd)));
  }
  if (i + 4 <= bytes) scalar::ScreenRowSrcAlpha(dst + i, src + i, bytes - i);
}

KORVEL_SIMD void BlendRowAlphaTableOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity,
                                           size_t bytes) {
  const int o = ClampOpacity(opacity);
  const V::R vo = V::Set32(o);
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R da = V::template Srl32<8>(V::Madd16(V::template Srl32<24>(vd), vo));
    V::Store(dst + i, OverTranslucent(vd, V::Load(src + i), da));
  }
  if (i + 4 <= bytes) scalar::BlendRowAlphaTableOpacity(dst + i, src + i, o, bytes - i);
}

// d + floor((s − d)·w / 65536) on one channel, w as floats up to 65536.
template <int C>
KORVEL_SIMD_INLINE V::R LerpChannel16(V::R vd, V::R vs, V::F w) {
  const V::R d = Channel<C>(vd);
  const V::F diff = V::ToFloat(V::Sub32(Channel<C>(vs), d));
  const V::F y = V::MulF(V::MulF(diff, w), V::SetF(1.0f / 65536.0f));
  return V::template Sll32<C * 8>(V::Add32(d, V::FloorToInt(y)));
}

// Slot 23: D = dA + (((A − dA·A/255)·o) >> 8); w = min(recip(D mod 256, A)·o, 65536).
KORVEL_SIMD void ScreenRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity,
                                          size_t bytes) {
  const int o = ClampOpacity(opacity);
  const V::R vo = V::Set32(o);
  const V::F fo = V::SetF(static_cast<float>(o));
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    const V::R a = V::template Srl32<24>(vs);
    const V::R da = V::template Srl32<24>(vd);
    const V::R t = V::Sub32(a, AlphaProduct32(da, a));
    const V::R dd = V::And(V::Add32(da, V::template Srl32<8>(V::Madd16(t, vo))), V::Set32(255));
    const V::F w = V::MinF(V::MulF(V::ToFloat(Reciprocal32(dd, a)), fo), V::SetF(65536.0f));
    const V::R px = V::Or(V::Or(LerpChannel16<0>(vd, vs, w), LerpChannel16<1>(vd, vs, w)),
                          V::Or(LerpChannel16<2>(vd, vs, w), V::template Sll32<24>(dd)));
    V::Store(dst + i, px);
  }
  if (i + 4 <= bytes) scalar::ScreenRowSrcAlphaOpacity(dst + i, src + i, o, bytes - i);
}

// d + q on one channel, q = ((((s − d)·o2) >> 8)·A) / (D + 1) truncated and kept between 0 and
// s − d (exact small integers, so the bounds are taken on floats).
template <int C>
KORVEL_SIMD_INLINE V::R DivideChannel(V::R vd, V::R vs, V::R a, V::R o2, V::F den) {
  const V::R d = Channel<C>(vd);
  const V::R diff = V::Sub32(Channel<C>(vs), d);
  const V::R x = V::template Sra32<8>(V::Madd16(diff, o2));
  const V::F q = V::ToFloat(V::TruncToInt(V::DivF(V::ToFloat(V::Madd16(x, a)), den)));
  const V::F fd = V::ToFloat(diff);
  const V::F zero = V::SetF(0.0f);
  const V::F bounded = V::MaxF(V::MinF(q, V::MaxF(fd, zero)), V::MinF(fd, zero));
  return V::template Sll32<C * 8>(V::Add32(d, V::TruncToInt(bounded)));
}

// Slot 25: dA1 = (dA·o1) >> 8; D = dA1 + (((A − (((A + 1)·dA1) >> 8))·o2) >> 8).
KORVEL_SIMD void BlendRowOntoTranslucent(uint8_t* dst, const uint8_t* src, int32_t o1, int32_t o2,
                                         size_t bytes) {
  const int f1 = ClampOpacity(o1);
  const int f2 = ClampOpacity(o2);
  const V::R v1 = V::Set32(f1);
  const V::R v2 = V::Set32(f2);
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    const V::R a = V::template Srl32<24>(vs);
    const V::R da1 = V::template Srl32<8>(V::Madd16(V::template Srl32<24>(vd), v1));
    const V::R u = V::Sub32(a, V::template Srl32<8>(V::Madd16(V::Add32(a, V::Set32(1)), da1)));
    const V::R dd = V::Add32(da1, V::template Srl32<8>(V::Madd16(u, v2)));
    const V::F den = V::ToFloat(V::Add32(dd, V::Set32(1)));
    const V::R px =
        V::Or(V::Or(DivideChannel<0>(vd, vs, a, v2, den), DivideChannel<1>(vd, vs, a, v2, den)),
              V::Or(DivideChannel<2>(vd, vs, a, v2, den), V::template Sll32<24>(dd)));
    V::Store(dst + i, px);
  }
  if (i + 4 <= bytes) scalar::BlendRowOntoTranslucent(dst + i, src + i, f1, f2, bytes - i);
}

inline void FillTranslucentSlots(PixelKernelTable& t) {
  t.screen_src_alpha = ScreenRowSrcAlpha;
  t.screen_src_alpha_opacity = ScreenRowSrcAlphaOpacity;
  t.blend_alpha_table_opacity = BlendRowAlphaTableOpacity;
  t.blend_onto_translucent = BlendRowOntoTranslucent;
}
