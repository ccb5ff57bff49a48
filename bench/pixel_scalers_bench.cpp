// The frame scalers (nearest mode 10, smooth mode 21, the presentation's threaded smooth scale and
// the threaded resample mode 41) between 720p and 1080p, with pixman's nearest and bilinear
// scales of the same frames beside them as the reference figures.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <random>
#include <vector>

#include "pixel/frame_scalers.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"

namespace {

// A layer-sized buffer (one spare row and pixel) of random pixels.
std::vector<uint8_t> Image(int32_t w, int32_t h) {
  std::vector<uint8_t> img(static_cast<size_t>(w) * 4 * (static_cast<size_t>(h) + 1) + 4);
  std::mt19937 rng(17);
  for (auto& b : img) b = static_cast<uint8_t>(rng());
  return img;
}

struct Sizes {
  int32_t sw, sh, dw, dh;
};

Sizes SizesOf(const benchmark::State& state) {
  const auto sh = static_cast<int32_t>(state.range(0)), dh = static_cast<int32_t>(state.range(1));
  return {sh * 16 / 9, sh, dh * 16 / 9, dh};
}

void SetPixels(benchmark::State& state, const Sizes& s) {
  state.SetItemsProcessed(state.iterations() * int64_t{s.dw} * s.dh);
}

enum Scaler { kNearest = 10, kSmooth = 21, kSmoothThreaded = 22, kContrast = 41 };

// Args: source height, destination height. The scaler and the worker count are bound per name.
void BM_Korvel(benchmark::State& state, Scaler scaler, int workers) {
  korvel::SelectPixelKernels();
  const Sizes s = SizesOf(state);
  const std::vector<uint8_t> in = Image(s.sw, s.sh);
  std::vector<uint8_t> out(static_cast<size_t>(s.dw) * 4 * (static_cast<size_t>(s.dh) + 1) + 4);
  korvel::StartWorkerThreads(korvel::g_worker_pool, workers);
  const int32_t hx = (s.sw - 1) * 100, hy = (s.sh - 1) * 100;
  for (auto _ : state) {
    switch (scaler) {
      case kNearest:
        korvel::ScaleFrameNearest(out.data(), in.data(), 0, 0, s.sw - 1, s.sh - 1, s.sw, s.sh,
                                  s.dw, s.dh);
        break;
      case kSmooth:
        korvel::ScaleFrameSmooth(out.data(), in.data(), 0, 0, hx, hy, s.sw, s.sh, s.dw * 100,
                                 s.dh * 100);
        break;
      case kSmoothThreaded:
        korvel::ScaleFrameSmoothThreaded(out.data(), in.data(), 0, 0, hx, hy, s.sw, s.sh,
                                         s.dw * 100, s.dh * 100);
        break;
      case kContrast:
        korvel::ScaleFrameSmoothContrast(out.data(), in.data(), 0, 0, hx, hy, s.sw, s.sh,
                                         s.dw * 100, s.dh * 100);
        break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  korvel::StopWorkerThreads(korvel::g_worker_pool);
  SetPixels(state, s);
}

// pixman scaling the whole frame onto the destination (SRC, edges padded), one thread.
void BM_Pixman(benchmark::State& state, pixman_filter_t filter) {
  const Sizes s = SizesOf(state);
  std::vector<uint8_t> in = Image(s.sw, s.sh);
  std::vector<uint8_t> out(static_cast<size_t>(s.dw) * 4 * static_cast<size_t>(s.dh));
  pixman_image_t* src = pixman_image_create_bits(
      PIXMAN_a8r8g8b8, s.sw, s.sh, reinterpret_cast<uint32_t*>(in.data()), s.sw * 4);
  pixman_image_t* dst = pixman_image_create_bits(
      PIXMAN_a8r8g8b8, s.dw, s.dh, reinterpret_cast<uint32_t*>(out.data()), s.dw * 4);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(s.sw) / s.dw),
                              pixman_double_to_fixed(static_cast<double>(s.sh) / s.dh));
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, filter, nullptr, 0);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, s.dw, s.dh);
    benchmark::DoNotOptimize(out.data());
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  SetPixels(state, s);
}

void Configure(benchmark::internal::Benchmark* b) {
  b->Args({720, 1080})
      ->Args({1080, 720})
      ->ArgNames({"from", "to"})
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
}

const bool kRegistered = [] {
  const struct {
    const char* name;
    Scaler scaler;
    int workers;
  } korvel_scalers[] = {
      {"Scale/mode10_nearest/workers:1", kNearest, 1},
      {"Scale/mode21_smooth", kSmooth, 1},
      {"Scale/presentation_smooth/workers:1", kSmoothThreaded, 1},
      {"Scale/presentation_smooth/workers:2", kSmoothThreaded, 2},
      {"Scale/mode41_resample/workers:1", kContrast, 1},
      {"Scale/mode41_resample/workers:2", kContrast, 2},
  };
  for (const auto& k : korvel_scalers) {
    const Scaler scaler = k.scaler;
    const int workers = k.workers;
    Configure(benchmark::RegisterBenchmark(
        k.name, [scaler, workers](benchmark::State& st) { BM_Korvel(st, scaler, workers); }));
  }
  Configure(benchmark::RegisterBenchmark("Scale/pixman_nearest", [](benchmark::State& st) {
             BM_Pixman(st, PIXMAN_FILTER_NEAREST);
           }));
  Configure(benchmark::RegisterBenchmark("Scale/pixman_bilinear", [](benchmark::State& st) {
             BM_Pixman(st, PIXMAN_FILTER_BILINEAR);
           }));
  return true;
}();

}  // namespace
