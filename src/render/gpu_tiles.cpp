// Layer images as tile textures: upload (sprite paste), release, and drawing the tiles as quads.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/sjis_text.h"
#include "layer/layer_record.h"
#include "platform/platform.h"
#include "render/gpu_layout.h"
#include "render/gpu_lifecycle.h"
#include "render/gpu_state.h"
#include "render/gpu_tiles.h"

namespace korvel {
namespace {

using platform::GpuTexture;
using platform::kNoGpuObject;

constexpr uint32_t kTileFill = 0x00808080u;  // beyond the image: the engine's transparent grey


GpuTexture SlotTexture(const LayerData* layer, int32_t slot) {
  return static_cast<GpuTexture>(reinterpret_cast<uintptr_t>(layer->tile_textures[slot]));
}

void SetSlotTexture(LayerData* layer, int32_t slot, GpuTexture texture) {
  layer->tile_textures[slot] = reinterpret_cast<void*>(static_cast<uintptr_t>(texture));
}

// A slot's texture when it belongs to the current device (a handle from before a reset is none).
GpuTexture LiveTexture(const LayerData* layer, int32_t slot) {
  const GpuTexture t = SlotTexture(layer, slot);
  return g_gpu.device != nullptr && t != kNoGpuObject && g_gpu.device->TextureAlive(t)
             ? t
             : kNoGpuObject;
}

// Copies the tile at (x, y) of the image into the surface; rows and columns beyond the image take
// the fill colour.
void CopyTile(uint8_t* bits, int32_t pitch, const LayerData* image, int32_t image_w,
              int32_t image_h, int32_t x, int32_t y, int32_t tile_w, int32_t tile_h) {
  const int32_t w = std::clamp(image_w - x, 0, tile_w);
  const int32_t h = std::clamp(image_h - y, 0, tile_h);
  for (int32_t row = 0; row < tile_h; ++row) {
    auto* out = reinterpret_cast<uint32_t*>(bits + static_cast<size_t>(row) * pitch);
    int32_t done = 0;
    if (row < h && w > 0) {
      std::memcpy(out, image->pixels + (static_cast<size_t>(y + row) * image->width + x) * 4,
                  static_cast<size_t>(w) * 4);
      done = w;
    }
    std::fill(out + done, out + tile_w, kTileFill);
  }
}

const char* const kTextureFailure =
    "テクスチャを生成できませんでした。\r\n"
    "VRAM容量不足の可能性があります。\r\n"
    "\r\n"
    "※解決方法\r\n"
    "一度ゲームを終了してから[KRSetup.exe]を起動して頂き、ゲーム画面の描画方法の項目を【 CPU(バイリニア) 】にセットして\r\n"
    "起動し直していただければ動作いたします。";

// Uploads one tile into the slot's texture. 0, or -1 after the message.
int32_t UploadTile(LayerData* dest, int32_t slot, int32_t keep_existing, const LayerData* image,
                   int32_t image_w, int32_t image_h, int32_t x, int32_t y, int32_t tile_w,
                   int32_t tile_h) {
  platform::GpuDevice& device = *g_gpu.device;
  GpuTexture texture = keep_existing != 0 ? LiveTexture(dest, slot) : kNoGpuObject;
  if (texture == kNoGpuObject) {
    // Also with keep-existing: an empty (or stale) slot gets a new texture.
    if (!device.CreateTexture(tile_w, tile_h, &texture)) {
      ShowGpuMessage("", kTextureFailure);
      GpuTrace("[DX]テクスチャを生成できませんでした。");
      return -1;
    }
    SetSlotTexture(dest, slot, texture);
  }
  platform::GpuSurface surface = kNoGpuObject;
  if (!device.CreateSurface(tile_w, tile_h, &surface)) {
    ShowGpuMessage("エラー", "オフスクリーンサーフェスを生成できませんでした。");
    return -1;
  }
  uint8_t* bits = nullptr;
  int32_t pitch = 0;
  if (!device.LockSurface(surface, &bits, &pitch)) {
    GpuTrace("CTG LockRect Error.");
    device.ReleaseSurface(surface);
    ShowGpuMessage("エラー", "サーフェス転送失敗。");
    return -1;
  }
  CopyTile(bits, pitch, image, image_w, image_h, x, y, tile_w, tile_h);
  if (!device.UnlockSurface(surface)) {
    GpuTrace("CTG UnlockRect Error.");
    device.ReleaseSurface(surface);
    ShowGpuMessage("エラー", "サーフェス転送失敗。");
    return -1;
  }
  const bool updated = device.UpdateTexture(surface, texture);
  device.ReleaseSurface(surface);
  if (!updated) {
    // The tile would show stale texels: the upload fails instead of going on.
    GpuTrace("サーフェイス転送できませんでした。");
    return -1;
  }
  return 0;
}

// Whether the record's tiles have the columns, rows and sizes given.
bool SameTileLayout(const LayerData* layer, int32_t columns, int32_t rows, const uint32_t* widths,
                    const uint32_t* heights) {
  return layer->tile_columns == columns && layer->tile_rows == rows &&
         std::equal(widths, widths + columns, layer->tile_widths) &&
         std::equal(heights, heights + rows, layer->tile_heights);
}

}  // namespace

int32_t ReleaseLayerTextures(LayerData* layer) {
  if (layer == nullptr) return 0;
  for (int32_t slot = 0; slot < kLayerTextureSlots; ++slot) {
    const GpuTexture t = SlotTexture(layer, slot);
    if (t != kNoGpuObject && g_gpu.device != nullptr) g_gpu.device->ReleaseTexture(t);
    layer->tile_textures[slot] = nullptr;
  }
  return 0;
}

int32_t UploadLayerTextures(UploadRequest* request, int32_t keep_existing) {
  UploadRequest r = *request;
  *request = UploadRequest{};
  if (g_gpu.device == nullptr || r.dest == nullptr || !LayerHasPixels(r.source) ||
      r.width < 1 || r.height < 1 || r.width > r.source->width || r.height > r.source->height) {
    return -1;
  }
  if (keep_existing == 0) ReleaseLayerTextures(r.dest);

  uint32_t widths[32] = {}, heights[32] = {};
  int32_t rest = 0;
  const int32_t columns = LayoutTiles(r.width, g_gpu.max_texture_width, r.cap_width, widths, &rest);
  if (columns < 0) {
    ShowGpuMessage("", "TXNUM Overflow Error.", platform::kMbOk);
    return -1;
  }
  const int32_t rows = LayoutTiles(r.height, g_gpu.max_texture_height, r.cap_height, heights, &rest);
  if (rows < 0) {
    char text[96];
    std::snprintf(text, sizeof(text), "TYNUM Overflow Error. SX = %d, SY = %d, mRest = %d",
                  r.width, r.height, rest);
    ShowGpuMessage("", text);
    return -1;
  }
  if (columns * rows > kMaxTilesPerLayer) {
    // 31 × 31 tiles would overrun the layer's 256 texture slots.
    ShowGpuMessage("", "TXNUM Overflow Error.", platform::kMbOk);
    return -1;
  }

  LayerData* d = r.dest;
  if (keep_existing != 0 && !SameTileLayout(d, columns, rows, widths, heights)) {
    // The kept textures have the old tiles' sizes: a larger tile would not fit them and a smaller
    // one would leave stale texels that the quad stretches over. The new tiles get textures of
    // their own, and until they are all in place the record claims no layout.
    ReleaseLayerTextures(d);
    d->tile_columns = 0;
    d->tile_rows = 0;
  }

  int32_t slot = 0;
  int32_t y = 0;
  for (int32_t row = 0; row < rows; ++row) {
    int32_t x = 0;
    const auto tile_h = static_cast<int32_t>(heights[row]);
    for (int32_t column = 0; column < columns; ++column) {
      const auto tile_w = static_cast<int32_t>(widths[column]);
      if (UploadTile(r.dest, slot, keep_existing, r.source, r.width, r.height, x, y, tile_w,
                     tile_h) != 0) {
        return -1;
      }
      ++slot;
      x += tile_w;
    }
    y += tile_h;
  }
  // Slots past the new layout hold nothing of this image.
  for (; slot < kLayerTextureSlots; ++slot) {
    const GpuTexture t = SlotTexture(r.dest, slot);
    if (t != kNoGpuObject) g_gpu.device->ReleaseTexture(t);
    r.dest->tile_textures[slot] = nullptr;
  }

  d->tile_columns = static_cast<uint8_t>(columns);
  d->tile_rows = static_cast<uint8_t>(rows);
  std::copy(widths, widths + kLayerTileSlots, d->tile_widths);
  std::copy(heights, heights + kLayerTileSlots, d->tile_heights);
  // The record's size describes its pixel buffer: it takes the image size only where that holds.
  if (d->pixels == nullptr || (d->width == r.width && d->height == r.height)) {
    d->width = r.width;
    d->height = r.height;
  }
  d->value_slot21 = static_cast<int64_t>(std::trunc(static_cast<double>(r.slot21)));
  d->value_slot22 = static_cast<int64_t>(std::trunc(static_cast<double>(r.slot22)));
  d->tile_cap_width = r.cap_width;
  d->tile_cap_height = r.cap_height;
  return 0;
}

int32_t DrawLayerQuad(const LayerData* layer, int32_t visible, int32_t blend_mode,
                      const LayerData* /*second*/, const LayerData* /*third*/) {
  if (layer == nullptr || g_gpu.device == nullptr || LiveTexture(layer, 0) == kNoGpuObject) {
    return 0;
  }
  const uint32_t diffuse = LayerQuadDiffuse(blend_mode, layer->opacity, visible != 0);
  // Mode 0's texture factor is the opacity colour, also for modes drawn with mode 0's row.
  platform::GpuDrawState state =
      LayerQuadState(blend_mode, LayerQuadDiffuse(0, layer->opacity, visible != 0));
  const double ox = static_cast<double>(layer->gpu_placement[0]) / 100.0;
  const double oy = static_cast<double>(layer->gpu_placement[1]) / 100.0;
  const double sx = static_cast<double>(layer->gpu_placement[2]) / 100.0;
  const double sy = static_cast<double>(layer->gpu_placement[3]) / 100.0;
  const int32_t columns = std::min<int32_t>(layer->tile_columns, kLayerTileSlots);
  const int32_t rows = std::min<int32_t>(layer->tile_rows, kLayerTileSlots);
  int32_t slot = 0;
  double y = oy;
  for (int32_t row = 0; row < rows; ++row) {
    const double h = layer->tile_heights[row] * sy;
    double x = ox;
    for (int32_t column = 0; column < columns; ++column, ++slot) {
      const double w = layer->tile_widths[column] * sx;
      const GpuTexture t = slot < kLayerTextureSlots ? LiveTexture(layer, slot) : kNoGpuObject;
      if (t != kNoGpuObject) {
        platform::QuadVertex quad[4];
        // Coordinate set 0 runs 0 to 1 across the tile (the four-set layout puts it there).
        QuadVertices(quad, QuadRect{x, y, w, h}, diffuse, 2,
                     static_cast<int32_t>(layer->tile_widths[column]),
                     static_cast<int32_t>(layer->tile_heights[row]));
        state.texture = t;
        if (!g_gpu.device->DrawQuad(quad, state)) {
          GpuTrace("DrawPrimitiveUP E2.");
          return -1;
        }
      }
      x += w;
    }
    y += h;
  }
  return 0;
}

int32_t PasteSprite(NamedTreeNode* source_node, NamedTreeNode* dest_node) {
  const LayerData* source = LayerOf(source_node);
  LayerData* dest = LayerOf(dest_node);
  int32_t result = -1;
  OnGpuThread([&] {
    if (g_gpu.device == nullptr || source == nullptr || dest == nullptr) return;
    UploadRequest request;
    request.source = source;
    request.dest = dest;
    request.width = source->width;
    request.height = source->height;
    request.slot21 = static_cast<float>(source->value_slot21);
    request.slot22 = static_cast<float>(source->value_slot22);
    request.cap_width = source->tile_cap_width;
    request.cap_height = source->tile_cap_height;
    result = UploadLayerTextures(&request, 1);
  });
  if (result != 0) {
    OnGpuThread([] { GpuTrace("KR_PASTESPRITE Error."); });
  }
  return result;
}

}  // namespace korvel
