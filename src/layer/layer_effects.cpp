// The effect dispatcher: buffer handling around the pixel effect routines.
#include "layer/layer_effects.h"

namespace korvel {

int32_t ApplyCGEffect(uint8_t, NamedTreeNode*, NamedTreeNode*, int64_t, int64_t, int64_t, int64_t,
                      int64_t, int64_t, int32_t, uint8_t) {
  return 0;
}

int32_t RotateLayerCG(NamedTreeNode*, NamedTreeNode*, int64_t, int64_t, int64_t, int64_t, int64_t,
                      int32_t, int32_t) {
  return 0;
}

int32_t CopyScaleCGRect(NamedTreeNode*, NamedTreeNode*, int64_t, int64_t, int64_t, int64_t,
                        int64_t, int64_t, int32_t, int32_t) {
  return 0;
}

void SeedEffectRandom(uint32_t) {}

}  // namespace korvel
