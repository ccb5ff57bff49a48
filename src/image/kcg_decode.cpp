// The KCG decoder.
#include "image/kcg_decode.h"

#include <zlib.h>

#include <cstring>

#include "image/kcg_format.h"

namespace korvel {

bool InflateKcgStream(const KcgStreams& streams, int32_t index) {
  if (index < 0 || index > 1) return false;
  const uint64_t packed_end = uint64_t{kKcgHeaderSize} + streams.packed[0] + streams.packed[1];
  const uint64_t unpacked_end = uint64_t{streams.unpacked[0]} + streams.unpacked[1];
  if (streams.file == nullptr || streams.pixels == nullptr || packed_end > streams.file_size ||
      unpacked_end > streams.pixel_bytes) {
    return false;
  }
  const uint8_t* source = streams.file + kKcgHeaderSize + (index == 1 ? streams.packed[0] : 0);
  uint8_t* target = streams.pixels + (index == 1 ? streams.unpacked[0] : 0);
  uLongf produced = streams.unpacked[index];
  const int status = uncompress(target, &produced, source, streams.packed[index]);
  return status == Z_OK && produced == streams.unpacked[index];
}

int32_t InflateKcgStreamsInTurn(const KcgStreams& streams) {
  if (!InflateKcgStream(streams, 0)) return 1;
  if (!InflateKcgStream(streams, 1)) return 2;
  return 0;
}

DecodeStatus DecodeKcgBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            KcgInflater inflater, DecodedImage* out) {
  const uint8_t* data = file.data();
  const size_t size = file.size();
  if (size < kKcgHeaderSize) return DecodeFail(0, kKcgCheckError);
  const bool magic_mismatch = std::memcmp(data, kKcgMagic, sizeof kKcgMagic) != 0;
  auto fail = [&](int32_t error, const char* message) {
    DecodeStatus status = DecodeFail(error, message);
    status.magic_mismatch = magic_mismatch;
    return status;
  };

  const auto width = static_cast<int32_t>(LoadU32(data + kKcgWidthOffset));
  const auto height = static_cast<int32_t>(LoadU32(data + kKcgHeightOffset));
  if (const int32_t error = CheckImageSides(width, height, limits)) return fail(error, nullptr);
  const uint64_t pixel_bytes = uint64_t{static_cast<uint32_t>(width)} * 4u *
                               static_cast<uint32_t>(height);

  const uint32_t compression = LoadU32(data + kKcgCompressionOffset);
  KcgStreams streams;
  if (compression == kKcgRaw) {
    if (!FileHolds(size, kKcgHeaderSize, pixel_bytes)) return fail(0, kKcgCheckError);
  } else if (compression == kKcgZlib) {
    streams.unpacked[0] = LoadU32(data + kKcgUnpacked1Offset);
    streams.packed[0] = LoadU32(data + kKcgPacked1Offset);
    streams.unpacked[1] = LoadU32(data + kKcgUnpacked2Offset);
    streams.packed[1] = LoadU32(data + kKcgPacked2Offset);
    if (!FileHolds(size, kKcgHeaderSize, uint64_t{streams.packed[0]} + streams.packed[1]) ||
        uint64_t{streams.unpacked[0]} + streams.unpacked[1] != pixel_bytes) {
      return fail(0, kKcgCheckError);
    }
  } else {
    return fail(0, kKcgCheckError);
  }

  DecodedImage image;
  if (!AllocDecodedPixels(&image, width, height)) return fail(kErrorNoMemory, nullptr);
  image.has_alpha = 1;

  if (compression == kKcgRaw) {
    std::memcpy(image.pixels, data + kKcgHeaderSize, static_cast<size_t>(pixel_bytes));
  } else {
    streams.file = data;
    streams.file_size = size;
    streams.pixels = image.pixels;
    streams.pixel_bytes = static_cast<size_t>(pixel_bytes);
    const int32_t failed = (inflater != nullptr ? inflater : InflateKcgStreamsInTurn)(streams);
    if (failed != 0) {
      FreeDecodedImage(&image);
      return fail(0, failed == 2 ? kKcgStreamError2 : kKcgStreamError1);
    }
  }

  FreeDecodedImage(out);
  *out = image;
  DecodeStatus status = DecodeOk();
  status.magic_mismatch = magic_mismatch;
  return status;
}

}  // namespace korvel
