// Showing one 1280 x 720 frame of a multi-frame image file: the colour part alone and with its
// alpha part, next to the engine's plain JPEG decoder on the same colour part (the peer).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "image/image_decode.h"
#include "image/jpeg_decode.h"
#include "image/multi_frame_decode.h"
#include "image/multi_frame_file.h"
#include "lib/multi_frame_writer.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// Smooth gradients with a few edges, alpha a diagonal ramp.
std::vector<uint8_t> MakePicture() {
  std::vector<uint8_t> bgra(size_t(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = bgra.data() + (size_t(y) * kWidth + x) * 4;
      p[0] = static_cast<uint8_t>(x * 255 / kWidth);
      p[1] = static_cast<uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<uint8_t>(((x / 64 + y / 64) & 1) ? 200 : 40);
      p[3] = static_cast<uint8_t>((x + y) & 0xFF);
    }
  }
  return bgra;
}

struct Fixture {
  std::vector<uint8_t> colour, alpha, file;
  korvel::MultiFrameView view;
  Fixture() {
    const std::vector<uint8_t> picture = MakePicture();
    colour = korvel::tools::EncodeJpeg(picture.data(), kWidth, kHeight, false, 90);
    alpha = korvel::tools::EncodeJpeg(picture.data(), kWidth, kHeight, true, 90);
    file = korvel::tools::WriteMultiFrameFile({{colour, alpha}, {colour, {}}}, {1, 0, 0, 0});
    korvel::OpenMultiFrameFile(file.data(), file.size(), &view, nullptr);
  }
};

const Fixture& Files() {
  static const Fixture fixture;
  return fixture;
}

void ShowFrame(benchmark::State& state, uint32_t frame) {
  const Fixture& f = Files();
  for (auto _ : state) {
    korvel::DecodedImage image;
    korvel::DecodeMultiFrame(korvel::MultiFrameFramePart(f.view, frame),
                             korvel::kDefaultImageLimits, &image, nullptr, nullptr);
    benchmark::DoNotOptimize(image.pixels);
    korvel::FreeDecodedImage(&image);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_MultiFrameColourAndAlpha(benchmark::State& state) { ShowFrame(state, 0); }
void BM_MultiFrameColourOnly(benchmark::State& state) { ShowFrame(state, 1); }

void BM_PeerJpegDecodeColour(benchmark::State& state) {
  const Fixture& f = Files();
  for (auto _ : state) {
    korvel::DecodedImage image;
    korvel::DecodeJpegBytes(f.colour, korvel::kDefaultImageLimits, &image);
    benchmark::DoNotOptimize(image.pixels);
    korvel::FreeDecodedImage(&image);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK(BM_MultiFrameColourAndAlpha)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MultiFrameColourOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerJpegDecodeColour)->Unit(benchmark::kMillisecond);

}  // namespace
