// The GPU path runs on OpenGL through the platform's device, under Direct3D-era names.
// Its state, and what its parts share: device work runs on the main thread; callers on the game
// thread hand it over, one request per frame (upload or capture).
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

// The GPU path's message boxes: `title` and `text` are the engine's own UTF-8 texts.
void ShowGpuMessage(const char* title, std::string_view text,
                    uint32_t flags = platform::kMbOk | platform::kMbSystemModal);

}  // namespace korvel
