// The block shuffle's MT19937 against std::mt19937: one number at a time, in runs of every length
// around the 624-word twist, on every instruction set, and the state it leaves behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "pixel/pixel_effect_random.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

std::vector<PixelIsa> AllIsas() {
  std::vector<PixelIsa> out = {PixelIsa::kScalar};
  for (PixelIsa isa : pixel_test::SimdIsas()) out.push_back(isa);
  return out;
}

TEST(ShuffleRandom, OneAtATimeIsStdMt19937) {
  for (uint32_t seed : {5489u, 0u, 1u, 0xFFFFFFFFu, 0x9908B0DFu}) {
    ShuffleRandom r;
    SeedShuffleRandom(r, seed);
    std::mt19937 want(seed);
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(NextShuffleRandom(r), want()) << seed << " #" << i;
  }
}

// Runs of lengths that start and end on every side of a twist, mixed with single draws, for
// over two million numbers per instruction set.
TEST(ShuffleRandom, RunsOfEveryLengthAreStdMt19937OnEveryIsa) {
  const size_t lengths[] = {1, 2, 3, 7, 8, 9, 226, 227, 228, 396, 397, 623, 624, 625, 1247,
                            1248, 1249, 960, 4096, 100003};
  for (PixelIsa isa : AllIsas()) {
    for (uint32_t seed : {5489u, 17u, 0xDEADBEEFu}) {
      ShuffleRandom r;
      SeedShuffleRandom(r, seed);
      std::mt19937 want(seed);
      std::vector<uint32_t> got;
      size_t drawn = 0;
      for (int round = 0; round < 6; ++round) {
        for (size_t n : lengths) {
          got.assign(n, 0);
          FillShuffleRandomOn(isa, r, got.data(), n);
          for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(got[i], want()) << PixelIsaName(isa) << " seed " << seed << " number " << drawn + i;
          }
          drawn += n;
          ASSERT_EQ(NextShuffleRandom(r), want()) << PixelIsaName(isa) << " after " << drawn;
          ++drawn;
        }
      }
      EXPECT_GT(drawn, 600000u);
    }
  }
}

// The 10,000th number of the default seed, as the C++ standard gives it.
TEST(ShuffleRandom, DefaultSeedGivesTheStandardsCheckValue) {
  ShuffleRandom r;
  SeedShuffleRandom(r, 5489u);
  std::vector<uint32_t> out(10000);
  FillShuffleRandom(r, out.data(), out.size());
  EXPECT_EQ(out.back(), 4123659995u);
}

}  // namespace
}  // namespace korvel
