// Crop to the opaque area and canvas expansion.
#include "layer/layer_canvas.h"

#include <algorithm>
#include <string>

#include "core/show_message.h"
#include "core/sjis_text.h"
#include "layer/dirty_rects.h"
#include "layer/layer_copies.h"
#include "layer/layer_create.h"
#include "layer/layer_record.h"
#include "layer/layer_rows.h"
#include "pixel/pixel_kernels.h"

namespace korvel {

namespace {

constexpr uint32_t kTransparentColour = 0x00808080u;

}  // namespace

int32_t CropLayerCGToOpaque(NamedTreeNode* node, NamedTreeNode* output, bool has_output,
                            int64_t sides) {
  const LayerData* l = LayerOf(node);
  NamedTreeNode* out_node = has_output ? output : node;
  LayerData* out = LayerOf(out_node);
  if (!LayerHasPixels(l) || out == nullptr) return 0;
  int64_t x0 = l->width, y0 = l->height, x1 = -1, y1 = -1;
  for (int64_t y = 0; y < l->height; ++y) {
    const uint8_t* row = Row(l, 0, y);
    for (int64_t x = 0; x < l->width; ++x) {
      if (row[x * 4 + 3] == 0) continue;
      x0 = std::min(x0, x), x1 = std::max(x1, x);
      y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return 0;  // nothing opaque: the box is undefined, the image stays
  if ((sides & 8) == 0) y0 = 0;
  if ((sides & 4) == 0) y1 = l->height - 1;
  if ((sides & 2) == 0) x0 = 0;
  if ((sides & 1) == 0) x1 = l->width - 1;
  const int64_t w = x1 - x0 + 1, h = y1 - y0 + 1;
  MarkDirtyUpward(out_node);
  const size_t row_bytes = static_cast<size_t>(w) * 4;
  if (out != l && out->pixels != l->pixels && out->width == w && out->height == h &&
      out->pixels != nullptr) {
    for (int64_t r = 0; r < h; ++r) g_pixel_kernels.copy_row(Row(out, 0, r), Row(l, x0, y0 + r), row_bytes);
  } else {
    uint8_t* pixels = AllocLayerPixels(w, h, node->name);
    if (pixels == nullptr) return -1;
    for (int64_t r = 0; r < h; ++r) {
      g_pixel_kernels.copy_row(pixels + static_cast<size_t>(r) * row_bytes, Row(l, x0, y0 + r),
                               row_bytes);
    }
    const uint8_t has_alpha = l->has_alpha;
    InstallPixelsWhollyChanged(out, pixels, w, h);  // may free the layer's own buffer: read nothing after
    out->has_alpha = has_alpha;
  }
  MarkChanged(out_node);
  return 0;
}

int32_t ExpandLayerCanvas(NamedTreeNode* node, NamedTreeNode* output, bool has_output,
                          int64_t left, int64_t right, int64_t top, int64_t bottom) {
  const LayerData* l = LayerOf(node);
  NamedTreeNode* out_node = has_output ? output : node;
  LayerData* out = LayerOf(out_node);
  if (!LayerHasPixels(l) || out == nullptr) return 0;
  // Margins are raw script values: the sums saturate instead of wrapping.
  const int64_t w = SaturatingAdd(SaturatingAdd(left, l->width), right);
  const int64_t h = SaturatingAdd(SaturatingAdd(top, l->height), bottom);
  if (w < 1 || h < 1) {
    static const std::string text = Sjis("リサイズ後のサイズが不正です。");
    ShowMessageF("", "%s", text);
    return -1;
  }
  uint8_t* pixels = AllocLayerPixels(w, h, node->name);
  if (pixels == nullptr) return -1;
  const size_t row_bytes = static_cast<size_t>(w) * 4;
  for (int64_t r = 0; r < h; ++r) {
    g_pixel_kernels.fill_pixels(pixels + static_cast<size_t>(r) * row_bytes, row_bytes,
                                kTransparentColour);
  }
  const ClipRect c = ClipPlacement(l->width, l->height, w, h, left, top);
  for (int32_t r = 0; r < c.height; ++r) {
    g_pixel_kernels.copy_row(pixels + (static_cast<size_t>(c.dest_y + r) * static_cast<size_t>(w) +
                                       static_cast<size_t>(c.dest_x)) * 4,
                             Row(l, c.source_x, int64_t{c.source_y} + r),
                             static_cast<size_t>(c.width) * 4);
  }
  const bool grows = left > 0 || right > 0 || top > 0 || bottom > 0;
  const uint8_t has_alpha = grows ? 1 : l->has_alpha;
  MarkDirtyUpward(out_node);
  InstallPixelsWhollyChanged(out, pixels, w, h);
  out->has_alpha = has_alpha;
  MarkChanged(out_node);
  return 0;
}

}  // namespace korvel
