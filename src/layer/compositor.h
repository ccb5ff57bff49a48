// The compositor: redraws the dirty part of a layer from its children, bottom-up, blending each
// child into its parent's pixels in row bands on the worker pool.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"
#include "pixel/mask_weights.h"
#include "pixel/pixel_image.h"

namespace korvel {

struct WorkerPool;

inline constexpr int kMaxWindows = 4;  // the engine's four windows

// Group layers nested deeper than this are left as they are (paths are at most 4095 bytes, so a
// script could otherwise nest about two thousand groups).
inline constexpr int32_t kMaxComposeDepth = 256;

// Clips of at most this many pixels are blended on the posting thread: waking the workers costs
// more than blending them.
inline constexpr int64_t kInlineBlendPixels = 131072;

// The compositor's globals: one compose runs at a time, and the posting thread waits for every
// worker before it touches them again.
struct CompositorState {
  WorkerPool* pool = nullptr;  // null: the engine's pool
  MaskWeightTable weights;     // rebuilt for each masked child
  BlitClip clip;               // the child being drawn
  int64_t inline_pixels = kInlineBlendPixels;  // 0: every clip goes to the workers
  // Per window: frames went by without composing its root (hidden root or closed window), so
  // their changes are lost; the next compose takes the whole tree.
  uint8_t root_skipped[kMaxWindows] = {};
};

extern CompositorState g_compositor;

// Resets the compositor's state (the pool becomes the engine's).
void InitCompositor();

// Composes one layer from its children inside its compose rectangle. `nested` is 1 when the
// compositor recurses into a child group (the group's pixels are then blended as an opaque
// image), `depth` counts the recursion. 0 on success or when there was nothing to do, -1 after a
// reported error (mask size mismatch) or a mask path that cannot be normalised.
int32_t ComposeLayerTree(NamedTreeNode* node, int32_t nested, int32_t depth);
inline int32_t ComposeLayerSubtree(NamedTreeNode* node, int32_t nested) {
  return ComposeLayerTree(node, nested, 0);
}

// The frame step's hook: composes the window's root layer when the window is open, its root layer
// shown and flagged for redraw; a root that missed frames is composed whole. Non-zero asks for
// quitting (-1 when composing failed).
int RenderWindowIfDirty(int window);

// Whether `child` hides everything below it inside `rect` (the parent's compose rectangle): shown,
// drawable (not excluded, with pixels), normal blend, opacity 256, no alpha, no mask in effect, and
// covering the rectangle.
bool IsOccludingChild(const LayerData* child, const DirtyRect& rect);

}  // namespace korvel
