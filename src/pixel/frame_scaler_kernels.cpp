// The scalar frame-scaler row kernels (the reference) and the choice of set per instruction set.
#include "pixel/frame_scaler_kernels.h"

#include <cstring>

namespace korvel {

namespace {

void HorizontalScalar(uint16_t* out, const uint8_t* row, const uint32_t* offsets,
                      const uint16_t* lanes, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = row + offsets[i];
    const uint32_t w0 = lanes[8 * i], w1 = lanes[8 * i + 4];
    for (int c = 0; c < 4; ++c) {
      out[4 * i + c] = static_cast<uint16_t>(p[c] * w0 + p[4 + c] * w1);
    }
  }
}

void VerticalEightBitScalar(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                            size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t v = ((t[i] >> 8) * (256 - wy) + (b[i] >> 8) * wy) >> 8;
    out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

void VerticalSplitScalar(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                         size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t v = ((t[i] * (256 - wy)) >> 16) + ((b[i] * wy) >> 16);
    out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

void VerticalJointScalar(uint8_t* out, const uint16_t* t, const uint16_t* b, uint32_t wy,
                         size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t v = (t[i] * (256 - wy) + b[i] * wy) >> 16;
    out[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

void GatherScalar(uint8_t* out, const uint8_t* row, const int32_t* columns, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    std::memcpy(out + static_cast<size_t>(i) * 4, row + static_cast<size_t>(columns[i]) * 4, 4);
  }
}

struct Sets {
  FrameScalerKernels scalar, sse2, avx2;
  Sets() {
    scalar = {HorizontalScalar, VerticalEightBitScalar, VerticalSplitScalar, VerticalJointScalar,
              GatherScalar};
    sse2 = avx2 = scalar;
#if defined(__x86_64__) || defined(__i386__)
    frame_scaler_kernels::sse2::Fill(sse2);
    frame_scaler_kernels::avx2::Fill(avx2);
#endif
  }
};

const Sets& AllSets() {
  static const Sets sets;
  return sets;
}

}  // namespace

const FrameScalerKernels& FrameScalerKernelsFor(PixelIsa isa) {
  const Sets& s = AllSets();
  if (!PixelIsaSupported(isa)) return s.scalar;
  switch (isa) {
    case PixelIsa::kSse2:
      return s.sse2;
    case PixelIsa::kAvx2:
      return s.avx2;
    default:
      return s.scalar;
  }
}

const FrameScalerKernels& GetFrameScalerKernels() {
  return FrameScalerKernelsFor(g_pixel_selection.isa);
}

}  // namespace korvel
