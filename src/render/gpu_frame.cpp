// Window 0's frame through the GPU device: upload into the frame texture, one quad with the frame
// effect below the menu bar strip, the window's overlays over it, present.
#include <algorithm>
#include <cstring>

#include "core/display_state.h"
#include "core/gpu_requests.h"
#include "core/project_config.h"
#include "core/sjis_text.h"
#include "core/window_record.h"
#include "layer/layer_record.h"
#include "platform/frame_overlay.h"
#include "platform/platform.h"
#include "render/drawing_mode.h"
#include "render/gpu_layout.h"
#include "render/gpu_frame.h"
#include "render/gpu_lifecycle.h"
#include "render/gpu_state.h"

namespace korvel {
namespace {


bool Windowed() { return g_display.full_screen == 0 && g_display.maximised == 0; }

// Makes the frame texture and its surface (again) when asked to or when the logical size has
// outgrown them. 0, or -1 after the message.
int32_t EnsureFrameTexture(int32_t logical_w, int32_t logical_h) {
  const int32_t tw = FrameTextureSide(g_project.texture_width_limit, logical_w,
                                      g_gpu.max_texture_width);
  const int32_t th = FrameTextureSide(g_project.texture_height_limit, logical_h,
                                      g_gpu.max_texture_height);
  if (tw != g_gpu.tex_width || th != g_gpu.tex_height ||
      !g_gpu.device->TextureAlive(g_gpu.frame_texture)) {
    g_gpu.recreate_frame_texture = 1;
  }
  while (g_gpu.recreate_frame_texture != 0) {
    g_gpu.recreate_frame_texture = 0;
    g_gpu.device->ReleaseTexture(g_gpu.frame_texture);
    g_gpu.device->ReleaseSurface(g_gpu.frame_surface);
    g_gpu.frame_texture = g_gpu.frame_surface = platform::kNoGpuObject;
    if (!g_gpu.device->CreateTexture(tw, th, &g_gpu.frame_texture)) {
      ShowGpuMessage("", "テクスチャを生成できませんでした。");
      return -1;
    }
    if (!g_gpu.device->CreateSurface(tw, th, &g_gpu.frame_surface)) {
      ShowGpuMessage("エラー", "オフスクリーンサーフェスを生成できませんでした。");
      return -1;
    }
    g_gpu.tex_width = tw;
    g_gpu.tex_height = th;
  }
  return 0;
}

// Copies min(frame, logical size, texture) per axis and clears the rest of the surface.
bool UploadFrame(const uint8_t* pixels, int32_t frame_w, int32_t frame_h, int32_t logical_w,
                 int32_t logical_h) {
  uint8_t* bits = nullptr;
  int32_t pitch = 0;
  if (!g_gpu.device->LockSurface(g_gpu.frame_surface, &bits, &pitch)) return false;
  const int32_t w = std::min({frame_w, logical_w, g_gpu.tex_width});
  const int32_t h = std::min({frame_h, logical_h, g_gpu.tex_height});
  const size_t row_bytes = static_cast<size_t>(g_gpu.tex_width) * 4;
  for (int32_t y = 0; y < g_gpu.tex_height; ++y) {
    uint8_t* row = bits + static_cast<size_t>(y) * pitch;
    if (y < h && w > 0) {
      std::memcpy(row, pixels + static_cast<size_t>(y) * frame_w * 4, static_cast<size_t>(w) * 4);
      std::memset(row + static_cast<size_t>(w) * 4, 0, row_bytes - static_cast<size_t>(w) * 4);
    } else {
      std::memset(row, 0, row_bytes);
    }
  }
  return g_gpu.device->UnlockSurface(g_gpu.frame_surface);
}

// Makes the overlay texture and its surface (again) for a drawable of width x height.
bool EnsureOverlayTexture(int32_t width, int32_t height) {
  if (width == g_gpu.overlay_width && height == g_gpu.overlay_height &&
      g_gpu.device->TextureAlive(g_gpu.overlay_texture)) {
    return true;
  }
  g_gpu.device->ReleaseTexture(g_gpu.overlay_texture);
  g_gpu.device->ReleaseSurface(g_gpu.overlay_surface);
  g_gpu.overlay_texture = g_gpu.overlay_surface = platform::kNoGpuObject;
  g_gpu.overlay_width = g_gpu.overlay_height = 0;
  if (!g_gpu.device->CreateTexture(width, height, &g_gpu.overlay_texture) ||
      !g_gpu.device->CreateSurface(width, height, &g_gpu.overlay_surface)) {
    return false;
  }
  g_gpu.overlay_width = width;
  g_gpu.overlay_height = height;
  return true;
}

// Lays window 0's overlays over the drawn frame, as the CPU path draws them over its frame: a
// picture as wide as the drawable, transparent where no overlay drew, blended over the frame.
// `strip` is the menu bar's height above the client area; when only the bar draws, the picture is
// that strip alone, so a frame with a menu bar does not upload a whole drawable of nothing.
bool DrawOverlays(platform::WindowId window, int32_t strip) {
  if (!platform::HasFrameOverlay(window, true)) return true;
  int32_t width = 0, drawable_height = 0;
  g_gpu.device->DrawableSize(&width, &drawable_height);
  const int32_t height =
      platform::HasFrameOverlay(window) ? drawable_height : std::min(strip, drawable_height);
  if (width < 1 || height < 1 || width > kMaxFrameTextureSide || height > kMaxFrameTextureSide) {
    return true;
  }
  if (!EnsureOverlayTexture(width, height)) return false;
  uint8_t* bits = nullptr;
  int32_t pitch = 0;
  if (!g_gpu.device->LockSurface(g_gpu.overlay_surface, &bits, &pitch)) return false;
  for (int32_t y = 0; y < height; ++y) {
    std::memset(bits + static_cast<size_t>(y) * pitch, 0, static_cast<size_t>(width) * 4);
  }
  platform::DrawFrameOverlays(window, bits, width, height, pitch, strip);
  if (!g_gpu.device->UnlockSurface(g_gpu.overlay_surface) ||
      !g_gpu.device->UpdateTexture(g_gpu.overlay_surface, g_gpu.overlay_texture)) {
    return false;
  }
  platform::QuadVertex quad[4];
  QuadVertices(quad, QuadRect{0, 0, static_cast<double>(width), static_cast<double>(height)},
               0xFFFFFFFFu, 2, width, height);
  platform::GpuDrawState state = LayerQuadState(0, 0xFFFFFFFFu);
  state.texture = g_gpu.overlay_texture;
  state.tex_size[0] = static_cast<float>(width);
  state.tex_size[1] = static_cast<float>(height);
  return g_gpu.device->DrawQuad(quad, state);
}

}  // namespace

int32_t PresentDevice() {
  platform::Rect source;
  const bool has_rect =
      PresentSourceRect(Windowed(), g_display.display_width, g_display.display_height, &source);
  if (!g_gpu.device->Present(has_rect ? &source : nullptr)) GpuTrace("D3D Present Error.");
  return 0;
}

int32_t DrawFrameWithDirect3D(const uint8_t* pixels) {
  const WindowRecord* main = g_windows[0];
  if (g_gpu.device == nullptr || pixels == nullptr || main == nullptr) return 0;
  const LayerData* root = LayerOf(main->root_layer);
  if (root == nullptr || root->pixels != pixels) return 0;
  const int32_t logical_w = main->logical_width > 0 ? main->logical_width : root->width;
  const int32_t logical_h = main->logical_height > 0 ? main->logical_height : root->height;
  for (;;) {
    if (EnsureFrameTexture(logical_w, logical_h) != 0) return -1;
    const bool requested = g_gpu_requests.reset_requested.exchange(0) != 0;
    if (!g_gpu.device->DeviceLost() && !requested) break;
    if (g_drawing.gpu == 0) {
      g_gpu.recreate_frame_texture = 1;
      return 0;
    }
    if (ResetDeviceOrFallBack() != 0) return 0;
    g_gpu.recreate_frame_texture = 1;
  }
  if (!UploadFrame(pixels, root->width, root->height, logical_w, logical_h)) {
    ShowGpuMessage("エラー", "CTG 転送できませんでした。");
    return -1;
  }
  if (!g_gpu.device->UpdateTexture(g_gpu.frame_surface, g_gpu.frame_texture)) {
    ShowGpuMessage("エラー", "サーフェイス転送できませんでした。");
    return -1;
  }
  if (!g_gpu.device->BeginScene() || !g_gpu.device->Clear(0xFF000000u)) {
    GpuTrace("BeginScene Error.");
    return -1;
  }
  FrameQuadInput in;
  in.windowed = Windowed();
  in.placement = g_gpu_requests.frame_placement.load();
  in.screen_w = g_gpu.screen_width;
  in.screen_h = g_gpu.screen_height;
  // The drawable holds the menu bar strip above the client area, as the CPU path's window does.
  const int32_t strip = platform::WindowMenuBarHeight(main->handle);
  if (!in.windowed) {
    int32_t dw = 0, dh = 0;
    g_gpu.device->DrawableSize(&dw, &dh);
    if (dw > 0 && dh > strip) {
      in.screen_w = dw;
      in.screen_h = dh - strip;
    }
  }
  in.window_w = logical_w;
  in.window_h = logical_h;
  const int32_t display_w = g_display.display_width, display_h = g_display.display_height;
  in.present_w = display_w > 0 ? display_w : logical_w;
  in.present_h = display_h > 0 ? display_h : logical_h;
  in.tex_w = g_gpu.tex_width;
  in.tex_h = g_gpu.tex_height;
  QuadRect rect = FrameQuadRect(in);
  rect.y += strip;
  platform::QuadVertex quad[4];
  QuadVertices(quad, rect, 0xFFFFFFFFu, g_drawing.mode, g_gpu.tex_width, g_gpu.tex_height);
  platform::GpuDrawState state;
  state.texture = g_gpu.frame_texture;
  state.program = g_drawing.mode == 3 ? platform::GpuProgram::kFrameEffectA
                                      : platform::GpuProgram::kFrameEffectB;
  state.blend = false;  // the frame replaces what was there
  state.tex_size[0] = static_cast<float>(g_gpu.tex_width);
  state.tex_size[1] = static_cast<float>(g_gpu.tex_height);
  if (g_drawing.mode == 3) state.tex_diff_u[0] = 2.0f / static_cast<float>(g_gpu.tex_width);
  if (!g_gpu.device->DrawQuad(quad, state)) return -1;
  if (!DrawOverlays(main->handle, strip)) GpuTrace("Overlay Error.");
  if (!g_gpu.device->EndScene()) GpuTrace("HLSL EndScene Error.");
  PresentDevice();
  return 0;
}

}  // namespace korvel
