// Throughput of every pixel-row kernel slot per instruction set on 1280- and 1920-pixel rows,
// with memcpy and memset as the upper bound and pixman's OVER on the same buffers.
#include <benchmark/benchmark.h>

#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pixel/mask_weights.h"
#include "pixel/pixel_kernels.h"

namespace {

using korvel::KernelSet;
using korvel::PixelIsa;
using korvel::PixelKernelTable;

// Rows of random pixels (the source holds two rows: slot 21 halves them into half a row).
struct Rows {
  std::vector<uint8_t> dst, src, aux, below;
  explicit Rows(size_t pixels)
      : dst(pixels * 4), src(pixels * 4 * 2), aux(pixels * 4), below(pixels * 4) {
    std::mt19937 rng(static_cast<uint32_t>(pixels));
    for (auto* v : {&dst, &src, &aux, &below}) {
      for (auto& b : *v) b = static_cast<uint8_t>(rng());
    }
  }
};

korvel::MaskWeightTable Weights() {
  korvel::MaskWeightTable w;
  korvel::BuildMaskWeightTable(w, 150, 30, 256);
  return w;
}
const korvel::MaskWeightTable kWeights = Weights();

using SlotRun = void (*)(const PixelKernelTable& t, Rows& r, size_t bytes);

struct Slot {
  int number;
  const char* name;
  SlotRun run;
};

const Slot kSlots[] = {
    {0, "zero", [](const PixelKernelTable& t, Rows& r, size_t n) { t.zero_row(r.dst.data(), n); }},
    {1, "fill_bytes", [](const PixelKernelTable& t, Rows& r, size_t n) { t.fill_bytes(r.dst.data(), n, 7); }},
    {2, "fill_pixels", [](const PixelKernelTable& t, Rows& r, size_t n) { t.fill_pixels(r.dst.data(), n, 0x80402010u); }},
    {3, "copy", [](const PixelKernelTable& t, Rows& r, size_t n) { t.copy_row(r.dst.data(), r.src.data(), n); }},
    {4, "blend_opacity", [](const PixelKernelTable& t, Rows& r, size_t n) { t.blend_opacity(r.dst.data(), r.src.data(), 77, n); }},
    {5, "blend_src_alpha", [](const PixelKernelTable& t, Rows& r, size_t n) { t.blend_src_alpha(r.dst.data(), r.src.data(), n); }},
    {6, "blend_src_alpha_opacity", [](const PixelKernelTable& t, Rows& r, size_t n) { t.blend_src_alpha_opacity(r.dst.data(), r.src.data(), 200, n); }},
    {7, "blend_mask_table", [](const PixelKernelTable& t, Rows& r, size_t n) { t.blend_mask_table(r.dst.data(), r.src.data(), r.aux.data(), kWeights, 150, 30, n); }},
    {8, "lerp_two_rows", [](const PixelKernelTable& t, Rows& r, size_t n) { t.lerp_two_rows(r.dst.data(), r.aux.data(), r.src.data(), 77, n); }},
    {9, "add_saturate", [](const PixelKernelTable& t, Rows& r, size_t n) { t.add_saturate(r.dst.data(), r.src.data(), n); }},
    {10, "add_saturate_opacity", [](const PixelKernelTable& t, Rows& r, size_t n) { t.add_saturate_opacity(r.dst.data(), r.src.data(), 99, n); }},
    {11, "add_src_alpha", [](const PixelKernelTable& t, Rows& r, size_t n) { t.add_src_alpha(r.dst.data(), r.src.data(), n); }},
    {12, "add_src_alpha_opacity", [](const PixelKernelTable& t, Rows& r, size_t n) { t.add_src_alpha_opacity(r.dst.data(), r.src.data(), 99, n); }},
    {13, "subtract_saturate", [](const PixelKernelTable& t, Rows& r, size_t n) { t.subtract_saturate(r.dst.data(), r.src.data(), n); }},
    {14, "multiply", [](const PixelKernelTable& t, Rows& r, size_t n) { t.multiply(r.dst.data(), r.src.data(), n); }},
    {15, "screen", [](const PixelKernelTable& t, Rows& r, size_t n) { t.screen(r.dst.data(), r.src.data(), n); }},
    {16, "screen_opacity", [](const PixelKernelTable& t, Rows& r, size_t n) { t.screen_opacity(r.dst.data(), r.src.data(), 150, n); }},
    {17, "lighten", [](const PixelKernelTable& t, Rows& r, size_t n) { t.lighten(r.dst.data(), r.src.data(), n); }},
    {18, "darken", [](const PixelKernelTable& t, Rows& r, size_t n) { t.darken(r.dst.data(), r.src.data(), n); }},
    {19, "linear_burn", [](const PixelKernelTable& t, Rows& r, size_t n) { t.linear_burn(r.dst.data(), r.src.data(), n); }},
    {20, "linear_light", [](const PixelKernelTable& t, Rows& r, size_t n) { t.linear_light(r.dst.data(), r.src.data(), n); }},
    {21, "halve_rows", [](const PixelKernelTable& t, Rows& r, size_t n) { t.halve_rows(r.dst.data(), r.src.data(), n / 4, n / 8); }},
    {22, "over_translucent", [](const PixelKernelTable& t, Rows& r, size_t n) { t.screen_src_alpha(r.dst.data(), r.src.data(), n); }},
    {23, "over_translucent_opacity", [](const PixelKernelTable& t, Rows& r, size_t n) { t.screen_src_alpha_opacity(r.dst.data(), r.src.data(), 128, n); }},
    {24, "alpha_table_opacity", [](const PixelKernelTable& t, Rows& r, size_t n) { t.blend_alpha_table_opacity(r.dst.data(), r.src.data(), 100, n); }},
    {25, "onto_translucent", [](const PixelKernelTable& t, Rows& r, size_t n) { t.blend_onto_translucent(r.dst.data(), r.src.data(), 200, 150, n); }},
};

void BM_Slot(benchmark::State& state) {
  const Slot& slot = kSlots[state.range(0)];
  const auto isa = static_cast<PixelIsa>(state.range(1));
  const auto pixels = static_cast<size_t>(state.range(2));
  if (!korvel::PixelIsaSupported(isa)) {
    state.SkipWithError("instruction set not supported here");
    return;
  }
  PixelKernelTable t{};
  korvel::FillPixelKernelTable(t, KernelSet::kSse, isa);
  Rows rows(pixels);
  for (auto _ : state) {
    slot.run(t, rows, pixels * 4);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(pixels));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(pixels) * 4);
}

void BM_Memcpy(benchmark::State& state) {
  const auto pixels = static_cast<size_t>(state.range(0));
  Rows rows(pixels);
  for (auto _ : state) {
    std::memcpy(rows.dst.data(), rows.src.data(), pixels * 4);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(pixels));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(pixels) * 4);
}

void BM_Memset(benchmark::State& state) {
  const auto pixels = static_cast<size_t>(state.range(0));
  Rows rows(pixels);
  for (auto _ : state) {
    std::memset(rows.dst.data(), 0x5A, pixels * 4);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(pixels));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(pixels) * 4);
}

// pixman's OVER of an a8r8g8b8 row onto an a8r8g8b8 row: the same bytes as slot 5 works on.
void BM_PixmanOver(benchmark::State& state) {
  const auto pixels = static_cast<int>(state.range(0));
  Rows rows(static_cast<size_t>(pixels));
  pixman_image_t* src = pixman_image_create_bits(
      PIXMAN_a8r8g8b8, pixels, 1, reinterpret_cast<uint32_t*>(rows.src.data()), pixels * 4);
  pixman_image_t* dst = pixman_image_create_bits(
      PIXMAN_a8r8g8b8, pixels, 1, reinterpret_cast<uint32_t*>(rows.dst.data()), pixels * 4);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, pixels, 1);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * pixels);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * pixels * 4);
}

void Register() {
  const char* const isas[] = {"scalar", "sse2", "avx2"};
  for (int pixels : {1280, 1920}) {
    benchmark::RegisterBenchmark(("Row/memcpy/" + std::to_string(pixels)).c_str(), BM_Memcpy)
        ->Arg(pixels);
    benchmark::RegisterBenchmark(("Row/memset/" + std::to_string(pixels)).c_str(), BM_Memset)
        ->Arg(pixels);
    benchmark::RegisterBenchmark(("Row/pixman_over/" + std::to_string(pixels)).c_str(),
                                 BM_PixmanOver)
        ->Arg(pixels);
    for (size_t s = 0; s < std::size(kSlots); ++s) {
      for (int isa = 0; isa < 3; ++isa) {
        const std::string name = "Row/slot" + std::to_string(kSlots[s].number) + "_" +
                                 kSlots[s].name + "/" + isas[isa] + "/" + std::to_string(pixels);
        benchmark::RegisterBenchmark(name.c_str(), BM_Slot)
            ->Args({static_cast<int64_t>(s), isa, pixels});
      }
    }
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
