// AVX2 frame-scaler row kernels; results equal the scalar kernels byte for byte.
#include "pixel/frame_scaler_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstring>

namespace korvel::frame_scaler_kernels::avx2 {

namespace {

#include "pixel/simd_avx2.inl"

#include "pixel/frame_scaler_kernels_simd.inl"

// The blocked passes. A windowed block's pixels come from one or two 8-pixel loads, each column's
// left and right pixel picked out by a cross-lane permute; the bytes of channels 0 and 2 and of
// channels 1 and 3 are then 16-bit lanes already (a mask and a shift), so no widening shuffle is
// needed, and the vertical pass joins them again with a shift and an or.

// A block of span 0, column by column.
void HorizontalBlockByColumns(uint16_t* out, const uint8_t* row, const ScaleBlock& block) {
  for (int32_t j = 0; j < kScaleBlockColumns; ++j) {
    uint32_t v[4] = {};
    if (block.left[j] >= 0) {
      const uint8_t* p = row + static_cast<size_t>(block.left[j]) * 4;
      const uint32_t w0 = block.w0[2 * j], w1 = block.w1[2 * j];
      for (int c = 0; c < 4; ++c) v[c] = p[c] * w0 + p[4 + c] * w1;
    }
    out[2 * j] = static_cast<uint16_t>(v[0]);
    out[2 * j + 1] = static_cast<uint16_t>(v[2]);
    out[16 + 2 * j] = static_cast<uint16_t>(v[1]);
    out[16 + 2 * j + 1] = static_cast<uint16_t>(v[3]);
  }
}

// The eight pixels at window[index[k]] (index 0..15 over the two 8-pixel loads lo and hi).
KORVEL_SIMD_INLINE __m256i PickPixels(__m256i lo, __m256i hi, __m256i index, bool two) {
  const __m256i from_lo = _mm256_permutevar8x32_epi32(lo, index);
  if (!two) return from_lo;
  const __m256i in_hi = _mm256_cmpgt_epi32(index, _mm256_set1_epi32(7));
  return _mm256_blendv_epi8(from_lo, _mm256_permutevar8x32_epi32(hi, index), in_hi);
}

KORVEL_SIMD void HorizontalBlocks(uint16_t* out, const uint8_t* row, const ScaleBlock* blocks,
                                  int32_t count) {
  const V::R low_bytes = V::Set16(0x00FF);
  const V::R one = V::Set32(1);
  for (int32_t i = 0; i < count; ++i, out += kScaleBlockValues) {
    const ScaleBlock& block = blocks[i];
    if (block.span == 0) {
      HorizontalBlockByColumns(out, row, block);
      continue;
    }
    const bool two = block.span > 8;
    const uint8_t* window = row + block.base;
    const V::R lo = V::Load(window);
    const V::R hi = two ? V::Load(window + V::kBytes) : lo;
    const V::R left_index = V::Load(reinterpret_cast<const uint8_t*>(block.left));
    const V::R left = PickPixels(lo, hi, left_index, two);
    const V::R right = PickPixels(lo, hi, V::Add32(left_index, one), two);
    const V::R w0 = V::Load(reinterpret_cast<const uint8_t*>(block.w0));
    const V::R w1 = V::Load(reinterpret_cast<const uint8_t*>(block.w1));
    const V::R even = V::Add16(V::Mul16(V::And(left, low_bytes), w0),
                               V::Mul16(V::And(right, low_bytes), w1));
    const V::R odd = V::Add16(V::Mul16(V::Srl16<8>(left), w0), V::Mul16(V::Srl16<8>(right), w1));
    V::Store(reinterpret_cast<uint8_t*>(out), even);
    V::Store(reinterpret_cast<uint8_t*>(out + kScaleBlockValues / 2), odd);
  }
}

// Every value is at most 255 (see the unblocked passes), so the two halves join without a pack.
// The blocks at either end of the columns are stored through a mask of their columns.
template <V::R (*Lerp)(V::R, V::R, V::R, V::R)>
KORVEL_SIMD_INLINE void VerticalBlocks(uint8_t* out_row, const uint16_t* t, const uint16_t* b,
                                       uint32_t wy, int32_t x0, int32_t x1) {
  const V::R w0 = V::Set16(static_cast<int16_t>(256 - wy));
  const V::R w1 = V::Set16(static_cast<int16_t>(wy));
  const V::R lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const auto* tb = reinterpret_cast<const uint8_t*>(t);
  const auto* bb = reinterpret_cast<const uint8_t*>(b);
  for (int32_t first = x0 - x0 % kScaleBlockColumns; first < x1; first += kScaleBlockColumns) {
    const V::R even = Lerp(V::Load(tb), V::Load(bb), w0, w1);
    const V::R odd = Lerp(V::Load(tb + V::kBytes), V::Load(bb + V::kBytes), w0, w1);
    const V::R pixels = V::Or(even, V::Sll16<8>(odd));
    uint8_t* out = out_row + static_cast<size_t>(first) * 4;
    if (first >= x0 && first + kScaleBlockColumns <= x1) {
      V::Store(out, pixels);
    } else {
      const V::R column = V::Add32(lanes, V::Set32(first));
      const V::R inside = V::AndNot(V::CmpGt32(V::Set32(x0), column),
                                    V::CmpGt32(V::Set32(x1), column));
      _mm256_maskstore_epi32(reinterpret_cast<int*>(out), inside, pixels);
    }
    tb += 2 * V::kBytes;
    bb += 2 * V::kBytes;
  }
}

KORVEL_SIMD void VerticalBlocksEightBit(uint8_t* out, const uint16_t* t, const uint16_t* b,
                                        uint32_t wy, int32_t x0, int32_t x1) {
  VerticalBlocks<EightBit>(out, t, b, wy, x0, x1);
}

KORVEL_SIMD void VerticalBlocksSplit(uint8_t* out, const uint16_t* t, const uint16_t* b,
                                     uint32_t wy, int32_t x0, int32_t x1) {
  VerticalBlocks<Split>(out, t, b, wy, x0, x1);
}

KORVEL_SIMD void VerticalBlocksJoint(uint8_t* out, const uint16_t* t, const uint16_t* b,
                                     uint32_t wy, int32_t x0, int32_t x1) {
  VerticalBlocks<Joint>(out, t, b, wy, x0, x1);
}

}  // namespace

void Fill(FrameScalerKernels& k) {
  FillKernels(k);
  k.horizontal_blocks = HorizontalBlocks;
  k.vertical_blocks_eight_bit = VerticalBlocksEightBit;
  k.vertical_blocks_split = VerticalBlocksSplit;
  k.vertical_blocks_joint = VerticalBlocksJoint;
}

}  // namespace korvel::frame_scaler_kernels::avx2

#endif
