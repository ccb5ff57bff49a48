// Layer copies per frame at 1280x720 and 1920x1080 on one core: the rule transition (scalar
// reference and the installed instruction set), the masked copy, and beside them a plain row copy
// of the same frame bytes as the floor any full-frame operation pays.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/named_tree.h"
#include "layer/layer_canvas.h"
#include "layer/layer_copies.h"
#include "layer/rule_transition.h"
#include "layer/layer_record.h"
#include "pixel/pixel_kernels.h"
#include "platform/platform.h"

namespace korvel {
namespace {

// A stand-alone layer node (no tree) owning a random image of width x height.
struct BenchLayer {
  LayerData data{};
  std::vector<uint8_t> pixels;
  NamedTreeNode* node = nullptr;
  BenchLayer(int32_t w, int32_t h, uint32_t seed) {
    pixels.resize(LayerBufferBytes(w, h));
    std::mt19937 rng(seed);
    for (uint8_t& b : pixels) b = static_cast<uint8_t>(rng());
    data.width = w;
    data.height = h;
    data.opacity = 256;
    data.pixels = pixels.data();
    node = AllocTreeNode("bench", false);
    node->payload = &data;
  }
  ~BenchLayer() {
    node->payload = nullptr;
    DestroyTreeNode(node, nullptr);
  }
  BenchLayer(const BenchLayer&) = delete;
  BenchLayer& operator=(const BenchLayer&) = delete;
};

struct Engine {
  Engine() {
    platform::InitPlatformWith(platform::BackendKind::kHeadless);
    InitEngineState();
    InitErrorReporting();
    InitLayerState();
    SelectPixelKernels();
  }
};

void SetFrameCounters(benchmark::State& state, int64_t w, int64_t h) {
  // Time per iteration is the time per frame; bytes are the frame's output bytes.
  state.SetBytesProcessed(state.iterations() * w * h * 4);
}

// Arguments: width, height, instruction set (0 scalar, 1 best installed).
void BM_RuleTransition(benchmark::State& state) {
  static Engine engine;
  const auto w = static_cast<int32_t>(state.range(0));
  const auto h = static_cast<int32_t>(state.range(1));
  const PixelKernelSelection saved = g_pixel_selection;
  if (state.range(2) == 0) g_pixel_selection.isa = PixelIsa::kScalar;
  BenchLayer from(w, h, 1), to(w, h, 2), rule(w, h, 3), out(w, h, 4);
  int64_t progress = 1;
  for (auto _ : state) {
    RuleTransitionLayerCG(from.node, to.node, rule.node, out.node, 0, 0, progress, 64);
    progress = progress % 253 + 1;  // every ramp in turn, never the copying ends
    benchmark::DoNotOptimize(out.pixels.data());
  }
  g_pixel_selection = saved;
  SetFrameCounters(state, w, h);
  state.SetLabel(state.range(2) == 0 || g_pixel_selection.isa == PixelIsa::kScalar ? "scalar" : "sse2");
}

void BM_MaskedCopy(benchmark::State& state) {
  static Engine engine;
  const auto w = static_cast<int32_t>(state.range(0));
  const auto h = static_cast<int32_t>(state.range(1));
  BenchLayer source(w, h, 1), mask(w, h, 2), out(w, h, 3);
  for (auto _ : state) {
    MaskCopyLayerCGRect(source.node, mask.node, out.node, 0, 0, 200);
    benchmark::DoNotOptimize(out.pixels.data());
  }
  SetFrameCounters(state, w, h);
}

// The same frame bytes through the row copy kernel.
void BM_PlainCopy(benchmark::State& state) {
  static Engine engine;
  const auto w = static_cast<int32_t>(state.range(0));
  const auto h = static_cast<int32_t>(state.range(1));
  BenchLayer source(w, h, 1), out(w, h, 2);
  for (auto _ : state) {
    for (int32_t y = 0; y < h; ++y) {
      const size_t row = static_cast<size_t>(w) * 4;
      g_pixel_kernels.copy_row(out.pixels.data() + row * static_cast<size_t>(y),
                               source.pixels.data() + row * static_cast<size_t>(y), row);
    }
    benchmark::DoNotOptimize(out.pixels.data());
  }
  SetFrameCounters(state, w, h);
}

BENCHMARK(BM_RuleTransition)->Args({1280, 720, 0})->Args({1280, 720, 1})->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskedCopy)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopy)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvel
