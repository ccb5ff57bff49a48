// Dirty rectangles of the layer tree.
#include "layer/dirty_rects.h"

#include <algorithm>

#include "layer/layer_record.h"

namespace korvel {

namespace {

DirtyRect Union(const DirtyRect& a, const DirtyRect& b) {
  return DirtyRect{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1),
                   std::max(a.y1, b.y1)};
}

// Overlapping or side by side (no gap between them).
bool Touch(const DirtyRect& a, const DirtyRect& b) {
  return a.x0 <= SaturatingAdd(b.x1, 1) && b.x0 <= SaturatingAdd(a.x1, 1) &&
         a.y0 <= SaturatingAdd(b.y1, 1) && b.y0 <= SaturatingAdd(a.y1, 1);
}

// Area as a double: boxes are script values and can span the whole 64-bit range.
double Area(const DirtyRect& r) {
  return (static_cast<double>(r.x1) - static_cast<double>(r.x0) + 1) *
         (static_cast<double>(r.y1) - static_cast<double>(r.y0) + 1);
}

void RemovePart(DirtyParts& parts, int i) {
  parts.rects[i] = parts.rects[parts.count - 1];
  --parts.count;
}

}  // namespace

void StartDirtyParts(DirtyParts& parts, const DirtyRect& box) {
  parts.count = 1;
  parts.rects[0] = box;
}

void AddDirtyPart(DirtyParts& parts, const DirtyRect& box) {
  if (parts.count == 0 || DirtyRectEmpty(box)) return;
  DirtyRect grown = box;
  for (;;) {
    int merge = -1;
    for (int i = 0; i < parts.count; ++i) {
      if (Touch(parts.rects[i], grown)) {
        merge = i;
        break;
      }
    }
    if (merge < 0 && parts.count == kDirtyPartCapacity) {
      double least = 0;
      for (int i = 0; i < parts.count; ++i) {
        const DirtyRect& p = parts.rects[i];
        const double growth = Area(Union(p, grown)) - Area(p);
        if (merge < 0 || growth < least) {
          merge = i;
          least = growth;
        }
      }
    }
    if (merge < 0) break;
    // The merged box may now touch parts it did not touch before: look again.
    grown = Union(grown, parts.rects[merge]);
    RemovePart(parts, merge);
  }
  parts.rects[parts.count++] = grown;
}

bool DirtyPartsSplit(const DirtyParts& parts, const DirtyRect& bounds) {
  if (parts.count < 2) return false;
  DirtyRect span = parts.rects[0];
  for (int i = 1; i < parts.count; ++i) span = Union(span, parts.rects[i]);
  return span.x0 == bounds.x0 && span.y0 == bounds.y0 && span.x1 == bounds.x1 &&
         span.y1 == bounds.y1;
}

int32_t MarkDirtyUpward(NamedTreeNode* node) {
  for (NamedTreeNode* child = node; child != nullptr && child->parent != nullptr;
       child = child->parent) {
    const LayerData* layer = LayerOf(child);
    LayerData* parent = LayerOf(child->parent);
    DirtyRect box;
    if (layer == nullptr || parent == nullptr || !LayerBox(layer, &box)) break;
    const bool overlaps = box.x0 < parent->width && box.y0 < parent->height && box.x1 >= 0 &&
                          box.y1 >= 0;
    if (!overlaps) continue;
    parent->needs_redraw = 1;
    if (parent->dirty_merge_count == 0 || parent->compose_valid == 0) {
      parent->compose_rect = box;
      parent->compose_valid = 1;
      ++parent->dirty_merge_count;
      StartDirtyParts(parent->compose_parts, box);
    } else {
      parent->compose_rect = Union(parent->compose_rect, box);
      AddDirtyPart(parent->compose_parts, box);
    }
  }
  return 0;
}

void MarkSubtreeWhollyChanged(NamedTreeNode* node) {
  if (LayerData* layer = LayerOf(node)) MarkLayerWhollyChanged(layer);
  for (NamedTreeNode* c = node->first_child; c != nullptr; c = c->next_sibling) {
    if (c->kind == kNodeGroup) MarkSubtreeWhollyChanged(c);
  }
}

void MergeIntoFrameRect(LayerData* layer) {
  DirtyRect& f = layer->frame_rect;
  const DirtyRect& c = layer->compose_rect;
  const DirtyParts& cp = layer->compose_parts;
  const bool split = DirtyPartsSplit(cp, c);
  if (DirtyRectEmpty(f)) {
    if (split) {
      layer->frame_parts = cp;
    } else {
      StartDirtyParts(layer->frame_parts, c);
    }
  } else if (split) {
    for (int i = 0; i < cp.count; ++i) AddDirtyPart(layer->frame_parts, cp.rects[i]);
  } else {
    AddDirtyPart(layer->frame_parts, c);
  }
  f = Union(f, c);
  if (layer->resized != 0) {
    layer->resized = 0;
    f = WholeLayerRect(layer);
    ForgetDirtyParts(layer->frame_parts);
  }
}

void ResetLayerDirtyRects(NamedTreeNode* first) {
  for (NamedTreeNode* node = first; node != nullptr; node = node->next_sibling) {
    if (LayerData* layer = LayerOf(node)) {
      layer->dirty_merge_count = 0;
      layer->needs_redraw = 0;
      layer->compose_valid = 0;
      layer->frame_rect = EmptyDirtyRect();
      ForgetDirtyParts(layer->frame_parts);
      ForgetDirtyParts(layer->compose_parts);
    }
    if (node->kind == kNodeGroup && node->first_child != nullptr) {
      ResetLayerDirtyRects(node->first_child);
    }
  }
}

void ResetAllLayerDirtyRects() { ResetLayerDirtyRects(g_layer_tree.root); }

void SweepLayerTreeChanges(NamedTreeNode* first) {
  for (NamedTreeNode* node = first; node != nullptr; node = node->next_sibling) {
    if (LayerData* layer = LayerOf(node)) {
      bool changed = false;
      if (layer->pending_visible_flag != 0) {
        layer->pending_visible_flag = 0;
        if (layer->pending_visible != layer->visible) {
          layer->visible = layer->pending_visible;
          changed = true;
        }
      }
      if (layer->pending_opacity_flag != 0) {
        layer->pending_opacity_flag = 0;
        if (layer->pending_opacity != layer->opacity) {
          layer->opacity = layer->pending_opacity;
          changed = true;
        }
      }
      if (changed) {
        g_layer_state.layers_changed = 1;
        MarkDirtyUpward(node);
      }
    }
    if (node->kind == kNodeGroup && node->first_child != nullptr) {
      SweepLayerTreeChanges(node->first_child);
    }
  }
}

void SweepLayerChanges() {
  if (g_layer_tree.root != nullptr) SweepLayerTreeChanges(g_layer_tree.root->first_child);
}

}  // namespace korvel
