// The nineteen layer blend modes and their per-byte formulas F(s, d).
#pragma once

#include <cstdint>

namespace korvel {

enum BlendMode : int8_t {
  kBlendNormal = 0,
  kBlendAdd = 1,
  kBlendSubtract = 2,
  kBlendMultiply = 3,
  kBlendDivide = 4,
  kBlendScreen = 5,
  kBlendLighten = 6,
  kBlendDarken = 7,
  kBlendDifference = 8,
  kBlendExclusion = 9,
  kBlendOverlay = 10,
  kBlendColourDodge = 11,
  kBlendColourBurn = 12,
  kBlendLinearBurn = 13,
  kBlendHardLight = 14,
  kBlendSoftLight = 15,
  kBlendVividLight = 16,
  kBlendLinearLight = 17,
  kBlendPinLight = 18,
};

inline constexpr int kBlendModeCount = 19;

// A mode outside 0..18 reads as normal.
inline int ClampBlendMode(int mode) { return mode < 0 || mode >= kBlendModeCount ? 0 : mode; }

// F(s, d) of a mode (s the source byte, d the destination byte), 0..255; the tables are built
// from it. A mode outside 0..18 is normal.
uint8_t BlendModeFormula(int mode, int s, int d);

}  // namespace korvel
