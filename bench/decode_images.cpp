// Image decoding: the engine's decoders on a 1920 x 1080 PNG, JPEG and KCG (one and two bands at
// once) and a 640 x 480 GIF, each next to its peer: libpng's png_image API, a djpeg-style libjpeg
// decode, zlib inflating the same pixels as one stream. The engine's overhead over the library is
// the difference between the pairs.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "../tests/image/gif_test_writer.h"
#include "image/gif_decode.h"
#include "image/image_decode.h"
#include "image/jpeg_decode.h"
#include "image/kcg_decode.h"
#include "image/kcg_format.h"
#include "image/kcg_worker_pool.h"
#include "image/png_decode.h"
#include "layer/image_layer.h"
#include "pixel/worker_pool.h"
#include "platform/platform.h"
#include "resource/compiler_output.h"
#include "resource/resource_locator.h"

namespace {

using korvel::DecodedImage;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A photo-like picture: smooth gradients, a few hard edges and some noise, so that PNG and zlib
// do not compress it to nothing.
std::vector<uint8_t> MakeRgb(int width, int height) {
  std::vector<uint8_t> rgb(size_t(width) * height * 3);
  uint32_t seed = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = static_cast<int>((seed >> 16) & 7);
      uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      const bool edge = ((x / 97) + (y / 61)) % 3 == 0;
      p[0] = static_cast<uint8_t>((x * 255 / width + noise) & 255);
      p[1] = static_cast<uint8_t>((y * 255 / height + (edge ? 90 : 0) + noise) & 255);
      p[2] = static_cast<uint8_t>(((x + y) / 16 + noise) & 255);
    }
  }
  return rgb;
}

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgb, int width, int height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr);
  out.resize(size);
  return out;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int width, int height) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr error{};
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(&rgb[size_t(cinfo.next_scanline) * width * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

std::vector<uint8_t> Bgra(const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> bgra(rgb.size() / 3 * 4);
  for (size_t i = 0; i < rgb.size() / 3; ++i) {
    bgra[i * 4] = rgb[i * 3 + 2];
    bgra[i * 4 + 1] = rgb[i * 3 + 1];
    bgra[i * 4 + 2] = rgb[i * 3];
    bgra[i * 4 + 3] = 255;
  }
  return bgra;
}

void PutU32(std::vector<uint8_t>* file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*file)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Deflate(const uint8_t* data, size_t size) {
  uLongf bound = compressBound(static_cast<uLong>(size));
  std::vector<uint8_t> out(bound);
  compress2(out.data(), &bound, data, static_cast<uLong>(size), 6);
  out.resize(bound);
  return out;
}

std::vector<uint8_t> EncodeKcg(const std::vector<uint8_t>& bgra, int width, int height) {
  const size_t half = bgra.size() / 8 * 4;
  const std::vector<uint8_t> a = Deflate(bgra.data(), half);
  const std::vector<uint8_t> b = Deflate(bgra.data() + half, bgra.size() - half);
  std::vector<uint8_t> file(korvel::kKcgHeaderSize + a.size() + b.size(), 0);
  if (file.size() < korvel::kKcgHeaderSize) return {};
  std::memcpy(file.data(), korvel::kKcgMagic, 4);
  PutU32(&file, korvel::kKcgWidthOffset, static_cast<uint32_t>(width));
  PutU32(&file, korvel::kKcgHeightOffset, static_cast<uint32_t>(height));
  PutU32(&file, korvel::kKcgCompressionOffset, korvel::kKcgZlib);
  PutU32(&file, korvel::kKcgUnpacked1Offset, static_cast<uint32_t>(half));
  PutU32(&file, korvel::kKcgPacked1Offset, static_cast<uint32_t>(a.size()));
  PutU32(&file, korvel::kKcgUnpacked2Offset, static_cast<uint32_t>(bgra.size() - half));
  PutU32(&file, korvel::kKcgPacked2Offset, static_cast<uint32_t>(b.size()));
  std::memcpy(file.data() + korvel::kKcgHeaderSize, a.data(), a.size());
  std::memcpy(file.data() + korvel::kKcgHeaderSize + a.size(), b.data(), b.size());
  return file;
}

struct Inputs {
  std::vector<uint8_t> rgb = MakeRgb(kWidth, kHeight);
  std::vector<uint8_t> bgra = Bgra(rgb);
  std::vector<uint8_t> png = EncodePng(rgb, kWidth, kHeight);
  std::vector<uint8_t> jpeg = EncodeJpeg(rgb, kWidth, kHeight);
  std::vector<uint8_t> kcg = EncodeKcg(bgra, kWidth, kHeight);
  std::vector<uint8_t> kcg_one_stream = Deflate(bgra.data(), bgra.size());
  std::vector<uint8_t> gif;
  Inputs() {
    std::vector<uint8_t> indices(640 * 480);
    for (size_t i = 0; i < indices.size(); ++i) {
      const size_t x = i % 640;
      const size_t y = i / 640;
      indices[i] = static_cast<uint8_t>((x / 8 + y / 6 + (x * y) % 5) & 255);
    }
    gif = korvel::test::GifHeader(640, 480, 8);
    korvel::test::AppendGifImage(&gif, 0, 0, 640, 480, 0, 8, indices);
    gif.push_back(0x3B);
  }
};

const Inputs& TheInputs() {
  static const Inputs inputs;
  return inputs;
}

void Report(benchmark::State& state, int64_t pixels, size_t file_bytes) {
  state.SetItemsProcessed(state.iterations() * pixels);
  state.counters["file_KiB"] = static_cast<double>(file_bytes) / 1024.0;
}

// ---- PNG ----------------------------------------------------------------------------------------

void BM_PngEngine(benchmark::State& state) {
  const std::vector<uint8_t>& file = TheInputs().png;
  for (auto _ : state) {
    DecodedImage image;
    korvel::DecodePngBytes(file, korvel::kDefaultImageLimits, &image);
    benchmark::DoNotOptimize(image.pixels);
    korvel::FreeDecodedImage(&image);
  }
  Report(state, int64_t{kWidth} * kHeight, file.size());
}
BENCHMARK(BM_PngEngine)->Unit(benchmark::kMillisecond);

void BM_PngPeerPngImage(benchmark::State& state) {
  const std::vector<uint8_t>& file = TheInputs().png;
  for (auto _ : state) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, file.data(), file.size());
    image.format = PNG_FORMAT_BGRA;
    auto* pixels = static_cast<uint8_t*>(std::malloc(PNG_IMAGE_SIZE(image)));
    png_image_finish_read(&image, nullptr, pixels, 0, nullptr);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
  Report(state, int64_t{kWidth} * kHeight, file.size());
}
BENCHMARK(BM_PngPeerPngImage)->Unit(benchmark::kMillisecond);

// ---- JPEG ---------------------------------------------------------------------------------------

void BM_JpegEngine(benchmark::State& state) {
  const std::vector<uint8_t>& file = TheInputs().jpeg;
  for (auto _ : state) {
    DecodedImage image;
    korvel::DecodeJpegBytes(file, korvel::kDefaultImageLimits, &image);
    benchmark::DoNotOptimize(image.pixels);
    korvel::FreeDecodedImage(&image);
  }
  Report(state, int64_t{kWidth} * kHeight, file.size());
}
BENCHMARK(BM_JpegEngine)->Unit(benchmark::kMillisecond);

// What djpeg does before writing its file: default settings, RGB rows into one buffer.
void BM_JpegPeerDjpeg(benchmark::State& state) {
  const std::vector<uint8_t>& file = TheInputs().jpeg;
  for (auto _ : state) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    const size_t pitch = size_t(cinfo.output_width) * cinfo.output_components;
    auto* pixels = static_cast<uint8_t*>(std::malloc(pitch * cinfo.output_height));
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels + size_t(cinfo.output_scanline) * pitch;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
  Report(state, int64_t{kWidth} * kHeight, file.size());
}
BENCHMARK(BM_JpegPeerDjpeg)->Unit(benchmark::kMillisecond);

// ---- KCG ----------------------------------------------------------------------------------------

// Argument: 1 or 2 workers of the engine's worker pool (job 1001).
void BM_KcgEngine(benchmark::State& state) {
  const std::vector<uint8_t>& file = TheInputs().kcg;
  korvel::StartWorkerThreads(korvel::g_worker_pool, static_cast<int>(state.range(0)));
  const korvel::KcgInflater inflater = korvel::LayerKcgInflater();
  for (auto _ : state) {
    DecodedImage image;
    korvel::DecodeKcgBytes(file, korvel::kDefaultImageLimits, inflater, &image);
    benchmark::DoNotOptimize(image.pixels);
    korvel::FreeDecodedImage(&image);
  }
  korvel::StopWorkerThreads(korvel::g_worker_pool);
  Report(state, int64_t{kWidth} * kHeight, file.size());
}
BENCHMARK(BM_KcgEngine)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// zlib inflating the same pixels as one stream into a buffer of the same size.
void BM_KcgPeerUncompress(benchmark::State& state) {
  const std::vector<uint8_t>& stream = TheInputs().kcg_one_stream;
  const size_t bytes = size_t(kWidth) * kHeight * 4;
  for (auto _ : state) {
    auto* pixels = static_cast<uint8_t*>(std::malloc(bytes + size_t(kWidth) * 4 + 4));
    uLongf out = bytes;
    uncompress(pixels, &out, stream.data(), static_cast<uLong>(stream.size()));
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
  Report(state, int64_t{kWidth} * kHeight, stream.size());
}
BENCHMARK(BM_KcgPeerUncompress)->Unit(benchmark::kMillisecond);

// ---- GIF ----------------------------------------------------------------------------------------

void BM_GifEngine(benchmark::State& state) {
  const std::vector<uint8_t>& file = TheInputs().gif;
  for (auto _ : state) {
    DecodedImage image;
    korvel::DecodeGifBytes(file, korvel::kDefaultImageLimits, &image);
    benchmark::DoNotOptimize(image.pixels);
    korvel::FreeDecodedImage(&image);
  }
  Report(state, 640 * 480, file.size());
}
BENCHMARK(BM_GifEngine)->Unit(benchmark::kMillisecond);

// ---- The whole layer load: the file copied out of its source, decoded into the layer, the
// transparent colour and the pacer restart (what the layer command runs) ----

void LayerLoad(benchmark::State& state, const std::vector<uint8_t>& file, uint8_t type) {
  if (!korvel::platform::InitPlatformWith(korvel::platform::BackendKind::kHeadless)) {
    state.SkipWithError("no headless platform");
    return;
  }
  korvel::InitCompilerOutput();
  korvel::RegisterCompilerOutputFile("bench", file.data(), static_cast<uint32_t>(file.size()));
  korvel::LayerData layer{};
  for (auto _ : state) {
    korvel::ResourceLocator locator{};
    korvel::FindInCompilerOutput(&locator, "bench");
    locator.type = type;
    korvel::DecodeImageByType(&locator, &layer, "bench", nullptr);
    korvel::FinishImageLoad(&layer);
    benchmark::DoNotOptimize(layer.pixels);
  }
  std::free(layer.pixels);
  korvel::ShutdownCompilerOutput();
  korvel::platform::ShutdownPlatform();
  Report(state, int64_t{kWidth} * kHeight, file.size());
}

void BM_PngLayerLoad(benchmark::State& state) {
  LayerLoad(state, TheInputs().png, korvel::kTypePng);
}
BENCHMARK(BM_PngLayerLoad)->Unit(benchmark::kMillisecond);

void BM_JpegLayerLoad(benchmark::State& state) {
  LayerLoad(state, TheInputs().jpeg, korvel::kTypeJpg);
}
BENCHMARK(BM_JpegLayerLoad)->Unit(benchmark::kMillisecond);

void BM_KcgLayerLoad(benchmark::State& state) {
  LayerLoad(state, TheInputs().kcg, korvel::kTypeKcg);
}
BENCHMARK(BM_KcgLayerLoad)->Unit(benchmark::kMillisecond);

// ---- What follows every load --------------------------------------------------------------------

// Argument: 0 an opaque image, 1 one clear pixel in every 16.
void BM_TransparentColour1080p(benchmark::State& state) {
  std::vector<uint8_t> pixels = TheInputs().bgra;
  if (state.range(0) == 1) {
    for (size_t i = 3; i < pixels.size(); i += 64) pixels[i] = 0;
  }
  for (auto _ : state) {
    korvel::ApplyTransparentColourToPixels(pixels.data(), kWidth, kHeight);
    benchmark::DoNotOptimize(pixels.data());
  }
  Report(state, int64_t{kWidth} * kHeight, 0);
}
BENCHMARK(BM_TransparentColour1080p)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
