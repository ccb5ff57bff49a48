// Bicubic (mode 31) and Lanczos (mode 51) layer resampling between 720p and 1080p on every
// instruction set, with libswscale's BGRA bicubic and Lanczos scalers on the same frames beside
// them as the reference figures (one thread each).
#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <random>
#include <vector>

#include "pixel/pixel_kernels.h"
#include "pixel/pixel_resample.h"

namespace {

std::vector<uint8_t> Frame(int32_t w, int32_t h) {
  std::vector<uint8_t> img(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  std::mt19937 rng(17);
  for (auto& b : img) b = static_cast<uint8_t>(rng());
  return img;
}

int32_t WidthOf(int32_t height) { return height * 16 / 9; }

void SetPixels(benchmark::State& state, int32_t w, int32_t h) {
  state.SetItemsProcessed(state.iterations() * int64_t{w} * h);
}

// Args: mode (31, 51), source height, destination height, instruction set (0 scalar, 1 SSE2,
// 2 AVX2).
void BM_Resample(benchmark::State& state) {
  const auto mode = state.range(0);
  const auto sh = static_cast<int32_t>(state.range(1)), dh = static_cast<int32_t>(state.range(2));
  const auto isa = static_cast<korvel::PixelIsa>(state.range(3));
  if (!korvel::PixelIsaSupported(isa)) {
    state.SkipWithError("instruction set not available");
    return;
  }
  const int32_t sw = WidthOf(sh), dw = WidthOf(dh);
  const std::vector<uint8_t> in = Frame(sw, sh);
  std::vector<uint8_t> out(static_cast<size_t>(dw) * static_cast<size_t>(dh) * 4);
  korvel::ResampleSource src;
  src.pixels = in.data();
  src.width = sw;
  src.height = sh;
  src.span_x = sw;
  src.span_y = sh;
  for (auto _ : state) {
    if (mode == 31) {
      korvel::ResampleBicubicWith(isa, out.data(), dw, dh, src);
    } else {
      korvel::ResampleLanczosWith(isa, out.data(), dw, dh, src);
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetPixels(state, dw, dh);
}
BENCHMARK(BM_Resample)
    ->ArgsProduct({{31, 51}, {720, 1080}, {720, 1080}, {0, 1, 2}})
    ->ArgNames({"mode", "from", "to", "isa"})
    ->Unit(benchmark::kMillisecond);

// Args: swscale filter (31 bicubic, 51 Lanczos), source height, destination height.
void BM_Swscale(benchmark::State& state) {
  const int flags = state.range(0) == 31 ? SWS_BICUBIC : SWS_LANCZOS;
  const auto sh = static_cast<int32_t>(state.range(1)), dh = static_cast<int32_t>(state.range(2));
  const int32_t sw = WidthOf(sh), dw = WidthOf(dh);
  const std::vector<uint8_t> in = Frame(sw, sh);
  std::vector<uint8_t> out(static_cast<size_t>(dw) * static_cast<size_t>(dh) * 4);
  SwsContext* ctx = sws_getContext(sw, sh, AV_PIX_FMT_BGRA, dw, dh, AV_PIX_FMT_BGRA, flags,
                                   nullptr, nullptr, nullptr);
  if (ctx == nullptr) {
    state.SkipWithError("sws_getContext failed");
    return;
  }
  const uint8_t* src_planes[4] = {in.data(), nullptr, nullptr, nullptr};
  const int src_strides[4] = {sw * 4, 0, 0, 0};
  uint8_t* dst_planes[4] = {out.data(), nullptr, nullptr, nullptr};
  const int dst_strides[4] = {dw * 4, 0, 0, 0};
  for (auto _ : state) {
    sws_scale(ctx, src_planes, src_strides, 0, sh, dst_planes, dst_strides);
    benchmark::DoNotOptimize(out.data());
  }
  sws_freeContext(ctx);
  SetPixels(state, dw, dh);
}
BENCHMARK(BM_Swscale)
    ->ArgsProduct({{31, 51}, {720, 1080}, {720, 1080}})
    ->ArgNames({"mode", "from", "to"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
