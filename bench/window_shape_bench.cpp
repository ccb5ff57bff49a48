// The window-shape scan of a layer: an 8192 x 8192 layer (goal: under 100 ms per scan) that is
// black but for a few runs, and a full-HD one with its 1999 runs; memchr over the same bytes is the
// reference figure for touching the pixels once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "commands/window_shape.h"

namespace {

std::vector<uint8_t> Layer(int32_t w, int32_t h, int32_t runs) {
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0);
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0xFF;  // opaque black
  // `runs` white pixels spread over the rows, each its own run.
  for (int32_t k = 0; k < runs; ++k) {
    const size_t y = static_cast<size_t>(k) * h / runs;
    const size_t x = static_cast<size_t>(k * 7) % static_cast<size_t>(w);
    std::memset(&pixels[(y * w + x) * 4], 0xFF, 4);
  }
  return pixels;
}

void BM_ShapeScan(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const int32_t runs = static_cast<int32_t>(state.range(1));
  // 8192 is square; smaller sides are 16:9 frames.
  const int32_t height = side == 8192 ? side : side * 9 / 16;
  const std::vector<uint8_t> pixels = Layer(side, height, runs);
  std::vector<korvel::platform::Rect> rects;
  for (auto _ : state) {
    benchmark::DoNotOptimize(korvel::BuildWindowShape(pixels.data(), side, height, &rects));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(pixels.size()));
}
BENCHMARK(BM_ShapeScan)->Args({8192, 100})->Args({1920, 1999})->Unit(benchmark::kMillisecond);

void BM_TouchOnceReference(benchmark::State& state) {
  const std::vector<uint8_t> pixels = Layer(8192, 8192, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memchr(pixels.data(), 0x01, pixels.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(pixels.size()));
}
BENCHMARK(BM_TouchOnceReference)->Unit(benchmark::kMillisecond);

}  // namespace
