// The block shuffle's MT19937: the sequence of std::mt19937, drawn one number at a time or many
// at once (the twist and the tempering on the vector kernels).
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/pixel_kernels.h"

namespace korvel {

inline constexpr size_t kShuffleRandomWords = 624;

struct ShuffleRandom {
  uint32_t state[kShuffleRandomWords] = {};
  size_t next = kShuffleRandomWords;  // the next state word to hand out; at the end, twist first
};

// std::mt19937's seeding (5489 is its default).
void SeedShuffleRandom(ShuffleRandom& r, uint32_t seed);
uint32_t NextShuffleRandom(ShuffleRandom& r);
// The next n numbers into out, as n calls of NextShuffleRandom would give them and leaving the
// same state behind; on the installed instruction set, or on `isa`.
void FillShuffleRandom(ShuffleRandom& r, uint32_t* out, size_t n);
void FillShuffleRandomOn(PixelIsa isa, ShuffleRandom& r, uint32_t* out, size_t n);

}  // namespace korvel
