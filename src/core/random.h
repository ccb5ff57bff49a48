// The engine's random number generator: MT19937, seeded once at start-up with the clock.
#pragma once

#include <cstdint>

namespace korvel {

void SeedRandom(uint32_t seed);
uint32_t NextRandomMT();

}  // namespace korvel
