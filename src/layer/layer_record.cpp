// Layer-wide state and the small rules shared by every layer operation.
#include "layer/layer_record.h"

#include <cstring>

#include "core/shift_jis.h"
#include "image/gif_frames.h"

namespace korvel {

LayerState g_layer_state;

void InitLayerState() {
  g_layer_state = LayerState{};
}

size_t LayerBufferBytes(int64_t width, int64_t height) {
  if (width < 1 || height < 1 || width > kMaxLayerSide || height > kMaxLayerSide) return 0;
  const size_t row = static_cast<size_t>(width) * 4;
  return row * (static_cast<size_t>(height) + 1) + 4;
}

bool LayerHasPixels(const LayerData* layer) {
  return layer != nullptr && layer->pixels != nullptr && layer->width >= 1 &&
         layer->height >= 1 && layer->width <= kMaxLayerSide && layer->height <= kMaxLayerSide;
}

bool LayerBox(const LayerData* layer, DirtyRect* box) {
  if (layer->width < 1 || layer->height < 1) return false;
  box->x0 = layer->x;
  box->y0 = layer->y;
  box->x1 = SaturatingAdd(layer->x, int64_t{layer->width} - 1);
  box->y1 = SaturatingAdd(layer->y, int64_t{layer->height} - 1);
  return true;
}

void MarkLayerWhollyChanged(LayerData* layer) {
  layer->compose_rect = WholeLayerRect(layer);
  layer->compose_parts.count = 0;
  layer->compose_valid = 1;
  layer->resized = 1;
  layer->needs_redraw = 1;
}

void SetMessageTargetLayer(NamedTreeNode* node) {
  if (LayerData* old = LayerOf(g_layer_state.message_target)) old->is_message_target = 0;
  g_layer_state.message_target = node;
  if (LayerData* layer = LayerOf(node)) layer->is_message_target = 1;
}

bool CopyLayerString(char* buffer, const char* text) {
  constexpr size_t kLimit = kLayerStringCapacity - 1;
  const size_t length = std::strlen(text);
  size_t cut = 0;
  while (cut < length) {
    const size_t n = SjisCharLength(text, cut, length);
    if (cut + n > kLimit) break;
    cut += n;
  }
  const bool changed = std::strncmp(buffer, text, cut) != 0 || buffer[cut] != '\0';
  std::memcpy(buffer, text, cut);
  std::memset(buffer + cut, 0, kLayerStringCapacity - cut);
  return changed;
}

}  // namespace korvel
