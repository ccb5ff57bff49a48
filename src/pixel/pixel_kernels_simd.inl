// Packed pixel-row kernels written once over a vector type V; included by the SSE2 and the AVX2
// file inside their own anonymous namespace, with KORVEL_SIMD naming the target.
//
// Bytes are widened to 16-bit lanes. Lerps use d + (((s − d)·v) >> 8) = (d·(256 − v) + s·v) >> 8,
// which for v ≤ 256 never leaves 16 bits. Each routine runs whole vectors (a multiple of 8 bytes,
// so the reference's 8-byte groups and pixel pairs line up) and hands the rest of the row to the
// scalar reference, which starts there on a group boundary.

// Installs slots 22 to 25 (pixel_translucent_simd.inl).
inline void FillTranslucentSlots(PixelKernelTable& t);

// Slot 2.
KORVEL_SIMD void FillPixels(uint8_t* row, size_t bytes, uint32_t pixel) {
  const size_t whole = bytes & ~size_t{3};
  const V::R v = V::Set32(static_cast<int32_t>(pixel));
  size_t i = 0;
  for (; i + V::kBytes <= whole; i += V::kBytes) V::Store(row + i, v);
  if (i < whole) scalar::FillPixels(row + i, whole - i, pixel);
}

// Slots 4 and 8.
template <KernelSet S>
KORVEL_SIMD void LerpTwoRows(uint8_t* out, const uint8_t* d, const uint8_t* s, int32_t opacity,
                             size_t bytes) {
  const int o = ClampOpacity(opacity);
  size_t i = 0;
  if (S == KernelSet::kSse) {
    i = scalar::BytesToAlign8(out, bytes);
    if (i) scalar::LerpTwoRows<S>(out, d, s, o, i);
  }
  const V::R vo = V::Set16(static_cast<int16_t>(o));
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(d + i);
    const V::R vs = V::Load(s + i);
    V::R r;
    if (o == 128) {
      r = S == KernelSet::kSse ? V::AvgU8(vd, vs) : V::Add8(HalfBytes(vd), HalfBytes(vs));
    } else {
      r = LerpBytes(vd, vs, vo, vo);
    }
    V::Store(out + i, r);
  }
  if (i < bytes) scalar::LerpTwoRows<S>(out + i, d + i, s + i, o, bytes - i);
}

template <KernelSet S>
KORVEL_SIMD void BlendRowOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes) {
  LerpTwoRows<S>(dst, dst, src, o, bytes);
}

// Slot 5, one 16-bit half.
template <KernelSet S>
KORVEL_SIMD_INLINE V::R SrcAlpha16(V::R d, V::R s) {
  const V::R a = V::AlphaBroadcast16(s);
  const V::R v = V::Add16(a, V::Set16(1));
  const V::R n = V::Sub16(V::Set16(256), a);
  if (S == KernelSet::kSse) {
    return V::Add16(V::template Srl16<8>(V::Mul16(s, v)), V::template Srl16<8>(V::Mul16(d, n)));
  }
  return V::template Srl16<8>(V::Add16(V::Mul16(s, v), V::Mul16(d, n)));
}

template <KernelSet S>
KORVEL_SIMD void BlendRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    V::Store(dst + i, V::Pack(SrcAlpha16<S>(V::Lo(vd), V::Lo(vs)),
                              SrcAlpha16<S>(V::Hi(vd), V::Hi(vs))));
  }
  if (i + 4 <= bytes) scalar::BlendRowSrcAlpha<S>(dst + i, src + i, bytes - i);
}

// Slot 6, one 16-bit half.
template <KernelSet S>
KORVEL_SIMD_INLINE V::R SrcAlphaOpacity16(V::R d, V::R s, V::R vo) {
  const V::R k = V::template Srl16<8>(V::Mul16(V::AlphaBroadcast16(s), vo));
  const V::R k1 = V::Add16(k, V::Set16(1));
  const V::R nk = V::Sub16(V::Set16(256), k);
  if (S == KernelSet::kSse) {
    return V::Add16(V::template Srl16<8>(V::Mul16(s, k1)), V::template Srl16<8>(V::Mul16(d, nk)));
  }
  return V::template Srl16<8>(V::Add16(V::Mul16(s, k1), V::Mul16(d, nk)));
}

template <KernelSet S>
KORVEL_SIMD void BlendRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity,
                                         size_t bytes) {
  const int o = ClampOpacity(opacity);
  const V::R vo = V::Set16(static_cast<int16_t>(o));
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    V::Store(dst + i, V::Pack(SrcAlphaOpacity16<S>(V::Lo(vd), V::Lo(vs), vo),
                              SrcAlphaOpacity16<S>(V::Hi(vd), V::Hi(vs), vo)));
  }
  if (i + 4 <= bytes) scalar::BlendRowSrcAlphaOpacity<S>(dst + i, src + i, o, bytes - i);
}

// Slot 7. d − (((d − s)·w) >> 8) = (d·(256 − w) + s·w + 255) >> 8 for 0 ≤ w ≤ 256; a weight of 0
// leaves the byte.
template <KernelSet S>
KORVEL_SIMD void BlendRowMaskTable(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                                   const MaskWeightTable& weights, int32_t level, int32_t ramp,
                                   size_t bytes) {
  size_t i = 0;
  if (bytes >= V::kBytes) {
    const int l = ClampMaskLevel(level);
    const int r = ClampMaskRamp(ramp);
    const bool from_ramp = S == KernelSet::kSse && r != 256;
    int32_t lut[256];
    for (int m = 0; m < 256; ++m) {
      int w = weights.weight[m];
      if (from_ramp) {
        const int raw = m * (r >> 1) + l * ((r >> 1) + 1) - 128 * r;
        w = (raw < 0 ? 0 : (raw > 255 ? 255 : raw)) + 1;
      }
      lut[m] = EffectiveMaskWeight(w);
    }
    const V::R round = V::Set16(255);
    const V::R rgb = RgbLanes();
    for (; i + V::kBytes <= bytes; i += V::kBytes) {
      const V::R w = V::GatherByBlue(mask + i, lut);
      if (!V::AnyNonZero(w)) continue;
      V::R w_lo, w_hi;
      SpreadPixelValues(w, w_lo, w_hi);
      w_lo = V::And(w_lo, rgb);
      w_hi = V::And(w_hi, rgb);
      const V::R vd = V::Load(dst + i);
      const V::R vs = V::Load(src + i);
      const V::R lo = V::template Srl16<8>(V::Add16(
          V::Add16(V::Mul16(V::Lo(vd), V::Sub16(V::Set16(256), w_lo)), V::Mul16(V::Lo(vs), w_lo)),
          round));
      const V::R hi = V::template Srl16<8>(V::Add16(
          V::Add16(V::Mul16(V::Hi(vd), V::Sub16(V::Set16(256), w_hi)), V::Mul16(V::Hi(vs), w_hi)),
          round));
      V::Store(dst + i, V::Pack(lo, hi));
    }
  }
  if (i + 4 <= bytes) {
    scalar::BlendRowMaskTable<S>(dst + i, src + i, mask + i, weights, level, ramp, bytes - i);
  }
}

// Slot 9.
KORVEL_SIMD void AddRowSaturate(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    V::Store(dst + i, V::AddsU8(V::Load(dst + i), V::Load(src + i)));
  }
  if (i < bytes) scalar::AddRowSaturate(dst + i, src + i, bytes - i);
}

// Slot 10.
KORVEL_SIMD void AddRowSaturateOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity,
                                       size_t bytes) {
  const int o = ClampOpacity(opacity);
  const V::R vo = V::Set16(static_cast<int16_t>(o));
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vs = V::Load(src + i);
    const V::R t = V::Pack(V::template Srl16<8>(V::Mul16(V::Lo(vs), vo)),
                           V::template Srl16<8>(V::Mul16(V::Hi(vs), vo)));
    V::Store(dst + i, V::AddsU8(V::Load(dst + i), t));
  }
  if (i < bytes) scalar::AddRowSaturateOpacity(dst + i, src + i, o, bytes - i);
}

// Slots 11 and 12, one 16-bit half: d + (((min(s + d, 255) − d)·v) >> 8) on blue, green, red.
KORVEL_SIMD_INLINE V::R AddWeighted16(V::R d, V::R t, V::R v) {
  return Lerp16(d, t, V::And(v, RgbLanes()));
}

template <KernelSet S>
KORVEL_SIMD_INLINE V::R AddAlphaWeight16(V::R s) {
  const V::R a = V::AlphaBroadcast16(s);
  return S == KernelSet::kSse ? V::MinS16(V::Add16(a, V::Set16(1)), V::Set16(255)) : a;
}

template <KernelSet S>
KORVEL_SIMD void AddRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    const V::R t = V::AddsU8(vs, vd);
    V::Store(dst + i, V::Pack(AddWeighted16(V::Lo(vd), V::Lo(t), AddAlphaWeight16<S>(V::Lo(vs))),
                              AddWeighted16(V::Hi(vd), V::Hi(t), AddAlphaWeight16<S>(V::Hi(vs)))));
  }
  if (i + 4 <= bytes) scalar::AddRowSrcAlpha<S>(dst + i, src + i, bytes - i);
}

// v = ((A + 1)·o) >> 8 (MMX set; taken as the high half of ((A + 1) << 7)·(o << 1) so that
// A = 255, o = 256 stays exact) or (min(A + 1, 255)·o) >> 8 (SSE set).
template <KernelSet S>
KORVEL_SIMD_INLINE V::R AddAlphaOpacityWeight16(V::R s, V::R vo, V::R vo2) {
  const V::R a1 = V::Add16(V::AlphaBroadcast16(s), V::Set16(1));
  if (S == KernelSet::kSse) {
    return V::template Srl16<8>(V::Mul16(V::MinS16(a1, V::Set16(255)), vo));
  }
  return V::MulHiU16(V::template Sll16<7>(a1), vo2);
}

template <KernelSet S>
KORVEL_SIMD void AddRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity,
                                       size_t bytes) {
  const int o = ClampOpacity(opacity);
  const V::R vo = V::Set16(static_cast<int16_t>(o));
  const V::R vo2 = V::Set16(static_cast<int16_t>(o << 1));
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    const V::R t = V::AddsU8(vs, vd);
    const V::R v_lo = AddAlphaOpacityWeight16<S>(V::Lo(vs), vo, vo2);
    const V::R v_hi = AddAlphaOpacityWeight16<S>(V::Hi(vs), vo, vo2);
    V::Store(dst + i, V::Pack(AddWeighted16(V::Lo(vd), V::Lo(t), v_lo),
                              AddWeighted16(V::Hi(vd), V::Hi(t), v_hi)));
  }
  if (i + 4 <= bytes) scalar::AddRowSrcAlphaOpacity<S>(dst + i, src + i, o, bytes - i);
}

// Slot 13.
KORVEL_SIMD void SubtractRowSaturate(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    V::Store(dst + i, V::SubsU8(V::Load(src + i), V::Load(dst + i)));
  }
  if (i < bytes) scalar::SubtractRowSaturate(dst + i, src + i, bytes - i);
}

// Slot 14.
KORVEL_SIMD_INLINE V::R Multiply16(V::R d, V::R s) {
  return V::template Srl16<8>(V::Mul16(d, V::Add16(s, V::Set16(1))));
}

KORVEL_SIMD void MultiplyRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    V::Store(dst + i, V::Pack(Multiply16(V::Lo(vd), V::Lo(vs)), Multiply16(V::Hi(vd), V::Hi(vs))));
  }
  if (i < bytes) scalar::MultiplyRow(dst + i, src + i, bytes - i);
}

// Slot 15, groups: min(d + s − ((d·(s + 1)) >> 8), 255) (the pack saturates).
KORVEL_SIMD_INLINE V::R ScreenGroup16(V::R d, V::R s) {
  return V::Sub16(V::Add16(d, s), Multiply16(d, s));
}

KORVEL_SIMD void ScreenRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    V::Store(dst + i,
             V::Pack(ScreenGroup16(V::Lo(vd), V::Lo(vs)), ScreenGroup16(V::Hi(vd), V::Hi(vs))));
  }
  if (i < bytes) scalar::ScreenRow(dst + i, src + i, bytes - i);
}

// Slot 16: the screen table value s + d − floor(s·d / 255), then the lerp by o.
KORVEL_SIMD_INLINE V::R ScreenOpacity16(V::R d, V::R s, V::R vo) {
  const V::R f = V::Sub16(V::Add16(d, s), Div255(V::Mul16(d, s)));
  return Lerp16(d, f, vo);
}

KORVEL_SIMD void ScreenRowOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  const V::R vo = V::Set16(static_cast<int16_t>(o));
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    V::Store(dst + i, V::Pack(ScreenOpacity16(V::Lo(vd), V::Lo(vs), vo),
                              ScreenOpacity16(V::Hi(vd), V::Hi(vs), vo)));
  }
  if (i < bytes) scalar::ScreenRowOpacity(dst + i, src + i, o, bytes - i);
}

// Slots 17 to 20.
KORVEL_SIMD void LightenRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    V::Store(dst + i, V::MaxU8(V::Load(dst + i), V::Load(src + i)));
  }
  if (i < bytes) scalar::LightenRow(dst + i, src + i, bytes - i);
}

KORVEL_SIMD void DarkenRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    V::Store(dst + i, V::MinU8(V::Load(dst + i), V::Load(src + i)));
  }
  if (i < bytes) scalar::DarkenRow(dst + i, src + i, bytes - i);
}

// max(s + d − 255, 0) = max(s − (255 − d), 0).
KORVEL_SIMD void LinearBurnRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  const V::R ones = V::Set8(-1);
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    V::Store(dst + i, V::SubsU8(V::Load(src + i), V::Xor(V::Load(dst + i), ones)));
  }
  if (i < bytes) scalar::LinearBurnRow(dst + i, src + i, bytes - i);
}

// 2·s + d − 256 in signed 16-bit lanes; the pack clamps to 0..255.
KORVEL_SIMD_INLINE V::R LinearLight16(V::R d, V::R s) {
  return V::Sub16(V::Add16(V::Add16(s, s), d), V::Set16(256));
}

KORVEL_SIMD void LinearLightRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (; i + V::kBytes <= bytes; i += V::kBytes) {
    const V::R vd = V::Load(dst + i);
    const V::R vs = V::Load(src + i);
    V::Store(dst + i,
             V::Pack(LinearLight16(V::Lo(vd), V::Lo(vs)), LinearLight16(V::Hi(vd), V::Hi(vs))));
  }
  if (i < bytes) scalar::LinearLightRow(dst + i, src + i, bytes - i);
}

// Slot 21.
template <KernelSet S>
KORVEL_SIMD void HalveRows(uint8_t* dst, const uint8_t* src, size_t pitch, size_t pixels) {
  constexpr size_t kPixels = V::kBytes / 4;
  const uint8_t* below = src + pitch * 4;
  size_t i = 0;
  for (; i + kPixels <= pixels; i += kPixels) {
    const V::R a = V::Load(src + i * 8);
    const V::R b = V::Load(src + i * 8 + V::kBytes);
    const V::R c = V::Load(below + i * 8);
    const V::R e = V::Load(below + i * 8 + V::kBytes);
    const V::R p = V::EvenPixels(a, b);
    const V::R q = V::OddPixels(a, b);
    const V::R u = V::EvenPixels(c, e);
    const V::R v = V::OddPixels(c, e);
    V::R r;
    if (S == KernelSet::kSse) {
      r = V::AvgU8(V::AvgU8(p, u), V::AvgU8(q, v));
    } else {
      const V::R lo = V::template Srl16<2>(
          V::Add16(V::Add16(V::Lo(p), V::Lo(q)), V::Add16(V::Lo(u), V::Lo(v))));
      const V::R hi = V::template Srl16<2>(
          V::Add16(V::Add16(V::Hi(p), V::Hi(q)), V::Add16(V::Hi(u), V::Hi(v))));
      r = V::Pack(lo, hi);
    }
    V::Store(dst + i * 4, r);
  }
  if (i < pixels) scalar::HalveRows<S>(dst + i * 4, src + i * 8, pitch, pixels - i);
}

// Fills the table with this instruction set's routines; zero, fill and copy stay with the C
// library, which already runs them at memory speed.
inline void FillSimdTable(PixelKernelTable& t, KernelSet set) {
  scalar::FillTable(t, set);
  const bool sse = set == KernelSet::kSse;
  t.fill_pixels = FillPixels;
  t.blend_opacity = sse ? BlendRowOpacity<KernelSet::kSse> : BlendRowOpacity<KernelSet::kMmx>;
  t.blend_src_alpha = sse ? BlendRowSrcAlpha<KernelSet::kSse> : BlendRowSrcAlpha<KernelSet::kMmx>;
  t.blend_src_alpha_opacity =
      sse ? BlendRowSrcAlphaOpacity<KernelSet::kSse> : BlendRowSrcAlphaOpacity<KernelSet::kMmx>;
  t.blend_mask_table =
      sse ? BlendRowMaskTable<KernelSet::kSse> : BlendRowMaskTable<KernelSet::kMmx>;
  t.lerp_two_rows = sse ? LerpTwoRows<KernelSet::kSse> : LerpTwoRows<KernelSet::kMmx>;
  t.add_saturate = AddRowSaturate;
  t.add_saturate_opacity = AddRowSaturateOpacity;
  t.add_src_alpha = sse ? AddRowSrcAlpha<KernelSet::kSse> : AddRowSrcAlpha<KernelSet::kMmx>;
  t.add_src_alpha_opacity =
      sse ? AddRowSrcAlphaOpacity<KernelSet::kSse> : AddRowSrcAlphaOpacity<KernelSet::kMmx>;
  t.subtract_saturate = SubtractRowSaturate;
  t.multiply = MultiplyRow;
  t.screen = ScreenRow;
  t.screen_opacity = ScreenRowOpacity;
  t.lighten = LightenRow;
  t.darken = DarkenRow;
  t.linear_burn = LinearBurnRow;
  t.linear_light = LinearLightRow;
  t.halve_rows = sse ? HalveRows<KernelSet::kSse> : HalveRows<KernelSet::kMmx>;
  FillTranslucentSlots(t);
}
