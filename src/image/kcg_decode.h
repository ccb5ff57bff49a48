// The KCG decoder: header checks, the raw copy and the two zlib streams, inflated at once on two
// workers (the worker pool's job 1001) or in turn on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/image_decode.h"

namespace korvel {

inline constexpr char kKcgCheckError[] = "File Check Error.";
inline constexpr char kKcgStreamError1[] = "Uncompress Status Error 1.";
inline constexpr char kKcgStreamError2[] = "Uncompress Status Error 2.";

// The two zlib streams of a checked KCG file: stream 1 at byte 56, stream 2 right behind it;
// stream 1 inflates to the start of the pixels, stream 2 behind its unpacked size.
struct KcgStreams {
  const uint8_t* file = nullptr;
  size_t file_size = 0;
  uint32_t unpacked[2] = {};
  uint32_t packed[2] = {};
  uint8_t* pixels = nullptr;
  size_t pixel_bytes = 0;
};

// Inflates both streams, each to exactly its unpacked size. Returns 0, or the number (1 or 2) of
// the first stream that failed.
using KcgInflater = int32_t (*)(const KcgStreams& streams);

// Inflates stream `index` (0 or 1); true when it gives exactly its unpacked size.
bool InflateKcgStream(const KcgStreams& streams, int32_t index);
// Both streams on the calling thread, stream 1 first (fewer than two workers).
int32_t InflateKcgStreamsInTurn(const KcgStreams& streams);

// Decodes a whole KCG file. The header must hold sides of 1..8192 (100091), the pixel data must
// lie inside the file and the two streams must unpack to exactly width * height * 4 bytes; every
// other fault is "File Check Error.". A stream that does not inflate to its declared size gives
// "Uncompress Status Error 1." or "2.", whichever inflater ran it (null: in turn). Pixels always
// carry alpha.
DecodeStatus DecodeKcgBytes(std::span<const uint8_t> file, const ImageLimits& limits,
                            KcgInflater inflater, DecodedImage* out);

}  // namespace korvel
