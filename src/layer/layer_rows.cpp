// The layer-to-layer operations' shared helpers.
#include "layer/layer_rows.h"

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"

namespace korvel {

namespace {

constexpr int32_t kErrorImageTooSmall = 100310;

}  // namespace

SourceView::SourceView(const LayerData* source, const LayerData* dest) : layer(source) {
  if (source == nullptr || dest == nullptr || source->pixels != dest->pixels) return;
  copy = *source;
  bytes.assign(source->pixels, source->pixels + static_cast<size_t>(source->width) *
                                                    static_cast<size_t>(source->height) * 4);
  copy.pixels = bytes.data();
  layer = &copy;
}

bool CoversArea(const NamedTreeNode* node, const LayerData* image, const NamedTreeNode* source_node,
                const ClipRect& c) {
  if (int64_t{c.source_x} + c.width <= image->width &&
      int64_t{c.source_y} + c.height <= image->height) {
    return true;
  }
  ReportScriptError(kErrorImageTooSmall, true, source_node->name,
                    int64_t{c.source_x} + c.width, int64_t{c.source_y} + c.height, node->name,
                    image->width, image->height);
  return false;
}

void MarkChanged(NamedTreeNode* node) {
  MarkDirtyUpward(node);
  g_layer_state.layers_changed = 1;
}

void InstallPixelsWhollyChanged(LayerData* out, uint8_t* pixels, int64_t w, int64_t h) {
  FreeBlock(out->pixels);
  out->pixels = pixels;
  out->width = static_cast<int32_t>(w);
  out->height = static_cast<int32_t>(h);
  MarkLayerWhollyChanged(out);
}

}  // namespace korvel
