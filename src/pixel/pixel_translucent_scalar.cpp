// Scalar pixel-row kernels, slots 22 to 25: blends onto a destination with its own alpha.
//
// a·b/255 stands for the alpha-product entry floor(a·b / 255), recip(k, j) for the reciprocal
// entry floor(256·j / k) (0 when k = 0); dA is the destination alpha, A the source alpha.
#include "pixel/pixel_kernels_impl.h"

namespace korvel::scalar {

namespace {

inline uint8_t B(int v) { return static_cast<uint8_t>(v); }
inline int AlphaProduct(int a, int b) { return a * b / 255; }
inline int Reciprocal(int k, int j) { return k ? 256 * j / k : 0; }

// D = (dA + A − dA·A/255) mod 256; w = recip(D, A); blue, green, red d + (((s − d)·w) >> 8);
// the destination alpha becomes D.
inline void OverTranslucent(uint8_t* d, const uint8_t* s, int da) {
  const int a = s[3];
  const int dd = (da + a - AlphaProduct(da, a)) & 255;
  const int w = Reciprocal(dd, a);
  for (int c = 0; c < 3; ++c) d[c] = B(d[c] + (((s[c] - d[c]) * w) >> 8));
  d[3] = B(dd);
}

}  // namespace

// Slot 22: source over a translucent destination.
void ScreenRowSrcAlpha(uint8_t* dst, const uint8_t* src, size_t bytes) {
  for (size_t p = 0; p < bytes / 4; ++p) OverTranslucent(dst + p * 4, src + p * 4, dst[p * 4 + 3]);
}

// Slot 23: D = dA + (((A − dA·A/255)·o) >> 8); w = min(recip(D mod 256, A)·o, 65536); blue, green,
// red d + (((s − d)·w) >> 16); the destination alpha becomes D. The cap keeps w at the source
// itself where the floors in D would make it overshoot (a black source at half opacity over a
// transparent white pixel would otherwise wrap to white).
void ScreenRowSrcAlphaOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  for (size_t p = 0; p < bytes / 4; ++p) {
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    const int a = s[3];
    const int da = d[3];
    const int dd = da + (((a - AlphaProduct(da, a)) * o) >> 8);
    int w = Reciprocal(dd & 255, a) * o;
    if (w > 65536) w = 65536;
    for (int c = 0; c < 3; ++c) d[c] = B(d[c] + (((s[c] - d[c]) * w) >> 16));
    d[3] = B(dd);
  }
}

// Slot 24: the destination alpha first becomes (dA·o) >> 8, then as slot 22.
void BlendRowAlphaTableOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const int o = ClampOpacity(opacity);
  for (size_t p = 0; p < bytes / 4; ++p) {
    OverTranslucent(dst + p * 4, src + p * 4, (dst[p * 4 + 3] * o) >> 8);
  }
}

// Slot 25: dA1 = (dA·o1) >> 8; D = dA1 + (((A − (((A + 1)·dA1) >> 8))·o2) >> 8); blue, green, red
// d + q with q = ((((s − d)·o2) >> 8)·A) / (D + 1), the division truncating toward zero, and q
// kept between 0 and s − d; the destination alpha becomes D. Without that bound the floors in the
// first shift and in D overshoot the source for small differences and opacities (s 0, d 1, A 127,
// dA 0, o2 1 gives q = −127 and would wrap to 130).
void BlendRowOntoTranslucent(uint8_t* dst, const uint8_t* src, int32_t o1, int32_t o2,
                             size_t bytes) {
  const int f1 = ClampOpacity(o1);
  const int f2 = ClampOpacity(o2);
  for (size_t p = 0; p < bytes / 4; ++p) {
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    const int a = s[3];
    const int da1 = (d[3] * f1) >> 8;
    const int dd = da1 + (((a - (((a + 1) * da1) >> 8)) * f2) >> 8);
    for (int c = 0; c < 3; ++c) {
      const int diff = s[c] - d[c];
      const int q = (((diff * f2) >> 8) * a) / (dd + 1);
      d[c] = B(d[c] + (diff < 0 ? (q < diff ? diff : q) : (q > diff ? diff : q)));
    }
    d[3] = B(dd);
  }
}

}  // namespace korvel::scalar
