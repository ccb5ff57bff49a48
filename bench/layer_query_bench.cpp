// The layer query's box of visible pixels on an 8192 x 8192 layer: fully transparent (every pixel
// read), one visible pixel in the middle, and fully opaque (each row stops at its first pixel).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "commands/layer_query_command.h"
#include "layer/layer_data.h"

namespace korvel {
namespace {

constexpr int32_t kSide = 8192;

void BM_VisibleBox(benchmark::State& state) {
  std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * 4 + 4, 0);
  if (state.range(0) == 1) pixels[(static_cast<size_t>(kSide / 2) * kSide + kSide / 2) * 4 + 3] = 1;
  if (state.range(0) == 2) {
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  }
  LayerData layer{};
  layer.width = kSide;
  layer.height = kSide;
  layer.pixels = pixels.data();
  for (auto _ : state) benchmark::DoNotOptimize(FindVisibleBox(&layer));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * 4);
}
BENCHMARK(BM_VisibleBox)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvel
