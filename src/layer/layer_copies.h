// Layer-to-layer copies of the draw command: clipping a placed source, plain, blended and masked
// copies, differing and equal pixel copies.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"

namespace korvel {

// Placing a whole source of sw × sh at (x, y) in a destination of W × H: where the copy reads and
// writes and how much. Width or height of 0 or less: nothing is copied.
struct ClipRect {
  int32_t source_x, source_y, dest_x, dest_y, width, height;
  int32_t code;  // 8: x + sw > W, 4: x < 0, 2: y + sh > H, 1: y < 0
};

// The clip state the copies leave (one instance; script thread only).
extern ClipRect g_clip_rect;

// Fills `out` (64-bit arithmetic: positions are raw script values) and returns it.
ClipRect ClipPlacement(int64_t sw, int64_t sh, int64_t dw, int64_t dh, int64_t x, int64_t y);
// ClipPlacement of the source record's size in the destination record, into g_clip_rect.
const ClipRect& ClipLayerRect(const LayerData* source, const LayerData* dest, int64_t x, int64_t y);

// The copies: 0, or -1 after a reported failure (a mask image smaller than the area read is
// 100310). Each sets the destination's has-alpha (the plain copy only when it copies).
// When source and destination hold the same pixels the source is read from a temporary copy.
int32_t CopyLayerCGRect(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y);
int32_t BlendLayerCGRect(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y);
int32_t MaskCopyLayerCGRect(NamedTreeNode* source, NamedTreeNode* mask, NamedTreeNode* dest,
                            int64_t x, int64_t y, int64_t level);
int32_t CopyDifferingPixels(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y);
int32_t CopyEqualPixels(NamedTreeNode* source, NamedTreeNode* dest, int64_t x, int64_t y);

}  // namespace korvel
