// One post-and-wait of an empty job, and a whole-frame blend split over one and two workers.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "layer/compositor_jobs.h"
#include "pixel/blend_modes.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"

namespace {

void BM_EmptyPost(benchmark::State& state) {
  korvel::WorkerPool pool;
  korvel::StartWorkerThreads(pool, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    if (korvel::PostEmptyJob(pool) != korvel::WorkerStatus::kOk) state.SkipWithError("post failed");
  }
  korvel::StopWorkerThreads(pool);
}
BENCHMARK(BM_EmptyPost)->Arg(1)->Arg(2)->UseRealTime();

// A 1920×1080 child with its own alpha blended into its parent (job 103, mode 0: slot 5).
void BM_FrameBlendPost(benchmark::State& state) {
  korvel::SelectPixelKernels();
  constexpr int kW = 1920, kH = 1080;
  std::vector<uint8_t> parent(size_t{kW} * kH * 4), child(size_t{kW} * kH * 4);
  std::mt19937 rng(3);
  for (auto& b : parent) b = static_cast<uint8_t>(rng());
  for (auto& b : child) b = static_cast<uint8_t>(rng());
  korvel::WorkerPool pool;
  korvel::StartWorkerThreads(pool, static_cast<int>(state.range(0)));
  korvel::BlendBandJob job;
  job.clip = korvel::BlitClip{0, 0, 0, 0, kW, kH};
  job.parent = korvel::PixelImage{parent.data(), kW, kH};
  job.child = korvel::ConstPixelImage{child.data(), kW, kH};
  job.blend_mode = static_cast<int32_t>(state.range(1));
  job.opacity = 256;
  for (auto _ : state) {
    if (korvel::PostBlendJob(pool, korvel::BlendJobKind::kAlpha, job) !=
        korvel::WorkerStatus::kOk) {
      state.SkipWithError("post failed");
    }
  }
  korvel::StopWorkerThreads(pool);
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_FrameBlendPost)
    ->Args({1, korvel::kBlendNormal})
    ->Args({2, korvel::kBlendNormal})
    ->Args({1, korvel::kBlendOverlay})
    ->Args({2, korvel::kBlendOverlay})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
