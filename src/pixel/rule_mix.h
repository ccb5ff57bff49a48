// The rule-transition row mix: two images blended per pixel by a weight looked up from a rule
// image's blue byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/mask_weights.h"

namespace korvel {

// Per pixel, w = weights[rule blue byte]: w < 2 → out takes the "to" pixel; otherwise every byte
// out = to − (((to − from)·w) >> 8) (arithmetic shift, kept as a byte), so w = 256 is "from".
// `out` may be the same row as any input (each pixel is read before it is written).
void RuleMixRowScalar(uint8_t* out, const uint8_t* from, const uint8_t* to, const uint8_t* rule,
                      const MaskWeightTable& weights, size_t pixels);
// The same, on the best instruction set installed (byte-exact with the scalar routine).
void RuleMixRow(uint8_t* out, const uint8_t* from, const uint8_t* to, const uint8_t* rule,
                const MaskWeightTable& weights, size_t pixels);

}  // namespace korvel
