// Dirty rectangles of the layer tree.
#include "layer/dirty_rects.h"

#include <algorithm>

#include "layer/layer_record.h"

namespace korvel {

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
    } else {
      DirtyRect& r = parent->compose_rect;
      r.x0 = std::min(r.x0, box.x0);
      r.y0 = std::min(r.y0, box.y0);
      r.x1 = std::max(r.x1, box.x1);
      r.y1 = std::max(r.y1, box.y1);
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
  f.x0 = std::min(f.x0, c.x0);
  f.y0 = std::min(f.y0, c.y0);
  f.x1 = std::max(f.x1, c.x1);
  f.y1 = std::max(f.y1, c.y1);
  if (layer->resized != 0) {
    layer->resized = 0;
    f = WholeLayerRect(layer);
  }
}

void ResetLayerDirtyRects(NamedTreeNode* first) {
  for (NamedTreeNode* node = first; node != nullptr; node = node->next_sibling) {
    if (LayerData* layer = LayerOf(node)) {
      layer->dirty_merge_count = 0;
      layer->needs_redraw = 0;
      layer->compose_valid = 0;
      layer->frame_rect = EmptyDirtyRect();
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
