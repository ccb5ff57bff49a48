// The KCG image file: a 56-byte little-endian header and 32-bit pixels, stored raw or as two zlib
// streams that two threads can inflate at once. Shared by the decoder and the writer.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kKcgMagic[4] = {'K', 'C', 'G', 0};
inline constexpr uint32_t kKcgHeaderSize = 56;

// Byte offsets of the u32 header fields; the others are not read and written as zero.
inline constexpr uint32_t kKcgWidthOffset = 4;
inline constexpr uint32_t kKcgHeightOffset = 8;
inline constexpr uint32_t kKcgCompressionOffset = 16;
inline constexpr uint32_t kKcgUnpacked1Offset = 32;
inline constexpr uint32_t kKcgPacked1Offset = 36;
inline constexpr uint32_t kKcgUnpacked2Offset = 48;
inline constexpr uint32_t kKcgPacked2Offset = 52;

inline constexpr uint32_t kKcgRaw = 0;
inline constexpr uint32_t kKcgZlib = 1;

}  // namespace korvel
