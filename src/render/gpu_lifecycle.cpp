// The GPU device's lifecycle: creation with three context tries, the caps check, fixed states, the
// vertex layout and frame effect, reset, release in order, and the fall-back to CPU drawing.
#include <cstdio>

#include "core/sjis_text.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "layer/dirty_rects.h"
#include "layer/draw_command.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "platform/platform.h"
#include "render/drawing_mode.h"
#include "render/frame_presentation.h"
#include "render/gpu_capture.h"
#include "render/gpu_frame.h"
#include "render/gpu_lifecycle.h"
#include "render/gpu_state.h"
#include "render/gpu_tiles.h"

namespace korvel {

void ShowGpuMessage(const char* title, std::string_view text, uint32_t flags) {
  platform::MessageBox(platform::kNoWindow, Sjis(title), Sjis(text), flags);
}

GpuState g_gpu;

namespace {

using platform::GpuContextTry;

// Message boxes of the GPU path: system-modal, OK only.
// The presenter's GPU path: the frame's device work as one main-thread request.
int32_t DrawFrameOnMainThread(const uint8_t* pixels) {
  int32_t result = 0;
  OnGpuThread([&] { result = DrawFrameWithDirect3D(pixels); });
  return result;
}

void FellBackOnMainThread() {
  OnGpuThread([] {
    ReleaseDirect3D();
    FallBackFromGpu();
  });
}

int32_t CaptureHook(NamedTreeNode* node, int64_t /*value*/) { return CaptureScreenToLayer(node); }

// A record's tiles go with its last holder; on the main thread, where the device lives.
int32_t ReleaseTexturesOnMainThread(LayerData* layer) {
  bool any = false;
  for (void* slot : layer->tile_textures) any = any || slot != nullptr;
  if (any) OnGpuThread([&] { ReleaseLayerTextures(layer); });
  return 0;
}


}  // namespace

void GpuTrace(const std::string& text) { g_gpu.last_trace = text; }

void FallBackFromGpu() {
  FallBackToCpuDrawing();
  g_presentation.gpu_redraw_pending = 1;
}

int32_t CreateD3DDevice() {
  const WindowRecord* main = g_windows[0];
  g_gpu.device = platform::CreateGpuDevice(main != nullptr ? main->handle.load()
                                                           : platform::kNoWindow);
  if (g_gpu.device == nullptr) {
    // Headless has no device at all: CPU drawing without a word.
    if (platform::IsHeadless()) {
      g_gpu.headless_none = 1;
      return -1;
    }
    ShowGpuMessage("", "[DX]オブジェクトを生成できませんでした。");
    return -1;
  }
  g_gpu.adapter = g_gpu.device->AdapterIndex();
  int32_t width = 0, height = 0;
  if (!g_gpu.device->DisplayMode(g_gpu.adapter, &width, &height)) {
    g_gpu.device.reset();
    char text[128];
    std::snprintf(text, sizeof(text), "[DX]現在のディスプレイモードを取得できませんでした。(DispNo.%d)",
                  g_gpu.adapter);
    ShowGpuMessage("", text);
    return -1;
  }
  g_gpu.screen_width = width;
  g_gpu.screen_height = height;
  if (g_gpu.modes_traced == 0) {
    g_gpu.modes_traced = 1;
    char line[96];
    std::snprintf(line, sizeof(line), "[%3d]%4dx%4d (%dHz) %s", 0, width, height, 60, "A8R8G8B8");
    GpuTrace(line);
  }
  struct Try {
    GpuContextTry attempt;
    const char* success;
    const char* failure;
  };
  static constexpr Try kTries[] = {
      {GpuContextTry::kCore33, "[DX]ハードウェアの理想の状態で初期化成功しました。",
       "[DX]ハードウェアの理想の状態で初期化失敗しました。"},
      {GpuContextTry::kCore33Any, "[DX]ハードウェアの２番目に理想の状態で初期化成功しました。",
       "[DX]ハードウェアの２番目に理想の状態で初期化失敗しました。"},
      {GpuContextTry::kEs30, "[DX]頂点処理だけソフトウェアエミュレーションで成功しました。",
       "[DX]頂点処理だけソフトウェアエミュレーションで失敗しました。"},
  };
  for (const Try& t : kTries) {
    if (g_gpu.device->CreateContext(t.attempt)) {
      GpuTrace(t.success);
      return 0;
    }
    GpuTrace(t.failure);
  }
  ShowGpuMessage("", "[Direct3Dエラー]頂点処理ソフトウェアエミュレーションに失敗しました。");
  g_gpu.device.reset();
  return -1;
}

int32_t CheckDeviceCaps() {
  if (g_gpu.caps_checked != 0) return 0;
  g_gpu.caps_checked = 1;
  platform::GpuCaps caps;
  if (!g_gpu.device->Caps(&caps)) caps = platform::GpuCaps{256, 256, 0, 0};
  g_gpu.max_texture_width = caps.max_texture_width;
  g_gpu.max_texture_height = caps.max_texture_height;
  // Shading language 3.30 (ES 3.00) and up is the top level; 1.x is below what the effects need.
  const int32_t level = caps.shading_major * 10 + caps.shading_minor / 10;
  g_gpu.shader_level = level >= 30 ? 30 : level;
  if (g_gpu.shader_level < 20) {
    ShowGpuMessage("環境チェック",
        "ビデオカードにピクセルシェーダ 2.0以降 が実装されていません。\r\n"
        "ビデオカードが推奨スペック(※DirectX9.0 に対応したAGP/PCI-E接続ビデオカード、もしくはチップセット)を\r\n"
        "満たしていない可能性があります。\r\n"
        "\r\n"
        "[KRSetup.exe]を起動して頂き、ゲーム画面の描画方法の項目を【 CPU(バイリニア) 】にセットして\r\n"
        "起動し直していただければ動作いたします。");
    return 1;
  }
  return 0;
}

int32_t SetDefaultRenderStates() {
  g_gpu.device->SetDefaultStates();
  return 0;
}

int32_t CreateFrameEffect() {
  platform::GpuProgram effect;
  if (g_drawing.mode == 3) {
    effect = platform::GpuProgram::kFrameEffectA;
  } else if (g_drawing.mode == 2) {
    effect = platform::GpuProgram::kFrameEffectB;
  } else {
    return 0;
  }
  if (!g_gpu.device->CreateFrameEffect(effect)) {
    ShowGpuMessage("", "[エラー] Shader Init Error.");
    return -1;
  }
  return 0;
}

int32_t InitDirect3D() {
  if (CreateD3DDevice() != 0) return 1;
  if (CheckDeviceCaps() != 0) return 1;
  SetDefaultRenderStates();
  if (!g_gpu.device->CreateVertexLayout()) {
    ShowGpuMessage("", "CreateVertexDeclaration エラー.");
    return 1;
  }
  if (CreateFrameEffect() != 0) return 1;
  return 0;
}

int32_t ReleaseDirect3D() {
  // Effect and vertex layout, the surfaces, the capture target, then the device and its context:
  // all of them go with the context. Tile textures of layers become stale by generation.
  if (g_gpu.device != nullptr) {
    if (g_gpu.frame_surface != platform::kNoGpuObject) {
      g_gpu.device->ReleaseSurface(g_gpu.frame_surface);
    }
    if (g_gpu.frame_texture != platform::kNoGpuObject) {
      g_gpu.device->ReleaseTexture(g_gpu.frame_texture);
    }
    if (g_gpu.overlay_surface != platform::kNoGpuObject) {
      g_gpu.device->ReleaseSurface(g_gpu.overlay_surface);
    }
    if (g_gpu.overlay_texture != platform::kNoGpuObject) {
      g_gpu.device->ReleaseTexture(g_gpu.overlay_texture);
    }
    g_gpu.device->Release();
    g_gpu.device.reset();
  }
  g_gpu.frame_surface = g_gpu.frame_texture = platform::kNoGpuObject;
  g_gpu.overlay_surface = g_gpu.overlay_texture = platform::kNoGpuObject;
  g_gpu.overlay_width = g_gpu.overlay_height = 0;
  g_gpu.capture_target = 0;
  g_gpu.capture_width = g_gpu.capture_height = 0;
  g_gpu.recreate_frame_texture = 1;
  return 0;
}

int32_t ResetDeviceOrFallBack() {
  ReleaseDirect3D();
  if (InitDirect3D() == 0) {
    GpuTrace("DeviceReset End.");
    return 0;
  }
  ReleaseDirect3D();
  FallBackFromGpu();
  ShowGpuMessage("", "GPU描画が出来ませんでした。CPU描画に移行します。");
  return -1;
}

int InitGpuHook() {
  if (g_drawing.gpu == 0) return 0;
  int result = 0;
  OnGpuThread([&] {
    if (InitDirect3D() == 0) {
      InstallGpuFrameHooks();
      return;
    }
    ReleaseDirect3D();
    FallBackFromGpu();
    result = g_gpu.headless_none != 0 ? 0 : 1;
  });
  return result;
}

void ReleaseGpuHook() {
  OnGpuThread([] { ReleaseDirect3D(); });
  g_gpu = GpuState{};
}

void InstallGpuFrameHooks() {
  g_presentation.gpu_draw = DrawFrameOnMainThread;
  g_presentation.gpu_fell_back = FellBackOnMainThread;
  g_layer_state.capture_screen = CaptureHook;
}

void InstallGpuPath() {
  g_hooks.init_gpu = InitGpuHook;
  g_hooks.release_gpu = ReleaseGpuHook;
  g_draw_hooks.paste_sprite = PasteSprite;
  g_release_layer_textures = ReleaseTexturesOnMainThread;
}

bool GpuDrawingAvailable() { return g_drawing.gpu != 0 && !platform::IsHeadless(); }

}  // namespace korvel
