// Helpers shared by the kernel templates over a vector type V (included after simd_<isa>.inl).

// (d·(256 − v) + s·v) >> 8 on 16-bit lanes.
KORVEL_SIMD_INLINE V::R Lerp16(V::R d, V::R s, V::R v) {
  return V::template Srl16<8>(
      V::Add16(V::Mul16(d, V::Sub16(V::Set16(256), v)), V::Mul16(s, v)));
}

// Lerp16 on all bytes of a vector with a weight vector per 16-bit half.
KORVEL_SIMD_INLINE V::R LerpBytes(V::R d, V::R s, V::R v_lo, V::R v_hi) {
  return V::Pack(Lerp16(V::Lo(d), V::Lo(s), v_lo), Lerp16(V::Hi(d), V::Hi(s), v_hi));
}

// Lanes of blue, green and red set, alpha clear.
KORVEL_SIMD_INLINE V::R RgbLanes() { return V::Set64(0x0000FFFFFFFFFFFFll); }

// (x >> 1) on every byte.
KORVEL_SIMD_INLINE V::R HalfBytes(V::R x) {
  return V::And(V::template Srl16<1>(x), V::Set8(0x7F));
}

// floor(x / 255) for 16-bit x.
KORVEL_SIMD_INLINE V::R Div255(V::R x) {
  return V::template Srl16<7>(V::MulHiU16(x, V::Set16(static_cast<int16_t>(0x8081))));
}

// Per-pixel 32-bit values (below 65536) copied into the pixel's four 16-bit lanes, in the layout
// of V::Lo and V::Hi.
KORVEL_SIMD_INLINE void SpreadPixelValues(V::R v32, V::R& lo, V::R& hi) {
  const V::R t = V::Or(v32, V::template Sll32<16>(v32));
  lo = V::Unpack32Lo(t, t);
  hi = V::Unpack32Hi(t, t);
}

// mask ? a : b, lane by lane.
KORVEL_SIMD_INLINE V::R Select(V::R mask, V::R a, V::R b) {
  return V::Or(V::And(mask, a), V::AndNot(mask, b));
}
