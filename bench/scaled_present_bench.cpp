// Presentation of a moving scene: three 256x256 alpha sprites moving over a 1280x720 game, the
// frame composed and shown through the headless platform unscaled and scaled to 1920 wide (CPU
// smooth, the default drawing mode; and nearest), with one and two workers. Process CPU time is
// what counts: a frame at 60 fps has 16.7 ms, so 1 ms per frame is 6 % of one core.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/frame_step.h"
#include "layer/dirty_rects.h"
#include "layer/layer_command.h"
#include "layer/layer_paths.h"
#include "pixel/worker_pool.h"
#include "render/drawing_mode.h"
#include "render/frame_presentation.h"

#include "headless_scene.h"

namespace korvel {
namespace {

class Scene : public bench::HeadlessScene {
 public:
  Scene(int32_t width, int32_t height, int workers) : HeadlessScene(width, height) {
    StartWorkerThreads(g_worker_pool, workers);
    InitEngineSettings();
    InitDisplayState();
    InitFramePresentation();
  }
  ~Scene() {
    ShutdownFramePresentation();
    StopWorkerThreads(g_worker_pool);
  }

  // An image layer of seeded noise (alpha noise too when `alpha`).
  static void Image(const std::string& path, int64_t x, int64_t y, int32_t w, int32_t h,
                    int64_t key, bool alpha, uint32_t seed) {
    LayerCommandArgs a;
    a.Text(kLayerPath, path).Text(kLayerImage, "").Set(kLayerOrder, key);
    a.Set(kLayerWidth, w).Set(kLayerHeight, h).Set(kLayerX, x).Set(kLayerY, y);
    if (ApplyLayerCommand(a) != 0) return;
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
  }
  // One frame as the frame step runs it: sweep, compose, present, reset.
  static void Frame() {
    SweepLayerChanges();
    RenderWindowIfDirty(0);
    ++g_frame.frame_counter;
    PresentFrame(0);
    ResetAllLayerDirtyRects();
  }
};

// Args: presentation width (1280 unscaled, 1920 scaled), workers, smooth (1) or nearest (0).
void BM_PresentThreeMovingSprites(benchmark::State& state) {
  constexpr int32_t kW = 1280, kH = 720;
  Scene scene(kW, kH, static_cast<int>(state.range(1)));
  const auto pw = static_cast<int32_t>(state.range(0));
  SetWindowedDisplay(pw, pw * kH / kW);
  g_drawing = DrawingModeForField(state.range(2) != 0 ? 2 : 3);
  Scene::Image("bg", 0, 0, kW, kH, 1, false, 1);
  Scene::Image("s1", 60, 60, 256, 256, 2, true, 2);
  Scene::Image("s2", 500, 250, 256, 256, 3, true, 3);
  Scene::Image("s3", 900, 400, 256, 256, 4, true, 4);
  Scene::Frame();
  int64_t step = 0;
  for (auto _ : state) {
    step = (step + 1) % 100;
    LayerCommandArgs a1, a2, a3;
    a1.Text(kLayerPath, "s1").Set(kLayerX, 60 + step);
    a2.Text(kLayerPath, "s2").Set(kLayerY, 250 + step);
    a3.Text(kLayerPath, "s3").Set(kLayerX, 900 - step);
    ApplyLayerCommand(a1);
    ApplyLayerCommand(a2);
    ApplyLayerCommand(a3);
    Scene::Frame();
  }
}
BENCHMARK(BM_PresentThreeMovingSprites)
    ->ArgNames({"present_w", "workers", "smooth"})
    ->Args({1280, 1, 1})
    ->Args({1920, 1, 1})
    ->Args({1920, 2, 1})
    ->Args({1920, 1, 0})
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
}  // namespace korvel
