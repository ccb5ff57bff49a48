// The multi-frame image file: a 32-byte little-endian header, three tables of N u32 (part offsets,
// colour sizes, alpha sizes) and the parts, each scrambled by a byte transform of our own. Shared by
// the engine's reader and the writer in tools/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

inline constexpr uint32_t kMultiFrameHeaderSize = 32;
inline constexpr uint32_t kMultiFrameCountOffset = 8;
inline constexpr uint32_t kMultiFrameAlphaFlagOffset = 12;
inline constexpr uint32_t kMultiFrameValueAOffset = 16;
inline constexpr uint32_t kMultiFrameValueBOffset = 20;
inline constexpr uint32_t kMultiFrameValueCOffset = 24;
inline constexpr uint32_t kMultiFrameTablesOffset = 32;
// What our writer puts into the 8 bytes the reader skips.
inline constexpr uint8_t kMultiFrameMagic[8] = {'K', 'M', 'F', 'R', 'A', 'M', 'E', '1'};

// The key byte of position `i` within a part: a multiplicative walk over the low bits mixed with
// the position's higher bits, so parts longer than 256 bytes do not repeat with a short period.
constexpr uint8_t MultiFrameKeyByte(uint64_t i) {
  const auto low = static_cast<uint32_t>(i);
  return static_cast<uint8_t>((low * 0x9Du + 0x5Bu) ^ (low >> 8) ^ (low >> 17) ^ 0xC3u);
}

// Scrambles or unscrambles a part in place (the transform is its own inverse: byte i ^= key(i)).
inline void TransformMultiFramePart(uint8_t* part, size_t size) {
  for (size_t i = 0; i < size; ++i) part[i] ^= MultiFrameKeyByte(i);
}

}  // namespace korvel
