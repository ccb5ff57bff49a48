// The rule-image transition.
#include "layer/rule_transition.h"

#include <algorithm>

#include "layer/layer_copies.h"
#include "layer/layer_record.h"
#include "layer/layer_rows.h"
#include "pixel/pixel_kernels.h"
#include "pixel/rule_mix.h"

namespace korvel {

MaskWeightTable g_rule_weights{};

// V ≠ 256: base = (V >> 1)·t − 128·V + t; weight[i] = min(((i·V) >> 1) + base, 255) + 1 in 64
// bits, stored no lower than 0 (weights below 2 count as 0 anyway). V = 256: n = 256 − t, weight
// 0 below n and 256 from n on.
void BuildRuleRamp(MaskWeightTable& table, int64_t t, int64_t vagueness) {
  if (vagueness == 256) {
    const int64_t n = 256 - t;
    for (int i = 0; i < 256; ++i) table.weight[i] = i < n ? 0 : 256;
    return;
  }
  // |V| may be anything a script holds. Beyond 2^40 every weight is already decided: where
  // i + t − 256 ≠ 0 the term V·(i + t − 256)/2 drives it past the 0..255 range, and where it is 0
  // the weight depends only on V's parity. So V is brought into ±2^40 keeping its parity, and the
  // 64-bit products cannot overflow.
  constexpr int64_t kLimit = int64_t{1} << 40;
  int64_t v = vagueness;
  if (v > kLimit) v = kLimit + (v & 1);
  if (v < -kLimit) v = -kLimit + (v & 1);
  const int64_t base = (v >> 1) * t - 128 * v + t;
  for (int64_t i = 0; i < 256; ++i) {
    const int64_t raw = ((i * v) >> 1) + base;
    const int64_t capped = raw > 255 ? 255 : raw;
    table.weight[i] = static_cast<int32_t>(capped < -1 ? 0 : capped + 1);
  }
}

// Mix per pixel with w = weight[rule blue byte]: w < 2 → the "to" pixel; else every byte
// to − (((to − from)·w) >> 8) (arithmetic shift), so w = 256 is the "from" pixel.
int32_t RuleTransitionLayerCG(NamedTreeNode* from, NamedTreeNode* to, NamedTreeNode* rule,
                              NamedTreeNode* dest, int64_t x, int64_t y, int64_t progress,
                              int64_t vagueness) {
  const LayerData* f = LayerOf(from);
  LayerData* d = LayerOf(dest);
  if (!LayerHasPixels(f) || !LayerHasPixels(d)) return 0;
  const ClipRect c = ClipLayerRect(f, d, x, y);
  d->has_alpha = 1;
  if (c.width <= 0 || c.height <= 0) return 0;
  const int64_t t = 256 - std::clamp<int64_t>(progress, 0, 255);
  const LayerData* tl = LayerOf(to);
  const LayerData* rl = LayerOf(rule);
  const size_t bytes = static_cast<size_t>(c.width) * 4;
  const auto copy_from = [&](const LayerData* image) {
    const SourceView view(image, d);
    ForClippedRows(view.layer, d, c, [bytes](uint8_t* dr, const uint8_t* sr, size_t, int32_t) {
      g_pixel_kernels.copy_row(dr, sr, bytes);
    });
  };
  if (t == 256) {
    copy_from(f);
  } else if (t < 2) {
    if (!LayerHasPixels(tl)) return 0;
    if (!CoversArea(to, tl, from, c)) return -1;
    copy_from(tl);
  } else {
    if (!LayerHasPixels(tl) || !LayerHasPixels(rl)) return 0;
    if (!CoversArea(to, tl, from, c) || !CoversArea(rule, rl, from, c)) return -1;
    BuildRuleRamp(g_rule_weights, t, vagueness);
    const SourceView fv(f, d), tv(tl, d), rv(rl, d);
    for (int32_t r = 0; r < c.height; ++r) {
      const int64_t sy = int64_t{c.source_y} + r;
      RuleMixRow(Row(d, c.dest_x, int64_t{c.dest_y} + r), Row(fv.layer, c.source_x, sy),
                 Row(tv.layer, c.source_x, sy), Row(rv.layer, c.source_x, sy), g_rule_weights,
                 static_cast<size_t>(c.width));
    }
  }
  MarkChanged(dest);
  return 0;
}

}  // namespace korvel
