// MT19937 behind the engine's random calls (used from the script thread only).
#include "core/random.h"

#include <random>

namespace korvel {

namespace {
std::mt19937 g_generator;  // default seed 5489, as an unseeded MT19937
}  // namespace

void SeedRandom(uint32_t seed) { g_generator.seed(seed); }

uint32_t NextRandomMT() { return static_cast<uint32_t>(g_generator()); }

}  // namespace korvel
