// Save data: a 1920 x 1080 layer saved into a pending block (MB/s of pixels) next to its peer, a
// raw copy plus compress2 at the same level; the peak memory an 8192 x 8192 layer's save adds
// (the pixels are compressed where they lie); and the rewrite of a 100 MB save file whose blocks
// are copied file to file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "commands/save_data_file.h"
#include "core/save_blocks.h"
#include "layer/layer_data.h"

namespace korvel {
namespace {

// Pixels with the texture of a drawn picture: smooth gradients with a little noise.
std::vector<uint8_t> PicturePixels(int32_t width, int32_t height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * 4 * height + 4 * width + 4);
  std::mt19937 random(7);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(x + (random() & 3));
      p[1] = static_cast<uint8_t>(y + (random() & 3));
      p[2] = static_cast<uint8_t>((x + y) >> 2);
      p[3] = 255;
    }
  }
  return pixels;
}

LayerData LayerOver(std::vector<uint8_t>* pixels, int32_t width, int32_t height) {
  LayerData layer{};
  layer.width = width;
  layer.height = height;
  layer.opacity = 256;
  layer.mask_level = 256;
  layer.visible = 1;
  layer.pixels = pixels->data();
  return layer;
}

void BM_SaveLayer1080p(benchmark::State& state) {
  std::vector<uint8_t> pixels = PicturePixels(1920, 1080);
  const LayerData layer = LayerOver(&pixels, 1920, 1080);
  for (auto _ : state) {
    if (BuildLayerSaveBlock(1, layer) != 0) state.SkipWithError("save failed");
    benchmark::DoNotOptimize(g_save_blocks.sizes[0]);
    FreeIdBuffers(-1);
  }
  state.SetBytesProcessed(state.iterations() * int64_t{1920} * 1080 * 4);
}
BENCHMARK(BM_SaveLayer1080p)->Unit(benchmark::kMillisecond);

// The peer: a raw copy of the record and pixels, compressed in one call.
void BM_SaveLayer1080pRawCopyPeer(benchmark::State& state) {
  std::vector<uint8_t> pixels = PicturePixels(1920, 1080);
  const size_t bytes = size_t{1920} * 1080 * 4;
  for (auto _ : state) {
    std::vector<uint8_t> raw(1544 + bytes);
    std::memcpy(raw.data() + 1544, pixels.data(), bytes);
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packed_size);
    compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 1);
    benchmark::DoNotOptimize(packed_size);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_SaveLayer1080pRawCopyPeer)->Unit(benchmark::kMillisecond);

long PeakKilobytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Peak resident memory the save of an 8192 x 8192 layer adds above the layer itself.
void BM_SaveLayer8192PeakMemory(benchmark::State& state) {
  std::vector<uint8_t> pixels = PicturePixels(8192, 8192);
  const LayerData layer = LayerOver(&pixels, 8192, 8192);
  const long before = PeakKilobytes();
  uint32_t block = 0;
  for (auto _ : state) {
    if (BuildLayerSaveBlock(1, layer) != 0) state.SkipWithError("save failed");
    block = g_save_blocks.sizes[0];
    FreeIdBuffers(-1);
  }
  state.counters["layer_MB"] = static_cast<double>(pixels.size()) / 1e6;
  state.counters["block_MB"] = block / 1e6;
  state.counters["peak_added_MB"] = static_cast<double>(PeakKilobytes() - before) / 1e3;
}
BENCHMARK(BM_SaveLayer8192PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void PutU32(std::string* out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<char>(v >> (8 * i));
}

// A 100 MB file: 100 blocks of 1 MB (their streams are never inflated by a rewrite); one pending
// block replaces slot 50.
void BM_Rewrite100MBFile(benchmark::State& state) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korvel-save-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::string file(4112, '\0');
  std::memcpy(file.data(), "KRSD", 4);
  PutU32(&file, 4, 312);
  PutU32(&file, 8, 100);
  PutU32(&file, 12, 1024);
  std::mt19937 random(3);
  const uint32_t stream = 1 << 20;
  for (uint32_t slot = 1; slot <= 100; ++slot) {
    PutU32(&file, 12 + 4 * slot, static_cast<uint32_t>(file.size()));
    const size_t at = file.size();
    file.resize(at + 16 + stream);
    PutU32(&file, at, slot);
    file[at + 5] = 1;
    PutU32(&file, at + 8, stream);
    PutU32(&file, at + 12, stream);
    for (size_t i = at + 16; i < file.size(); ++i) file[i] = static_cast<char>(random());
  }
  std::ofstream(folder / "big.sd", std::ios::binary).write(file.data(), file.size());
  LayerData small{};
  small.width = small.height = 1;
  for (auto _ : state) {
    BuildLayerSaveBlock(50, small);
    if (WriteSaveFile(folder.string(), "big.sd").code != 0) state.SkipWithError("rewrite failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Rewrite100MBFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvel
