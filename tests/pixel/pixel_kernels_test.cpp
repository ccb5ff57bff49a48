// Pixel-row kernels: exhaustive SIMD-against-reference checks and the edge cases of each slot.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "pixel/pixel_kernels.h"
#include "pixel_test_util.h"
#include "param_names.h"

namespace korvel {
namespace {

using pixel_test::FirstDiff;
using pixel_test::Label;
using pixel_test::SimdIsas;
using pixel_test::TableFor;

constexpr KernelSet kSets[] = {KernelSet::kMmx, KernelSet::kSse};

// Every (s, d) pair once: byte i has s = i >> 8 and d = i & 255.
struct PairRows {
  std::vector<uint8_t> s = std::vector<uint8_t>(65536);
  std::vector<uint8_t> d = std::vector<uint8_t>(65536);
  PairRows() {
    for (size_t i = 0; i < 65536; ++i) {
      s[i] = static_cast<uint8_t>(i >> 8);
      d[i] = static_cast<uint8_t>(i);
    }
  }
};

// A per-byte slot with an opacity (ignored by slots without one).
using ByteSlotRun = void (*)(const PixelKernelTable&, uint8_t* d, const uint8_t* s, int o, size_t n);

struct ByteSlot {
  int slot;
  bool has_opacity;
  ByteSlotRun run;
  bool differs_by_set = false;  // slots 4 and 8: checked in both sets
};

const ByteSlot kByteSlots[] = {
    {4, true, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.blend_opacity(d, s, o, n); }, true},
    {8, true, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.lerp_two_rows(d, d, s, o, n); }, true},
    {9, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.add_saturate(d, s, n); }},
    {10, true, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.add_saturate_opacity(d, s, o, n); }},
    {13, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.subtract_saturate(d, s, n); }},
    {14, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.multiply(d, s, n); }},
    {15, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.screen(d, s, n); }},
    {16, true, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.screen_opacity(d, s, o, n); }},
    {17, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.lighten(d, s, n); }},
    {18, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.darken(d, s, n); }},
    {19, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.linear_burn(d, s, n); }},
    {20, false, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.linear_light(d, s, n); }},
};

// Every s, d and opacity 0..256, one whole 64 KiB row per opacity.
class PerByteSlot : public ::testing::TestWithParam<size_t> {};

TEST_P(PerByteSlot, MatchesReference) {
  const ByteSlot& slot = kByteSlots[GetParam()];
  const PairRows rows;
  std::vector<uint8_t> want(65536), got(65536);
  for (KernelSet set : kSets) {
    if (set == KernelSet::kMmx && !slot.differs_by_set) continue;
    const PixelKernelTable ref = TableFor(set, PixelIsa::kScalar);
    const std::vector<PixelIsa> isas = SimdIsas();
    const int last = slot.has_opacity ? 256 : 0;
    for (int o = 0; o <= last; ++o) {
      want = rows.d;
      slot.run(ref, want.data(), rows.s.data(), o, want.size());
      for (PixelIsa isa : isas) {
        got = rows.d;
        slot.run(TableFor(set, isa), got.data(), rows.s.data(), o, got.size());
        const long at = FirstDiff(want, got);
        ASSERT_EQ(at, -1) << Label(set, isa) << " o " << o << " s " << (at >> 8) << " d "
                          << (at & 255) << ": want " << int(want[at]) << " got " << int(got[at]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PixelKernelsExhaustive, PerByteSlot,
                         ::testing::Range(size_t{0}, std::size(kByteSlots)),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                           return "Slot" + std::to_string(kByteSlots[param.param].slot);
                         });

// Rows of pixels where blue, green and red carry three different (s, d) pairs and every pixel of
// the row has source alpha A; 256 rows of 21846 pixels cover every (s, d, A).
struct AlphaRows {
  static constexpr size_t kPixels = 21846;
  std::vector<uint8_t> s = std::vector<uint8_t>(kPixels * 4);
  std::vector<uint8_t> d = std::vector<uint8_t>(kPixels * 4);
  void Fill(int a) {
    for (size_t p = 0; p < kPixels; ++p) {
      for (size_t c = 0; c < 3; ++c) {
        const size_t pair = (p * 3 + c) % 65536;
        s[p * 4 + c] = static_cast<uint8_t>(pair >> 8);
        d[p * 4 + c] = static_cast<uint8_t>(pair);
      }
      s[p * 4 + 3] = static_cast<uint8_t>(a);
      d[p * 4 + 3] = static_cast<uint8_t>(p * 7 + a);  // destination alphas vary too
    }
  }
};

using PixelSlotRun = void (*)(const PixelKernelTable&, uint8_t* d, const uint8_t* s, int o,
                              size_t n);

struct PixelSlot {
  int slot;
  std::vector<int> opacities;
  PixelSlotRun run;
  bool differs_by_set = true;  // slots 22 to 25 are one routine in both sets
};

const std::vector<PixelSlot>& PixelSlots() {
  static const std::vector<PixelSlot> slots = {
      {5, {0}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.blend_src_alpha(d, s, n); }},
      {6, {1, 128, 255, 256}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.blend_src_alpha_opacity(d, s, o, n); }},
      {11, {0}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.add_src_alpha(d, s, n); }},
      {12, {1, 128, 256}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.add_src_alpha_opacity(d, s, o, n); }},
      {22, {0}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int, size_t n) { t.screen_src_alpha(d, s, n); }, false},
      {23, {1, 128, 255, 256}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.screen_src_alpha_opacity(d, s, o, n); }, false},
      {24, {129, 256}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.blend_alpha_table_opacity(d, s, o, n); }, false},
      // Slot 25 takes (o1, o2) packed as o1 * 1000 + o2.
      {25, {256256, 128200, 37129}, [](const PixelKernelTable& t, uint8_t* d, const uint8_t* s, int o, size_t n) { t.blend_onto_translucent(d, s, o / 1000, o % 1000, n); }, false},
  };
  return slots;
}

class PerPixelSlot : public ::testing::TestWithParam<size_t> {};

TEST_P(PerPixelSlot, MatchesReferenceForEverySourceDestinationAndAlpha) {
  const PixelSlot& slot = PixelSlots()[GetParam()];
  AlphaRows rows;
  std::vector<uint8_t> want, got;
  const std::vector<PixelIsa> isas = SimdIsas();
  for (int a = 0; a < 256; ++a) {
    rows.Fill(a);
    for (KernelSet set : kSets) {
      if (set == KernelSet::kMmx && !slot.differs_by_set) continue;
      const PixelKernelTable ref = TableFor(set, PixelIsa::kScalar);
      for (int o : slot.opacities) {
        want = rows.d;
        slot.run(ref, want.data(), rows.s.data(), o, want.size());
        for (PixelIsa isa : isas) {
          got = rows.d;
          slot.run(TableFor(set, isa), got.data(), rows.s.data(), o, got.size());
          const long at = FirstDiff(want, got);
          ASSERT_EQ(at, -1) << Label(set, isa) << " A " << a << " o " << o << " byte " << at
                            << " s " << int(rows.s[at]) << " d " << int(rows.d[at]) << ": want "
                            << int(want[at]) << " got " << int(got[at]);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PixelKernelsExhaustive, PerPixelSlot,
                         ::testing::Range(size_t{0}, PixelSlots().size()),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                           return "Slot" + std::to_string(PixelSlots()[param.param].slot);
                         });

// Slot 7 on every (s, d, weight): a table with weight m + 1 and the SSE set's ramp weights with
// ramp 2 and level 128 (also m + 1) reach every weight 1..256; two built tables add realistic ones.
struct MaskCase {
  bool identity;
  int level, ramp, opacity;
};
const MaskCase kMaskCases[] = {{true, 128, 256, 256}, {true, 128, 2, 256}, {false, 200, 17, 256},
                               {false, 30, -3, 77}};

class MaskSlot : public ::testing::TestWithParam<size_t> {};

TEST_P(MaskSlot, MatchesReferenceForEverySourceDestinationAndWeight) {
  const MaskCase& w = kMaskCases[GetParam()];
  // Pixel p carries the pairs 3·(p / 4) .. + 2 and, for shift k, mask byte 4k + p % 4.
  constexpr size_t kPixels = 21846 * 4;
  std::vector<uint8_t> s(kPixels * 4), d(kPixels * 4), m(kPixels * 4), want, got;
  for (size_t p = 0; p < kPixels; ++p) {
    for (size_t c = 0; c < 3; ++c) {
      const size_t pair = ((p / 4) * 3 + c) % 65536;
      s[p * 4 + c] = static_cast<uint8_t>(pair >> 8);
      d[p * 4 + c] = static_cast<uint8_t>(pair);
    }
    s[p * 4 + 3] = static_cast<uint8_t>(p * 5);
    d[p * 4 + 3] = static_cast<uint8_t>(p * 3);
  }
  {
    MaskWeightTable table;
    BuildMaskWeightTable(table, w.level, w.ramp, w.opacity);
    if (w.identity) {
      for (int i = 0; i < 256; ++i) table.weight[i] = i + 1;
    }
    for (int shift = 0; shift < 64; ++shift) {
      for (size_t p = 0; p < kPixels; ++p) m[p * 4] = static_cast<uint8_t>(p % 4 + shift * 4);
      for (KernelSet set : kSets) {
        const PixelKernelTable ref = TableFor(set, PixelIsa::kScalar);
        want = d;
        ref.blend_mask_table(want.data(), s.data(), m.data(), table, w.level, w.ramp, want.size());
        for (PixelIsa isa : SimdIsas()) {
          got = d;
          TableFor(set, isa).blend_mask_table(got.data(), s.data(), m.data(), table, w.level,
                                              w.ramp, got.size());
          const long at = FirstDiff(want, got);
          ASSERT_EQ(at, -1) << Label(set, isa) << " level " << w.level << " ramp " << w.ramp
                            << " byte " << at;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PixelKernelsExhaustive, MaskSlot,
                         ::testing::Range(size_t{0}, std::size(kMaskCases)),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                           const MaskCase& w = kMaskCases[param.param];
                           return test::NameSafe(
                               std::string(w.identity ? "Identity" : "Table") + "Level" +
                               std::to_string(w.level) + "Ramp" + std::to_string(w.ramp) +
                               "Opacity" + std::to_string(w.opacity));
                         });

// Slot 21 on random rows, both sets, against the reference.
TEST(PixelKernelsExhaustive, HalveRowsMatchesReference) {
  std::vector<uint8_t> src(4 * 1000 * 3);
  pixel_test::FillRandom(src, 21);
  for (KernelSet set : kSets) {
    const PixelKernelTable ref = TableFor(set, PixelIsa::kScalar);
    for (PixelIsa isa : SimdIsas()) {
      const PixelKernelTable sut = TableFor(set, isa);
      for (size_t out_pixels : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{500}}) {
        std::vector<uint8_t> want(out_pixels * 4 + 8, 0x5A), got = want;
        ref.halve_rows(want.data(), src.data(), 1000, out_pixels);
        sut.halve_rows(got.data(), src.data(), 1000, out_pixels);
        EXPECT_EQ(FirstDiff(want, got), -1) << Label(set, isa) << " pixels " << out_pixels;
      }
    }
  }
}

// --- Edge cases of the sets themselves (scalar reference; the SIMD ones equal it above). ---

TEST(PixelKernelEdges, OpacityHalfwayDiffersBetweenSets) {
  // Slot 4 at o = 128 on destination 1 and source 2: 1 in the MMX set, 2 in the SSE set.
  alignas(16) uint8_t d[16];
  alignas(16) uint8_t s[16];
  for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
    for (KernelSet set : kSets) {
      std::memset(d, 1, sizeof d);
      std::memset(s, 2, sizeof s);
      TableFor(set, isa).blend_opacity(d, s, 128, sizeof d);
      EXPECT_EQ(d[0], set == KernelSet::kSse ? 2 : 1) << Label(set, isa);
      EXPECT_EQ(d[15], set == KernelSet::kSse ? 2 : 1) << Label(set, isa);
    }
  }
}

TEST(PixelKernelEdges, OpacityTailAndSseAlignmentUseTheSingleByteFormula) {
  // Single bytes give d + (((s − d)·128) >> 8) = 1 for d = 1, s = 2, in both sets.
  alignas(16) uint8_t d[24];
  alignas(16) uint8_t s[24];
  std::memset(d, 1, sizeof d);
  std::memset(s, 2, sizeof s);
  // SSE set from an odd address: bytes 1..7 are the prologue, 8..15 a group, 16..18 the tail.
  TableFor(KernelSet::kSse, PixelIsa::kScalar).blend_opacity(d + 1, s + 1, 128, 18);
  for (int i = 1; i < 8; ++i) EXPECT_EQ(d[i], 1) << i;
  for (int i = 8; i < 16; ++i) EXPECT_EQ(d[i], 2) << i;
  for (int i = 16; i < 19; ++i) EXPECT_EQ(d[i], 1) << i;
  EXPECT_EQ(d[0], 1);
  EXPECT_EQ(d[19], 1);
}

TEST(PixelKernelEdges, FillPixelsWritesWholePixelsOnly) {
  for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
    const PixelKernelTable t = TableFor(KernelSet::kSse, isa);
    uint8_t row[16];
    std::memset(row, 0xEE, sizeof row);
    t.fill_pixels(row, 12, 0x11223344u);
    EXPECT_EQ(row[8], 0x44);
    EXPECT_EQ(row[11], 0x11);
    EXPECT_EQ(row[12], 0xEE);
    std::memset(row, 0xEE, sizeof row);
    t.fill_pixels(row, 10, 0x11223344u);
    EXPECT_EQ(row[7], 0x11);
    EXPECT_EQ(row[8], 0xEE);
    EXPECT_EQ(row[9], 0xEE);
  }
}

TEST(PixelKernelEdges, SubtractTakesTheDestinationFromTheSource) {
  std::vector<uint8_t> d(40), s(40, 0);
  pixel_test::FillRandom(d, 3);
  for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
    std::vector<uint8_t> out = d;
    TableFor(KernelSet::kSse, isa).subtract_saturate(out.data(), s.data(), out.size());
    EXPECT_EQ(out, std::vector<uint8_t>(40, 0));
  }
}

TEST(PixelKernelEdges, SourceAlphaOddLastPixelLeavesAlpha) {
  // Three pixels: a pair and an odd last one. The pair blends alpha too, the last one does not.
  uint8_t d[12] = {10, 20, 30, 40, 10, 20, 30, 40, 10, 20, 30, 40};
  const uint8_t s[12] = {200, 100, 50, 255, 200, 100, 50, 255, 200, 100, 50, 255};
  TableFor(KernelSet::kMmx, PixelIsa::kScalar).blend_src_alpha(d, s, 12);
  // (s·256 + d·1) >> 8 = s for the pair; last pixel d + (s − d) = s for colours, alpha kept.
  EXPECT_EQ(d[0], 200);
  EXPECT_EQ(d[3], 255);
  EXPECT_EQ(d[8], 200);
  EXPECT_EQ(d[11], 40);
}

TEST(PixelKernelEdges, MaskWeightOfOneOrLessLeavesThePixel) {
  MaskWeightTable table;
  for (int i = 0; i < 256; ++i) table.weight[i] = i % 3 - 1;  // -1, 0, 1
  std::vector<uint8_t> d(64), s(64), m(64);
  pixel_test::FillRandom(d, 1);
  pixel_test::FillRandom(s, 2);
  pixel_test::FillRandom(m, 3);
  for (PixelIsa isa : {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2}) {
    std::vector<uint8_t> out = d;
    // Ramp 256 so the SSE set also takes every weight from the table.
    TableFor(KernelSet::kSse, isa).blend_mask_table(out.data(), s.data(), m.data(), table, 128,
                                                    256, out.size());
    EXPECT_EQ(out, d) << PixelIsaName(isa);
  }
}

TEST(PixelKernelEdges, HalveRowsRoundingDiffersBetweenSets) {
  // p = 1, q = 0, u = 0, v = 0: MMX (1 >> 2) = 0; SSE avg(avg(1, 0), avg(0, 0)) = avg(1, 0) = 1.
  uint8_t src[16] = {1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t out[4];
  TableFor(KernelSet::kMmx, PixelIsa::kScalar).halve_rows(out, src, 2, 1);
  EXPECT_EQ(out[0], 0);
  TableFor(KernelSet::kSse, PixelIsa::kScalar).halve_rows(out, src, 2, 1);
  EXPECT_EQ(out[0], 1);
}

}  // namespace
}  // namespace korvel
