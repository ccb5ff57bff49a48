// Dirty-rectangle growth and the node swap of the draw command.
#include "layer/layer_tree_edits.h"

#include <algorithm>
#include <utility>

#include "layer/dirty_rects.h"
#include "layer/layer_record.h"

namespace korvel {

namespace {

void GrowRect(LayerData* l, const DirtyRect& box) {
  if (l->dirty_merge_count != 0 && l->compose_valid != 0) {
    DirtyRect& r = l->compose_rect;
    r.x0 = std::min(r.x0, box.x0);
    r.y0 = std::min(r.y0, box.y0);
    r.x1 = std::max(r.x1, box.x1);
    r.y1 = std::max(r.y1, box.y1);
    AddDirtyPart(l->compose_parts, box);
  } else {
    l->compose_rect = box;
    StartDirtyParts(l->compose_parts, box);
  }
  l->needs_redraw = 1;
  l->compose_valid = 1;
  ++l->dirty_merge_count;
}

}  // namespace

int32_t GrowLayerDirtyRect(NamedTreeNode* node) {
  LayerData* l = LayerOf(node);
  if (l == nullptr) return 0;
  GrowRect(l, WholeLayerRect(l));
  for (NamedTreeNode* child = node; child->parent != nullptr; child = child->parent) {
    LayerData* parent = LayerOf(child->parent);
    DirtyRect box;
    if (parent == nullptr || !LayerBox(LayerOf(child), &box)) break;
    GrowRect(parent, box);
  }
  return 0;
}

void SwapLayerNodes(NamedTreeNode* a, NamedTreeNode* b, int32_t what) {
  if (a == nullptr || b == nullptr || a == b) return;
  MarkDirtyUpward(a);
  MarkDirtyUpward(b);
  NamedTreeNode* pa = a->parent;
  NamedTreeNode* pb = b->parent;
  const int64_t ka = a->order_key, kb = b->order_key;
  UnlinkTreeNode(a);
  UnlinkTreeNode(b);
  std::swap(a->name, b->name);
  std::swap(a->name_length, b->name_length);
  const uint32_t ha = a->hash, hb = b->hash;
  a->hash = (ha & kGroupHashBit) | (hb & ~kGroupHashBit);
  b->hash = (hb & kGroupHashBit) | (ha & ~kGroupHashBit);
  InsertChildNode(pa, a, kb);
  InsertChildNode(pb, b, ka);
  LayerData* la = LayerOf(a);
  LayerData* lb = LayerOf(b);
  if (la != nullptr && lb != nullptr && la != lb && (what == 1 || what == 2)) {
    std::swap(la->x, lb->x);
    std::swap(la->y, lb->y);
    if (what == 2) {
      std::swap(la->visible, lb->visible);
      std::swap(la->opacity, lb->opacity);
      std::swap(la->mask_level, lb->mask_level);
      std::swap(la->mask_ramp, lb->mask_ramp);
      std::swap(la->blend_mode, lb->blend_mode);
    }
  }
  MarkDirtyUpward(a);
  MarkDirtyUpward(b);
  g_layer_state.layers_changed = 1;
}

}  // namespace korvel
