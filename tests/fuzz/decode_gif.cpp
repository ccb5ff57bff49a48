// Fuzz target: the GIF decoder and its LZW decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "image/gif_decode.h"
#include "image/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Sides up to 8192 as in the engine, but no image above 4 million pixels: the fuzzer looks
  // for faults, not for the cost of allocating 256 MiB.
  static constexpr korvel::ImageLimits kLimits{korvel::kMaxImageSide, 1u << 22};
  korvel::DecodedImage image;
  korvel::DecodeGifBytes({data, size}, kLimits, &image);
  korvel::FreeDecodedImage(&image);
  return 0;
}
