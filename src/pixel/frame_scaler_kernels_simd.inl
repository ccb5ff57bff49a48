// Frame-scaler row kernels over a vector type V (included after simd_<isa>.inl inside an
// anonymous namespace). They equal the scalar kernels byte for byte.

// Columns per vector of 16-bit lanes: each column is a pixel pair, eight 16-bit lanes.
constexpr int32_t kPairColumns = static_cast<int32_t>(V::kBytes / 16);

// The pixel pairs at row + offsets[k], widened to 16-bit lanes, one per 128-bit half.
KORVEL_SIMD_INLINE V::R PairsWidened(const uint8_t* row, const uint32_t* offsets) {
  return V::LoadEach8Widened([&](size_t k) { return row + offsets[k]; });
}

KORVEL_SIMD void Horizontal(uint16_t* out, const uint8_t* row, const uint32_t* offsets,
                            const uint16_t* lanes, int32_t count) {
  constexpr int32_t kStep = 2 * kPairColumns;
  int32_t i = 0;
  for (; i + kStep <= count; i += kStep) {
    // Pixel pairs widened to 16 bits and weighted, then the left and right halves summed.
    const V::R p0 = V::Mul16(PairsWidened(row, offsets + i),
                             V::Load(reinterpret_cast<const uint8_t*>(lanes + 8 * i)));
    const V::R p1 =
        V::Mul16(PairsWidened(row, offsets + i + kPairColumns),
                 V::Load(reinterpret_cast<const uint8_t*>(lanes + 8 * (i + kPairColumns))));
    const V::R sums = V::Add16(V::Unpack64Lo(p0, p1), V::Unpack64Hi(p0, p1));
    V::Store(reinterpret_cast<uint8_t*>(out + 4 * i), V::InOrder64(sums));
  }
  for (; i < count; ++i) {
    const uint8_t* p = row + offsets[i];
    const uint16_t* w = lanes + 8 * i;
    for (int c = 0; c < 4; ++c) {
      out[4 * i + c] = static_cast<uint16_t>(p[c] * w[c] + p[4 + c] * w[4 + c]);
    }
  }
}

KORVEL_SIMD_INLINE V::R EightBit(V::R t, V::R b, V::R w0, V::R w1) {
  return V::template Srl16<8>(V::Add16(V::Mul16(V::template Srl16<8>(t), w0),
                                       V::Mul16(V::template Srl16<8>(b), w1)));
}

KORVEL_SIMD_INLINE V::R Split(V::R t, V::R b, V::R w0, V::R w1) {
  return V::Add16(V::MulHiU16(t, w0), V::MulHiU16(b, w1));
}

// The high halves of the two 32-bit products plus the carry out of their low halves.
KORVEL_SIMD_INLINE V::R Joint(V::R t, V::R b, V::R w0, V::R w1) {
  const V::R high = V::Add16(V::MulHiU16(t, w0), V::MulHiU16(b, w1));
  const V::R low_t = V::Mul16(t, w0);
  const V::R sum = V::Add16(low_t, V::Mul16(b, w1));
  const V::R bias = V::Set16(static_cast<int16_t>(0x8000));
  // A wrapped low sum is below its first term (unsigned): that lane carries one.
  const V::R carry = V::CmpGt16(V::Xor(low_t, bias), V::Xor(sum, bias));
  return V::Sub16(high, carry);
}

template <V::R (*Lerp)(V::R, V::R, V::R, V::R), typename Tail>
KORVEL_SIMD_INLINE void Vertical(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                                 size_t count, Tail tail) {
  constexpr size_t kHalf = V::kBytes / 2;
  const V::R w0 = V::Set16(static_cast<int16_t>(256 - wy));
  const V::R w1 = V::Set16(static_cast<int16_t>(wy));
  const auto* tb = reinterpret_cast<const uint8_t*>(t);
  const auto* bb = reinterpret_cast<const uint8_t*>(b);
  size_t i = 0;
  for (; i + V::kBytes <= count; i += V::kBytes) {
    const V::R v0 = Lerp(V::Load(tb + 2 * i), V::Load(bb + 2 * i), w0, w1);
    const V::R v1 = Lerp(V::Load(tb + 2 * (i + kHalf)), V::Load(bb + 2 * (i + kHalf)), w0, w1);
    V::Store(out + i, V::InOrder64(V::Pack(v0, v1)));
  }
  for (; i < count; ++i) out[i] = tail(t[i], b[i], wy);
}

KORVEL_SIMD void VerticalEightBit(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                                  size_t count) {
  Vertical<EightBit>(out, t, b, wy, count, [](uint32_t tv, uint32_t bv, uint32_t w) {
    return static_cast<uint8_t>(((tv >> 8) * (256 - w) + (bv >> 8) * w) >> 8);
  });
}

KORVEL_SIMD void VerticalSplit(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                               size_t count) {
  Vertical<Split>(out, t, b, wy, count, [](uint32_t tv, uint32_t bv, uint32_t w) {
    const uint32_t v = ((tv * (256 - w)) >> 16) + ((bv * w) >> 16);
    return static_cast<uint8_t>(v > 255 ? 255 : v);
  });
}

KORVEL_SIMD void VerticalJoint(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                               size_t count) {
  Vertical<Joint>(out, t, b, wy, count, [](uint32_t tv, uint32_t bv, uint32_t w) {
    const uint32_t v = (tv * (256 - w) + bv * w) >> 16;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
  });
}

KORVEL_SIMD void Gather(uint8_t* out, const uint8_t* row, const int32_t* columns, int32_t count) {
  constexpr int32_t kStep = static_cast<int32_t>(V::kBytes / 4);
  int32_t i = 0;
  for (; i + kStep <= count; i += kStep) {
    V::Store(out + static_cast<size_t>(i) * 4, V::Gather32(row, columns + i));
  }
  for (; i < count; ++i) {
    std::memcpy(out + static_cast<size_t>(i) * 4, row + static_cast<size_t>(columns[i]) * 4, 4);
  }
}

void FillKernels(FrameScalerKernels& k) {
  k.horizontal = Horizontal;
  k.vertical_eight_bit = VerticalEightBit;
  k.vertical_split = VerticalSplit;
  k.vertical_joint = VerticalJoint;
  k.gather = Gather;
}
