// Pixel effect routines: one case table per mode on tiny images with hand-derived results.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "pixel/pixel_effects.h"

namespace korvel {
namespace {

// Pixels as 0xAARRGGBB words (memory order blue, green, red, alpha).
using Image = std::vector<uint32_t>;

struct EffectRun {
  Image out;
  int32_t out_width = 0;
};

// Runs `mode` on `in` (w x h) over the rectangle; cut modes write rw x rh, whole-image modes
// work on a copy of the image.
EffectRun Apply(uint8_t mode, const Image& in, int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1,
          int32_t y1, int64_t a, int64_t b = 0, uint8_t variant = 0, uint8_t has_alpha = 0,
          uint32_t (*rng)() = nullptr) {
  EffectCall c;
  c.in = reinterpret_cast<const uint8_t*>(in.data());
  c.width = w;
  c.height = h;
  c.x0 = x0;
  c.y0 = y0;
  c.x1 = x1;
  c.y1 = y1;
  c.a = a;
  c.b = b;
  c.variant = variant;
  c.has_alpha = has_alpha;
  c.next_random = rng;
  EffectRun r;
  if (EffectKeepsWholeImage(mode)) {
    r.out = in;
    r.out_width = w;
  } else {
    r.out_width = x1 - x0 + 1;
    r.out.assign(static_cast<size_t>(r.out_width) * static_cast<size_t>(y1 - y0 + 1), 0xDEADBEEF);
  }
  c.out = reinterpret_cast<uint8_t*>(r.out.data());
  c.out_width = r.out_width;
  EXPECT_TRUE(RunPixelEffect(mode, c));
  return r;
}

struct Case {
  std::string name;
  uint8_t mode;
  Image in;
  int32_t w, h, x0, y0, x1, y1;
  int64_t a, b;
  uint8_t variant, has_alpha;
  Image want;
};

class EffectTable : public ::testing::TestWithParam<Case> {};

TEST_P(EffectTable, MatchesHandResult) {
  const Case& c = GetParam();
  const EffectRun r = Apply(c.mode, c.in, c.w, c.h, c.x0, c.y0, c.x1, c.y1, c.a, c.b, c.variant,
                      c.has_alpha);
  ASSERT_EQ(r.out.size(), c.want.size());
  for (size_t i = 0; i < c.want.size(); ++i) {
    EXPECT_EQ(r.out[i], c.want[i]) << "pixel " << i << std::hex << " got 0x" << r.out[i]
                                   << " want 0x" << c.want[i];
  }
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

// A 3 x 2 image with distinct channels; alpha 0x80 shows alpha is kept.
const Image k3x2 = {0x80102030, 0x80405060, 0x80708090,  //
                    0x80A0B0C0, 0x80D0E0F0, 0x80FF0001};

INSTANTIATE_TEST_SUITE_P(
    Brightness, EffectTable,
    ::testing::Values(
        Case{"A128Unchanged", 1, k3x2, 3, 2, 0, 0, 2, 1, 128, 0, 0, 0, k3x2},
        // A = 0 subtracts 128 (saturating at 0): 0x10-128 -> 0, 0xA0-128=0x20, 0xFF-128=0x7F.
        Case{"A0Subtracts", 1, k3x2, 3, 2, 0, 0, 2, 1, 0, 0, 0, 0,
             {0x80000000, 0x80000000, 0x80000010, 0x80203040, 0x80506070, 0x807F0000}},
        // A = 256 adds 128 saturating; rectangle (1,0)-(2,1) cut: 2 x 2.
        Case{"A256AddsAndCuts", 1, k3x2, 3, 2, 1, 0, 2, 1, 256, 0, 0, 0,
             {0x80C0D0E0, 0x80F0FFFF, 0x80FFFFFF, 0x80FF8081}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Negative, EffectTable,
    ::testing::Values(Case{"Whole", 25, k3x2, 3, 2, 0, 0, 2, 1, 1, 0, 0, 0,
                           {0x80EFDFCF, 0x80BFAF9F, 0x808F7F6F, 0x805F4F3F, 0x802F1F0F,
                            0x8000FFFE}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Tone, EffectTable,
    ::testing::Values(
        // Target 0x808080 keeps every channel.
        Case{"NeutralKeeps", 10, k3x2, 3, 2, 0, 0, 2, 1, 0x808080, 0, 0, 0, k3x2},
        // Red target 0xFF: r + ((255 - r) * 127 >> 7); green 0: g - (g * 128 >> 7) = 0;
        // blue 0x40: b - (b * 64 >> 7). Pixel 0x10,0x20,0x30 (r,g,b): r 16 + (239*127>>7)=16+237=253,
        // g 0, b 48 - 24 = 24.
        Case{"Targets", 10, {0xFF102030}, 1, 1, 0, 0, 0, 0, 0xFF0040, 0, 0, 0, {0xFFFD0018}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Sepia, EffectTable,
    ::testing::Values(
        // White: Y = 1024 * 255 * 1024 = 267386880; b = (Y - 46347025) / 2^20 = 210,
        // g = (Y - 287585) / 2^20 = 254, r = min(255, 272) = 255.
        Case{"White", 36, {0x7FFFFFFF}, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, {0x7FFFFED2}},
        // Black: b, g negative -> 0; r = 18748416 >> 20 = 17.
        Case{"Black", 36, {0xFF000000}, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, {0xFF110000}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Saturation, EffectTable,
    ::testing::Values(
        // A = 0: grey g = (0x30 + 0x20 + 0x10) / 3 = 0x20 in every channel.
        Case{"Grey", 27, {0x80102030}, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, {0x80202020}},
        Case{"A128Keeps", 27, k3x2, 3, 2, 0, 0, 2, 1, 128, 0, 0, 0, k3x2},
        // A = 256, s = 128: r=0xC8 (200), g=0x64 (100), b=0 -> g = 100; d = 100, 0, -100;
        // r: 200 + 100 = 300 > 255 -> t = (55 * 128) / 100 = 70; b: 0 - 100 < 0 -> t = min(70,
        // (-128 * 0) / -100 = 0) = 0: unchanged.
        Case{"ClampedStrength", 27, {0xFFC86400}, 1, 1, 0, 0, 0, 0, 256, 0, 0, 0, {0xFFC86400}},
        // r=150, g=100, b=50 -> g=100, d=50,0,-50, s=64: r 150+25=175, b 50-25=25; no limit.
        Case{"Stronger", 27, {0xFF966432}, 1, 1, 0, 0, 0, 0, 192, 0, 0, 0, {0xFFAF6419}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Threshold, EffectTable,
    ::testing::Values(
        // Inside (0,0)-(1,0): sum >= 3 * 0x40 = 192 -> 255. 0x102030: 96 -> 0; 0x405060: 240 -> 255.
        // The rest of the image is kept (whole-image mode).
        Case{"Rect", 17, k3x2, 3, 2, 0, 0, 1, 0, 0x40, 0, 0, 0,
             {0x80000000, 0x80FFFFFF, 0x80708090, 0x80A0B0C0, 0x80D0E0F0, 0x80FF0001}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Fill, EffectTable,
    ::testing::Values(
        Case{"Colour", 22, k3x2, 3, 2, 1, 1, 2, 1, 0x12345678, 0, 1, 0,
             {0x80102030, 0x80405060, 0x80708090, 0x80A0B0C0, 0xFF345678, 0xFF345678}},
        Case{"Alpha", 22, k3x2, 3, 2, 0, 0, 0, 1, 0x1FF, 0, 2, 0,
             {0xFF102030, 0x80405060, 0x80708090, 0xFFA0B0C0, 0x80D0E0F0, 0x80FF0001}},
        Case{"Pixel", 22, k3x2, 3, 2, 2, 0, 2, 0, 0x12345678, 0, 3, 0,
             {0x80102030, 0x80405060, 0x12345678, 0x80A0B0C0, 0x80D0E0F0, 0x80FF0001}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Copies, EffectTable,
    ::testing::Values(
        Case{"Copy", 7, k3x2, 3, 2, 1, 0, 2, 1, 0, 0, 0, 0,
             {0x80405060, 0x80708090, 0x80D0E0F0, 0x80FF0001}},
        Case{"CopyPlaced", 6, k3x2, 3, 2, 0, 1, 1, 1, 0, 0, 0, 0, {0x80A0B0C0, 0x80D0E0F0}},
        // Mirror about the whole image: rectangle columns 0..1 read columns 2 and 1.
        Case{"Mirror", 9, k3x2, 3, 2, 0, 0, 1, 1, 1, 0, 0, 0,
             {0x80708090, 0x80405060, 0x80FF0001, 0x80D0E0F0}},
        Case{"Flip", 35, k3x2, 3, 2, 1, 0, 2, 1, 1, 0, 0, 0,
             {0x80D0E0F0, 0x80FF0001, 0x80405060, 0x80708090}}),
    CaseName);

// A 5 x 1 row of blue values 0, 10, 20, 30, 40 (opaque; has-alpha off).
const Image kRow5 = {0xFF000000, 0xFF00000A, 0xFF000014, 0xFF00001E, 0xFF000028};

INSTANTIATE_TEST_SUITE_P(
    Blurs, EffectTable,
    ::testing::Values(
        // Mode 3, r = 1: counts 2,3,3,3,2: (0+10)/2=5, 10, 20, 30, (30+40)/2=35.
        Case{"RowsRadius1", 3, kRow5, 5, 1, 0, 0, 4, 0, 1, 0, 0, 0,
             {0xFF000005, 0xFF00000A, 0xFF000014, 0xFF00001E, 0xFF000023}},
        // A = 0 acts as radius 1.
        Case{"RowsRadius0", 3, kRow5, 5, 1, 0, 0, 4, 0, 0, 0, 0, 0,
             {0xFF000005, 0xFF00000A, 0xFF000014, 0xFF00001E, 0xFF000023}},
        // r = 2 over columns 1..3 only (10, 20, 30): counts 3 -> 20 each.
        Case{"RowsInsideRect", 3, kRow5, 5, 1, 1, 0, 3, 0, 2, 0, 0, 0,
             {0xFF000014, 0xFF000014, 0xFF000014}},
        // Box blur r = 1, indices clamped: (0+0+10)/3=3, (0+10+20)/3=10, 20, 30, (30+40+40)/3=36.
        // The single row's column pass repeats the row value (3 clamped copies).
        Case{"BoxClamped", 2, kRow5, 5, 1, 0, 0, 4, 0, 1, 0, 0, 0,
             {0xFF000003, 0xFF00000A, 0xFF000014, 0xFF00001E, 0xFF000024}},
        // Mode 4 on a 1 x 3 column 0, 30, 60 with r = 1: 15, 30, 45; alpha copied (has-alpha 0).
        Case{"Columns", 4, {0x10000000, 0x2000001E, 0x3000003C}, 1, 3, 0, 0, 0, 2, 1, 0, 0, 0,
             {0x1000000F, 0x2000001E, 0x3000002D}},
        // With has-alpha the alpha is blurred like the colours: (0x10+0x20)/2 = 0x18.
        Case{"ColumnsAlpha", 4, {0x10000000, 0x2000001E, 0x3000003C}, 1, 3, 0, 0, 0, 2, 1, 0, 0,
             1, {0x1800000F, 0x2000001E, 0x2800002D}},
        // Mode 5 on 2 x 2 (0, 40 / 80, 120), r = 1: rows 20,20 / 100,100; columns 60 each.
        Case{"Both", 5, {0xFF000000, 0xFF000028, 0xFF000050, 0xFF000078}, 2, 2, 0, 0, 1, 1, 1, 0,
             0, 0, {0xFF00003C, 0xFF00003C, 0xFF00003C, 0xFF00003C}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Waves, EffectTable,
    ::testing::Values(
        // Row wave, B = 90: d = trunc(sin(90 deg) * 2) = 1 on row 0 (y = 0): column x + 1; the
        // last column is above x1 -> max(x1 - 1, x0) = 3.
        Case{"RowShift", 19, kRow5, 5, 1, 0, 0, 4, 0, 2, 90, 0, 0,
             {0xFF00000A, 0xFF000014, 0xFF00001E, 0xFF000028, 0xFF00001E}},
        // B = 270, A = 3: d = trunc(-2.99999...) = -2 (the single-precision constant keeps the
        // sine just inside -1): below x0 -> x0.
        Case{"RowBelow", 19, kRow5, 5, 1, 0, 0, 4, 0, 3, 270, 0, 0,
             {0xFF000000, 0xFF000000, 0xFF000000, 0xFF00000A, 0xFF000014}},
        // Rectangle columns 1..3 with d = 1 (A = 2): 2, 3, then above x1 = 3 -> 2.
        Case{"RowInRect", 19, kRow5, 5, 1, 1, 0, 3, 0, 2, 90, 0, 0,
             {0xFF000014, 0xFF00001E, 0xFF000014}},
        // Column wave on 1 x 3, B = 0: e = trunc(cos(0) * 1) = 1: rows 1, 2, 2 (clamped to y1).
        Case{"Column", 20, {0xFF000000, 0xFF00001E, 0xFF00003C}, 1, 3, 0, 0, 0, 2, 1, 0, 0, 0,
             {0xFF00001E, 0xFF00003C, 0xFF00003C}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Mosaic, EffectTable,
    ::testing::Values(
        // Width 5, side 2: edges on 5 / 2 = 2 and every 2: blocks [0,2), [2,4), [4,5).
        Case{"EdgesOnCentre", 18, kRow5, 5, 1, 0, 0, 4, 0, 2, 0, 0, 0,
             {0xFF000005, 0xFF000005, 0xFF000019, 0xFF000019, 0xFF000028}},
        // Side 3: edges at 2 and 5: blocks [0,2), [2,5); alpha kept per pixel.
        Case{"PartialFirst", 18, {0x01000000, 0x0200000A, 0x03000014, 0x0400001E, 0x05000028}, 5,
             1, 0, 0, 4, 0, 3, 0, 0, 0,
             {0x01000005, 0x02000005, 0x0300001E, 0x0400001E, 0x0500001E}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Swirl, EffectTable,
    ::testing::Values(
        // A = 0 turns nothing.
        Case{"NoTurn", 37, k3x2, 3, 2, 0, 0, 2, 1, 0, 0, 0, 0, k3x2},
        // 3 x 1, A = 1800: n = trunc(1 + (hypot(3, 1) + 1) * 0.5) = 3 rings; ring 0 turns 180
        // degrees, ring 1 120 (cos -128, sin 221). Centre 1: x = 1 is ring 0 -> itself; x = 0
        // (dx -1): sx = (128 >> 8) + 1 = 1, sy = (-221 >> 8) = -1 -> 0: pixel 1; x = 2 (dx 1):
        // sx = (-128 >> 8) + 1 = 0, sy = 221 >> 8 = 0: pixel 0.
        Case{"Rings", 37, {0x01000001, 0x02000002, 0x03000003}, 3, 1, 0, 0, 2, 0, 1800, 0, 0, 0,
             {0x02000002, 0x02000002, 0x01000001}}),
    CaseName);

// The block shuffle with a generator that always returns k uses permutation k on every block.
uint32_t g_fixed_choice = 0;
uint32_t FixedChoice() { return g_fixed_choice; }

TEST(EffectShuffle, MovesWholeBlocksOnly) {
  // 3 x 3: one whole 2 x 2 block at (0, 0); the odd row and column stay; alpha stays.
  const Image in = {0x10000001, 0x20000002, 0x30000003,  //
                    0x40000004, 0x50000005, 0x60000006,  //
                    0x70000007, 0x80000008, 0x90000009};
  g_fixed_choice = 0;  // 3 2 1 0: the block turns half round
  EffectRun r = Apply(8, in, 3, 3, 0, 0, 2, 2, 2, 0, 0, 0, FixedChoice);
  const Image want = {0x10000005, 0x20000004, 0x30000003,  //
                      0x40000002, 0x50000001, 0x60000006,  //
                      0x70000007, 0x80000008, 0x90000009};
  EXPECT_EQ(r.out, want);
  g_fixed_choice = 23;  // 0 1 2 3: identity
  r = Apply(8, in, 3, 3, 0, 0, 2, 2, 2, 0, 0, 0, FixedChoice);
  EXPECT_EQ(r.out, in);
  // A / 2 < 1: a plain copy.
  g_fixed_choice = 0;
  r = Apply(8, in, 3, 3, 0, 0, 2, 2, 1, 0, 0, 0, FixedChoice);
  EXPECT_EQ(r.out, in);
}

TEST(EffectShuffle, KeepsTheColoursOfEachBlock) {
  // Whatever the choices, each 2 x 2 block holds the same four colours afterwards.
  Image in(8 * 6);
  for (size_t i = 0; i < in.size(); ++i) in[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
  static uint32_t state = 1;
  auto rng = +[]() { return state = state * 1103515245u + 12345u; };
  const EffectRun r = Apply(8, in, 8, 6, 0, 0, 7, 5, 256, 0, 0, 0, rng);
  std::vector<uint32_t> a = in, b = r.out;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
}

// The blurs against the plain window definition on random images, radii below and above the
// image size, with and without alpha: mode 2 clamps window indices (count 2r + 1, rows
// truncated to bytes before the columns); modes 3-5 cut the window at the rectangle.
uint8_t Ch(const Image& img, int32_t w, int32_t x, int32_t y, int c) {
  return static_cast<uint8_t>(img[static_cast<size_t>(y * w + x)] >> (8 * c));
}

Image NaiveBlur(uint8_t mode, const Image& in, int32_t w, int32_t x0, int32_t y0,
                int32_t x1, int32_t y1, int32_t r, bool alpha) {
  const int32_t rw = x1 - x0 + 1, rh = y1 - y0 + 1;
  const bool box = mode == 2;
  const bool rows = mode != 4, cols = mode != 3;
  // Pass one: rows (or the rectangle as it stands).
  std::vector<std::array<int, 4>> mid(static_cast<size_t>(rw * rh));
  for (int32_t y = 0; y < rh; ++y) {
    for (int32_t x = 0; x < rw; ++x) {
      for (int c = 0; c < 4; ++c) {
        int v = Ch(in, w, x0 + x, y0 + y, c);
        if (rows && (c < 3 || alpha)) {
          long sum = 0, n = 0;
          for (int32_t k = x - r; k <= x + r; ++k) {
            if (!box && (k < 0 || k >= rw)) continue;
            sum += Ch(in, w, x0 + std::clamp(k, 0, rw - 1), y0 + y, c);
            ++n;
          }
          v = static_cast<int>(sum / n);
        }
        mid[static_cast<size_t>(y * rw + x)][static_cast<size_t>(c)] = v;
      }
    }
  }
  Image out(static_cast<size_t>(rw * rh));
  for (int32_t y = 0; y < rh; ++y) {
    for (int32_t x = 0; x < rw; ++x) {
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) {
        int v = mid[static_cast<size_t>(y * rw + x)][static_cast<size_t>(c)];
        if (cols && (c < 3 || alpha)) {
          long sum = 0, n = 0;
          for (int32_t k = y - r; k <= y + r; ++k) {
            if (!box && (k < 0 || k >= rh)) continue;
            sum += mid[static_cast<size_t>(std::clamp(k, 0, rh - 1) * rw + x)][static_cast<size_t>(c)];
            ++n;
          }
          v = static_cast<int>(sum / n);
        }
        if (c == 3 && !alpha) v = Ch(in, w, x0 + x, y0 + y, 3);
        p |= static_cast<uint32_t>(v) << (8 * c);
      }
      out[static_cast<size_t>(y * rw + x)] = p;
    }
  }
  return out;
}

TEST(EffectBlurs, MatchThePlainWindowDefinition) {
  constexpr int32_t w = 13, h = 11;
  Image in(static_cast<size_t>(w * h));
  uint32_t seed = 12345;
  for (auto& p : in) p = seed = seed * 1664525u + 1013904223u;
  for (uint8_t mode : {2, 3, 4, 5}) {
    for (int32_t r : {1, 2, 5, 20}) {
      for (bool alpha : {false, true}) {
        const EffectRun got = Apply(mode, in, w, h, 2, 1, 11, 9, r, 0, 0, alpha ? 1 : 0);
        EXPECT_EQ(got.out, NaiveBlur(mode, in, w, 2, 1, 11, 9, r, alpha))
            << "mode " << int{mode} << " r " << r << " alpha " << alpha;
      }
    }
  }
}

TEST(EffectModes, WithoutAnEntryWriteNothing) {
  const Image in = {0xFF000000};
  Image out = {0x12345678};
  EffectCall c;
  c.in = reinterpret_cast<const uint8_t*>(in.data());
  c.width = c.height = 1;
  c.out = reinterpret_cast<uint8_t*>(out.data());
  c.out_width = 1;
  for (int mode : {0, 11, 16, 26, 28, 34, 38, 255}) {
    EXPECT_FALSE(RunPixelEffect(static_cast<uint8_t>(mode), c)) << mode;
  }
  EXPECT_EQ(out[0], 0x12345678u);
}

TEST(EffectSaturation, WholeImageInPlaceMatchesTheEffect) {
  Image img = k3x2;
  SaturatePixels(reinterpret_cast<uint8_t*>(img.data()), 3, 2, 40);
  const EffectRun r = Apply(27, k3x2, 3, 2, 0, 0, 2, 1, 40);
  EXPECT_EQ(img, r.out);
}

}  // namespace
}  // namespace korvel
