// Rotation of an image about its centre in 16.16 fixed point (nearest neighbour).
#pragma once

#include <cstdint>

namespace korvel {

// The 16.16 steps of an angle: trunc(sin * 65536), trunc(cos * 65536) of the angle (degrees,
// taken modulo 360 keeping its sign) converted with pi = 3.1415926535.
struct RotationSteps {
  int64_t remainder = 0;  // angle % 360
  int64_t sin = 0, cos = 0;
};
RotationSteps RotationStepsOf(int64_t angle);

// Rotates `in` (width x height) into `out` (same size, distinct pixels). Destination (x, y) reads
// source ((dx cos - dy sin + 0x8000) >> 16 + cx, (dx sin + dy cos + 0x8000) >> 16 + cy) with
// dx = x - cx, dy = y - cy, centre (width / 2, height / 2): the 16.16 position rounded to the
// nearest pixel, so a quarter turn is an exact permutation. Sources outside the image give 0.
// Remainder 0 copies; +-180 reflects exactly. mode 11 tests each pixel; mode 12 finds each row's
// inside span first and copies it without tests (a negative remainder copies). Returns false for
// other modes (nothing written).
bool RotatePixels(uint8_t* out, const uint8_t* in, int32_t width, int32_t height, int64_t angle,
                  int32_t mode);

}  // namespace korvel
