// What the layer-to-layer pixel operations share: row addressing, a source read from a copy when
// it is also the destination, the clipped row walk, the area check and the change marks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/named_tree.h"
#include "layer/layer_copies.h"
#include "layer/layer_data.h"

namespace korvel {

inline uint8_t* Row(const LayerData* l, int64_t x, int64_t y) {
  return l->pixels + (static_cast<size_t>(y) * static_cast<size_t>(l->width) +
                      static_cast<size_t>(x)) * 4;
}

// A source whose pixels are also the destination's is read from a copy taken first, so a row
// written never feeds a later read.
struct SourceView {
  const LayerData* layer;
  LayerData copy{};
  std::vector<uint8_t> bytes;
  SourceView(const LayerData* source, const LayerData* dest);
};

// True when `image` covers the clipped source area; else reports 100310 naming both layers.
bool CoversArea(const NamedTreeNode* node, const LayerData* image, const NamedTreeNode* source_node,
                const ClipRect& c);

// Runs `row_fn(dest row, source row, pixels, row index)` over the clipped area; false when nothing
// is copied.
template <typename F>
bool ForClippedRows(const LayerData* source, LayerData* dest, const ClipRect& c, F&& row_fn) {
  if (c.width <= 0 || c.height <= 0) return false;
  for (int32_t r = 0; r < c.height; ++r) {
    row_fn(Row(dest, c.dest_x, int64_t{c.dest_y} + r), Row(source, c.source_x,
                                                             int64_t{c.source_y} + r),
           static_cast<size_t>(c.width), r);
  }
  return true;
}

// The layer's area is dirty up the tree and the frame has layer changes to compose.
void MarkChanged(NamedTreeNode* node);

// Installs a new pixel buffer of w × h in `out`, freeing the old one, and marks the layer wholly
// changed.
void InstallPixelsWhollyChanged(LayerData* out, uint8_t* pixels, int64_t w, int64_t h);

}  // namespace korvel
