// The drag layer's per-frame snapshot with a 1920x1080 drag layer of noisy alpha: a still layer
// (the usual frame), a layer with one pixel's alpha flipped every frame, a layer without alpha,
// and a still frame presented whole (the snapshot is then all the present step does).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/system_objects.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "layer/compositor.h"
#include "layer/dirty_rects.h"
#include "layer/layer_command.h"
#include "layer/layer_create.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "pixel/pixel_kernels.h"
#include "platform/platform.h"
#include "render/drag_snapshot.h"
#include "render/frame_presentation.h"

#include "headless_scene.h"

namespace korvel {
namespace {

constexpr int32_t kW = 1920, kH = 1080;

// A headless window 0 of 1920x1080 with a full-size drag layer "drag" of seeded noise.
class DragScene : public bench::HeadlessScene {
 public:
  explicit DragScene(bool alpha) : HeadlessScene(kW, kH) {
    LayerCommandArgs a;
    a.Text(kLayerPath, "drag").Text(kLayerImage, "").Set(kLayerOrder, 1);
    a.Set(kLayerWidth, kW).Set(kLayerHeight, kH);
    ApplyLayerCommand(a);
    LayerPath p;
    NormalizeLayerPath("drag", &p);
    node_ = FindLayerQuiet(p.text, false);
    layer_ = LayerOf(node_);
    std::mt19937 rng(7);
    for (size_t i = 0; i < static_cast<size_t>(kW) * kH * 4; ++i) {
      layer_->pixels[i] = static_cast<uint8_t>(rng());
    }
    layer_->has_alpha = alpha ? 1 : 0;
    MarkDirtyUpward(node_);
    SetWindowDrag(true, "drag");
    InitFramePresentation();
    ResetAllLayerDirtyRects();
  }
  ~DragScene() {
    SetWindowDrag(false, "");
    ShutdownFramePresentation();
  }

  LayerData* layer() const { return layer_; }

 private:
  NamedTreeNode* node_ = nullptr;
  LayerData* layer_ = nullptr;
};

// Arg 0: still layer with alpha; 1: one alpha byte flipped per frame; 2: a layer without alpha.
void BM_DragSnapshotUpdate(benchmark::State& state) {
  DragScene scene(state.range(0) != 2);
  uint8_t* alpha = scene.layer()->pixels + 3;
  for (auto _ : state) {
    if (state.range(0) == 1) *alpha = *alpha == 0 ? 255 : 0;
    UpdateDragSnapshot();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_DragSnapshotUpdate)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A frame in which nothing changed: window 0's present step with the drag layer on.
void BM_StillFramePresent(benchmark::State& state) {
  DragScene scene(true);
  for (auto _ : state) benchmark::DoNotOptimize(PresentFrame(0));
}
BENCHMARK(BM_StillFramePresent)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvel
