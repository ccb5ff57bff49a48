// Internal: the row kernels of the pixel effects, per instruction set, and the exact reciprocal
// the blurs divide their window sums with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/pixel_kernels.h"

namespace korvel::effect_kernels {

// floor(x / n) as (x·m) >> shift. With shift = 31 + ceil(log2 n) and m = ceil(2^shift / n), the
// excess e = m·n − 2^shift stays below n, and the quotient is exact whenever x·e < 2^shift: for
// every x ≤ 255·n while n ≤ 2^23 (the blurs' divisors stay below 2^22). m fits 32 bits and x·m
// 64 bits.
//
// The vector kernels take a shorter way while n ≤ kFloatDivisorLimit: trunc((x + 0.5)·(1 / n)) in
// single precision. x + 0.5 is exact (x < 2^23), and (x + 0.5) / n lies at least 0.5 / n inside
// the quotient's interval, more than the two roundings can move it (255 / n·2^-23·n at most).
struct Reciprocal {
  uint32_t m = 1u << 31;
  uint32_t shift = 31;
  float inverse = 1.0f;
  bool single = true;  // the single-precision way holds
};

inline constexpr uint32_t kFloatDivisorLimit = 16384;

inline Reciprocal ReciprocalOf(uint32_t n) {
  uint32_t bits = 0;
  while (bits < 32 && (uint64_t{1} << bits) < n) ++bits;
  Reciprocal r;
  r.shift = 31 + bits;
  r.m = static_cast<uint32_t>(((uint64_t{1} << r.shift) + n - 1) / n);
  r.inverse = 1.0f / static_cast<float>(n);
  r.single = n <= kFloatDivisorLimit;
  return r;
}

inline uint32_t DivideBy(uint32_t x, Reciprocal r) {
  return static_cast<uint32_t>((uint64_t{x} * r.m) >> r.shift);
}

// The single-precision way, as the vector kernels compute it.
inline uint32_t DivideBySingle(uint32_t x, Reciprocal r) {
  const float sum = static_cast<float>(x) + 0.5f;
  return static_cast<uint32_t>(sum * r.inverse);
}

// floor(x / n) for 16-bit x and n ≤ kShortDivisorLimit without a wide product (Granlund and
// Montgomery): with l = ceil(log2 n) and m = floor(2^16·(2^l − n) / n) + 1 (below 2^16),
// t = (m·x) >> 16 and floor(x / n) = (t + ((x − t) >> min(l, 1))) >> max(l − 1, 0).
struct ShortDivisor {
  uint16_t m = 1;
  uint8_t first_shift = 0, second_shift = 0;
};

// Windows of at most this many pixels sum to at most 255·257 = 65535: their sums fit 16 bits.
inline constexpr uint32_t kShortDivisorLimit = 257;

inline ShortDivisor ShortDivisorOf(uint32_t n) {
  uint32_t bits = 0;
  while ((1u << bits) < n) ++bits;
  ShortDivisor d;
  d.m = static_cast<uint16_t>(((uint64_t{1} << 16) * ((uint64_t{1} << bits) - n)) / n + 1);
  d.first_shift = static_cast<uint8_t>(bits < 1 ? bits : 1);
  d.second_shift = static_cast<uint8_t>(bits < 1 ? 0 : bits - 1);
  return d;
}

inline uint32_t DivideShort(uint32_t x, ShortDivisor d) {
  const uint32_t t = (x * d.m) >> 16;
  return (t + ((x - t) >> d.first_shift)) >> d.second_shift;
}

// The largest divisor a blur can meet: a window of 2r + 1 with r at most 2^20.
inline constexpr uint32_t kMaxBlurDivisor = (1u << 21) + 1;

// MT19937's tempering of one state word.
inline uint32_t Temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  return y ^ (y >> 18);
}

struct Kernels {
  // Blue, green, red: clamp(c + add, 0, 255) for add in −255..255; alpha copied.
  void (*brightness)(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t add);
  // Blue, green, red: 255 − c; alpha copied.
  void (*negative)(uint8_t* dst, const uint8_t* src, size_t pixels);
  // Per channel: c + (((255 − c)·up) >> 7) − ((c·down) >> 7), up and down 0..128 per byte of a
  // pixel (blue, green, red, alpha; the alpha entries 0).
  void (*tone)(uint8_t* dst, const uint8_t* src, size_t pixels, const uint8_t* up,
               const uint8_t* down);
  // Sepia of every pixel; alpha copied.
  void (*sepia)(uint8_t* dst, const uint8_t* src, size_t pixels);
  // Saturation with a in 0..256; alpha copied.
  void (*saturate)(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t a);
  // One output line of a running-sum blur over `lanes` 32-bit sums (4 per pixel): sums +=
  // enter − leave (either may be null), then out = sums / n through `r`. With `alpha_from`, each
  // pixel's alpha comes from there instead.
  void (*blur_step)(uint32_t* sums, size_t lanes, const uint8_t* enter, const uint8_t* leave,
                    const uint8_t* alpha_from, uint8_t* out, Reciprocal r);
  // The same over 16-bit sums, for windows of at most kShortDivisorLimit pixels.
  void (*blur_step_short)(uint16_t* sums, size_t lanes, const uint8_t* enter,
                          const uint8_t* leave, const uint8_t* alpha_from, uint8_t* out,
                          ShortDivisor d);
  // dst pixel (row x, column y) = src pixel (row y, column x) for a w × h block of src (pitches
  // in bytes).
  void (*transpose)(uint8_t* dst, size_t dst_pitch, const uint8_t* src, size_t src_pitch,
                    int32_t w, int32_t h);
  // out[i] = the pixel at index[i] of `in` (counted in pixels) for n pixels.
  void (*gather)(uint8_t* out, const uint8_t* in, const int32_t* index, size_t n);
  // The swirl of `count` pixels of one row from column x: with dx = x − cx and the pixel's ring
  // turn turn[ring[x]] = co in the low 16 bits and si in the high 16 bits (each −256..256),
  // sx = clamp(((dx·co − dy·si) >> 8) + cx, 0, rw − 1), sy = clamp(((dx·si + dy·co) >> 8) + cy,
  // 0, rh − 1); out = in pixel (sx, sy), `in` of `pitch` pixels a row. rw and rh are below 32768.
  void (*swirl)(uint8_t* out, const uint8_t* in, int32_t pitch, const uint32_t* ring,
                const int32_t* turn, int32_t x, int32_t count, int32_t dy, int32_t cx, int32_t cy,
                int32_t rw, int32_t rh);
  // One MT19937 twist of the 624 state words in place, in std::mt19937's order (the last word
  // reads the new first one).
  void (*mt_twist)(uint32_t* state);
  // out[i] = Temper(words[i]) for n words.
  void (*mt_temper)(uint32_t* out, const uint32_t* words, size_t n);
  // Mode 8's moves of `count` 2 × 2 blocks side by side (8 bytes apart) from `from` into `to`
  // (rows `from_pitch` and `to_pitch` bytes apart; the same place or apart): block i's colour
  // bytes rearranged by kShufflePermutations[draws[i] % 24], the alpha of each position kept.
  void (*shuffle_blocks)(uint8_t* to, size_t to_pitch, const uint8_t* from, size_t from_pitch,
                         const uint32_t* draws, size_t count);
};

const Kernels& ScalarKernels();
// The kernels of one instruction set (unsupported ones give the scalar kernels).
const Kernels& KernelsFor(PixelIsa isa);

#if defined(__x86_64__) || defined(__i386__)
namespace sse2 {
void Fill(Kernels& k);
}
namespace avx2 {
void Fill(Kernels& k);
}
#endif

}  // namespace korvel::effect_kernels
