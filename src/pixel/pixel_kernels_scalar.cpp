// Scalar pixel-row kernels, slots 0 to 21: the reference every SIMD routine is tested against.
//
// s is a source byte, d a destination byte, A the source pixel's alpha, o the opacity (0..256),
// >> an arithmetic shift. "Groups" are the 8-byte (two-pixel) units of the packed routines;
// bytes after the last whole group are the tail.
#include <cstring>

#include "pixel/pixel_kernels_impl.h"

namespace korvel::scalar {

namespace {

constexpr bool IsSse(KernelSet s) { return s == KernelSet::kSse; }
inline uint8_t B(int v) { return static_cast<uint8_t>(v); }
inline int Min255(int v) { return v < 255 ? v : 255; }

// Single byte of slots 4 and 8: d + (((s − d)·o) >> 8).
inline uint8_t OpacityByte(int s, int d, int o) { return B(d + (((s - d) * o) >> 8)); }

// Grouped byte of slots 4 and 8.
template <KernelSet S>
inline uint8_t OpacityGroupByte(int s, int d, int o) {
  if (o == 128) return IsSse(S) ? B((d + s + 1) >> 1) : B((d >> 1) + (s >> 1));
  if (o < 128) return B(d + (((s - d) * o) >> 8));
  return B(s + (((d - s) * (256 - o)) >> 8));
}

// Slots 4 and 8: the SSE set first steps single bytes until the output is 8-byte aligned.
template <KernelSet S>
void OpacityRows(uint8_t* out, const uint8_t* d, const uint8_t* s, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  size_t i = 0;
  if (IsSse(S)) {
    for (const size_t p = BytesToAlign8(out, bytes); i < p; ++i) {
      out[i] = OpacityByte(s[i], d[i], o);
    }
  }
  for (const size_t end = i + (bytes - i) / 8 * 8; i < end; ++i) {
    out[i] = OpacityGroupByte<S>(s[i], d[i], o);
  }
  for (; i < bytes; ++i) out[i] = OpacityByte(s[i], d[i], o);
}

// floor(s·d / 255), the alpha-product table entry.
inline int Product255(int a, int b) { return a * b / 255; }

}  // namespace

// Slot 0: every byte 0.
void ZeroRow(uint8_t* row, size_t bytes) {
  if (bytes) std::memset(row, 0, bytes);
}

// Slot 1: every byte = value.
void FillBytes(uint8_t* row, size_t bytes, uint8_t value) {
  if (bytes) std::memset(row, value, bytes);
}

// Slot 2: pixel pairs for every 8 bytes, then one more pixel when bit 2 of bytes is set; the last
// 1..3 bytes are left.
void FillPixels(uint8_t* row, size_t bytes, uint32_t pixel) {
  size_t i = 0;
  for (size_t g = 0; g < bytes / 8; ++g, i += 8) {
    std::memcpy(row + i, &pixel, 4);
    std::memcpy(row + i + 4, &pixel, 4);
  }
  if (bytes & 4) std::memcpy(row + i, &pixel, 4);
}

// Slot 3: copy (rows may overlap).
void CopyRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  if (bytes) std::memmove(dst, src, bytes);
}

// Slot 4. Groups, every byte: o < 128: d + (((s − d)·o) >> 8); o > 128: s + (((d − s)·(256 − o))
// >> 8); o = 128: MMX set (d >> 1) + (s >> 1), SSE set (d + s + 1) >> 1. Single bytes (the SSE
// set's alignment prologue and the tail): d + (((s − d)·o) >> 8).
template <KernelSet S>
void BlendRowOpacity(uint8_t* dst, const uint8_t* src, int32_t o, size_t bytes) {
  OpacityRows<S>(dst, dst, src, o, bytes);
}

// Slot 5, v = A + 1. Pixel pairs, all four bytes: MMX set (s·v + d·(256 − A)) >> 8; SSE set
// min(((s·v) >> 8) + ((d·(256 − A)) >> 8), 255). Last pixel of an odd count: blue, green, red
// d + (((s − d)·v) >> 8), alpha left.
template <KernelSet S>
void BlendRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes) {
  const size_t pixels = bytes / 4;
  const size_t paired = pixels & ~size_t{1};
  for (size_t p = 0; p < pixels; ++p) {
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    const int a = s[3];
    const int v = a + 1;
    if (p < paired) {
      for (int c = 0; c < 4; ++c) {
        d[c] = IsSse(S) ? B(Min255(((s[c] * v) >> 8) + ((d[c] * (256 - a)) >> 8)))
                        : B((s[c] * v + d[c] * (256 - a)) >> 8);
      }
    } else {
      for (int c = 0; c < 3; ++c) d[c] = B(d[c] + (((s[c] - d[c]) * v) >> 8));
    }
  }
}

// Slot 6, k = (A·o) >> 8. Pixel pairs, all four bytes: MMX set (s·(k + 1) + d·(256 − k)) >> 8;
// SSE set ((s·(k + 1)) >> 8) + ((d·(256 − k)) >> 8). Last pixel of an odd count: blue, green,
// red ((d·(256 − k)) >> 8) + ((s·(k + 1)) >> 8), alpha left.
template <KernelSet S>
void BlendRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  const size_t pixels = bytes / 4;
  const size_t paired = pixels & ~size_t{1};
  for (size_t p = 0; p < pixels; ++p) {
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    const int k = (s[3] * o) >> 8;
    if (p < paired) {
      for (int c = 0; c < 4; ++c) {
        d[c] = IsSse(S) ? B(((s[c] * (k + 1)) >> 8) + ((d[c] * (256 - k)) >> 8))
                        : B((s[c] * (k + 1) + d[c] * (256 - k)) >> 8);
      }
    } else {
      for (int c = 0; c < 3; ++c) d[c] = B(((d[c] * (256 - k)) >> 8) + ((s[c] * (k + 1)) >> 8));
    }
  }
}

// Slot 7. Per pixel w = weights[mask blue byte]; the SSE set computes the weights of pixel pairs
// from the mask byte m when the ramp r is not 256: min(max(m·(r >> 1) + L·((r >> 1) + 1) − 128·r,
// 0), 255) + 1, L the level. w ≤ 1 leaves the pixel; w is capped at 256; blue, green, red:
// d − (((d − s)·w) >> 8), alpha left.
template <KernelSet S>
void BlendRowMaskTable(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                       const MaskWeightTable& weights, int32_t level, int32_t ramp, size_t bytes) {
  const int l = ClampMaskLevel(level);
  const int r = ClampMaskRamp(ramp);
  const size_t pixels = bytes / 4;
  const size_t paired = pixels & ~size_t{1};
  const bool from_ramp = IsSse(S) && r != 256;
  for (size_t p = 0; p < pixels; ++p) {
    const int m = mask[p * 4];
    int w;
    if (from_ramp && p < paired) {
      const int raw = m * (r >> 1) + l * ((r >> 1) + 1) - 128 * r;
      w = (raw < 0 ? 0 : (raw > 255 ? 255 : raw)) + 1;
    } else {
      w = weights.weight[m];
    }
    if (w <= 1) continue;
    if (w > 256) w = 256;
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    for (int c = 0; c < 3; ++c) d[c] = B(d[c] - (((d[c] - s[c]) * w) >> 8));
  }
}

// Slot 8: slot 4 with first as d and second as s, written to out (the SSE set aligns on out).
template <KernelSet S>
void LerpTwoRows(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t o,
                 size_t bytes) {
  OpacityRows<S>(out, first, second, o, bytes);
}

// Slot 9: min(s + d, 255), every byte.
void AddRowSaturate(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) dst[i] = B(Min255(dst[i] + src[i]));
}

// Slot 10: min(d + ((s·o) >> 8), 255), every byte (the tail follows the group formula).
void AddRowSaturateOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  for (size_t i = 0; i < bytes; ++i) dst[i] = B(Min255(dst[i] + ((src[i] * o) >> 8)));
}

// Slot 11: per pixel, blue, green, red d + (((min(s + d, 255) − d)·v) >> 8), alpha left;
// v = A (MMX set) or min(A + 1, 255) (SSE set).
template <KernelSet S>
void AddRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t p = 0; p < bytes / 4; ++p) {
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    const int v = IsSse(S) ? Min255(s[3] + 1) : s[3];
    for (int c = 0; c < 3; ++c) d[c] = B(d[c] + (((Min255(s[c] + d[c]) - d[c]) * v) >> 8));
  }
}

// Slot 12: as slot 11 with v = ((A + 1)·o) >> 8 (MMX set) or (min(A + 1, 255)·o) >> 8 (SSE set).
template <KernelSet S>
void AddRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  for (size_t p = 0; p < bytes / 4; ++p) {
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    const int v = ((IsSse(S) ? Min255(s[3] + 1) : s[3] + 1) * o) >> 8;
    for (int c = 0; c < 3; ++c) d[c] = B(d[c] + (((Min255(s[c] + d[c]) - d[c]) * v) >> 8));
  }
}

// Slot 13: max(s − d, 0), every byte (the source minus the destination).
void SubtractRowSaturate(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) dst[i] = B(src[i] > dst[i] ? src[i] - dst[i] : 0);
}

// Slot 14: (d·(s + 1)) >> 8, every byte (both sets).
void MultiplyRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) dst[i] = B((dst[i] * (src[i] + 1)) >> 8);
}

// Slot 15. Groups, every byte: min(d + s − ((d·(s + 1)) >> 8), 255). Tail: the screen table,
// s + d − floor(s·d / 255).
void ScreenRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  size_t i = 0;
  for (const size_t end = bytes / 8 * 8; i < end; ++i) {
    dst[i] = B(Min255(dst[i] + src[i] - ((dst[i] * (src[i] + 1)) >> 8)));
  }
  for (; i < bytes; ++i) dst[i] = B(src[i] + dst[i] - Product255(src[i], dst[i]));
}

// Slot 16: d + (((F − d)·o) >> 8), F = s + d − floor(s·d / 255), every byte.
void ScreenRowOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  for (size_t i = 0; i < bytes; ++i) {
    const int d = dst[i];
    const int f = src[i] + d - Product255(src[i], d);
    dst[i] = B(d + (((f - d) * o) >> 8));
  }
}

// Slot 17: max(s, d), every byte.
void LightenRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) dst[i] = src[i] > dst[i] ? src[i] : dst[i];
}

// Slot 18: min(s, d), every byte.
void DarkenRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) dst[i] = src[i] < dst[i] ? src[i] : dst[i];
}

// Slot 19: min(max(s + d − 255, 0), 255), every byte.
void LinearBurnRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    const int v = src[i] + dst[i] - 255;
    dst[i] = B(v < 0 ? 0 : Min255(v));
  }
}

// Slot 20: min(max(2·s + d − 256, 0), 255), every byte.
void LinearLightRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    const int v = 2 * src[i] + dst[i] - 256;
    dst[i] = B(v < 0 ? 0 : Min255(v));
  }
}

// Slot 21: output pixel i from p = src[2i], q = src[2i + 1] and u, v one pitch below, per
// channel: MMX set (p + q + u + v) >> 2; SSE set
// (((p + u + 1) >> 1) + ((q + v + 1) >> 1) + 1) >> 1.
template <KernelSet S>
void HalveRows(uint8_t* dst, const uint8_t* src, size_t source_pitch_pixels, size_t pixels) {
  const uint8_t* below = src + source_pitch_pixels * 4;
  for (size_t i = 0; i < pixels; ++i) {
    for (int c = 0; c < 4; ++c) {
      const int p = src[i * 8 + c];
      const int q = src[i * 8 + 4 + c];
      const int u = below[i * 8 + c];
      const int v = below[i * 8 + 4 + c];
      dst[i * 4 + c] = IsSse(S) ? B((((p + u + 1) >> 1) + ((q + v + 1) >> 1) + 1) >> 1)
                                : B((p + q + u + v) >> 2);
    }
  }
}

#define KORVEL_INSTANTIATE(name, ...)                                 \
  template void name<KernelSet::kMmx>(__VA_ARGS__);                   \
  template void name<KernelSet::kSse>(__VA_ARGS__);

KORVEL_INSTANTIATE(BlendRowOpacity, uint8_t*, const uint8_t*, int32_t, size_t)
KORVEL_INSTANTIATE(BlendRowSrcAlpha, uint8_t*, const uint8_t*, size_t)
KORVEL_INSTANTIATE(BlendRowSrcAlphaOpacity, uint8_t*, const uint8_t*, int32_t, size_t)
KORVEL_INSTANTIATE(BlendRowMaskTable, uint8_t*, const uint8_t*, const uint8_t*,
                   const MaskWeightTable&, int32_t, int32_t, size_t)
KORVEL_INSTANTIATE(LerpTwoRows, uint8_t*, const uint8_t*, const uint8_t*, int32_t, size_t)
KORVEL_INSTANTIATE(AddRowSrcAlpha, uint8_t*, const uint8_t*, size_t)
KORVEL_INSTANTIATE(AddRowSrcAlphaOpacity, uint8_t*, const uint8_t*, int32_t, size_t)
KORVEL_INSTANTIATE(HalveRows, uint8_t*, const uint8_t*, size_t, size_t)
#undef KORVEL_INSTANTIATE

}  // namespace korvel::scalar
