// Lookups in the code page 932 width and case tables.
#include <algorithm>

#include "script/cp932_tables.h"

namespace korvel {

int32_t Cp932NarrowOf(uint16_t wide) {
  const Cp932HalfWidthPair* end = kCp932HalfWidth + kCp932HalfWidthCount;
  const Cp932HalfWidthPair* it = std::lower_bound(
      kCp932HalfWidth, end, wide, [](const Cp932HalfWidthPair& p, uint16_t v) { return p.wide < v; });
  return it != end && it->wide == wide ? it->narrow : -1;
}

uint16_t Cp932UpperOf(uint16_t character) {
  for (size_t i = 0; i < kCp932CasePairCount; ++i) {
    if (kCp932CasePairs[i].lower == character) return kCp932CasePairs[i].upper;
  }
  return character;
}

uint16_t Cp932LowerOf(uint16_t character) {
  for (size_t i = 0; i < kCp932CasePairCount; ++i) {
    if (kCp932CasePairs[i].upper == character) return kCp932CasePairs[i].lower;
  }
  return character;
}

}  // namespace korvel
