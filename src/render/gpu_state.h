// The GPU path's state and its operations: device lifecycle (create, check, reset, release and
// the fall-back to CPU drawing), the frame quad, layer tiles, sprite paste and screen capture.
// Device work runs on the main thread; callers on the game thread hand it over, one request per
// frame (upload or capture).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/named_tree.h"
#include "layer/layer_data.h"
#include "platform/gpu_device.h"
#include "platform/platform.h"

namespace korvel {

struct GpuState {
  std::unique_ptr<platform::GpuDevice> device;  // null: no device
  int32_t max_texture_width = 256, max_texture_height = 256;
  int32_t shader_level = 0;
  int32_t adapter = 0;
  int32_t screen_width = 0, screen_height = 0;  // the chosen display
  uint8_t headless_none = 0;    // headless: no device, CPU drawing without a message
  uint8_t caps_checked = 0;     // the caps are checked once per run
  uint8_t modes_traced = 0;     // the display modes are traced once per run
  platform::GpuTexture frame_texture = platform::kNoGpuObject;
  platform::GpuSurface frame_surface = platform::kNoGpuObject;
  int32_t tex_width = 0, tex_height = 0;
  uint8_t recreate_frame_texture = 1;
  // The picture of window 0's overlays (movie, Flash rectangle, menu bar strip), drawable-sized.
  platform::GpuTexture overlay_texture = platform::kNoGpuObject;
  platform::GpuSurface overlay_surface = platform::kNoGpuObject;
  int32_t overlay_width = 0, overlay_height = 0;
  uint8_t capture_target = 0;  // the offscreen target exists
  int32_t capture_width = 0, capture_height = 0;
  std::string last_trace;  // the trace function's last line (it writes nothing else)
};

extern GpuState g_gpu;

// Runs `fn` on the main thread, where the device lives, and waits for it.
template <typename F>
void OnGpuThread(F&& fn) {
  using Fn = std::remove_reference_t<F>;
  platform::RunOnMainThread([](void* context) { (*static_cast<Fn*>(context))(); }, &fn);
}

// The trace function: writes nothing (tests read the last line).
void GpuTrace(const std::string& text);

// ---- Lifecycle ----
int32_t InitDirect3D();        // 0, or 1 on any failure
int32_t CreateD3DDevice();     // 0 or -1
int32_t CheckDeviceCaps();     // 0 or 1
int32_t SetDefaultRenderStates();
int32_t CreateFrameEffect();   // 0 or -1
int32_t ResetDeviceOrFallBack();  // 0 re-created, -1 fell back to CPU drawing
int32_t ReleaseDirect3D();
// CPU drawing for good: the drawing mode falls back and window 0's root layer is marked wholly
// changed, so a still scene is drawn by the CPU next frame.
void FallBackFromGpu();

// The hooks: start-up's last step (1 falls back, start-up shows the message) and shutdown's.
int InitGpuHook();
void ReleaseGpuHook();
// Installs the hooks, sprite paste and the texture release (once, with the other wiring).
void InstallGpuPath();
// The presenter's GPU path and the capture, after the per-run state they live in was reset. Before
// the device exists (a game thread may present while start-up makes it) they draw nothing.
void InstallGpuFrameHooks();
// GPU drawing is chosen and a device can exist (the "DirectX version" figure).
bool GpuDrawingAvailable();

// ---- Frame (window 0) ----
int32_t DrawFrameWithDirect3D(const uint8_t* pixels);
int32_t PresentDevice();

// ---- Layer tiles ----
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

// ---- Capture ----
int32_t CaptureBackBuffer(uint8_t* dst, int32_t width, int32_t height);
// Draws the layer's tiles over black at window 0's logical size and reads the result into its
// pixels. -1 when no buffer could be had for the image (the layer is left as it was), else 0.
int32_t CaptureScreenToLayer(NamedTreeNode* node);

// The GPU path's message boxes: `title` and `text` are the engine's own UTF-8 texts.
void ShowGpuMessage(const char* title, std::string_view text,
                    uint32_t flags = platform::kMbOk | platform::kMbSystemModal);

}  // namespace korvel
