// Builds the mask weight table used by the masked blend kernels.
#include "pixel/mask_weights.h"

#include <cstdint>

namespace korvel {

void BuildMaskWeightTable(MaskWeightTable& table, int32_t level, int32_t ramp, int32_t opacity) {
  const int32_t l = ClampMaskLevel(level);
  const int32_t r = ClampMaskRamp(ramp);
  const int32_t o = ClampOpacity(opacity);
  for (int32_t i = 0; i < 256; ++i) {
    int32_t w;
    if (r == 256) {
      w = i < 256 - l ? 0 : 256;
    } else {
      const int32_t raw = ((i * r) >> 1) + (r >> 1) * l - r * 128 + l;
      w = (raw < 255 ? raw : 255) + 1;
    }
    table.weight[i] = static_cast<int32_t>((static_cast<int64_t>(w) * o) >> 8);
  }
}

}  // namespace korvel
