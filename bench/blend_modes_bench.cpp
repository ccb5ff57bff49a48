// Every blend mode over a whole 1280×720 and 1920×1080 frame, per kernel family, on one core,
// and pixman's OVER on the same frames.
#include <benchmark/benchmark.h>

#include <pixman.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pixel/blend_kernels.h"
#include "pixel/blend_modes.h"
#include "pixel/mask_weights.h"
#include "pixel/pixel_kernels.h"

namespace {

using korvel::BlendFamily;

struct Frame {
  int width, height;
  std::vector<uint8_t> dst, src, mask;
  Frame(int w, int h) : width(w), height(h) {
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
    dst.resize(n);
    src.resize(n);
    mask.resize(n);
    std::mt19937 rng(7);
    for (size_t i = 0; i < n; ++i) {
      dst[i] = static_cast<uint8_t>(rng());
      src[i] = static_cast<uint8_t>(rng());
      mask[i] = static_cast<uint8_t>(rng());
    }
  }
};

Frame& FrameOf(int width) {
  static Frame hd(1280, 720);
  static Frame fhd(1920, 1080);
  return width == 1280 ? hd : fhd;
}

void BM_BlendFrame(benchmark::State& state) {
  korvel::SelectPixelKernels();
  const auto family = static_cast<BlendFamily>(state.range(0));
  const int mode = static_cast<int>(state.range(1));
  const int opacity = static_cast<int>(state.range(2));
  Frame& f = FrameOf(static_cast<int>(state.range(3)));
  const korvel::BlendKernelEntry& e = korvel::LookupBlendKernel(family, mode, opacity);
  korvel::MaskWeightTable weights;
  korvel::BuildMaskWeightTable(weights, 160, 24, opacity);
  const size_t pitch = static_cast<size_t>(f.width) * 4;
  for (auto _ : state) {
    for (int y = 0; y < f.height; ++y) {
      uint8_t* d = f.dst.data() + static_cast<size_t>(y) * pitch;
      const uint8_t* s = f.src.data() + static_cast<size_t>(y) * pitch;
      if (e.span) {
        e.span(d, s, opacity, pitch);
      } else {
        e.mask_span(d, s, f.mask.data() + static_cast<size_t>(y) * pitch, weights, 160, 24, pitch);
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * f.width * f.height);
  state.SetLabel("route " + std::to_string(e.route));
}

void BM_PixmanOverFrame(benchmark::State& state) {
  Frame& f = FrameOf(static_cast<int>(state.range(0)));
  auto* dst_bits = reinterpret_cast<uint32_t*>(f.dst.data());
  auto* src_bits = reinterpret_cast<uint32_t*>(f.src.data());
  pixman_image_t* src =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, f.width, f.height, src_bits, f.width * 4);
  pixman_image_t* dst =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, f.width, f.height, dst_bits, f.width * 4);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, f.width,
                             f.height);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  state.SetItemsProcessed(state.iterations() * f.width * f.height);
}

const char* const kFamilyNames[] = {"A_opaque", "B_alpha", "C_mask", "D_mask_alpha"};

void Register() {
  for (int width : {1280, 1920}) {
    benchmark::RegisterBenchmark(width == 1280 ? "BlendFrame/pixman_over/720p"
                                               : "BlendFrame/pixman_over/1080p",
                                 BM_PixmanOverFrame)
        ->Arg(width)
        ->Unit(benchmark::kMillisecond);
    for (int family = 0; family < 4; ++family) {
      for (int opacity : {256, 200}) {
        if (family == 3 && opacity == 256) continue;
        for (int mode = 0; mode < korvel::kBlendModeCount; ++mode) {
          const std::string name = std::string("BlendFrame/") + kFamilyNames[family] + "/o" +
                                   std::to_string(opacity) + "/mode" + std::to_string(mode) +
                                   (width == 1280 ? "/720p" : "/1080p");
          benchmark::RegisterBenchmark(name.c_str(), BM_BlendFrame)
              ->Args({family, mode, opacity, width})
              ->Unit(benchmark::kMillisecond);
        }
      }
    }
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
