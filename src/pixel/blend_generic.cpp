// Generic blend-span kernels: F(s, d) from the mode's table, weighted four ways.
//
// d, s are destination and source bytes, F = F(s, d) of the mode, o the opacity (0..255 in
// column 0), A the source alpha, w the mask weight (0 for weights of 1 or less, at most 256),
// >> an arithmetic shift.
#include "pixel/blend_generic.h"

#include <array>
#include <utility>

#include "pixel/blend_modes.h"
#include "pixel/blend_tables.h"

namespace korvel::blend_generic {

namespace {

inline uint8_t B(int v) { return static_cast<uint8_t>(v); }

// d + (((F − d)·v) >> 8) on blue, green and red of one pixel.
inline void LerpColours(uint8_t* d, const uint8_t* s, const uint8_t* f, int v) {
  for (int c = 0; c < 3; ++c) {
    const int dc = d[c];
    const int fc = f[s[c] << 8 | dc];
    d[c] = B(dc + (((fc - dc) * v) >> 8));
  }
}

// Table A, column 1: every byte, alpha included: d ← F.
template <int M>
void OpaqueFull(uint8_t* dst, const uint8_t* src, int32_t, size_t bytes) {
  const uint8_t* f = BlendFormulaTable(M);
  for (size_t i = 0; i < bytes; ++i) dst[i] = f[src[i] << 8 | dst[i]];
}

// Table A, column 0: every byte, alpha included: d ← d + (((F − d)·o) >> 8); difference rounds
// toward zero instead: d + trunc((F − d)·o / 256), the rounded-product entry [o][255 + F − d].
template <int M>
void OpaqueOpacity(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const uint8_t* f = BlendFormulaTable(M);
  const int o = ClampOpacity(opacity);
  for (size_t i = 0; i < bytes; ++i) {
    const int d = dst[i];
    const int x = (f[src[i] << 8 | d] - d) * o;
    dst[i] = B(d + (M == kBlendDifference ? x / 256 : x >> 8));
  }
}

// Table B: per pixel v = A + 1 (column 1) or ((A + 1)·o) >> 8 (column 0); blue, green, red
// d ← d + (((F − d)·v) >> 8); the destination alpha is left.
template <int M, bool kFull>
void Alpha(uint8_t* dst, const uint8_t* src, int32_t opacity, size_t bytes) {
  const uint8_t* f = BlendFormulaTable(M);
  const int o = ClampOpacity(opacity);
  for (size_t p = 0; p < bytes / 4; ++p) {
    const int a1 = src[p * 4 + 3] + 1;
    LerpColours(dst + p * 4, src + p * 4, f, kFull ? a1 : (a1 * o) >> 8);
  }
}

// Table C (both columns; mode 0's column 0 too): w ≤ 1 leaves the pixel; otherwise blue, green,
// red d ← d + (((F − d)·w) >> 8).
template <int M>
void Masked(uint8_t* dst, const uint8_t* src, const uint8_t* mask, const MaskWeightTable& weights,
            int32_t, int32_t, size_t bytes) {
  const uint8_t* f = BlendFormulaTable(M);
  for (size_t p = 0; p < bytes / 4; ++p) {
    const int w = EffectiveMaskWeight(weights.weight[mask[p * 4]]);
    if (w) LerpColours(dst + p * 4, src + p * 4, f, w);
  }
}

// Table D: w ≤ 1 leaves the pixel; otherwise v = w·(A + 1) (mode 0: w·A) and blue, green, red
// d ← d + (((F − d)·v) >> 16).
template <int M>
void MaskedAlpha(uint8_t* dst, const uint8_t* src, const uint8_t* mask,
                 const MaskWeightTable& weights, int32_t, int32_t, size_t bytes) {
  const uint8_t* f = BlendFormulaTable(M);
  for (size_t p = 0; p < bytes / 4; ++p) {
    const int w = EffectiveMaskWeight(weights.weight[mask[p * 4]]);
    if (!w) continue;
    uint8_t* d = dst + p * 4;
    const uint8_t* s = src + p * 4;
    const int v = w * (M == kBlendNormal ? s[3] : s[3] + 1);
    for (int c = 0; c < 3; ++c) {
      const int dc = d[c];
      d[c] = B(dc + (((f[s[c] << 8 | dc] - dc) * v) >> 16));
    }
  }
}

template <size_t... I>
constexpr std::array<BlendSpanFn, 19> OpaqueTable(bool full, std::index_sequence<I...>) {
  return full ? std::array<BlendSpanFn, 19>{OpaqueFull<I>...}
              : std::array<BlendSpanFn, 19>{OpaqueOpacity<I>...};
}

template <size_t... I>
constexpr std::array<BlendSpanFn, 19> AlphaTable(bool full, std::index_sequence<I...>) {
  return full ? std::array<BlendSpanFn, 19>{Alpha<I, true>...}
              : std::array<BlendSpanFn, 19>{Alpha<I, false>...};
}

template <size_t... I>
constexpr std::array<BlendMaskSpanFn, 19> MaskTable(bool alpha, std::index_sequence<I...>) {
  return alpha ? std::array<BlendMaskSpanFn, 19>{MaskedAlpha<I>...}
               : std::array<BlendMaskSpanFn, 19>{Masked<I>...};
}

constexpr auto kModes = std::make_index_sequence<19>();

GenericKernels MakeScalarKernels() {
  GenericKernels k{};
  const auto o0 = OpaqueTable(false, kModes), o1 = OpaqueTable(true, kModes);
  const auto a0 = AlphaTable(false, kModes), a1 = AlphaTable(true, kModes);
  const auto c = MaskTable(false, kModes), d = MaskTable(true, kModes);
  for (size_t m = 0; m < 19; ++m) {
    k.opaque[0][m] = o0[m];
    k.opaque[1][m] = o1[m];
    k.alpha[0][m] = a0[m];
    k.alpha[1][m] = a1[m];
    k.masked[m] = c[m];
    k.masked_alpha[m] = d[m];
  }
  return k;
}

}  // namespace

const GenericKernels& ScalarKernels() {
  static const GenericKernels k = MakeScalarKernels();
  return k;
}

const GenericKernels& KernelsFor(PixelIsa isa) {
  if (!PixelIsaSupported(isa)) isa = PixelIsa::kScalar;
#if defined(__x86_64__) || defined(__i386__)
  if (isa == PixelIsa::kSse2) {
    static const GenericKernels k = [] {
      GenericKernels g = ScalarKernels();
      sse2::Fill(g);
      return g;
    }();
    return k;
  }
  if (isa == PixelIsa::kAvx2) {
    static const GenericKernels k = [] {
      GenericKernels g = ScalarKernels();
      avx2::Fill(g);
      return g;
    }();
    return k;
  }
#endif
  return ScalarKernels();
}

}  // namespace korvel::blend_generic
