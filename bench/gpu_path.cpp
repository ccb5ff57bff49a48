// The GPU path on SDL's offscreen video driver over Mesa's llvmpipe (software rendering, so the
// figures measure the CPU that stands in for a GPU): a 4096 × 4096 image uploaded in tiles, a loop
// of layer quads, a 1920 × 1080 frame from upload to present, and reading 1920 × 1080 back.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/window_record.h"
#include "layer/layer_data.h"
#include "platform/platform.h"
#include "render/drawing_mode.h"
#include "render/frame_presentation.h"
#include "render/gpu_lifecycle.h"
#include "render/gpu_state.h"
#include "render/gpu_tiles.h"

namespace korvel {
namespace {

constexpr int32_t kW = 1920, kH = 1080;

std::vector<uint8_t> Pixels(int32_t width, int32_t height) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * 4 * (height + 1) + 4);
  std::mt19937 rng(1);
  for (auto& b : p) b = static_cast<uint8_t>(rng());
  return p;
}

// Window 0 at 1920 × 1080 with GPU drawing (the first frame effect); null device when none.
struct GpuScene {
  LayerData root{};
  NamedTreeNode root_node{};
  std::vector<uint8_t> frame;
  bool ok = false;

  GpuScene() {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ::setenv("LP_NUM_THREADS", "0", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("KORVEL_PLATFORM");
    if (!platform::InitPlatformWith(platform::BackendKind::kSdl) ||
        platform::ActiveBackend() != platform::BackendKind::kSdl) {
      return;
    }
    InitEngineState();
    InitErrorReporting();
    InitEngineSettings();
    InitDisplayState();
    InitFrameState();
    if (CreateWindowRecords() != 0) return;
    WindowRecord* w = g_windows[0];
    w->logical_width = kW;
    w->logical_height = kH;
    platform::WindowDesc desc;
    desc.client_width = kW;
    desc.client_height = kH;
    desc.opengl = true;
    w->handle = platform::CreateWindow(desc);
    SetWindowedDisplay(kW, kH);
    frame = Pixels(kW, kH);
    root.width = kW;
    root.height = kH;
    root.visible = 1;
    root.pixels = frame.data();
    root_node.payload = &root;
    w->root_layer = &root_node;
    InitFramePresentation();
    g_drawing = DrawingModeForField(0);
    ok = InitGpuHook() == 0 && g_gpu.device != nullptr;
  }
  // Waits until the device has finished what was asked of it.
  void Sync() {
    uint8_t pixel[4];
    g_gpu.device->ReadBack(1, 1, pixel, 4);
  }
};

GpuScene& Scene() {
  static GpuScene scene;
  return scene;
}

struct Sprite {
  LayerData source{}, dest{};
  NamedTreeNode source_node{}, dest_node{};
  std::vector<uint8_t> pixels;
  Sprite(int32_t width, int32_t height) : pixels(Pixels(width, height)) {
    source.width = width;
    source.height = height;
    source.pixels = pixels.data();
    source_node.payload = &source;
    dest.visible = 1;
    dest.opacity = 256;
    dest.gpu_placement[2] = dest.gpu_placement[3] = 100;
    dest_node.payload = &dest;
  }
  ~Sprite() { ReleaseLayerTextures(&dest); }
};

void BM_UploadTiles4096(benchmark::State& state) {
  GpuScene& scene = Scene();
  if (!scene.ok) return state.SkipWithError("no OpenGL context (SDL offscreen driver, llvmpipe)");
  Sprite sprite(4096, 4096);
  for (auto _ : state) {
    if (PasteSprite(&sprite.source_node, &sprite.dest_node) != 0) {
      return state.SkipWithError("upload failed");
    }
    scene.Sync();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{4096} * 4096 * 4);
  state.counters["tiles"] = sprite.dest.tile_columns * sprite.dest.tile_rows;
}
BENCHMARK(BM_UploadTiles4096)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayerQuadLoop(benchmark::State& state) {
  GpuScene& scene = Scene();
  if (!scene.ok) return state.SkipWithError("no OpenGL context (SDL offscreen driver, llvmpipe)");
  Sprite sprite(256, 256);
  PasteSprite(&sprite.source_node, &sprite.dest_node);
  const int quads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    g_gpu.device->BeginScene();
    for (int i = 0; i < quads; ++i) {
      sprite.dest.gpu_placement[0] = (i * 3700) % (kW * 100);
      sprite.dest.gpu_placement[1] = (i * 2300) % (kH * 100);
      DrawLayerQuad(&sprite.dest, 1, i % 8, nullptr, nullptr);
    }
    g_gpu.device->EndScene();
    scene.Sync();
  }
  state.SetItemsProcessed(state.iterations() * quads);
}
BENCHMARK(BM_LayerQuadLoop)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Frame1920x1080(benchmark::State& state) {
  GpuScene& scene = Scene();
  if (!scene.ok) return state.SkipWithError("no OpenGL context (SDL offscreen driver, llvmpipe)");
  uint64_t n = 0;
  for (auto _ : state) {
    scene.root.needs_redraw = 1;
    scene.root.frame_rect = DirtyRect{0, 0, kW - 1, kH - 1};
    g_frame.frame_counter = ++n;
    PresentFrame(0);
    scene.Sync();
  }
  if (g_drawing.gpu == 0) state.SkipWithError("fell back to CPU drawing");
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * 4);
}
BENCHMARK(BM_Frame1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadBack1920x1080(benchmark::State& state) {
  GpuScene& scene = Scene();
  if (!scene.ok) return state.SkipWithError("no OpenGL context (SDL offscreen driver, llvmpipe)");
  std::vector<uint8_t> out(static_cast<size_t>(kW) * kH * 4);
  for (auto _ : state) {
    if (!g_gpu.device->ReadBack(kW, kH, out.data(), kW * 4)) {
      return state.SkipWithError("read-back failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH * 4);
}
BENCHMARK(BM_ReadBack1920x1080)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace korvel
