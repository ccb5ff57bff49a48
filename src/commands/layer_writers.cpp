// The layer side of the image writers.
#include "commands/layer_writers.h"

#include "image/image_writers.h"

namespace korvel {

namespace {

WritableImage ImageOf(const LayerData* layer) {
  if (layer == nullptr) return WritableImage{nullptr, 0, 0, 0};
  return WritableImage{layer->pixels, layer->width, layer->height, layer->has_alpha};
}

}  // namespace

int32_t WriteLayerBmp(const LayerData* layer, std::string_view root, std::string_view name) {
  return WriteImageBmp(ImageOf(layer), root, name);
}

int32_t WriteLayerPng(LayerData* layer, std::string_view root, std::string_view name,
                      int32_t level) {
  return WriteImagePng(ImageOf(layer), root, name, level);
}

int32_t WriteLayerJpeg(const LayerData* layer, std::string_view root, std::string_view name,
                       int32_t quality) {
  return WriteImageJpeg(ImageOf(layer), root, name, quality);
}

}  // namespace korvel
