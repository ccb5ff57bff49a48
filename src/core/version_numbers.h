// File versions as 64-bit numbers: four 16-bit parts, most significant first.
#pragma once

#include <cstdint>

namespace korvel {

uint64_t MakeVersion64(uint16_t a, uint16_t b, uint16_t c, uint16_t d);
// -1, 0 or 1.
int32_t CompareVersion64(uint64_t a, uint64_t b);

}  // namespace korvel
