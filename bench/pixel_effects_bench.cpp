// Pixel effects at 1280x720 and 1920x1080 (the blurs at several radii: the running sums keep the
// cost flat), rotation, and every layer scaling filter between 720p and 1080p. A plain copy of
// the same bytes runs beside them as the reference figure.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "pixel/frame_scalers.h"
#include "pixel/pixel_effect_random.h"
#include "pixel/pixel_effects.h"
#include "pixel/pixel_kernels.h"
#include "pixel/pixel_resample.h"
#include "pixel/pixel_rotate.h"
#include "pixel/worker_pool.h"

namespace {

// A layer-sized buffer (one spare row and pixel) of random pixels.
std::vector<uint8_t> Image(int32_t w, int32_t h) {
  std::vector<uint8_t> img(static_cast<size_t>(w) * 4 * (static_cast<size_t>(h) + 1) + 4);
  std::mt19937 rng(17);
  for (auto& b : img) b = static_cast<uint8_t>(rng());
  return img;
}

// Mode 8's generator as the engine wires it: one at a time or in bulk.
korvel::ShuffleRandom& BenchGenerator() {
  static korvel::ShuffleRandom r = [] {
    korvel::ShuffleRandom g;
    korvel::SeedShuffleRandom(g, 1);
    return g;
  }();
  return r;
}
uint32_t BenchRandom() { return korvel::NextShuffleRandom(BenchGenerator()); }
void BenchFillRandom(uint32_t* out, size_t n) { korvel::FillShuffleRandom(BenchGenerator(), out, n); }

void SetPixels(benchmark::State& state, int64_t pixels) {
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * pixels * 4);
}

// Args: mode, width, height, value A.
void BM_Effect(benchmark::State& state) {
  korvel::SelectPixelKernels();
  const auto mode = static_cast<uint8_t>(state.range(0));
  const auto w = static_cast<int32_t>(state.range(1)), h = static_cast<int32_t>(state.range(2));
  const std::vector<uint8_t> in = Image(w, h);
  std::vector<uint8_t> out(in.size());
  korvel::EffectCall c;
  c.in = in.data();
  c.width = w;
  c.height = h;
  c.x1 = w - 1;
  c.y1 = h - 1;
  c.out = out.data();
  c.out_width = w;
  c.a = state.range(3);
  c.b = 30;
  c.variant = 1;
  c.has_alpha = 1;
  c.next_random = BenchRandom;
  c.fill_random = BenchFillRandom;
  const bool whole = korvel::EffectKeepsWholeImage(mode);
  for (auto _ : state) {
    if (whole) std::memcpy(out.data(), in.data(), static_cast<size_t>(w) * h * 4);
    korvel::RunPixelEffect(mode, c);
    benchmark::DoNotOptimize(out.data());
  }
  SetPixels(state, int64_t{w} * h);
}

void EffectArgs(benchmark::internal::Benchmark* b) {
  const int modes[][2] = {{1, 200}, {2, 4},  {6, 0},  {8, 64},  {9, 1},   {10, 0x80FF20},
                          {17, 100}, {18, 8}, {19, 20}, {20, 20}, {21, 20}, {22, 0x123456},
                          {25, 1},  {27, 60}, {27, 200}, {35, 1}, {36, 0},  {37, 900}};
  for (const auto& m : modes) {
    b->Args({m[0], 1280, 720, m[1]});
    b->Args({m[0], 1920, 1080, m[1]});
  }
  // Blurs at radius 1, 16, 128 (16-bit window sums) and 200 (32-bit sums).
  for (int mode : {2, 3, 4, 5}) {
    for (int r : {1, 16, 128, 200}) {
      b->Args({mode, 1280, 720, r});
      b->Args({mode, 1920, 1080, r});
    }
  }
}
BENCHMARK(BM_Effect)->Apply(EffectArgs)->ArgNames({"mode", "w", "h", "A"})->Unit(benchmark::kMicrosecond);

// The effects with a per-pixel division or draw on each instruction set at 1080p. Args: mode,
// value A, instruction set (0 scalar, 1 SSE2, 2 AVX2).
void BM_EffectOnIsa(benchmark::State& state) {
  const auto isa = static_cast<korvel::PixelIsa>(state.range(2));
  if (!korvel::PixelIsaSupported(isa)) {
    state.SkipWithError("instruction set not supported here");
    return;
  }
  korvel::InstallPixelKernels(korvel::KernelSet::kSse, isa);
  state.SetLabel(korvel::PixelIsaName(isa));
  const auto mode = static_cast<uint8_t>(state.range(0));
  constexpr int32_t w = 1920, h = 1080;
  const std::vector<uint8_t> in = Image(w, h);
  std::vector<uint8_t> out(in.size());
  korvel::EffectCall c;
  c.in = in.data();
  c.width = w;
  c.height = h;
  c.x1 = w - 1;
  c.y1 = h - 1;
  c.out = out.data();
  c.out_width = w;
  c.a = state.range(1);
  c.has_alpha = 1;
  c.next_random = BenchRandom;
  c.fill_random = BenchFillRandom;
  for (auto _ : state) {
    korvel::RunPixelEffectOn(isa, mode, c);
    benchmark::DoNotOptimize(out.data());
  }
  korvel::SelectPixelKernels();
  SetPixels(state, int64_t{w} * h);
}
BENCHMARK(BM_EffectOnIsa)
    ->ArgsProduct({{8}, {64, 200}, {0, 1, 2}})
    ->ArgsProduct({{27}, {200}, {0, 1, 2}})
    ->ArgNames({"mode", "A", "isa"})
    ->Unit(benchmark::kMicrosecond);

// The reference: one row copy of the same bytes per row.
void BM_PlainCopy(benchmark::State& state) {
  korvel::SelectPixelKernels();
  const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
  const std::vector<uint8_t> in = Image(w, h);
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    for (int32_t y = 0; y < h; ++y) {
      korvel::g_pixel_kernels.copy_row(out.data() + static_cast<size_t>(y) * w * 4,
                                       in.data() + static_cast<size_t>(y) * w * 4,
                                       static_cast<size_t>(w) * 4);
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetPixels(state, int64_t{w} * h);
}
BENCHMARK(BM_PlainCopy)->Args({1280, 720})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// Args: mode (11, 12), angle, width, height.
void BM_Rotate(benchmark::State& state) {
  const auto w = static_cast<int32_t>(state.range(2)), h = static_cast<int32_t>(state.range(3));
  const std::vector<uint8_t> in = Image(w, h);
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    korvel::RotatePixels(out.data(), in.data(), w, h, state.range(1),
                         static_cast<int32_t>(state.range(0)));
    benchmark::DoNotOptimize(out.data());
  }
  SetPixels(state, int64_t{w} * h);
}
BENCHMARK(BM_Rotate)
    ->ArgsProduct({{11, 12}, {30, 90, 180}, {1920}, {1080}})
    ->ArgNames({"mode", "angle", "w", "h"})
    ->Unit(benchmark::kMicrosecond);

// Args: mode (10, 21, 31, 41, 51), source height (720 or 1080), destination height.
void BM_Scale(benchmark::State& state) {
  korvel::SelectPixelKernels();
  const auto mode = static_cast<int32_t>(state.range(0));
  const auto sh = static_cast<int32_t>(state.range(1)), dh = static_cast<int32_t>(state.range(2));
  const int32_t sw = sh * 16 / 9, dw = dh * 16 / 9;
  const std::vector<uint8_t> in = Image(sw, sh);
  std::vector<uint8_t> out(static_cast<size_t>(dw) * 4 * (static_cast<size_t>(dh) + 1) + 4);
  korvel::StartWorkerThreads(korvel::g_worker_pool, 2);
  korvel::ResampleSource src;
  src.pixels = in.data();
  src.width = sw;
  src.height = sh;
  src.span_x = sw;
  src.span_y = sh;
  for (auto _ : state) {
    switch (mode) {
      case 10:
        korvel::ScaleFrameNearest(out.data(), in.data(), 0, 0, sw - 1, sh - 1, sw, sh, dw, dh);
        break;
      case 21:
        korvel::ScaleFrameSmooth(out.data(), in.data(), 0, 0, (sw - 1) * 100, (sh - 1) * 100, sw,
                                 sh, dw * 100, dh * 100);
        break;
      case 41:
        korvel::ScaleFrameSmoothContrast(out.data(), in.data(), 0, 0, (sw - 1) * 100,
                                         (sh - 1) * 100, sw, sh, dw * 100, dh * 100);
        break;
      case 31:
        korvel::ResampleBicubic(out.data(), dw, dh, src);
        break;
      default:
        korvel::ResampleLanczos(out.data(), dw, dh, src);
        break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  korvel::StopWorkerThreads(korvel::g_worker_pool);
  SetPixels(state, int64_t{dw} * dh);
}
BENCHMARK(BM_Scale)
    ->ArgsProduct({{10, 21, 31, 41, 51}, {720, 1080}, {720, 1080}})
    ->ArgNames({"mode", "from", "to"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace
