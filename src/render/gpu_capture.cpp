// Screen capture through the GPU device: a layer's tiles drawn over opaque black into an offscreen
// target of window 0's logical size, read back into the layer's pixels.
#include <cstring>
#include <vector>

#include "core/alloc_zeroed.h"
#include "core/window_record.h"
#include "layer/dirty_rects.h"
#include "layer/layer_create.h"
#include "layer/layer_record.h"
#include "platform/platform.h"
#include "render/gpu_capture.h"
#include "render/gpu_lifecycle.h"
#include "render/gpu_state.h"
#include "render/gpu_tiles.h"

namespace korvel {

void CaptureBackBuffer(uint8_t* dst, int32_t width, int32_t height) {
  if (g_gpu.device == nullptr || g_gpu.capture_target == 0) {
    GpuTrace("KR_OffSuf_LAYER Error.");
    return;
  }
  if (!g_gpu.device->ReadBack(width, height, dst, width * 4)) GpuTrace("GetRenderTargetData Error.");
}

int32_t CaptureScreenToLayer(NamedTreeNode* node) {
  LayerData* layer = LayerOf(node);
  const WindowRecord* main = g_windows[0];
  if (layer == nullptr || main == nullptr) return 0;
  const int32_t width = main->logical_width, height = main->logical_height;
  std::vector<uint8_t> image;
  bool drawn = false;
  OnGpuThread([&] {
    if (g_gpu.device == nullptr) {
      GpuTrace("KR_D3DDevice Error.");
      return;
    }
    if (width < 1 || height < 1 || width > kMaxLayerSide || height > kMaxLayerSide) return;
    if (g_gpu.capture_width != width || g_gpu.capture_height != height) g_gpu.capture_target = 0;
    if (g_gpu.capture_target == 0) {
      if (!g_gpu.device->CreateTarget(width, height)) {
        GpuTrace("KR_OffSuf_LAYER Error.");
        return;
      }
      g_gpu.capture_target = 1;
      g_gpu.capture_width = width;
      g_gpu.capture_height = height;
    }
    if (!g_gpu.device->SetTarget()) {
      GpuTrace("GETSS SetRenderTarget Error.");
      g_gpu.device->RestoreTarget();
      return;
    }
    if (g_gpu.device->BeginScene() && g_gpu.device->Clear(0xFF000000u)) {
      DrawLayerQuad(layer, 1, layer->blend_mode, nullptr, nullptr);
      g_gpu.device->EndScene();
    } else {
      GpuTrace("GETSS D3D Clear Error.");
    }
    image.assign(static_cast<size_t>(width) * 4 * static_cast<size_t>(height), 0);
    CaptureBackBuffer(image.data(), width, height);
    drawn = true;
    // The window's target comes back in every case.
    if (!g_gpu.device->RestoreTarget()) GpuTrace("GETSS SetRenderTarget Error 2.");
  });
  if (!drawn) return 0;

  // Without a buffer for the image the layer keeps its old pixels and size.
  uint8_t* pixels = AllocLayerPixels(width, height, "CaptureScreen");
  if (pixels == nullptr) return -1;
  FreeBlock(layer->pixels);
  layer->pixels = pixels;
  layer->width = width;
  layer->height = height;
  MarkLayerWhollyChanged(layer);
  MarkDirtyUpward(node);
  std::memcpy(pixels, image.data(), image.size());
  return 0;
}

}  // namespace korvel
