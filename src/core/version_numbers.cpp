// File versions as 64-bit numbers.
#include "core/version_numbers.h"

namespace korvel {

uint64_t MakeVersion64(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  return (static_cast<uint64_t>(a) << 48) | (static_cast<uint64_t>(b) << 32) |
         (static_cast<uint64_t>(c) << 16) | static_cast<uint64_t>(d);
}

int32_t CompareVersion64(uint64_t a, uint64_t b) {
  if (a < b) return -1;
  return a > b ? 1 : 0;
}

}  // namespace korvel
