// Image export of a 1920×1080 layer: PNG at levels 0, 5 and 9, JPEG at quality 90 and BMP, each
// through the whole writer (temporary file, flush, rename).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image_writers.h"

namespace {

// Gradients with a little noise: closer to a game screen than pure noise or a flat fill.
std::vector<uint8_t> Screen(int32_t width, int32_t height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4 + 4);
  uint32_t seed = 12345;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      uint8_t* p = &pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
      const auto noise = static_cast<uint8_t>((seed >> 28) & 7);
      p[0] = static_cast<uint8_t>(x / 8 + noise);
      p[1] = static_cast<uint8_t>(y / 5 + noise);
      p[2] = static_cast<uint8_t>((x + y) / 12);
      p[3] = 255;
    }
  }
  return pixels;
}

struct Target {
  std::string folder;
  Target() {
    folder = (std::filesystem::temp_directory_path() / "korvel-bench-writers").string();
    std::filesystem::create_directories(folder);
  }
  ~Target() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

void BM_ExportPng(benchmark::State& state) {
  Target target;
  std::vector<uint8_t> pixels = Screen(1920, 1080);
  const korvel::WritableImage image{pixels.data(), 1920, 1080, 1};
  for (auto _ : state) {
    if (korvel::WriteImagePng(image, target.folder, "shot.png", static_cast<int32_t>(state.range(0))) != 0) {
      state.SkipWithError("write failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_ExportPng)->Arg(0)->Arg(5)->Arg(9)->Unit(benchmark::kMillisecond);

void BM_ExportJpeg(benchmark::State& state) {
  Target target;
  std::vector<uint8_t> pixels = Screen(1920, 1080);
  const korvel::WritableImage image{pixels.data(), 1920, 1080, 1};
  for (auto _ : state) {
    if (korvel::WriteImageJpeg(image, target.folder, "shot.jpg", 90) != 0) {
      state.SkipWithError("write failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_ExportJpeg)->Unit(benchmark::kMillisecond);

void BM_ExportBmp(benchmark::State& state) {
  Target target;
  std::vector<uint8_t> pixels = Screen(1920, 1080);
  const korvel::WritableImage image{pixels.data(), 1920, 1080, 1};
  for (auto _ : state) {
    if (korvel::WriteImageBmp(image, target.folder, "shot.bmp") != 0) {
      state.SkipWithError("write failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_ExportBmp)->Unit(benchmark::kMillisecond);

}  // namespace
