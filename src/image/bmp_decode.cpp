// The BMP decoder.
#include "image/bmp_decode.h"

#include <cstring>

namespace korvel {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

struct BmpHeader {
  uint32_t pixel_offset;
  uint32_t header_size;
  int32_t width;
  int32_t height;
  uint16_t bit_count;
  uint32_t compression;
  uint32_t colours_used;
};

// Reads a 32-bit pixel's alpha unless the file's masks say it has none. Returns false for masks
// other than the usual blue, green, red (and alpha) bytes.
bool ReadBitfieldMasks(std::span<const uint8_t> file, const BmpHeader& header, bool* has_alpha) {
  const uint64_t at = kFileHeaderSize + kInfoHeaderSize;
  const bool has_alpha_mask = header.header_size >= 56;
  if (!FileHolds(file.size(), at, has_alpha_mask ? 16 : 12)) return false;
  const uint8_t* p = file.data() + at;
  if (LoadU32(p) != 0x00FF0000u || LoadU32(p + 4) != 0x0000FF00u ||
      LoadU32(p + 8) != 0x000000FFu) {
    return false;
  }
  const uint32_t alpha_mask = has_alpha_mask ? LoadU32(p + 12) : 0;
  if (alpha_mask != 0 && alpha_mask != 0xFF000000u) return false;
  *has_alpha = alpha_mask != 0;
  return true;
}

}  // namespace

DecodeStatus DecodeBmpBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            DecodedImage* out) {
  const uint8_t* data = file.data();
  const size_t size = file.size();
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return DecodeFail(kErrorBmpNotBmp);
  if (size < kFileHeaderSize + 4) return DecodeFail(kErrorBmpNotBmp);

  BmpHeader header{};
  header.pixel_offset = LoadU32(data + 10);
  header.header_size = LoadU32(data + 14);
  if (header.header_size < kInfoHeaderSize ||
      !FileHolds(size, kFileHeaderSize, header.header_size)) {
    return DecodeFail(kErrorBmpNotBmp);
  }
  if (header.pixel_offset < 11) return DecodeFail(kErrorBmpPixelOffset);
  header.width = static_cast<int32_t>(LoadU32(data + 18));
  header.height = static_cast<int32_t>(LoadU32(data + 22));
  header.bit_count = LoadU16(data + 28);
  header.compression = LoadU32(data + 30);
  header.colours_used = LoadU32(data + 46);

  if (header.height < 0) return DecodeFail(kErrorBmpTopDown);
  if (const int32_t error = CheckImageSides(header.width, header.height, limits)) {
    return DecodeFail(error);
  }

  const uint32_t bits = header.bit_count;
  bool alpha = false;
  if (bits == 1 || bits == 4 || bits == 8 || bits == 24) {
    if (header.compression != kBiRgb) return DecodeFail(kErrorBmpUnsupported);
  } else if (bits == 32) {
    if (header.compression == kBiRgb) {
      alpha = true;
    } else if (header.compression != kBiBitfields || !ReadBitfieldMasks(file, header, &alpha)) {
      return DecodeFail(kErrorBmpUnsupported);
    }
  } else {
    return DecodeFail(kErrorBmpUnsupported);
  }

  // The palette follows the information header, whatever its size; entries start opaque black.
  uint8_t palette[256][4];
  for (auto& entry : palette) {
    entry[0] = entry[1] = entry[2] = 0;
    entry[3] = 0xFF;
  }
  if (bits <= 8) {
    const uint32_t room = 1u << bits;
    const uint32_t count =
        header.colours_used == 0 || header.colours_used > room ? room : header.colours_used;
    const uint64_t at = uint64_t{kFileHeaderSize} + header.header_size;
    if (!FileHolds(size, at, uint64_t{count} * 4)) return DecodeFail(kErrorBmpNotBmp);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* p = data + at + i * 4;
      std::memcpy(palette[i], p, 3);
    }
  }

  const auto width = static_cast<uint32_t>(header.width);
  const auto height = static_cast<uint32_t>(header.height);
  const uint64_t stride = (uint64_t{width} * bits + 31) / 32 * 4;
  if (!FileHolds(size, header.pixel_offset, stride * height)) {
    return DecodeFail(kErrorBmpPixelOffset);
  }

  DecodedImage image;
  if (!AllocDecodedPixels(&image, header.width, header.height)) {
    return DecodeFail(kErrorNoMemory);
  }
  image.has_alpha = alpha ? 1 : 0;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = data + header.pixel_offset + stride * (height - 1 - y);
    uint8_t* target = image.pixels + uint64_t{y} * width * 4;
    switch (bits) {
      case 32:
        if (alpha) {
          std::memcpy(target, row, size_t{width} * 4);
        } else {
          for (uint32_t x = 0; x < width; ++x) {
            std::memcpy(target + x * 4, row + x * 4, 3);
            target[x * 4 + 3] = 0xFF;
          }
        }
        break;
      case 24:
        for (uint32_t x = 0; x < width; ++x) {
          std::memcpy(target + x * 4, row + x * 3, 3);
          target[x * 4 + 3] = 0xFF;
        }
        break;
      default: {
        // 1, 4 and 8 bits: the leftmost pixel sits in the high bits of each byte.
        const uint32_t per_byte = 8 / bits;
        const uint32_t mask = (1u << bits) - 1;
        for (uint32_t x = 0; x < width; ++x) {
          const uint32_t shift = (per_byte - 1 - x % per_byte) * bits;
          const uint32_t index = (row[x / per_byte] >> shift) & mask;
          std::memcpy(target + x * 4, palette[index], 4);
        }
        break;
      }
    }
  }
  FreeDecodedImage(out);
  *out = image;
  return DecodeOk();
}

}  // namespace korvel
