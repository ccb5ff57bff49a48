// A layer's pixels written as a BMP, PNG or JPEG file (the file command's image export).
#pragma once

#include <cstdint>
#include <string_view>

#include "layer/layer_data.h"

namespace korvel {

// `name` is a script path below `root` that already carries its extension. 0, -1 (the file
// cannot be made, a write failed, or the layer has no pixels: then no file is touched) or, for
// JPEG, -2 on a library error. The PNG writer makes a layer without alpha opaque first.
int32_t WriteLayerBmp(const LayerData* layer, std::string_view root, std::string_view name);
int32_t WriteLayerPng(LayerData* layer, std::string_view root, std::string_view name,
                      int32_t level);
int32_t WriteLayerJpeg(const LayerData* layer, std::string_view root, std::string_view name,
                       int32_t quality);

}  // namespace korvel
