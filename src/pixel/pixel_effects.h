// Pixel effect routines: colour operations, blurs, block shuffle, mosaic, waves, flips, fills and
// rectangle copies over BGRA buffers (pitch = width * 4).
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/pixel_kernels.h"

namespace korvel {

// One effect call. The rectangle x0..x1, y0..y1 is inclusive and inside the source image. Modes
// that cut write out(x - x0, y - y0) into `out` (pitch out_width); the whole-image modes (17, 22)
// write out(x, y), with out_width = width. `out` never shares pixels with `in`.
struct EffectCall {
  const uint8_t* in = nullptr;
  int32_t width = 0, height = 0;
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  uint8_t* out = nullptr;
  int32_t out_width = 0;
  int64_t a = 0, b = 0;
  uint8_t variant = 0;
  uint8_t has_alpha = 0;
  uint32_t (*next_random)() = nullptr;  // mode 8's generator
  // Optional: the next n numbers of next_random's sequence at once (leaving it where n calls
  // would).
  void (*fill_random)(uint32_t* out, size_t n) = nullptr;
};

// Runs effect `mode` on the installed instruction set; false for a mode without an effect
// (nothing written).
bool RunPixelEffect(uint8_t mode, const EffectCall& call);

// The same on one instruction set (tests and benchmarks; an unsupported one falls back to scalar).
// Every instruction set gives the reference's bytes.
bool RunPixelEffectOn(PixelIsa isa, uint8_t mode, const EffectCall& call);

// The plain routines, written as the formulas read: what the faster paths are checked against.
bool RunPixelEffectReference(uint8_t mode, const EffectCall& call);
void SaturatePixelsReference(uint8_t* pixels, int32_t width, int32_t height, int64_t a);

// True for the modes that keep the whole image (17 threshold, 22 fill).
inline bool EffectKeepsWholeImage(uint8_t mode) { return mode == 17 || (mode >= 22 && mode <= 24); }

// Mode 27 over a whole image in place (also the screen capture's saturation).
void SaturatePixels(uint8_t* pixels, int32_t width, int32_t height, int64_t a);

// The 24 orders of mode 8: for top-left, top-right, bottom-left, bottom-right, the gathered pixel
// taken (0 top-left .. 3 bottom-right).
extern const uint8_t kShufflePermutations[24][4];

}  // namespace korvel
