// Per-mask-byte weights for masked blends (rule images), rebuilt for each masked draw.
#pragma once

#include <cstdint>

namespace korvel {

// One signed weight per mask byte value (the blue byte of a mask pixel). Weights of 1 or less draw
// nothing; 256 draws the source at full strength.
struct MaskWeightTable {
  int32_t weight[256] = {};
};

// Fills the table from mask level L (clamped to 0..256), ramp r (the edge width; 256 is a hard
// edge; clamped to the 16-bit range) and opacity o (clamped to 0..256):
//   r = 256: weight[i] = 0 for i < 256 − L, else 256;
//   otherwise: weight[i] = min(((i·r) >> 1) + (r >> 1)·L − 128·r + L, 255) + 1 (no lower bound);
//   then weight[i] = (weight[i]·o) >> 8.
void BuildMaskWeightTable(MaskWeightTable& table, int32_t level, int32_t ramp, int32_t opacity);

// The value ranges every kernel works in (shared so every implementation clamps alike).
inline int32_t ClampOpacity(int32_t o) { return o < 0 ? 0 : (o > 256 ? 256 : o); }
inline int32_t ClampMaskLevel(int32_t level) { return level < 0 ? 0 : (level > 256 ? 256 : level); }
inline int32_t ClampMaskRamp(int32_t ramp) {
  return ramp < -32768 ? -32768 : (ramp > 32767 ? 32767 : ramp);
}
// A weight as the kernels use it: 0 (leave the pixel) for weights of 1 or less, at most 256.
inline int32_t EffectiveMaskWeight(int32_t w) { return w <= 1 ? 0 : (w > 256 ? 256 : w); }

}  // namespace korvel
