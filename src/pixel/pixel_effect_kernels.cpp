// The portable effect row kernels (32-bit arithmetic, tables built once per call) and the
// choice of kernels per instruction set.
#include "pixel/pixel_effect_kernels.h"

#include <algorithm>
#include <cstring>

#include "pixel/pixel_effects.h"

namespace korvel::effect_kernels {

namespace {

inline uint8_t Clamp255(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

void Brightness(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t add) {
  uint8_t table[256];
  for (int32_t v = 0; v < 256; ++v) table[v] = Clamp255(v + add);
  for (size_t i = 0; i < pixels * 4; i += 4) {
    dst[i] = table[src[i]];
    dst[i + 1] = table[src[i + 1]];
    dst[i + 2] = table[src[i + 2]];
    dst[i + 3] = src[i + 3];
  }
}

void Negative(uint8_t* dst, const uint8_t* src, size_t pixels) {
  for (size_t i = 0; i < pixels * 4; i += 4) {
    dst[i] = static_cast<uint8_t>(255 - src[i]);
    dst[i + 1] = static_cast<uint8_t>(255 - src[i + 1]);
    dst[i + 2] = static_cast<uint8_t>(255 - src[i + 2]);
    dst[i + 3] = src[i + 3];
  }
}

void Tone(uint8_t* dst, const uint8_t* src, size_t pixels, const uint8_t* up,
          const uint8_t* down) {
  uint8_t table[3][256];
  for (int ch = 0; ch < 3; ++ch) {
    for (int32_t v = 0; v < 256; ++v) {
      table[ch][v] = Clamp255(v + (((255 - v) * up[ch]) >> 7) - ((v * down[ch]) >> 7));
    }
  }
  for (size_t i = 0; i < pixels * 4; i += 4) {
    dst[i] = table[0][src[i]];
    dst[i + 1] = table[1][src[i + 1]];
    dst[i + 2] = table[2][src[i + 2]];
    dst[i + 3] = src[i + 3];
  }
}

// Y = (306 r + 601 g + 117 b)·1024 (below 2^29); the two lower channels are max(0, Y − k) >> 20
// (a truncating division of a non-negative number), red min(255, (Y + k) >> 20).
void Sepia(uint8_t* dst, const uint8_t* src, size_t pixels) {
  for (size_t i = 0; i < pixels * 4; i += 4) {
    const int32_t y = (306 * src[i + 2] + 601 * src[i + 1] + 117 * src[i]) * 1024;
    dst[i] = static_cast<uint8_t>(std::max(0, y - 46347025) >> 20);
    dst[i + 1] = static_cast<uint8_t>(std::max(0, y - 287585) >> 20);
    dst[i + 2] = static_cast<uint8_t>(std::min(255, (y + 18748416) >> 20));
    dst[i + 3] = src[i + 3];
  }
}

// The saturation of one pixel for a in 0..256 (all products stay within 32 bits). Above 128 the
// bounds come from the largest and the smallest channel alone (see the vector kernels), divided
// through a per-call table: floor(x / d) = (x·m) >> 23 with m = ceil(2^23 / d) for every
// x < 2^15 and d ≤ 170 (the excess stays below 2^-8, less than the 1/d a quotient that is not
// whole keeps from the next integer).
void Saturate(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t a) {
  if (a < 128) {
    const int32_t k = 128 - a;
    for (size_t p = 0; p < pixels * 4; p += 4) {
      const uint8_t* s = src + p;
      uint8_t* d = dst + p;
      const int32_t g = (s[0] + s[1] + s[2]) / 3;
      const uint8_t alpha = s[3];
      for (int i = 0; i < 3; ++i) d[i] = Clamp255(s[i] + (((g - s[i]) * k) >> 7));
      d[3] = alpha;
    }
    return;
  }
  const int32_t sv = a - 128;
  uint32_t reciprocal[171];
  for (uint32_t n = 1; n <= 170; ++n) reciprocal[n] = ((1u << 23) + n - 1) / n;
  auto quotient = [&reciprocal](int32_t x, int32_t n) {
    return static_cast<int32_t>((uint64_t{static_cast<uint32_t>(x)} * reciprocal[n]) >> 23);
  };
  for (size_t p = 0; p < pixels * 4; p += 4) {
    const uint8_t* s = src + p;
    uint8_t* d = dst + p;
    const int32_t c[3] = {s[0], s[1], s[2]};
    const int32_t g = (c[0] + c[1] + c[2]) / 3;
    const int32_t high = std::max({c[0], c[1], c[2]}), low = std::min({c[0], c[1], c[2]});
    const int32_t up = high - g, down = g - low;  // both 0..170
    // Both bounds always (a divisor of 0 counts as 1), kept only where they apply: no branch on
    // the pixel's colours.
    const int32_t over = quotient((255 - high) * 128, std::max(up, 1));
    const int32_t under = quotient(low * 128, std::max(down, 1));
    int32_t t = sv;
    t = high + ((sv * up) >> 7) > 255 && over < t ? over : t;
    t = low + ((sv * (low - g)) >> 7) < 0 && under < t ? under : t;
    const uint8_t alpha = s[3];
    for (int i = 0; i < 3; ++i) d[i] = static_cast<uint8_t>(c[i] + (((c[i] - g) * t) >> 7));
    d[3] = alpha;
  }
}

void BlurStep(uint32_t* sums, size_t lanes, const uint8_t* enter, const uint8_t* leave,
              const uint8_t* alpha_from, uint8_t* out, Reciprocal r) {
  if (enter != nullptr) {
    for (size_t k = 0; k < lanes; ++k) sums[k] += enter[k];
  }
  if (leave != nullptr) {
    for (size_t k = 0; k < lanes; ++k) sums[k] -= leave[k];
  }
  for (size_t k = 0; k < lanes; ++k) out[k] = static_cast<uint8_t>(DivideBy(sums[k], r));
  if (alpha_from != nullptr) {
    for (size_t k = 3; k < lanes; k += 4) out[k] = alpha_from[k];
  }
}

void BlurStepShort(uint16_t* sums, size_t lanes, const uint8_t* enter, const uint8_t* leave,
                   const uint8_t* alpha_from, uint8_t* out, ShortDivisor d) {
  for (size_t k = 0; k < lanes; ++k) {
    uint32_t v = sums[k];
    if (enter != nullptr) v += enter[k];
    if (leave != nullptr) v -= leave[k];
    sums[k] = static_cast<uint16_t>(v);
    out[k] = static_cast<uint8_t>(DivideShort(sums[k], d));
  }
  if (alpha_from != nullptr) {
    for (size_t k = 3; k < lanes; k += 4) out[k] = alpha_from[k];
  }
}

void Transpose(uint8_t* dst, size_t dst_pitch, const uint8_t* src, size_t src_pitch, int32_t w,
               int32_t h) {
  for (int32_t x = 0; x < w; ++x) {
    uint8_t* d = dst + static_cast<size_t>(x) * dst_pitch;
    for (int32_t y = 0; y < h; ++y) {
      std::memcpy(d + static_cast<size_t>(y) * 4, src + static_cast<size_t>(y) * src_pitch + static_cast<size_t>(x) * 4, 4);
    }
  }
}

void Gather(uint8_t* out, const uint8_t* in, const int32_t* index, size_t n) {
  for (size_t i = 0; i < n; ++i) std::memcpy(out + i * 4, in + static_cast<size_t>(index[i]) * 4, 4);
}

void Swirl(uint8_t* out, const uint8_t* in, int32_t pitch, const uint32_t* ring,
           const int32_t* turn, int32_t x, int32_t count, int32_t dy, int32_t cx, int32_t cy,
           int32_t rw, int32_t rh) {
  for (int32_t i = 0; i < count; ++i, ++x) {
    const int32_t dx = x - cx;
    const auto t = static_cast<uint32_t>(turn[ring[x]]);
    const int32_t c = static_cast<int16_t>(t & 0xFFFFu), s = static_cast<int16_t>(t >> 16);
    const int32_t sx = std::clamp(((dx * c - dy * s) >> 8) + cx, 0, rw - 1);
    const int32_t sy = std::clamp(((dx * s + dy * c) >> 8) + cy, 0, rh - 1);
    std::memcpy(out + static_cast<size_t>(i) * 4,
                in + (static_cast<size_t>(sy) * static_cast<size_t>(pitch) + static_cast<size_t>(sx)) * 4, 4);
  }
}

constexpr uint32_t kMtUpper = 0x80000000u, kMtLower = 0x7FFFFFFFu, kMtMatrix = 0x9908B0DFu;
constexpr size_t kMtWords = 624, kMtShift = 397;

inline uint32_t TwistWord(uint32_t word, uint32_t next, uint32_t far) {
  const uint32_t y = (word & kMtUpper) | (next & kMtLower);
  return far ^ (y >> 1) ^ ((y & 1u) != 0 ? kMtMatrix : 0u);
}

void MtTwist(uint32_t* x) {
  size_t k = 0;
  for (; k < kMtWords - kMtShift; ++k) x[k] = TwistWord(x[k], x[k + 1], x[k + kMtShift]);
  for (; k < kMtWords - 1; ++k) x[k] = TwistWord(x[k], x[k + 1], x[k + kMtShift - kMtWords]);
  x[kMtWords - 1] = TwistWord(x[kMtWords - 1], x[0], x[kMtShift - 1]);
}

void MtTemper(uint32_t* out, const uint32_t* words, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = Temper(words[i]);
}

void ShuffleBlocks(uint8_t* to, size_t to_pitch, const uint8_t* from, size_t from_pitch,
                   const uint32_t* draws, size_t count) {
  for (size_t b = 0; b < count; ++b, to += 8, from += 8) {
    uint32_t g[4], out[4];
    std::memcpy(g, from, 8);
    std::memcpy(g + 2, from + from_pitch, 8);
    const uint8_t* order = kShufflePermutations[draws[b] % 24];
    for (int i = 0; i < 4; ++i) out[i] = (g[order[i]] & 0xFFFFFFu) | (g[i] & 0xFF000000u);
    std::memcpy(to, out, 8);
    std::memcpy(to + to_pitch, out + 2, 8);
  }
}

}  // namespace

const Kernels& ScalarKernels() {
  static const Kernels k{Brightness, Negative,  Tone,   Sepia, Saturate, BlurStep,
                         BlurStepShort, Transpose, Gather, Swirl, MtTwist,
                         MtTemper, ShuffleBlocks};
  return k;
}

const Kernels& KernelsFor(PixelIsa isa) {
  if (!PixelIsaSupported(isa)) isa = PixelIsa::kScalar;
#if defined(__x86_64__) || defined(__i386__)
  if (isa == PixelIsa::kSse2) {
    static const Kernels k = [] {
      Kernels g = ScalarKernels();
      sse2::Fill(g);
      return g;
    }();
    return k;
  }
  if (isa == PixelIsa::kAvx2) {
    static const Kernels k = [] {
      Kernels g = ScalarKernels();
      avx2::Fill(g);
      return g;
    }();
    return k;
  }
#endif
  return ScalarKernels();
}

}  // namespace korvel::effect_kernels
