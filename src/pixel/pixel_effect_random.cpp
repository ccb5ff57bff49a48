// The block shuffle's MT19937 on the effect kernels' twist and tempering.
#include "pixel/pixel_effect_random.h"

#include <algorithm>

#include "pixel/pixel_effect_kernels.h"

namespace korvel {

void SeedShuffleRandom(ShuffleRandom& r, uint32_t seed) {
  r.state[0] = seed;
  for (size_t i = 1; i < kShuffleRandomWords; ++i) {
    const uint32_t prev = r.state[i - 1];
    r.state[i] = 1812433253u * (prev ^ (prev >> 30)) + static_cast<uint32_t>(i);
  }
  r.next = kShuffleRandomWords;
}

uint32_t NextShuffleRandom(ShuffleRandom& r) {
  if (r.next >= kShuffleRandomWords) {
    effect_kernels::ScalarKernels().mt_twist(r.state);
    r.next = 0;
  }
  return effect_kernels::Temper(r.state[r.next++]);
}

void FillShuffleRandomOn(PixelIsa isa, ShuffleRandom& r, uint32_t* out, size_t n) {
  const effect_kernels::Kernels& k = effect_kernels::KernelsFor(isa);
  while (n > 0) {
    if (r.next >= kShuffleRandomWords) {
      k.mt_twist(r.state);
      r.next = 0;
    }
    const size_t take = std::min(n, kShuffleRandomWords - r.next);
    k.mt_temper(out, r.state + r.next, take);
    r.next += take;
    out += take;
    n -= take;
  }
}

void FillShuffleRandom(ShuffleRandom& r, uint32_t* out, size_t n) {
  FillShuffleRandomOn(g_pixel_selection.isa, r, out, n);
}

}  // namespace korvel
