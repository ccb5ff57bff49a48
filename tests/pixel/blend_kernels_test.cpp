// Blend kernels: every mode and family against the formulas on every instruction set, the
// routing of modes to pixel-kernel slots, and lookups that stay inside the table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixel/blend_kernels.h"
#include "pixel/blend_modes.h"
#include "pixel/pixel_kernels.h"
#include "pixel_test_util.h"

namespace korvel {
namespace {

constexpr PixelIsa kIsas[] = {PixelIsa::kScalar, PixelIsa::kSse2, PixelIsa::kAvx2};

// Pixel p carries the (s, d) pairs 3p .. 3p + 2 in its colours (so 21846 pixels hold all of them),
// and in alpha and mask bytes values that cycle through 0..255 at different rates.
struct Rows {
  static constexpr size_t kPixels = 21846;
  std::vector<uint8_t> s = std::vector<uint8_t>(kPixels * 4);
  std::vector<uint8_t> d = std::vector<uint8_t>(kPixels * 4);
  std::vector<uint8_t> m = std::vector<uint8_t>(kPixels * 4);
  explicit Rows(int shift) {
    for (size_t p = 0; p < kPixels; ++p) {
      for (size_t c = 0; c < 3; ++c) {
        const size_t pair = (p * 3 + c + static_cast<size_t>(shift) * 7919) % 65536;
        s[p * 4 + c] = static_cast<uint8_t>(pair >> 8);
        d[p * 4 + c] = static_cast<uint8_t>(pair);
      }
      s[p * 4 + 3] = static_cast<uint8_t>(p * 7 + static_cast<size_t>(shift));
      d[p * 4 + 3] = static_cast<uint8_t>(p * 3);
      m[p * 4] = static_cast<uint8_t>(p * 11 + static_cast<size_t>(shift) * 5);
    }
  }
};

// The Part's formulas, written out here per pixel as the oracle.
void Reference(BlendFamily family, int mode, int o, const MaskWeightTable& weights,
               const uint8_t* s, const uint8_t* m, uint8_t* d) {
  auto f = [&](int c) { return BlendModeFormula(mode, s[c], d[c]); };
  switch (family) {
    case BlendFamily::kOpaque:
      for (int c = 0; c < 4; ++c) {
        const int x = (f(c) - d[c]) * o;
        if (o == 256) {
          d[c] = f(c);
        } else {
          d[c] = static_cast<uint8_t>(d[c] + (mode == kBlendDifference ? x / 256 : x >> 8));
        }
      }
      return;
    case BlendFamily::kAlpha: {
      const int v = o == 256 ? s[3] + 1 : ((s[3] + 1) * o) >> 8;
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(d[c] + (((f(c) - d[c]) * v) >> 8));
      return;
    }
    case BlendFamily::kMasked: {
      const int w = weights.weight[m[0]];
      if (w <= 1) return;
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(d[c] + (((f(c) - d[c]) * w) >> 8));
      return;
    }
    case BlendFamily::kMaskedAlpha: {
      const int w = weights.weight[m[0]];
      if (w <= 1) return;
      const int v = w * (mode == kBlendNormal ? s[3] : s[3] + 1);
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(d[c] + (((f(c) - d[c]) * v) >> 16));
      return;
    }
  }
}

struct FamilyCase {
  BlendFamily family;
  int opacity;
  int level, ramp;  // mask weights (families C and D)
};

const FamilyCase kFamilyCases[] = {
    {BlendFamily::kOpaque, 256, 0, 0},        {BlendFamily::kOpaque, 255, 0, 0},
    {BlendFamily::kOpaque, 128, 0, 0},        {BlendFamily::kOpaque, 37, 0, 0},
    {BlendFamily::kAlpha, 256, 0, 0},         {BlendFamily::kAlpha, 200, 0, 0},
    {BlendFamily::kMasked, 256, 150, 40},     {BlendFamily::kMasked, 256, 100, 256},
    {BlendFamily::kMasked, 170, 200, 3},      {BlendFamily::kMaskedAlpha, 256, 150, 40},
    {BlendFamily::kMaskedAlpha, 256, 256, 0}, {BlendFamily::kMaskedAlpha, 90, 60, -7},
};

class GenericBlend : public ::testing::TestWithParam<int> {};

// Every mode's generic kernels (and mode 0's own mask kernels) equal the formulas over every
// (s, d) pair, with many alphas and weights, on every instruction set.
TEST_P(GenericBlend, MatchesTheFormulasOnEveryInstructionSet) {
  const int mode = GetParam();
  for (int shift = 0; shift < 3; ++shift) {
    const Rows rows(shift);
    for (const FamilyCase& fc : kFamilyCases) {
      MaskWeightTable weights;
      BuildMaskWeightTable(weights, fc.level, fc.ramp, fc.opacity);
      std::vector<uint8_t> want = rows.d;
      for (size_t p = 0; p < Rows::kPixels; ++p) {
        Reference(fc.family, mode, fc.opacity, weights, &rows.s[p * 4], &rows.m[p * 4],
                  &want[p * 4]);
      }
      for (PixelIsa isa : kIsas) {
        const BlendKernelTable& table = GetBlendKernelTableFor(isa);
        const int column = fc.family == BlendFamily::kMaskedAlpha ? 0 : fc.opacity >> 8;
        const BlendKernelEntry& e = table.entry[static_cast<int>(fc.family)][mode][column];
        if (e.route >= 0 && e.route != 7) continue;  // pixel-kernel slots are tested on their own
        std::vector<uint8_t> got = rows.d;
        if (e.span) {
          e.span(got.data(), rows.s.data(), fc.opacity, got.size());
        } else {
          ASSERT_NE(e.mask_span, nullptr);
          if (e.route == 7) continue;
          e.mask_span(got.data(), rows.s.data(), rows.m.data(), weights, fc.level, fc.ramp,
                      got.size());
        }
        const long at = pixel_test::FirstDiff(want, got);
        ASSERT_EQ(at, -1) << PixelIsaName(isa) << " family " << static_cast<int>(fc.family)
                          << " o " << fc.opacity << " byte " << at << " s "
                          << int(rows.s[at]) << " d " << int(rows.d[at]) << " A "
                          << int(rows.s[at | 3]) << ": want " << int(want[at]) << " got "
                          << int(got[at]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BlendKernels, GenericBlend, ::testing::Range(0, kBlendModeCount),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return "Mode" + std::to_string(param.param);
                         });

// Odd lengths and the last pixels of a row go through the scalar ends of the SIMD kernels.
TEST(BlendKernels, ShortRowsMatchTheScalarKernels) {
  std::vector<uint8_t> s(4 * 40 + 3), d(4 * 40 + 3), m(4 * 40 + 3);
  pixel_test::FillRandom(s, 9);
  pixel_test::FillRandom(d, 10);
  pixel_test::FillRandom(m, 11);
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 120, 30, 200);
  const BlendKernelTable& ref = GetBlendKernelTableFor(PixelIsa::kScalar);
  for (PixelIsa isa : pixel_test::SimdIsas()) {
    const BlendKernelTable& sut = GetBlendKernelTableFor(isa);
    for (int f = 0; f < 4; ++f) {
      for (int mode = 0; mode < kBlendModeCount; ++mode) {
        for (int col = 0; col < 2; ++col) {
          const BlendKernelEntry& a = ref.entry[f][mode][col];
          const BlendKernelEntry& b = sut.entry[f][mode][col];
          if (!a.span && !a.mask_span) continue;
          for (size_t len = 0; len <= s.size(); ++len) {
            std::vector<uint8_t> want = d, got = d;
            if (a.span) {
              a.span(want.data(), s.data(), 100 + 156 * col, len);
              b.span(got.data(), s.data(), 100 + 156 * col, len);
            } else {
              a.mask_span(want.data(), s.data(), m.data(), weights, 120, 30, len);
              b.mask_span(got.data(), s.data(), m.data(), weights, 120, 30, len);
            }
            ASSERT_EQ(want, got) << PixelIsaName(isa) << " f " << f << " mode " << mode
                                 << " col " << col << " len " << len;
          }
        }
      }
    }
  }
}

TEST(BlendKernels, RoutingOfModesToPixelKernelSlots) {
  // (mode, family, column) → slot; everything not listed is generic, except mode 0's own mask
  // kernels and the empty row 19 and table D column 1.
  struct Route {
    int mode;
    BlendFamily family;
    int column;
    int slot;
  };
  const Route routes[] = {
      {0, BlendFamily::kOpaque, 1, 3},    {0, BlendFamily::kOpaque, 0, 4},
      {0, BlendFamily::kAlpha, 1, 5},     {0, BlendFamily::kAlpha, 0, 6},
      {0, BlendFamily::kMasked, 1, 7},    {1, BlendFamily::kOpaque, 1, 9},
      {1, BlendFamily::kOpaque, 0, 10},   {1, BlendFamily::kAlpha, 1, 11},
      {1, BlendFamily::kAlpha, 0, 12},    {2, BlendFamily::kOpaque, 1, 13},
      {3, BlendFamily::kOpaque, 1, 14},   {5, BlendFamily::kOpaque, 1, 15},
      {5, BlendFamily::kOpaque, 0, 16},   {6, BlendFamily::kOpaque, 1, 17},
      {7, BlendFamily::kOpaque, 1, 18},   {13, BlendFamily::kOpaque, 1, 19},
      {17, BlendFamily::kOpaque, 1, 20},
  };
  for (PixelIsa isa : kIsas) {
    const BlendKernelTable& t = GetBlendKernelTableFor(isa);
    for (int f = 0; f < 4; ++f) {
      for (int mode = 0; mode < 20; ++mode) {
        for (int col = 0; col < 2; ++col) {
          int want = kRouteGeneric;
          if (mode == 19 || (f == 3 && col == 1)) {
            want = kRouteEmpty;
          } else if (mode == 0 && (f == 3 || (f == 2 && col == 0))) {
            want = kRouteMaskNormal;
          }
          for (const Route& r : routes) {
            if (r.mode == mode && static_cast<int>(r.family) == f && r.column == col) want = r.slot;
          }
          const BlendKernelEntry& e = t.entry[f][mode][col];
          EXPECT_EQ(e.route, want) << "family " << f << " mode " << mode << " column " << col;
          const bool filled = e.span || e.mask_span;
          EXPECT_EQ(filled, want != kRouteEmpty);
          EXPECT_EQ(e.mask_span != nullptr, filled && f >= 2);
        }
      }
      // Table C holds one kernel in both columns except in row 0.
      for (int mode = 1; mode < kBlendModeCount && f == 2; ++mode) {
        EXPECT_EQ(t.entry[2][mode][0].mask_span, t.entry[2][mode][1].mask_span);
      }
    }
  }
}

TEST(BlendKernels, RoutedEntriesRunTheInstalledSlot) {
  InstallPixelKernels(KernelSet::kMmx, PixelIsa::kScalar);
  std::vector<uint8_t> d(64, 1), s(64, 2), direct = d;
  LookupBlendKernel(BlendFamily::kOpaque, kBlendNormal, 128).span(d.data(), s.data(), 128, 64);
  g_pixel_kernels.blend_opacity(direct.data(), s.data(), 128, 64);
  EXPECT_EQ(d, direct);
  EXPECT_EQ(d[0], 1);  // the MMX set's halfway value
  InstallPixelKernels(KernelSet::kSse, PixelIsa::kScalar);
  std::fill(d.begin(), d.end(), 1);
  LookupBlendKernel(BlendFamily::kOpaque, kBlendNormal, 128).span(d.data(), s.data(), 128, 64);
  EXPECT_EQ(d[8], 2);  // the SSE set's
  SelectPixelKernels();
}

TEST(BlendKernels, LookupIsTotal) {
  const BlendKernelEntry& normal_low = LookupBlendKernel(BlendFamily::kOpaque, 0, 10);
  for (int mode : {-128, -1, 19, 20, 127}) {
    EXPECT_EQ(&LookupBlendKernel(BlendFamily::kOpaque, mode, 10), &normal_low) << mode;
  }
  EXPECT_EQ(&LookupBlendKernel(BlendFamily::kOpaque, 5, -40),
            &LookupBlendKernel(BlendFamily::kOpaque, 5, 0));
  EXPECT_EQ(&LookupBlendKernel(BlendFamily::kOpaque, 5, 100000),
            &LookupBlendKernel(BlendFamily::kOpaque, 5, 256));
  for (int f = 0; f < 4; ++f) {
    for (int mode = -3; mode < 25; ++mode) {
      for (int o : {-5, 0, 255, 256, 257, 70000}) {
        const BlendKernelEntry& e = LookupBlendKernel(static_cast<BlendFamily>(f), mode, o);
        EXPECT_TRUE(e.span || e.mask_span) << f << " " << mode << " " << o;
        EXPECT_NE(e.route, kRouteEmpty);
      }
    }
  }
}

TEST(BlendKernels, AlphaByteHandling) {
  std::vector<uint8_t> s(64), d(64), m(64, 255);
  pixel_test::FillRandom(s, 31);
  pixel_test::FillRandom(d, 32);
  MaskWeightTable weights;
  BuildMaskWeightTable(weights, 256, 256, 256);
  for (int mode = 0; mode < kBlendModeCount; ++mode) {
    // Generic B, C and D kernels never change the destination alpha.
    for (BlendFamily f : {BlendFamily::kAlpha, BlendFamily::kMasked, BlendFamily::kMaskedAlpha}) {
      for (int o : {256, 180}) {
        const BlendKernelEntry& e = LookupBlendKernel(f, mode, o);
        if (e.route >= 0 && e.route != 7) continue;
        std::vector<uint8_t> out = d;
        if (e.span) {
          e.span(out.data(), s.data(), o, out.size());
        } else {
          e.mask_span(out.data(), s.data(), m.data(), weights, 256, 256, out.size());
        }
        for (size_t i = 3; i < out.size(); i += 4) ASSERT_EQ(out[i], d[i]) << mode;
      }
    }
    // Generic table-A kernels blend alpha too: at full opacity it becomes F(sA, dA).
    const BlendKernelEntry& a = LookupBlendKernel(BlendFamily::kOpaque, mode, 256);
    if (a.route != kRouteGeneric) continue;
    std::vector<uint8_t> out = d;
    a.span(out.data(), s.data(), 256, out.size());
    for (size_t i = 3; i < out.size(); i += 4) {
      ASSERT_EQ(out[i], BlendModeFormula(mode, s[i], d[i])) << mode;
    }
  }
  // The mode-0 B kernels (slots 5 and 6) blend alpha for pixels in pairs.
  std::vector<uint8_t> out = d;
  const uint8_t s3[4] = {0, 0, 0, 255};
  for (size_t i = 0; i < 8; i += 4) std::copy(s3, s3 + 4, s.begin() + static_cast<long>(i));
  LookupBlendKernel(BlendFamily::kAlpha, 0, 256).span(out.data(), s.data(), 256, 8);
  EXPECT_EQ(out[3], 255);
  EXPECT_EQ(out[7], 255);
}

TEST(BlendKernels, MaskWeightOfOneOrLessLeavesThePixel) {
  MaskWeightTable weights;
  for (int i = 0; i < 256; ++i) weights.weight[i] = (i % 3) - 1;  // -1, 0, 1
  std::vector<uint8_t> s(256), d(256), m(256);
  pixel_test::FillRandom(s, 41);
  pixel_test::FillRandom(d, 42);
  pixel_test::FillRandom(m, 43);
  for (PixelIsa isa : kIsas) {
    const BlendKernelTable& t = GetBlendKernelTableFor(isa);
    for (int mode = 0; mode < kBlendModeCount; ++mode) {
      for (int f = 2; f < 4; ++f) {
        for (int col = 0; col < (f == 2 ? 2 : 1); ++col) {
          std::vector<uint8_t> out = d;
          t.entry[f][mode][col].mask_span(out.data(), s.data(), m.data(), weights, 0, 256,
                                          out.size());
          EXPECT_EQ(out, d) << PixelIsaName(isa) << " mode " << mode << " f " << f;
        }
      }
    }
  }
}

}  // namespace
}  // namespace korvel
