// Per-byte formulas of the blend modes (integer arithmetic; division truncates).
#include "pixel/blend_modes.h"

#include <cmath>

namespace korvel {

namespace {

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Soft light, K = 16384.0; square roots in double precision, conversions truncate.
int SoftLight(int s, int d) {
  const double root = std::sqrt(static_cast<double>(256 - d));
  int f;
  if (s < 128) {
    const int k = static_cast<int>(16384.0 - root);
    f = d + (((s - 128) * k) >> 15);
  } else if (d <= 32) {
    const int k = static_cast<int>(16384.0 - root * static_cast<double>(768 - 8 * d));
    f = d + (((s - 128) * k) >> 15);
  } else {
    const int k = static_cast<int>(16384.0 - root);
    f = d + (((s - 128) * k) >> 16);
  }
  return Clamp255(f);
}

int VividLight(int s, int d) {
  if (s < 128) {
    if (s == 0) return 0;
    const int v = 255 * (2 * s + d - 255) / (2 * s);
    return v < 0 ? 0 : v;
  }
  if (s == 255) return 255;
  const int v = 255 * d / (510 - 2 * s);
  return v > 255 ? 255 : v;
}

}  // namespace

uint8_t BlendModeFormula(int mode, int s, int d) {
  int f = s;
  switch (ClampBlendMode(mode)) {
    case kBlendNormal:
      f = s;
      break;
    case kBlendAdd:
      f = s + d > 255 ? 255 : s + d;
      break;
    case kBlendSubtract:
      f = s > d ? s - d : 0;
      break;
    case kBlendMultiply:
      f = s * d / 255;
      break;
    case kBlendDivide:
      if (d == 0) {
        f = s > 0 ? 255 : 0;
      } else {
        f = 255 * s / d;
        if (f > 255) f = 255;
      }
      break;
    case kBlendScreen:
      f = s + d - s * d / 255;
      break;
    case kBlendLighten:
      f = s > d ? s : d;
      break;
    case kBlendDarken:
      f = s < d ? s : d;
      break;
    case kBlendDifference:
      f = s > d ? s - d : d - s;
      break;
    case kBlendExclusion:
      f = s + d - 2 * (s * d / 255);
      break;
    case kBlendOverlay:
      if (d < 128) {
        f = 2 * s * d / 255;
      } else if (d == 128) {
        f = s;
      } else {
        f = 2 * d - 257 + s * (512 - 2 * d) / 255;
      }
      break;
    case kBlendColourDodge:
      f = 256 * d / (256 - s);
      if (f > 255) f = 255;
      break;
    case kBlendColourBurn:
      f = 255 - 256 * (255 - d) / (s + 1);
      if (f < 0) f = 0;
      break;
    case kBlendLinearBurn:
      f = Clamp255(s + d - 255);
      break;
    case kBlendHardLight:
      if (s < 128) {
        f = 2 * s * d / 255;
      } else if (s == 128) {
        f = d;
      } else {
        f = 2 * s - 257 + d * (512 - 2 * s) / 255;
      }
      break;
    case kBlendSoftLight:
      f = SoftLight(s, d);
      break;
    case kBlendVividLight:
      f = VividLight(s, d);
      break;
    case kBlendLinearLight:
      f = Clamp255(2 * s + d - 256);
      break;
    case kBlendPinLight:
      if (s < 128) {
        f = d < 2 * s ? d : 2 * s;
      } else {
        f = d > 2 * s - 255 ? d : 2 * s - 255;
      }
      break;
    default:
      break;
  }
  return static_cast<uint8_t>(f);
}

}  // namespace korvel
