// Pixel buffers of decoded images and the transparent-colour pass.
#include "image/image_decode.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "image/gif_frames.h"

namespace korvel {

static_assert(std::endian::native == std::endian::little,
              "pixels are handled as little-endian 32-bit values");

size_t PixelBufferBytes(int32_t width, int32_t height) {
  if (width < 0 || height < 0) return 0;
  const uint64_t bytes = uint64_t{static_cast<uint32_t>(width)} * 4u *
                             (uint64_t{static_cast<uint32_t>(height)} + 1u) +
                         4u;
  if (bytes > SIZE_MAX) return 0;
  return static_cast<size_t>(bytes);
}

int32_t CheckImageSides(int64_t width, int64_t height, const ImageLimits& limits) {
  if (width < 1 || height < 1 || width > limits.max_side || height > limits.max_side) {
    return kErrorImageTooLarge;
  }
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > limits.max_pixels) {
    return kErrorImageTooLarge;
  }
  return 0;
}

bool AllocDecodedPixels(DecodedImage* image, int32_t width, int32_t height) {
  const size_t bytes = PixelBufferBytes(width, height);
  if (bytes == 0) return false;
  auto* pixels = static_cast<uint8_t*>(std::malloc(bytes));
  if (pixels == nullptr) return false;
  const size_t image_bytes = size_t{static_cast<uint32_t>(width)} * 4u *
                             static_cast<uint32_t>(height);
  std::memset(pixels + image_bytes, 0, bytes - image_bytes);
  std::free(image->pixels);
  image->pixels = pixels;
  image->width = width;
  image->height = height;
  return true;
}

void FreeDecodedImage(DecodedImage* image) {
  std::free(image->pixels);
  DestroyGifFrameTable(image->frames);
  *image = DecodedImage{};
}

void ApplyTransparentColourToPixels(uint8_t* pixels, int32_t width, int32_t height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return;
  const size_t count = size_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height);
  // Pixels are little-endian 0xAARRGGBB values. Blocks without a clear pixel are only read,
  // which halves the memory traffic for opaque images; both loops vectorise.
  constexpr size_t kBlock = 256;
  for (size_t start = 0; start < count; start += kBlock) {
    uint8_t* block = pixels + start * 4;
    const size_t n = count - start < kBlock ? count - start : kBlock;
    uint32_t clear = 0;
    for (size_t i = 0; i < n; ++i) {
      uint32_t value;
      std::memcpy(&value, block + i * 4, 4);
      clear |= value < 0x01000000u ? 1u : 0u;
    }
    if (clear == 0) continue;
    for (size_t i = 0; i < n; ++i) {
      uint32_t value;
      std::memcpy(&value, block + i * 4, 4);
      value = value < 0x01000000u ? kTransparentColour : value;
      std::memcpy(block + i * 4, &value, 4);
    }
  }
}

}  // namespace korvel
