// Bicubic and Lanczos row kernels over a vector type V (included after simd_<isa>.inl inside an
// anonymous namespace). They equal the scalar kernels byte for byte.
//
// A vector of 32-bit sums holds one pixel's four channels per 128-bit half; the halves of one
// vector take pixels two apart (x, x + 2), so that packing the vectors of x and x + 1 puts the
// pixels in order within each half.

constexpr size_t kHalves = V::kBytes / 16;

// In each half: four pixels' bytes as 16-bit lanes, pixels 0 and 2 interleaved by channel in
// `a`, 1 and 3 in `b`, ready for madd with the weight pairs (w0, w2) and (w1, w3).
KORVEL_SIMD_INLINE void SplitTaps(V::R v, V::R& a, V::R& b) {
  const V::R t = V::Unpack8Lo(v, V::template ByteSrl<8>(v));
  a = V::Lo(t);
  b = V::Hi(t);
}

// Two 16-bit weights as one 32-bit lane (a low, b high).
inline int32_t PairBits(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint16_t>(a) |
                              (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}

// Columns x + 2k (half k) as 32-bit channel sums.
KORVEL_SIMD_INLINE V::R CubicTaps(const uint8_t* padded, const CubicColumns& c, size_t x) {
  V::R a, b;
  SplitTaps(V::LoadEach16([&](size_t k) {
              return padded + static_cast<size_t>(c.start[x + 2 * k]) * 4;
            }),
            a, b);
  const V::R w = V::LoadEach8([&](size_t k) { return &c.weights[(x + 2 * k) * 4]; });
  return V::Add32(V::Madd16(a, V::template Broadcast32<0>(w)),
                  V::Madd16(b, V::template Broadcast32<1>(w)));
}

KORVEL_SIMD void CubicRow(const uint8_t* padded, const CubicColumns& c, int16_t* hi, int16_t* lo) {
  constexpr size_t kStep = 2 * kHalves;
  const V::R low_byte = V::Set32(255);
  const auto n = static_cast<size_t>(c.n);
  size_t x = 0;
  for (; x + kStep <= n; x += kStep) {
    const V::R ra = CubicTaps(padded, c, x), rb = CubicTaps(padded, c, x + 1);
    V::Store(reinterpret_cast<uint8_t*>(hi + x * 4),
             V::Packs32(V::template Sra32<8>(ra), V::template Sra32<8>(rb)));
    V::Store(reinterpret_cast<uint8_t*>(lo + x * 4),
             V::Packs32(V::And(ra, low_byte), V::And(rb, low_byte)));
  }
  for (; x < n; ++x) CubicRowPixel(padded, c, static_cast<int32_t>(x), hi, lo);
}

KORVEL_SIMD_INLINE V::R Load16(const int16_t* p) {
  return V::Load(reinterpret_cast<const uint8_t*>(p));
}

// The 2·kHalves pixels from x of the rows, as 16-bit channel values in order.
KORVEL_SIMD_INLINE V::R CubicBlendPixels(const CubicRows& r, size_t x, V::R w01, V::R w23) {
  const size_t i = x * 4;
  const V::R h0 = Load16(r.hi[0] + i), h1 = Load16(r.hi[1] + i);
  const V::R h2 = Load16(r.hi[2] + i), h3 = Load16(r.hi[3] + i);
  const V::R l0 = Load16(r.lo[0] + i), l1 = Load16(r.lo[1] + i);
  const V::R l2 = Load16(r.lo[2] + i), l3 = Load16(r.lo[3] + i);
  // Pixels x + 2k in `a`, x + 2k + 1 in `b` (half k).
  const V::R ha = V::Add32(V::Madd16(V::Unpack16Lo(h0, h1), w01),
                           V::Madd16(V::Unpack16Lo(h2, h3), w23));
  const V::R hb = V::Add32(V::Madd16(V::Unpack16Hi(h0, h1), w01),
                           V::Madd16(V::Unpack16Hi(h2, h3), w23));
  const V::R la = V::Add32(V::Madd16(V::Unpack16Lo(l0, l1), w01),
                           V::Madd16(V::Unpack16Lo(l2, l3), w23));
  const V::R lb = V::Add32(V::Madd16(V::Unpack16Hi(l0, l1), w01),
                           V::Madd16(V::Unpack16Hi(l2, l3), w23));
  const V::R half = V::Set32(32768);
  const V::R qa = V::template Sra32<16>(V::Add32(V::Add32(V::template Sll32<8>(ha), la), half));
  const V::R qb = V::template Sra32<16>(V::Add32(V::Add32(V::template Sll32<8>(hb), lb), half));
  return V::Packs32(qa, qb);
}

KORVEL_SIMD void CubicBlend(const CubicRows& r, const CubicColumns& c, uint8_t* out) {
  constexpr size_t kGroup = 2 * kHalves;
  const auto n = static_cast<size_t>(c.n);
  const V::R w01 = V::Set32(PairBits(r.weight[0], r.weight[1]));
  const V::R w23 = V::Set32(PairBits(r.weight[2], r.weight[3]));
  size_t x = 0;
  for (; x + 2 * kGroup <= n; x += 2 * kGroup) {
    const V::R bytes = V::Pack(CubicBlendPixels(r, x, w01, w23),
                               CubicBlendPixels(r, x + kGroup, w01, w23));
    V::Store(out + x * 4, V::InOrder64(bytes));
  }
  for (; x < n; ++x) CubicBlendPixel(r, c, static_cast<int32_t>(x), out);
}

// Lanczos destination pixels i + 2k (half k) as 32-bit channel sums.
KORVEL_SIMD_INLINE V::R LanczosTaps(const uint8_t* line, const LanczosPlan& p, size_t i,
                                    size_t groups) {
  const int32_t* start = &p.start[i];
  const int16_t* split = &p.split[i * groups * 8];
  V::R hi = V::Zero(), lo = V::Zero();
  for (size_t g = 0; g < groups; ++g) {
    V::R a, b;
    SplitTaps(V::LoadEach16([&](size_t k) {
                return line + static_cast<size_t>(start[2 * k]) * 4 + g * 16;
              }),
              a, b);
    const V::R wg = V::LoadEach16([&](size_t k) { return split + (2 * k * groups + g) * 8; });
    hi = V::Add32(hi, V::Add32(V::Madd16(a, V::template Broadcast32<0>(wg)),
                               V::Madd16(b, V::template Broadcast32<1>(wg))));
    lo = V::Add32(lo, V::Add32(V::Madd16(a, V::template Broadcast32<2>(wg)),
                               V::Madd16(b, V::template Broadcast32<3>(wg))));
  }
  return V::Add32(V::template Sll32<8>(hi), lo);
}

// Destination pixels i + 2k (half k), divided by their sums, as 16-bit lanes: pixels i, i + 1 in
// half 0, i + 2, i + 3 in half 1.
KORVEL_SIMD_INLINE V::R LanczosPixels(const uint8_t* line, const LanczosPlan& p, size_t i,
                                      size_t groups) {
  const V::R a = LanczosTaps(line, p, i, groups), b = LanczosTaps(line, p, i + 1, groups);
  return V::Packs32(V::ScaleF64Each(a, &p.offset[i], &p.inverse[i], 2),
                    V::ScaleF64Each(b, &p.offset[i + 1], &p.inverse[i + 1], 2));
}

KORVEL_SIMD void LanczosRow(const uint8_t* line, const LanczosPlan& p, uint8_t* out) {
  constexpr size_t kGroup = 2 * kHalves;
  const auto n = static_cast<size_t>(p.n);
  const auto groups = static_cast<size_t>(p.taps) / 4;
  size_t i = 0;
  for (; i + 2 * kGroup <= n; i += 2 * kGroup) {
    const V::R bytes = V::Pack(LanczosPixels(line, p, i, groups),
                               LanczosPixels(line, p, i + kGroup, groups));
    V::Store(out + i * 4, V::InOrder64(bytes));
  }
  for (; i < n; ++i) LanczosRowPixel(line, p, static_cast<int32_t>(i), out);
}

KORVEL_SIMD void LanczosColumn(const uint8_t* const* rows, const int32_t* w, int32_t count,
                               int64_t sum, double inverse, size_t bytes, uint8_t* out) {
  // Taps in pairs; an odd last tap pairs with the first row at weight 0.
  const auto pairs = static_cast<size_t>(count + 1) / 2;
  std::vector<const uint8_t*> first(pairs), second(pairs);
  std::vector<int32_t> whi(pairs), wlo(pairs);
  for (size_t k = 0; k < pairs; ++k) {
    const size_t t = k * 2;
    const bool odd = t + 1 >= static_cast<size_t>(count);
    first[k] = rows[t];
    second[k] = odd ? rows[0] : rows[t + 1];
    const int32_t w0 = w[t], w1 = odd ? 0 : w[t + 1];
    whi[k] = PairBits(w0 >> 8, w1 >> 8);
    wlo[k] = PairBits(w0 & 255, w1 & 255);
  }
  const double offset = static_cast<double>(sum / 2) + 0.5;
  const V::R zero = V::Zero();
  size_t b = 0;
  for (; b + V::kBytes <= bytes; b += V::kBytes) {
    // Pixel j of the four in each half.
    V::R hi[4] = {zero, zero, zero, zero}, lo[4] = {zero, zero, zero, zero};
    for (size_t k = 0; k < pairs; ++k) {
      const V::R r0 = V::Load(first[k] + b), r1 = V::Load(second[k] + b);
      const V::R wh = V::Set32(whi[k]), wl = V::Set32(wlo[k]);
      const V::R ulo = V::Unpack8Lo(r0, r1), uhi = V::Unpack8Hi(r0, r1);
      const V::R a[4] = {V::Lo(ulo), V::Hi(ulo), V::Lo(uhi), V::Hi(uhi)};
      for (size_t j = 0; j < 4; ++j) {
        hi[j] = V::Add32(hi[j], V::Madd16(a[j], wh));
        lo[j] = V::Add32(lo[j], V::Madd16(a[j], wl));
      }
    }
    V::R q[4];
    for (size_t j = 0; j < 4; ++j) {
      q[j] = V::ScaleF64Each(V::Add32(V::template Sll32<8>(hi[j]), lo[j]), &offset, &inverse, 0);
    }
    V::Store(out + b, V::Pack(V::Packs32(q[0], q[1]), V::Packs32(q[2], q[3])));
  }
  for (; b < bytes; ++b) LanczosColumnByte(rows, w, count, sum, b, out);
}
