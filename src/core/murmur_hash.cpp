// MurmurHash2 (32-bit) with explicit little-endian reads, so the value is the same on every host.
#include "core/murmur_hash.h"

namespace korvel {

uint32_t MurmurHash2(const void* data, size_t length, uint32_t seed) {
  constexpr uint32_t m = 0x5bd1e995;
  constexpr int r = 24;
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t h = seed ^ static_cast<uint32_t>(length);

  while (length >= 4) {
    uint32_t k = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    k *= m;
    k ^= k >> r;
    k *= m;
    h *= m;
    h ^= k;
    p += 4;
    length -= 4;
  }

  switch (length) {
    case 3:
      h ^= static_cast<uint32_t>(p[2]) << 16;
      [[fallthrough]];
    case 2:
      h ^= static_cast<uint32_t>(p[1]) << 8;
      [[fallthrough]];
    case 1:
      h ^= static_cast<uint32_t>(p[0]);
      h *= m;
      break;
    default:
      break;
  }

  h ^= h >> 13;
  h *= m;
  h ^= h >> 15;
  return h;
}

}  // namespace korvel
