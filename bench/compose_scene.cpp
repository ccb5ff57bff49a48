// The compositor on whole scenes: a 1280x720 root under eight full-screen children of different
// kinds (one and two workers), a 64x64 sprite moving over a static scene (the cost follows the
// dirty area), three far-apart sprites moving over 1920x1080 (composed in parts), and the typical
// scene at 1920x1080 on one worker (background, three alpha sprites, a message window at opacity
// 200).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/system_objects.h"
#include "core/window_record.h"
#include "layer/compositor.h"
#include "layer/dirty_rects.h"
#include "layer/layer_command.h"
#include "layer/layer_create.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "pixel/blend_modes.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"
#include "platform/platform.h"

#include "headless_scene.h"

namespace korvel {
namespace {

// A headless engine with window 0's root layer of width x height and `workers` workers.
class Scene : public bench::HeadlessScene {
 public:
  Scene(int32_t width, int32_t height, int workers) : HeadlessScene(width, height) {
    StartWorkerThreads(g_worker_pool, workers);
  }
  ~Scene() { StopWorkerThreads(g_worker_pool); }

  // An image layer filled with seeded noise (alpha noise too when `alpha`).
  LayerData* Image(const std::string& path, int64_t x, int64_t y, int32_t w, int32_t h, int64_t key,
                   bool alpha, uint32_t seed) {
    LayerCommandArgs a;
    a.Text(kLayerPath, path).Text(kLayerImage, "").Set(kLayerOrder, key);
    a.Set(kLayerWidth, w).Set(kLayerHeight, h).Set(kLayerX, x).Set(kLayerY, y);
    if (ApplyLayerCommand(a) != 0) return nullptr;
    LayerPath p;
    NormalizeLayerPath(path, &p);
    NamedTreeNode* node = FindLayerQuiet(p.text, false);
    LayerData* l = LayerOf(node);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      uint32_t px = static_cast<uint32_t>(rng());
      if (!alpha) px |= 0xFF000000u;
      std::memcpy(l->pixels + i * 4, &px, 4);
    }
    l->has_alpha = alpha ? 1 : 0;
    MarkDirtyUpward(node);
    return l;
  }
  static void Frame() {
    SweepLayerChanges();
    RenderWindowIfDirty(0);
    ResetAllLayerDirtyRects();
  }
  static void ComposeWhole() {
    MarkLayerWhollyChanged(LayerOf(g_windows[0]->root_layer));
    ComposeLayerTree(g_windows[0]->root_layer, 0, 0);
    ResetAllLayerDirtyRects();
  }
};

// Eight full-screen children: opaque, alpha, opacity 128, alpha at opacity 128, masked, masked
// alpha, overlay, soft light.
void BM_ComposeEightFullScreenChildren(benchmark::State& state) {
  constexpr int32_t kW = 1280, kH = 720;
  Scene scene(kW, kH, static_cast<int>(state.range(0)));
  scene.Image("mask", 0, 0, kW, kH, 1, false, 99)->visible = 0;
  scene.Image("opaque", 0, 0, kW, kH, 2, false, 1);
  scene.Image("alpha", 0, 0, kW, kH, 3, true, 2);
  scene.Image("half", 0, 0, kW, kH, 4, false, 3)->opacity = 128;
  scene.Image("half_alpha", 0, 0, kW, kH, 5, true, 4)->opacity = 128;
  for (const char* masked : {"masked", "masked_alpha"}) {
    LayerData* l = scene.Image(masked, 0, 0, kW, kH, 6, masked[6] == '_', 5);
    std::strcpy(l->mask_path, "mask");
    l->mask_level = 128;
    l->mask_ramp = 64;
  }
  scene.Image("overlay", 0, 0, kW, kH, 7, true, 6)->blend_mode = kBlendOverlay;
  scene.Image("soft", 0, 0, kW, kH, 8, false, 7)->blend_mode = kBlendSoftLight;
  Scene::Frame();
  for (auto _ : state) Scene::ComposeWhole();
  state.SetItemsProcessed(state.iterations() * kW * kH * 8);
}
BENCHMARK(BM_ComposeEightFullScreenChildren)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A 64x64 alpha sprite moving three pixels per frame over a static 1280x720 scene of a background
// and two alpha layers; each frame composes only the sprite's old and new area.
void BM_ComposeMovingSprite(benchmark::State& state) {
  constexpr int32_t kW = 1280, kH = 720;
  Scene scene(kW, kH, static_cast<int>(state.range(0)));
  scene.Image("bg", 0, 0, kW, kH, 1, false, 1);
  scene.Image("mid", 100, 100, 900, 500, 2, true, 2);
  scene.Image("front", 400, 200, 600, 400, 3, true, 3);
  scene.Image("sprite", 0, 300, 64, 64, 4, true, 4);
  Scene::Frame();
  int64_t x = 0;
  for (auto _ : state) {
    x = (x + 3) % (kW - 64);
    LayerCommandArgs a;
    a.Text(kLayerPath, "sprite").Set(kLayerX, x);
    ApplyLayerCommand(a);
    Scene::Frame();
  }
  state.SetItemsProcessed(state.iterations() * 67 * 64);
}
BENCHMARK(BM_ComposeMovingSprite)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same static scene recomposed whole each frame: the reference for the sprite's figure.
void BM_ComposeStaticSceneWhole(benchmark::State& state) {
  constexpr int32_t kW = 1280, kH = 720;
  Scene scene(kW, kH, static_cast<int>(state.range(0)));
  scene.Image("bg", 0, 0, kW, kH, 1, false, 1);
  scene.Image("mid", 100, 100, 900, 500, 2, true, 2);
  scene.Image("front", 400, 200, 600, 400, 3, true, 3);
  scene.Image("sprite", 0, 300, 64, 64, 4, true, 4);
  Scene::Frame();
  for (auto _ : state) Scene::ComposeWhole();
}
BENCHMARK(BM_ComposeStaticSceneWhole)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Three 256x256 alpha sprites far apart over a 1920x1080 background, each moving one pixel per
// frame: the frame is composed in three parts instead of the box around all three. Process CPU
// time is what counts here (the workers' waits included).
void BM_ComposeThreeMovingSprites(benchmark::State& state) {
  constexpr int32_t kW = 1920, kH = 1080;
  Scene scene(kW, kH, static_cast<int>(state.range(0)));
  scene.Image("bg", 0, 0, kW, kH, 1, false, 1);
  scene.Image("s1", 100, 100, 256, 256, 2, true, 2);
  scene.Image("s2", 700, 400, 256, 256, 3, true, 3);
  scene.Image("s3", 1300, 700, 256, 256, 4, true, 4);
  Scene::Frame();
  int64_t step = 0;
  for (auto _ : state) {
    step = (step + 1) % 200;
    LayerCommandArgs a1, a2, a3;
    a1.Text(kLayerPath, "s1").Set(kLayerX, 100 + step);
    a2.Text(kLayerPath, "s2").Set(kLayerY, 400 + step);
    a3.Text(kLayerPath, "s3").Set(kLayerX, 1300 - step);
    ApplyLayerCommand(a1);
    ApplyLayerCommand(a2);
    ApplyLayerCommand(a3);
    Scene::Frame();
  }
}
BENCHMARK(BM_ComposeThreeMovingSprites)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()->UseRealTime();

// The typical scene at 1920x1080 composed whole on one worker: an opaque background, three alpha
// sprites (characters) and a message window (alpha) at opacity 200.
void BM_ComposeTypicalScene(benchmark::State& state) {
  constexpr int32_t kW = 1920, kH = 1080;
  Scene scene(kW, kH, static_cast<int>(state.range(0)));
  scene.Image("bg", 0, 0, kW, kH, 1, false, 1);
  scene.Image("chara1", 100, 80, 500, 1000, 2, true, 2);
  scene.Image("chara2", 710, 80, 500, 1000, 3, true, 3);
  scene.Image("chara3", 1320, 80, 500, 1000, 4, true, 4);
  scene.Image("window", 60, 760, 1800, 300, 5, true, 5)->opacity = 200;
  Scene::Frame();
  for (auto _ : state) Scene::ComposeWhole();
}
BENCHMARK(BM_ComposeTypicalScene)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace korvel
