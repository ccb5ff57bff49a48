// The effects on every instruction set against the plain reference routines: seeded random
// images of odd sizes (down to one pixel), rectangles inside larger images, every radius class of
// the blurs, and the exact reciprocal the blurs divide with.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pixel/pixel_effect_kernels.h"
#include "pixel/pixel_effect_random.h"
#include "pixel/pixel_effects.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

std::vector<PixelIsa> AllIsas() {
  std::vector<PixelIsa> out = {PixelIsa::kScalar};
  for (PixelIsa isa : pixel_test::SimdIsas()) out.push_back(isa);
  return out;
}

// Mode 8's generator, restarted before each run so both sides see the same numbers.
uint32_t g_random_state = 0;
uint32_t NextRandom() {
  g_random_state = g_random_state * 1103515245u + 12345u;
  return g_random_state >> 8;
}

struct Shape {
  int32_t w, h, x0, y0, x1, y1;
};

// The cut output (or the whole image for the modes that keep it) of one run.
std::vector<uint8_t> RunEffect(bool reference, PixelIsa isa, uint8_t mode, const std::vector<uint8_t>& in,
                               const Shape& s, int64_t a, int64_t b, uint8_t has_alpha) {
  EffectCall c;
  c.in = in.data();
  c.width = s.w;
  c.height = s.h;
  c.x0 = s.x0;
  c.y0 = s.y0;
  c.x1 = s.x1;
  c.y1 = s.y1;
  c.a = a;
  c.b = b;
  c.has_alpha = has_alpha;
  c.next_random = NextRandom;
  std::vector<uint8_t> out;
  if (EffectKeepsWholeImage(mode)) {
    out = in;
    c.out_width = s.w;
  } else {
    c.out_width = s.x1 - s.x0 + 1;
    out.assign(static_cast<size_t>(c.out_width) * static_cast<size_t>(s.y1 - s.y0 + 1) * 4, 0xA5);
  }
  c.out = out.data();
  g_random_state = 99;
  EXPECT_TRUE(reference ? RunPixelEffectReference(mode, c) : RunPixelEffectOn(isa, mode, c));
  return out;
}

// Odd sizes, one pixel, single rows and columns, and rectangles that leave a border.
const Shape kShapes[] = {
    {1, 1, 0, 0, 0, 0},    {1, 9, 0, 0, 0, 8},      {11, 1, 0, 0, 10, 0},
    {17, 13, 0, 0, 16, 12}, {37, 23, 3, 2, 33, 20}, {70, 5, 1, 0, 68, 4},
    {9, 41, 0, 3, 8, 40},  {64, 64, 0, 0, 63, 63},  {31, 33, 5, 7, 5, 30}};

struct ModeValues {
  uint8_t mode;
  std::vector<int64_t> a;
  std::vector<int64_t> b;
};

template <typename Shapes>
void ExpectSameAsReference(const ModeValues& m, uint32_t seed, const Shapes& shapes) {
  for (const Shape& s : shapes) {
    std::vector<uint8_t> in(static_cast<size_t>(s.w) * static_cast<size_t>(s.h) * 4);
    pixel_test::FillRandom(in, seed + static_cast<uint32_t>(s.w * 131 + s.h));
    for (int64_t a : m.a) {
      for (int64_t b : m.b) {
        for (uint8_t alpha : {0, 1}) {
          const std::vector<uint8_t> want = RunEffect(true, PixelIsa::kScalar, m.mode, in, s, a, b, alpha);
          for (PixelIsa isa : AllIsas()) {
            const std::vector<uint8_t> got = RunEffect(false, isa, m.mode, in, s, a, b, alpha);
            const long diff = pixel_test::FirstDiff(got, want);
            EXPECT_EQ(diff, -1) << "mode " << int{m.mode} << " on " << PixelIsaName(isa) << ", "
                                << s.w << "x" << s.h << " rect " << s.x0 << "," << s.y0 << "-"
                                << s.x1 << "," << s.y1 << " A " << a << " B " << b << " alpha "
                                << int{alpha} << " byte " << diff;
          }
        }
      }
    }
  }
}

void ExpectSameAsReference(const ModeValues& m, uint32_t seed) {
  ExpectSameAsReference(m, seed, kShapes);
}

TEST(EffectsOnEveryIsa, ColourOperationsMatchTheReference) {
  const ModeValues modes[] = {
      {1, {-300, 0, 1, 127, 128, 129, 200, 256, 400, 1 << 22}, {0}},
      {25, {1}, {0}},
      {10, {0, 0x808080, 0xFF0040, 0x00FF7F, 0x817F01, 0xFFFFFF, -1}, {0}},
      {36, {0}, {0}},
      {27, {-5, 0, 1, 60, 127, 128, 129, 200, 255, 256, 300}, {0}},
  };
  for (const ModeValues& m : modes) ExpectSameAsReference(m, 7);
}

// Radius classes: 1, small, around the rectangle's sides, beyond them, and the largest.
TEST(EffectsOnEveryIsa, BlursMatchTheReferenceAtEveryRadius) {
  const std::vector<int64_t> radii = {0, 1, 2, 3, 6, 15, 16, 17, 33, 40, 64, 70, 1000, 1 << 20, 1 << 24};
  for (uint8_t mode : {2, 3, 4, 5}) ExpectSameAsReference({mode, radii, {0}}, 11);
  // Rectangles longer than 257 pixels both ways, where cut windows outgrow 16-bit sums.
  const Shape long_sides[] = {{300, 270, 2, 3, 297, 268}};
  for (uint8_t mode : {2, 3, 4, 5}) {
    ExpectSameAsReference({mode, {1, 128, 129, 200, 400}, {0}}, 13, long_sides);
  }
}

TEST(EffectsOnEveryIsa, MovingEffectsMatchTheReference) {
  const ModeValues modes[] = {
      {8, {0, 1, 2, 3, 64, 65, 200}, {0}},
      {18, {0, 1, 2, 3, 5, 8, 16, 40, 100, 1 << 20}, {0}},
      {19, {0, 1, 5, 20, -20, 3000, INT64_MAX / 2}, {0, 30, 271}},
      {20, {0, 1, 5, 20, -20, 3000, INT64_MAX / 2}, {0, 30, 271}},
      {21, {0, 1, 5, 20, -20, 3000}, {0, 30, 271}},
      {37, {0, 1, 90, 900, 1800, -3600, 36000, int64_t{1} << 50}, {0}},
  };
  for (const ModeValues& m : modes) ExpectSameAsReference(m, 23);
}

// A swirl larger than the ring map a thread keeps builds its rings each time; run twice, after a
// small one and between, it still gives the reference's bytes.
TEST(EffectsOnEveryIsa, SwirlBeyondTheKeptRingMapMatchesTheReference) {
  const Shape small[] = {{37, 23, 3, 2, 33, 20}};
  const Shape large[] = {{1536, 1400, 0, 0, 1535, 1399}};
  const ModeValues swirl{37, {900}, {0}};
  ExpectSameAsReference(swirl, 41, small);
  ExpectSameAsReference(swirl, 41, large);
  ExpectSameAsReference(swirl, 41, small);
}

// Mode 8 drawing its numbers in bulk from the engine's generator gives the reference's bytes
// with one-at-a-time numbers from std::mt19937, and leaves the generator where those left theirs.
ShuffleRandom g_bulk;
std::mt19937 g_single;
void FillBulk(uint32_t* out, size_t n) { FillShuffleRandom(g_bulk, out, n); }
uint32_t NextSingle() { return static_cast<uint32_t>(g_single()); }

TEST(EffectsOnEveryIsa, ShuffleDrawingInBulkMatchesTheReference) {
  const Shape shapes[] = {{2, 2, 0, 0, 1, 1},      {3, 3, 0, 0, 2, 2},    {37, 23, 3, 2, 33, 20},
                          {300, 41, 1, 0, 298, 40}, {64, 64, 0, 0, 63, 63}, {1300, 7, 0, 0, 1299, 6}};
  const PixelKernelSelection was = g_pixel_selection;
  for (const Shape& s : shapes) {
    std::vector<uint8_t> in(static_cast<size_t>(s.w) * static_cast<size_t>(s.h) * 4);
    pixel_test::FillRandom(in, static_cast<uint32_t>(s.w * 7 + s.h));
    for (int64_t a : {2, 64, 66, 200, 1000}) {
      for (PixelIsa isa : AllIsas()) {
        EffectCall c;
        c.in = in.data();
        c.width = s.w;
        c.height = s.h;
        c.x0 = s.x0;
        c.y0 = s.y0;
        c.x1 = s.x1;
        c.y1 = s.y1;
        c.a = a;
        c.out_width = s.x1 - s.x0 + 1;
        std::vector<uint8_t> want(static_cast<size_t>(c.out_width) * static_cast<size_t>(s.y1 - s.y0 + 1) * 4);
        std::vector<uint8_t> got(want.size());
        const auto seed = static_cast<uint32_t>(a * 31 + s.w);
        g_single.seed(seed);
        c.next_random = NextSingle;
        c.out = want.data();
        RunPixelEffectReference(8, c);
        SeedShuffleRandom(g_bulk, seed);
        InstallPixelKernels(KernelSet::kSse, isa);
        c.fill_random = FillBulk;
        c.out = got.data();
        RunPixelEffectOn(isa, 8, c);
        EXPECT_EQ(pixel_test::FirstDiff(got, want), -1)
            << PixelIsaName(isa) << " " << s.w << "x" << s.h << " A " << a;
        EXPECT_EQ(NextShuffleRandom(g_bulk), NextSingle()) << PixelIsaName(isa) << " A " << a;
      }
    }
  }
  InstallPixelKernels(was.set, was.isa);
}

// The modes the dispatcher hands to the reference still answer through it.
TEST(EffectsOnEveryIsa, RemainingModesMatchTheReference) {
  for (uint8_t mode : {6, 7, 9, 17, 35}) ExpectSameAsReference({mode, {1, 100}, {0}}, 31);
  for (uint8_t variant = 1; variant <= 3; ++variant) {
    const Shape s{13, 7, 2, 1, 10, 5};
    std::vector<uint8_t> in(13 * 7 * 4);
    pixel_test::FillRandom(in, 5);
    EffectCall c;
    c.in = in.data();
    c.width = 13;
    c.height = 7;
    c.x0 = s.x0;
    c.y0 = s.y0;
    c.x1 = s.x1;
    c.y1 = s.y1;
    c.a = 0x12345678;
    c.variant = variant;
    c.out_width = 13;
    std::vector<uint8_t> want = in, got = in;
    c.out = want.data();
    RunPixelEffectReference(22, c);
    c.out = got.data();
    RunPixelEffectOn(PixelIsa::kAvx2, 22, c);
    EXPECT_EQ(got, want) << int{variant};
  }
}

// Every colour of a coarse grid plus the extremes, where the saturation limits and the sepia
// clamps switch on and off.
TEST(EffectsOnEveryIsa, SaturationAndSepiaOverAColourGrid) {
  std::vector<uint8_t> in;
  for (int r = 0; r < 256; r += 5) {
    for (int g = 0; g < 256; g += 3) {
      for (int b = 0; b < 256; b += 7) {
        in.insert(in.end(), {static_cast<uint8_t>(b), static_cast<uint8_t>(g),
                             static_cast<uint8_t>(r), static_cast<uint8_t>(r ^ g)});
      }
    }
  }
  for (uint8_t v : {0, 1, 127, 128, 254, 255}) {
    for (uint8_t w : {0, 255}) in.insert(in.end(), {v, w, v, w, w, v, v, w, w, w, v, v});
  }
  const auto n = static_cast<int32_t>(in.size() / 4);
  const Shape s{n, 1, 0, 0, n - 1, 0};
  for (int64_t a : {0, 1, 40, 127, 128, 129, 160, 200, 255, 256}) {
    const std::vector<uint8_t> want = RunEffect(true, PixelIsa::kScalar, 27, in, s, a, 0, 0);
    for (PixelIsa isa : AllIsas()) {
      EXPECT_EQ(pixel_test::FirstDiff(RunEffect(false, isa, 27, in, s, a, 0, 0), want), -1)
          << PixelIsaName(isa) << " A " << a;
    }
  }
  const std::vector<uint8_t> want = RunEffect(true, PixelIsa::kScalar, 36, in, s, 0, 0, 0);
  for (PixelIsa isa : AllIsas()) {
    EXPECT_EQ(pixel_test::FirstDiff(RunEffect(false, isa, 36, in, s, 0, 0, 0), want), -1)
        << PixelIsaName(isa);
  }
}

// Above 128 the kernels reduce the limits to the largest and smallest channel and divide through
// a reciprocal: every colour at the weakest, a middle and the strongest such strength.
TEST(EffectsOnEveryIsa, SaturationAbove128OverEveryColour) {
  constexpr int32_t kColours = 1 << 24;
  std::vector<uint8_t> in(static_cast<size_t>(kColours) * 4);
  for (int32_t v = 0; v < kColours; ++v) {
    const auto u = static_cast<uint32_t>(v) | (static_cast<uint32_t>(v * 7) << 24);
    std::memcpy(in.data() + static_cast<size_t>(v) * 4, &u, 4);
  }
  for (int64_t a : {129, 200, 256}) {
    std::vector<uint8_t> want = in;
    SaturatePixelsReference(want.data(), 4096, 4096, a);
    for (PixelIsa isa : AllIsas()) {
      std::vector<uint8_t> got(in.size());
      effect_kernels::KernelsFor(isa).saturate(got.data(), in.data(), kColours, static_cast<int32_t>(a));
      EXPECT_EQ(pixel_test::FirstDiff(got, want), -1) << PixelIsaName(isa) << " A " << a;
    }
  }
}

// The capture's in-place saturation follows the installed instruction set.
TEST(EffectsOnEveryIsa, InPlaceSaturationMatchesTheReference) {
  std::vector<uint8_t> img(29 * 3 * 4);
  pixel_test::FillRandom(img, 3);
  const PixelKernelSelection was = g_pixel_selection;
  for (PixelIsa isa : AllIsas()) {
    for (int64_t a : {0, 90, 128, 230, 256, 1000}) {
      std::vector<uint8_t> want = img, got = img;
      SaturatePixelsReference(want.data(), 29, 3, a);
      InstallPixelKernels(KernelSet::kSse, isa);
      SaturatePixels(got.data(), 29, 3, a);
      EXPECT_EQ(got, want) << PixelIsaName(isa) << " A " << a;
    }
  }
  InstallPixelKernels(was.set, was.isa);
}

// floor(x / n) = (x·m) >> shift for every numerator a window of n pixels can sum to (0..255·n).
// The product is monotonic in x, so a quotient q holds over all of q·n .. q·n + n − 1 exactly
// when it holds at both ends: checking every end checks every numerator. Small divisors are
// also checked numerator by numerator.
TEST(BlurReciprocal, GivesTheQuotientForEveryReachableNumerator) {
  using effect_kernels::DivideBy;
  using effect_kernels::ReciprocalOf;
  for (uint32_t n = 1; n <= 257; ++n) {
    const auto r = ReciprocalOf(n);
    for (uint32_t x = 0; x <= 255 * n; ++x) ASSERT_EQ(DivideBy(x, r), x / n) << x << " / " << n;
  }
  for (uint32_t n = 1; n <= effect_kernels::kMaxBlurDivisor; ++n) {
    const auto r = ReciprocalOf(n);
    // Every run's two ends while the divisors stay small. Above that the highest run's: the
    // product's excess over x / n grows with x, and a run's low end can only come out high when
    // the run below ends high, so the top ends are the ones that can fail.
    const uint32_t first_q = n <= 8193 ? 0 : 254;
    for (uint32_t q = first_q; q < 255; ++q) {
      ASSERT_EQ(DivideBy(q * n, r), q) << n;
      ASSERT_EQ(DivideBy(q * n + n - 1, r), q) << n;
    }
    ASSERT_EQ(DivideBy(255 * n, r), 255u) << n;
  }
}

// The 16-bit sums' quotient, numerator by numerator for every divisor it serves.
TEST(BlurReciprocal, ShortDivisorGivesTheQuotientForEveryNumerator) {
  for (uint32_t n = 1; n <= effect_kernels::kShortDivisorLimit; ++n) {
    const auto d = effect_kernels::ShortDivisorOf(n);
    for (uint32_t x = 0; x <= 255 * n; ++x) {
      ASSERT_EQ(effect_kernels::DivideShort(x, d), x / n) << x << " / " << n;
    }
  }
}

// The vector kernels' single-precision quotient, also monotonic in x (every rounding is), held to
// floor(x / n) at both ends of every quotient's run for every divisor it serves.
TEST(BlurReciprocal, SinglePrecisionWayGivesTheQuotientWhereItIsUsed) {
  using effect_kernels::DivideBySingle;
  using effect_kernels::ReciprocalOf;
  for (uint32_t n = 1; n <= effect_kernels::kFloatDivisorLimit; ++n) {
    const auto r = ReciprocalOf(n);
    ASSERT_TRUE(r.single);
    for (uint32_t q = 0; q < 255; ++q) {
      ASSERT_EQ(DivideBySingle(q * n, r), q) << n;
      ASSERT_EQ(DivideBySingle(q * n + n - 1, r), q) << n;
    }
    ASSERT_EQ(DivideBySingle(255 * n, r), 255u) << n;
  }
  EXPECT_FALSE(ReciprocalOf(effect_kernels::kFloatDivisorLimit + 1).single);
}

}  // namespace
}  // namespace korvel
