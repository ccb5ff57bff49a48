// Layer resampling filters: bicubic (cubic convolution, a = -1) and two-pass Lanczos (a = 2).
#pragma once

#include <array>
#include <cstdint>

#include "pixel/pixel_kernels.h"

namespace korvel {

// The source rectangle of a resample in whole pixels: columns x0 .. x0 + span_x - 1 and rows
// y0 .. y0 + span_y - 1; parts outside the source image read nothing.
struct ResampleSource {
  const uint8_t* pixels = nullptr;
  int32_t width = 0, height = 0;  // the image
  int64_t x0 = 0, y0 = 0;
  int64_t span_x = 1, span_y = 1;
};

// 256 * k(i / 256) for i = 0..512 with k(x) = x^3 - 2x^2 + 1 (x < 1), -x^3 + 5x^2 - 8x + 4
// (1 <= x <= 2), truncated.
const std::array<int32_t, 513>& BicubicKernelTable();

// Source positions in 1/256 pixel from the rectangle's first column or row: entry i =
// ((i * 65536) / n * span) >> 8 for n destination entries.
void BuildSourceIndexTable(int32_t n, int64_t span, int64_t* table);

// Bicubic: destination pixel (x, y) takes source position (x0 + tx[x], y0 + ty[y]) (1/256 pixel)
// and its taps -1, 0, +1, +2, clamped into the image, weighted by the kernel table at their
// distances: out = clamp(round(sum(wx * wy * p) / (sum wx * sum wy)), 0, 255). Positions left of
// or above the image, or at or beyond its right or bottom edge, give 0.
// Runs on the installed instruction set; every instruction set gives the same bytes.
void ResampleBicubic(uint8_t* dst, int32_t dst_width, int32_t dst_height,
                     const ResampleSource& src);
// The same on a chosen instruction set (unsupported ones fall back to scalar).
void ResampleBicubicWith(PixelIsa isa, uint8_t* dst, int32_t dst_width, int32_t dst_height,
                         const ResampleSource& src);

// sin(pi x) / (pi x) with pi = 3.1415927410125732; 1 at 0.
double SincValue(double x);
// SincValue(x) * SincValue(x / 2) for |x| < 2, else 0.
double LanczosValue(double x);

// Lanczos, rows then columns. Per axis with s = min(r, 1), r = (dst - 1) / (src - 1) (src 1:
// r = dst; dst 1: centre (src - 1) / 2 and r = 1 / src): centre c = i / r, half-width h = 2 / s,
// taps floor(c - h) .. ceil(c + h) inside the rectangle and the image, weight =
// trunc(LanczosValue((c - j) * s) * 65536); out = clamp(round(sum(w p) / sum w), 0, 255) per
// channel, 0 when no tap is inside. Runs on the installed instruction set.
void ResampleLanczos(uint8_t* dst, int32_t dst_width, int32_t dst_height,
                     const ResampleSource& src);
void ResampleLanczosWith(PixelIsa isa, uint8_t* dst, int32_t dst_width, int32_t dst_height,
                         const ResampleSource& src);

}  // namespace korvel
