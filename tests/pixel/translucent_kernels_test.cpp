// Slots 22 to 25 (blends onto a translucent destination): edge values, random samples and the
// slot-23 overflow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "pixel/pixel_kernels.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

using pixel_test::SimdIsas;
using pixel_test::TableFor;

constexpr uint8_t kEdges[] = {0, 1, 127, 128, 254, 255};
constexpr int kOpacities[] = {0, 1, 127, 128, 129, 255, 256};

// Every combination of edge values for s (in all three colours), d, A and dA.
void EdgeRows(std::vector<uint8_t>& s, std::vector<uint8_t>& d) {
  s.clear();
  d.clear();
  for (uint8_t sv : kEdges) {
    for (uint8_t dv : kEdges) {
      for (uint8_t a : kEdges) {
        for (uint8_t da : kEdges) {
          s.insert(s.end(), {sv, sv, static_cast<uint8_t>(255 - sv), a});
          d.insert(d.end(), {dv, dv, static_cast<uint8_t>(255 - dv), da});
        }
      }
    }
  }
}

using Run = void (*)(const PixelKernelTable&, uint8_t*, const uint8_t*, int, int, size_t);
struct Slot {
  int slot;
  Run run;
};
const Slot kSlots[] = {
    {22, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, int, size_t n) { t.screen_src_alpha(d, s, n); }},
    {23, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, int, size_t n) { t.screen_src_alpha_opacity(d, s, o, n); }},
    {24, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, int, size_t n) { t.blend_alpha_table_opacity(d, s, o, n); }},
    {25, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o1, int o2, size_t n) { t.blend_onto_translucent(d, s, o1, o2, n); }},
};

// Every colour result lies between the destination and the source colour: nothing wraps.
void ExpectBetween(const std::vector<uint8_t>& s, const std::vector<uint8_t>& d,
                   const std::vector<uint8_t>& out, int slot, int o1, int o2) {
  for (size_t i = 0; i < out.size(); ++i) {
    if (i % 4 == 3) continue;
    const int lo = std::min(s[i], d[i]);
    const int hi = std::max(s[i], d[i]);
    ASSERT_TRUE(out[i] >= lo && out[i] <= hi)
        << "slot " << slot << " o " << o1 << "/" << o2 << " s " << int(s[i]) << " d " << int(d[i])
        << " A " << int(s[i | 3]) << " dA " << int(d[i | 3]) << " gives " << int(out[i]);
  }
}

TEST(TranslucentKernels, EdgeValuesStayInRangeAndMatchOnEveryInstructionSet) {
  std::vector<uint8_t> s, d;
  EdgeRows(s, d);
  const PixelKernelTable ref = TableFor(KernelSet::kSse, PixelIsa::kScalar);
  for (const Slot& slot : kSlots) {
    for (int o1 : kOpacities) {
      for (int o2 : kOpacities) {
        if (slot.slot != 25 && o2 != 0) continue;
        if (slot.slot == 22 && o1 != 0) continue;
        std::vector<uint8_t> want = d;
        slot.run(ref, want.data(), s.data(), o1, o2, want.size());
        ExpectBetween(s, d, want, slot.slot, o1, o2);
        for (PixelIsa isa : SimdIsas()) {
          for (KernelSet set : {KernelSet::kMmx, KernelSet::kSse}) {
            std::vector<uint8_t> got = d;
            slot.run(TableFor(set, isa), got.data(), s.data(), o1, o2, got.size());
            ASSERT_EQ(pixel_test::FirstDiff(want, got), -1)
                << "slot " << slot.slot << " " << pixel_test::Label(set, isa) << " o " << o1
                << "/" << o2;
          }
        }
      }
    }
  }
}

TEST(TranslucentKernels, SeededRandomRowsMatchOnEveryInstructionSet) {
  std::mt19937 rng(2024);
  const PixelKernelTable ref = TableFor(KernelSet::kSse, PixelIsa::kScalar);
  std::vector<uint8_t> s(4 * 997), d(4 * 997);
  for (int round = 0; round < 200; ++round) {
    pixel_test::FillRandom(s, rng());
    pixel_test::FillRandom(d, rng());
    const int o1 = static_cast<int>(rng() % 257);
    const int o2 = static_cast<int>(rng() % 257);
    for (const Slot& slot : kSlots) {
      std::vector<uint8_t> want = d;
      slot.run(ref, want.data(), s.data(), o1, o2, want.size());
      ExpectBetween(s, d, want, slot.slot, o1, o2);
      for (PixelIsa isa : SimdIsas()) {
        std::vector<uint8_t> got = d;
        slot.run(TableFor(KernelSet::kSse, isa), got.data(), s.data(), o1, o2, got.size());
        ASSERT_EQ(pixel_test::FirstDiff(want, got), -1) << "slot " << slot.slot << " round " << round;
      }
    }
  }
}

TEST(TranslucentKernels, FullOpacityVariantsEqualTheOpaqueOne) {
  std::vector<uint8_t> s(4 * 4096), d(4 * 4096);
  pixel_test::FillRandom(s, 5);
  pixel_test::FillRandom(d, 6);
  const PixelKernelTable t = TableFor(KernelSet::kSse, PixelIsa::kScalar);
  std::vector<uint8_t> base = d, with23 = d, with24 = d;
  t.screen_src_alpha(base.data(), s.data(), base.size());
  t.screen_src_alpha_opacity(with23.data(), s.data(), 256, with23.size());
  t.blend_alpha_table_opacity(with24.data(), s.data(), 256, with24.size());
  EXPECT_EQ(base, with23);
  EXPECT_EQ(base, with24);
}

TEST(TranslucentKernels, OpaqueSourceReplacesAndTransparentSourceLeaves) {
  const PixelKernelTable t = TableFor(KernelSet::kSse, PixelIsa::kScalar);
  uint8_t d[8] = {10, 20, 30, 40, 10, 20, 30, 40};
  const uint8_t s[8] = {200, 100, 50, 255, 200, 100, 50, 0};
  t.screen_src_alpha(d, s, 8);
  const uint8_t want[8] = {200, 100, 50, 255, 10, 20, 30, 40};
  EXPECT_EQ(std::vector<uint8_t>(d, d + 8), std::vector<uint8_t>(want, want + 8));
}

// The formula as first written: w = recip(D, A)·o without a cap, in 64-bit so the test itself
// cannot overflow; returns the colour before it is stored in a byte.
int64_t UncappedSlot23(int s, int d, int a, int da, int o) {
  const int64_t dd = da + (((a - da * a / 255) * o) >> 8);
  const int64_t w = ((dd & 255) ? 256 * a / (dd & 255) : 0) * int64_t{o};
  return d + (((s - d) * w) >> 16);
}

TEST(TranslucentKernels, BlackSourceOverTransparentWhiteStaysBlack) {
  // D = 0 + ((255·128) >> 8) = 127 is floored, so recip(127, 255)·128 = 65792 > 65536 and the
  // uncapped formula overshoots the source: 255 + ((−255·65792) >> 16) = −1, stored as white.
  EXPECT_EQ(UncappedSlot23(0, 255, 255, 0, 128), -1);
  EXPECT_EQ(static_cast<uint8_t>(UncappedSlot23(0, 255, 255, 0, 128)), 255);
  for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
    std::vector<uint8_t> d(64), s(64);
    for (size_t i = 0; i < d.size(); i += 4) {
      d[i] = d[i + 1] = d[i + 2] = 255;
      d[i + 3] = 0;
      s[i] = s[i + 1] = s[i + 2] = 0;
      s[i + 3] = 255;
    }
    TableFor(KernelSet::kSse, isa).screen_src_alpha_opacity(d.data(), s.data(), 128, d.size());
    for (size_t i = 0; i < d.size(); i += 4) {
      EXPECT_EQ(d[i], 0) << PixelIsaName(isa);
      EXPECT_EQ(d[i + 3], 127) << PixelIsaName(isa);
    }
  }
}

TEST(TranslucentKernels, CapLeavesEveryResultThatWasInRange) {
  // On a grid of s, d, A, dA and opacities: wherever the uncapped result already lay between d
  // and s, the kernel gives the same byte; elsewhere it gives the source.
  const PixelKernelTable t = TableFor(KernelSet::kSse, PixelIsa::kScalar);
  std::vector<uint8_t> src, dst;
  for (int a = 0; a < 256; a += 5) {
    for (int da = 0; da < 256; da += da < 4 ? 1 : 9) {
      for (int sv = 0; sv < 256; sv += 51) {
        for (int dv = 0; dv < 256; dv += 51) {
          src.insert(src.end(), {static_cast<uint8_t>(sv), 0, 0, static_cast<uint8_t>(a)});
          dst.insert(dst.end(), {static_cast<uint8_t>(dv), 0, 0, static_cast<uint8_t>(da)});
        }
      }
    }
  }
  size_t capped = 0;
  for (int o = 0; o <= 256; o += 3) {
    std::vector<uint8_t> out = dst;
    t.screen_src_alpha_opacity(out.data(), src.data(), o, out.size());
    for (size_t i = 0; i < out.size(); i += 4) {
      const int sv = src[i], dv = dst[i];
      const int64_t old = UncappedSlot23(sv, dv, src[i + 3], dst[i + 3], o);
      if (old >= std::min(sv, dv) && old <= std::max(sv, dv)) {
        ASSERT_EQ(out[i], old) << "o " << o << " A " << int(src[i + 3]) << " dA "
                               << int(dst[i + 3]) << " s " << sv << " d " << dv;
      } else {
        ASSERT_EQ(out[i], sv);
        ++capped;
      }
    }
  }
  EXPECT_GT(capped, 0u);  // the grid does reach the overflow
}

// Slot 25 as first written, without the bound on the colour step.
int UnboundedSlot25(int s, int d, int a, int da, int o1, int o2) {
  const int da1 = (da * o1) >> 8;
  const int dd = da1 + (((a - (((a + 1) * da1) >> 8)) * o2) >> 8);
  return d + ((((s - d) * o2) >> 8) * a) / (dd + 1);
}

TEST(TranslucentKernels, SmallStepOntoTransparentDoesNotWrap) {
  // (−1·1) >> 8 floors to −1, D = (127·1) >> 8 = 0, so the step is −127: 1 − 127 wraps to 130.
  EXPECT_EQ(UnboundedSlot25(0, 1, 127, 0, 256, 1), -126);
  EXPECT_EQ(UnboundedSlot25(1, 127, 127, 0, 256, 129), 0);  // below the source 1
  for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
    std::vector<uint8_t> d(32), s(32);
    for (size_t i = 0; i < d.size(); i += 8) {
      const uint8_t px[8] = {1, 1, 1, 0, 127, 127, 127, 0};
      const uint8_t sx[8] = {0, 0, 0, 127, 1, 1, 1, 127};
      std::copy(px, px + 8, d.begin() + static_cast<long>(i));
      std::copy(sx, sx + 8, s.begin() + static_cast<long>(i));
    }
    std::vector<uint8_t> a = d, b = d;
    const PixelKernelTable t = TableFor(KernelSet::kSse, isa);
    t.blend_onto_translucent(a.data(), s.data(), 256, 1, a.size());
    t.blend_onto_translucent(b.data(), s.data(), 256, 129, b.size());
    for (size_t i = 0; i < d.size(); i += 8) {
      EXPECT_EQ(a[i], 0) << PixelIsaName(isa);    // the source, not 130
      EXPECT_EQ(b[i + 4], 1) << PixelIsaName(isa);  // the source, not 0
    }
  }
}

}  // namespace
}  // namespace korvel
