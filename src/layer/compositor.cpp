// The compositor.
#include "layer/compositor.h"

#include <algorithm>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/window_record.h"
#include "layer/compositor_jobs.h"
#include "layer/dirty_rects.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"

namespace korvel {

CompositorState g_compositor;

static_assert(kMaxWindows == kWindowCount);

namespace {

constexpr int32_t kErrorMaskSize = 100310;

WorkerPool& Pool() { return g_compositor.pool != nullptr ? *g_compositor.pool : g_worker_pool; }

// The compose rectangle clamped into the layer (each coordinate to 0..side - 1).
DirtyRect ClampIntoLayer(const DirtyRect& r, const LayerData* layer) {
  const int64_t xm = int64_t{layer->width} - 1;
  const int64_t ym = int64_t{layer->height} - 1;
  return DirtyRect{std::clamp<int64_t>(r.x0, 0, xm), std::clamp<int64_t>(r.y0, 0, ym),
                   std::clamp<int64_t>(r.x1, 0, xm), std::clamp<int64_t>(r.y1, 0, ym)};
}

bool HasMaskPath(const LayerData* layer) {
  return layer->mask_path != nullptr && layer->mask_path[0] != '\0';
}

// Zero-fills rows y0..y1 of the layer from x0 to x1 (all four bytes).
void ZeroRect(LayerData* layer, const DirtyRect& r) {
  const size_t bytes = static_cast<size_t>(r.x1 - r.x0 + 1) * 4;
  for (int64_t y = r.y0; y <= r.y1; ++y) {
    uint8_t* row =
        layer->pixels + (static_cast<size_t>(y) * static_cast<size_t>(layer->width) +
                         static_cast<size_t>(r.x0)) * 4;
    g_pixel_kernels.zero_row(row, bytes);
  }
}

// The part of the child (its box `box` in the parent) inside the rectangle, from the edge code.
BlitClip ClipChild(const DirtyRect& box, const DirtyRect& r, int32_t width, int32_t height) {
  BlitClip c;
  const bool left = box.x0 < r.x0, top = box.y0 < r.y0;
  const bool right = box.x1 > r.x1, bottom = box.y1 > r.y1;
  c.source_x = left ? static_cast<int32_t>(r.x0 - box.x0) : 0;
  c.dest_x = static_cast<int32_t>(left ? r.x0 : box.x0);
  c.width = static_cast<int32_t>(left && right ? r.x1 - r.x0 + 1
                                 : left        ? box.x1 + 1 - r.x0
                                 : right       ? r.x1 + 1 - box.x0
                                               : width);
  c.source_y = top ? static_cast<int32_t>(r.y0 - box.y0) : 0;
  c.dest_y = static_cast<int32_t>(top ? r.y0 : box.y0);
  c.height = static_cast<int32_t>(top && bottom ? r.y1 - r.y0 + 1
                                  : top         ? box.y1 + 1 - r.y0
                                  : bottom      ? r.y1 + 1 - box.y0
                                                : height);
  return c;
}

// The node of a child's mask layer, or null for none (no path, no such layer, or a layer without
// pixels: that is no mask). -1 when the path cannot be normalised.
int32_t FindMaskNode(const LayerData* child, const NamedTreeNode** mask) {
  *mask = nullptr;
  if (!HasMaskPath(child)) return 0;
  LayerPath path;
  if (NormalizeLayerPath(child->mask_path, &path) != 0) return -1;
  const NamedTreeNode* found = FindLayerQuiet(path.text, path.group);
  if (LayerHasPixels(LayerOf(found))) *mask = found;
  return 0;
}

// Blends one child into the parent inside the rectangle. 0, or -1 after a reported error.
int32_t BlendChild(LayerData* parent, const NamedTreeNode* node, LayerData* child,
                   const DirtyRect& r) {
  DirtyRect box;
  if (!LayerBox(child, &box)) return 0;
  const NamedTreeNode* mask_node = nullptr;
  if (FindMaskNode(child, &mask_node) != 0) return -1;
  const LayerData* mask = LayerOf(mask_node);
  const bool masked = mask != nullptr && child->mask_level < 256;
  if (masked && (mask->width != child->width || mask->height != child->height)) {
    ReportError(kErrorMaskSize, true, node->name, child->width, child->height, mask_node->name,
                mask->width, mask->height);
    return -1;
  }

  g_compositor.clip = ClipChild(box, r, child->width, child->height);
  BlendBandJob job;
  job.clip = g_compositor.clip;
  job.parent = PixelImage{parent->pixels, parent->width, parent->height};
  job.child = ConstPixelImage{child->pixels, child->width, child->height};
  job.blend_mode = child->blend_mode;
  job.opacity = ClampOpacity(child->opacity);
  job.mask_level = ClampMaskLevel(child->mask_level);
  job.mask_ramp = child->mask_ramp;
  BlendJobKind kind;
  if (masked) {
    kind = child->has_alpha != 0 ? BlendJobKind::kMaskedAlpha : BlendJobKind::kMasked;
    BuildMaskWeightTable(g_compositor.weights, job.mask_level, job.mask_ramp, job.opacity);
    job.mask = ConstPixelImage{mask->pixels, mask->width, mask->height};
    job.weights = &g_compositor.weights;
  } else {
    kind = child->has_alpha != 0 ? BlendJobKind::kAlpha : BlendJobKind::kOpaque;
  }
  // The clip lies inside both buffers by construction; a refused band draws nothing.
  if (int64_t{job.clip.width} * job.clip.height <= g_compositor.inline_pixels) {
    job.first_row = 0;
    job.end_row = job.clip.height;
    BlendBand(BlendFamilyOf(kind), job);
  } else {
    PostBlendJob(Pool(), kind, job);
  }
  child->composed = 1;
  return 0;
}

// Whether a child takes part in blending at all (before the rectangle test).
bool ChildIsDrawn(const LayerData* child) {
  if (child->visible == 0 || child->opacity <= 0 || child->excluded != 0) return false;
  if (HasMaskPath(child) && child->mask_level <= 0) return false;
  return LayerHasPixels(child);
}

bool OutsideRect(const DirtyRect& box, const DirtyRect& r) {
  return box.x0 > r.x1 || box.y0 > r.y1 || box.x1 < r.x0 || box.y1 < r.y0;
}

}  // namespace

void InitCompositor() { g_compositor = CompositorState{}; }

bool IsOccludingChild(const LayerData* child, const DirtyRect& r) {
  if (child == nullptr || child->visible == 0 || child->blend_mode != 0 ||
      child->opacity != 256 || child->has_alpha != 0 || child->excluded != 0 ||
      !LayerHasPixels(child)) {
    return false;
  }
  if (HasMaskPath(child) && child->mask_level < 256) return false;
  DirtyRect box;
  if (!LayerBox(child, &box)) return false;
  return box.x0 <= r.x0 && box.y0 <= r.y0 && box.x1 >= r.x1 && box.y1 >= r.y1;
}

namespace {

// Redraws one rectangle of the layer from its children. With `compose_groups` the child groups are
// brought up to date on the way (the caller did it already otherwise).
int32_t ComposeRect(NamedTreeNode* node, LayerData* layer, const DirtyRect& r, int32_t depth,
                    bool compose_groups) {
  // The topmost child that hides everything below it inside the rectangle starts the drawing.
  NamedTreeNode* start = nullptr;
  for (NamedTreeNode* c = node->last_child; c != nullptr; c = c->prev_sibling) {
    if (IsOccludingChild(LayerOf(c), r)) {
      start = c;
      break;
    }
  }
  if (start == nullptr) {
    ZeroRect(layer, r);
    start = node->first_child;
  }
  // Groups below the starting child are not drawn now, but their own buffers are brought up to
  // date: their dirty state ends with this frame, and a later frame may show them again.
  for (NamedTreeNode* c = node->first_child; c != start && compose_groups; c = c->next_sibling) {
    if (c->kind == kNodeGroup) ComposeLayerTree(c, 1, depth + 1);
  }
  for (NamedTreeNode* c = start; c != nullptr; c = c->next_sibling) {
    if (c->kind == kNodeGroup && compose_groups) ComposeLayerTree(c, 1, depth + 1);
    LayerData* child = LayerOf(c);
    if (child == nullptr || !ChildIsDrawn(child)) continue;
    DirtyRect box;
    if (!LayerBox(child, &box) || OutsideRect(box, r)) continue;
    if (BlendChild(layer, c, child, r) != 0) return -1;
  }
  return 0;
}

}  // namespace

int32_t ComposeLayerTree(NamedTreeNode* node, int32_t nested, int32_t depth) {
  LayerData* layer = LayerOf(node);
  if (layer == nullptr) return 0;
  layer->has_alpha = nested != 0 ? 0 : 1;
  if (!LayerHasPixels(layer) || layer->compose_valid == 0 || depth > kMaxComposeDepth) return 0;

  // Parts are checked against the rectangle before clamping: whatever widened the rectangle
  // without them left them stale.
  DirtyParts& parts = layer->compose_parts;
  const bool split = DirtyPartsSplit(parts, layer->compose_rect);
  const DirtyRect r = ClampIntoLayer(layer->compose_rect, layer);
  layer->compose_rect = r;
  if (DirtyRectEmpty(r)) return 0;
  if (split) {
    for (int i = 0; i < parts.count; ++i) parts.rects[i] = ClampIntoLayer(parts.rects[i], layer);
  } else {
    ForgetDirtyParts(parts);
  }
  MergeIntoFrameRect(layer);
  if (!split) return ComposeRect(node, layer, r, depth, true);

  // Far-apart changes are redrawn one part at a time, so the untouched pixels between them are
  // neither redrawn nor shown again. Every child group is brought up to date once, first.
  for (NamedTreeNode* c = node->first_child; c != nullptr; c = c->next_sibling) {
    if (c->kind == kNodeGroup) ComposeLayerTree(c, 1, depth + 1);
  }
  for (int i = 0; i < parts.count; ++i) {
    if (ComposeRect(node, layer, parts.rects[i], depth, false) != 0) return -1;
  }
  return 0;
}

int RenderWindowIfDirty(int window) {
  const int quit = QuitRequested() ? 1 : 0;
  if (window < 0 || window >= kWindowCount) return quit;
  const WindowRecord* w = g_windows[window];
  if (w == nullptr || w->root_layer == nullptr) return quit;
  LayerData* root = LayerOf(w->root_layer);
  if (root == nullptr) return quit;
  uint8_t& skipped = g_compositor.root_skipped[window];
  if (w->handle == platform::kNoWindow || root->visible == 0) {
    skipped = 1;
    return quit;
  }
  if (skipped != 0) {
    skipped = 0;
    MarkSubtreeWhollyChanged(w->root_layer);
  }
  if (root->needs_redraw != 0 && ComposeLayerTree(w->root_layer, 0, 0) != 0) return -1;
  return QuitRequested() ? 1 : 0;
}

}  // namespace korvel
