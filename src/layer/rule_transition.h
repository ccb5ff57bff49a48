// The rule-image transition of the draw command: a "from" and a "to" image mixed per pixel by a
// ramp over the rule image's blue byte.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "pixel/mask_weights.h"

namespace korvel {

// The rule transition's ramp (shared with the compositor's mask weights; never used at once).
extern MaskWeightTable g_rule_weights;

// 0, or -1 after a reported failure (a rule or "to" image smaller than the area read is 100310).
// Sets the destination's has-alpha.
int32_t RuleTransitionLayerCG(NamedTreeNode* from, NamedTreeNode* to, NamedTreeNode* rule,
                              NamedTreeNode* dest, int64_t x, int64_t y, int64_t progress,
                              int64_t vagueness);

// The ramp of the rule transition for t = 256 − progress (2..255) and vagueness V.
void BuildRuleRamp(MaskWeightTable& table, int64_t t, int64_t vagueness);

}  // namespace korvel
