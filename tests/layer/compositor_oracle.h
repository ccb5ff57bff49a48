// A naive compositor with the engine's rules: every layer is composed again from nothing, every
// child drawn over its whole area, no dirty rectangles and no occlusion. What the real compositor
// presents must always equal it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/named_tree.h"
#include "layer/layer_data.h"
#include "layer/layer_paths.h"
#include "pixel/blend_kernels.h"
#include "pixel/mask_weights.h"

namespace korvel::test {

struct OracleImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
};

inline bool OracleHasPixels(const LayerData* l) {
  return l != nullptr && l->pixels != nullptr && l->width >= 1 && l->height >= 1 &&
         l->width <= 8192 && l->height <= 8192;
}

// The layer of a mask path, or null for none (missing, or without pixels).
inline const LayerData* OracleMask(const LayerData* child) {
  if (child->mask_path == nullptr || child->mask_path[0] == '\0') return nullptr;
  LayerPath path;
  if (NormalizeLayerPath(child->mask_path, &path) != 0) return nullptr;
  const NamedTreeNode* node = FindLayerQuiet(path.text, path.group);
  const auto* mask = node != nullptr ? static_cast<const LayerData*>(node->payload) : nullptr;
  return OracleHasPixels(mask) ? mask : nullptr;
}

inline OracleImage OracleCompose(const NamedTreeNode* node) {
  const auto* layer = static_cast<const LayerData*>(node->payload);
  OracleImage out;
  out.width = layer->width;
  out.height = layer->height;
  out.pixels.assign(static_cast<size_t>(out.width) * out.height * 4, 0);
  for (const NamedTreeNode* c = node->first_child; c != nullptr; c = c->next_sibling) {
    const auto* child = static_cast<const LayerData*>(c->payload);
    if (!OracleHasPixels(child)) continue;
    // A group is composed on its own first and then drawn as an opaque image.
    OracleImage group;
    const uint8_t* source = child->pixels;
    bool alpha = child->has_alpha != 0;
    if (c->kind == kNodeGroup) {
      group = OracleCompose(c);
      source = group.pixels.data();
      alpha = false;
    }
    const bool has_mask_path = child->mask_path != nullptr && child->mask_path[0] != '\0';
    if (child->visible == 0 || child->opacity <= 0 || child->excluded != 0 ||
        (has_mask_path && child->mask_level <= 0)) {
      continue;
    }
    const LayerData* mask = OracleMask(child);
    const bool masked = mask != nullptr && child->mask_level < 256;
    // The child's area inside the layer.
    const int64_t x0 = std::max<int64_t>(child->x, 0);
    const int64_t y0 = std::max<int64_t>(child->y, 0);
    const int64_t x1 = std::min<int64_t>(child->x + int64_t{child->width}, out.width);
    const int64_t y1 = std::min<int64_t>(child->y + int64_t{child->height}, out.height);
    if (child->x >= out.width || child->y >= out.height || x0 >= x1 || y0 >= y1) continue;
    const BlendFamily family = masked ? (alpha ? BlendFamily::kMaskedAlpha : BlendFamily::kMasked)
                                      : (alpha ? BlendFamily::kAlpha : BlendFamily::kOpaque);
    const int32_t opacity = child->opacity;
    const BlendKernelEntry& kernel = LookupBlendKernel(family, child->blend_mode, opacity);
    MaskWeightTable weights;
    if (masked) BuildMaskWeightTable(weights, child->mask_level, child->mask_ramp, opacity);
    const size_t bytes = static_cast<size_t>(x1 - x0) * 4;
    for (int64_t y = y0; y < y1; ++y) {
      uint8_t* d = out.pixels.data() + (static_cast<size_t>(y) * out.width + x0) * 4;
      const size_t si = static_cast<size_t>(y - child->y) * child->width +
                        static_cast<size_t>(x0 - child->x);
      if (masked) {
        kernel.mask_span(d, source + si * 4, mask->pixels + si * 4, weights, child->mask_level,
                         child->mask_ramp, bytes);
      } else {
        kernel.span(d, source + si * 4, opacity, bytes);
      }
    }
  }
  return out;
}

}  // namespace korvel::test
