// The GPU path runs on OpenGL through the platform's device, under Direct3D-era names.
// Layer images as tile textures: upload, release, layer quads and sprite paste.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"

namespace korvel {

// The upload's parameters (set by the sprite paste).
struct UploadRequest {
  const LayerData* source = nullptr;
  LayerData* dest = nullptr;
  int32_t width = 0, height = 0;
  float slot21 = 0, slot22 = 0;
  int32_t cap_width = 0, cap_height = 0;
};
int32_t UploadLayerTextures(UploadRequest* request, int32_t keep_existing);
int32_t ReleaseLayerTextures(LayerData* layer);
int32_t DrawLayerQuad(const LayerData* layer, int32_t visible, int32_t blend_mode,
                      const LayerData* second, const LayerData* third);
int32_t PasteSprite(NamedTreeNode* source, NamedTreeNode* dest);

}  // namespace korvel
