// Layer copies: the clip placements, rule transitions at their ends and threshold, the ramp at
// extreme vagueness, masked copies, difference copies, crop to opaque, canvas expansion against
// ImageMagick, aliasing (one node, shared records) and undersized mask, rule and "to" images.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "layer/layer_canvas.h"
#include "layer/layer_copies.h"
#include "layer/rule_transition.h"
#include "layer_test_env.h"
#include "pixel/pixel_kernels.h"
#include "pixel/rule_mix.h"

namespace korvel {
namespace {

using test::LayerEnv;

TEST(ClipPlacementTest, NinePlacementsAndTheEdgeCodes) {
  // A 4 x 3 source in a 10 x 8 destination, placed left of, inside and right of it on each axis.
  struct Case {
    int64_t x, y;
    ClipRect expected;  // source x, y, dest x, y, width, height, code
  };
  const Case cases[] = {
      {-2, -1, {2, 1, 0, 0, 2, 2, 4 | 1}},
      {3, -1, {0, 1, 3, 0, 4, 2, 1}},
      {8, -1, {0, 1, 8, 0, 2, 2, 8 | 1}},
      {-2, 2, {2, 0, 0, 2, 2, 3, 4}},
      {3, 2, {0, 0, 3, 2, 4, 3, 0}},
      {8, 2, {0, 0, 8, 2, 2, 3, 8}},
      {-2, 6, {2, 0, 0, 6, 2, 2, 4 | 2}},
      {3, 6, {0, 0, 3, 6, 4, 2, 2}},
      {8, 6, {0, 0, 8, 6, 2, 2, 8 | 2}},
  };
  for (const Case& c : cases) {
    const ClipRect r = ClipPlacement(4, 3, 10, 8, c.x, c.y);
    const ClipRect& e = c.expected;
    EXPECT_EQ(r.code, e.code) << c.x << "," << c.y;
    EXPECT_EQ(r.source_x, e.source_x) << c.x << "," << c.y;
    EXPECT_EQ(r.source_y, e.source_y) << c.x << "," << c.y;
    EXPECT_EQ(r.dest_x, e.dest_x) << c.x << "," << c.y;
    EXPECT_EQ(r.dest_y, e.dest_y) << c.x << "," << c.y;
    EXPECT_EQ(r.width, e.width) << c.x << "," << c.y;
    EXPECT_EQ(r.height, e.height) << c.x << "," << c.y;
  }
}

TEST(ClipPlacementTest, BothEdgesOutsideAndExtremePositions) {
  const ClipRect both = ClipPlacement(20, 20, 10, 8, -3, -5);  // larger than the destination
  EXPECT_EQ(both.code, 15);
  EXPECT_EQ(both.source_x, 3);
  EXPECT_EQ(both.source_y, 5);
  EXPECT_EQ(both.width, 10);
  EXPECT_EQ(both.height, 8);
  // Wholly outside, and positions near the 64-bit limits: nothing to copy, no overflow.
  for (const int64_t p : {int64_t{-4}, int64_t{10}, INT64_MAX, INT64_MIN, INT64_MAX - 2}) {
    const ClipRect r = ClipPlacement(4, 3, 10, 8, p, p);
    EXPECT_TRUE(r.width <= 0 || r.height <= 0) << p;
  }
}

TEST(RuleRampTest, HardEdgeAndSoftRampsAtExtremeVagueness) {
  MaskWeightTable t;
  BuildRuleRamp(t, 256 - 100, 256);
  EXPECT_EQ(t.weight[99], 0);
  EXPECT_EQ(t.weight[100], 256);
  // V = 0: every weight is min(t, 255) + 1.
  BuildRuleRamp(t, 100, 0);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(t.weight[i], 101);
  // Soft ramp, hand-derived: V = 64, t = 128: base = 32·128 − 8192 + 128 = −3968;
  // weight[i] = min(32·i − 3968, 255) + 1.
  BuildRuleRamp(t, 128, 64);
  for (int i = 0; i < 256; ++i) {
    const int64_t raw = 32 * i - 3968;
    const int64_t expected = raw > 255 ? 256 : (raw < -1 ? 0 : raw + 1);
    ASSERT_EQ(t.weight[i], expected) << i;
  }
  // Huge vagueness of either sign and parity: the weights a 128-bit computation gives.
  for (const int64_t v : {INT64_MAX, INT64_MAX - 1, INT64_MIN, INT64_MIN + 1, int64_t{1} << 50}) {
    for (const int64_t tt : {2, 77, 255}) {
      BuildRuleRamp(t, tt, v);
      for (int i = 0; i < 256; ++i) {
        const long double exact = static_cast<long double>(i + tt - 256) * static_cast<long double>(v) / 2;
        if (i + tt == 256) {
          // Only the parity decides: t for even V, (i >> 1) − 128 + t for odd V.
          const int64_t raw = (v & 1) != 0 ? (i >> 1) - 128 + tt : tt;
          ASSERT_EQ(t.weight[i], raw > 255 ? 256 : (raw < -1 ? 0 : raw + 1)) << v << " " << tt;
        } else {
          ASSERT_EQ(t.weight[i], exact > 0 ? 256 : 0) << v << " " << tt << " " << i;
        }
      }
    }
  }
}

TEST(RuleMixTest, SimdMatchesScalarOnEveryWeight) {
  std::mt19937 rng(7);
  // Every rule byte against every pair of bytes at weights below 2, 2..256 and (a table no ramp
  // makes) above 256.
  MaskWeightTable ramp, wild;
  for (int i = 0; i < 256; ++i) {
    ramp.weight[i] = i < 3 ? -5 + i * 3 : (i == 3 ? 256 : i);
    wild.weight[i] = i == 1 ? 300 : i;
  }
  constexpr size_t kPixels = 256 * 256 + 3;  // an odd tail after the 4-pixel groups
  std::vector<uint8_t> from(kPixels * 4), to(kPixels * 4), rule(kPixels * 4);
  for (size_t p = 0; p < kPixels; ++p) {
    for (size_t b = 0; b < 4; ++b) {
      from[p * 4 + b] = static_cast<uint8_t>(p + b);
      to[p * 4 + b] = static_cast<uint8_t>((p >> 8) + b * 7);
      rule[p * 4 + b] = static_cast<uint8_t>(rng());
    }
  }
  for (const MaskWeightTable* w : {&ramp, &wild}) {
    std::vector<uint8_t> scalar(kPixels * 4), fast(kPixels * 4);
    RuleMixRowScalar(scalar.data(), from.data(), to.data(), rule.data(), *w, kPixels);
    const PixelKernelSelection saved = g_pixel_selection;
    g_pixel_selection.isa = DetectPixelIsa();
    RuleMixRow(fast.data(), from.data(), to.data(), rule.data(), *w, kPixels);
    g_pixel_selection = saved;
    EXPECT_EQ(scalar, fast);
  }
  MaskWeightTable w = ramp;
  w.weight[128] = 128;
  // Hand-derived pixel: to 200, from 100, w 128 → 200 − ((100·128) >> 8) = 150.
  const uint8_t f[4] = {100, 0, 255, 10}, t[4] = {200, 255, 0, 10}, r[4] = {128, 0, 0, 0};
  uint8_t o[4];
  RuleMixRowScalar(o, f, t, r, w, 1);
  EXPECT_EQ(o[0], 150);
  EXPECT_EQ(o[1], 128);  // 255 − ((255·128) >> 8) = 128
  EXPECT_EQ(o[2], 128);  // 0 − ((−255·128) >> 8) = 0 − (−128) = 128
  EXPECT_EQ(o[3], 10);
}

class LayerCopiesTest : public LayerEnv {
 protected:
  static void SetPixel(LayerData* l, int32_t x, int32_t y, uint32_t p) {
    std::memcpy(l->pixels + (static_cast<size_t>(y) * l->width + x) * 4, &p, 4);
  }
  static std::vector<uint8_t> ReadFixture(const std::string& name) {
    std::ifstream in(std::string(KORVEL_FIXTURES_DIR) + "/canvas/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(LayerCopiesTest, RuleTransitionAtProgressEndsAndThreshold) {
  MakeImage("from", 0, 0, 16, 1, 1, 0xFF0000FFu);
  MakeImage("to", 0, 0, 16, 1, 2, 0xFF00FF00u);
  MakeImage("rule", 0, 0, 16, 1, 3, 0);
  MakeImage("out", 0, 0, 16, 1, 4, 0);
  LayerData* rule = Layer("rule");
  for (int32_t x = 0; x < 16; ++x) SetPixel(rule, x, 0, static_cast<uint32_t>(x * 16));
  struct Case {
    int64_t progress;
    int first_to;  // pixels x < first_to show "to" (rule value x·16 below the progress)
  };
  const Case cases[] = {{0, 0}, {-50, 0}, {255, 16}, {9999, 16}, {100, 7}, {96, 6}, {97, 7}};
  for (const Case& c : cases) {
    Fill("out", 0x12345678u);
    ASSERT_EQ(RuleTransitionLayerCG(Node("from"), Node("to"), Node("rule"), Node("out"), 0, 0,
                                    c.progress, 256),
              0);
    for (int32_t x = 0; x < 16; ++x) {
      EXPECT_EQ(PixelAt(Layer("out"), x, 0), x < c.first_to ? 0xFF00FF00u : 0xFF0000FFu)
          << "progress " << c.progress << " x " << x;
    }
  }
}

TEST_F(LayerCopiesTest, UndersizedMaskRuleAndToImagesAre100310) {
  MakeImage("src", 0, 0, 8, 8, 1, 0xFF112233u);
  MakeImage("small", 0, 0, 8, 4, 2, 0xFF000000u);
  MakeImage("out", 0, 0, 16, 16, 3, 0);
  const std::vector<uint8_t> before = Pixels(Layer("out"));
  QueueOk();
  EXPECT_EQ(MaskCopyLayerCGRect(Node("src"), Node("small"), Node("out"), 0, 0, 255), -1);
  EXPECT_EQ(LastCode(), 100310);
  QueueOk();
  EXPECT_EQ(RuleTransitionLayerCG(Node("src"), Node("small"), Node("src"), Node("out"), 0, 0, 100,
                                  256),
            -1);
  EXPECT_EQ(LastCode(), 100310);
  QueueOk();
  EXPECT_EQ(RuleTransitionLayerCG(Node("src"), Node("src"), Node("small"), Node("out"), 0, 0, 100,
                                  256),
            -1);
  QueueOk();
  EXPECT_EQ(RuleTransitionLayerCG(Node("src"), Node("small"), Node("src"), Node("out"), 0, 0, 255,
                                  256),
            -1);
  EXPECT_EQ(Pixels(Layer("out")), before);
  // Placed so only the top four source rows are read: the small mask is enough.
  EXPECT_EQ(MaskCopyLayerCGRect(Node("src"), Node("small"), Node("out"), 0, 12, 255), 0);
}

TEST_F(LayerCopiesTest, MaskedCopyWeightsByMaskAndLevel) {
  MakeImage("src", 0, 0, 3, 1, 1, 0xFFFFFFFFu);
  MakeImage("mask", 0, 0, 3, 1, 2, 0);
  MakeImage("out", 0, 0, 3, 1, 3, 0x00000000u);
  LayerData* m = Layer("mask");
  SetPixel(m, 0, 0, 0);
  SetPixel(m, 1, 0, 127);
  SetPixel(m, 2, 0, 255);
  ASSERT_EQ(MaskCopyLayerCGRect(Node("src"), Node("mask"), Node("out"), 0, 0, 256), 0);
  // w = ((m + 1)·256) >> 8 = m + 1; byte = (255·w) >> 8.
  EXPECT_EQ(PixelAt(Layer("out"), 0, 0), 0x00000000u);
  EXPECT_EQ(PixelAt(Layer("out"), 1, 0), 0x7F7F7F7Fu);
  EXPECT_EQ(PixelAt(Layer("out"), 2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Layer("out")->has_alpha, 1);
}

TEST_F(LayerCopiesTest, DifferingAndEqualPixelsAtANegativePlacement) {
  MakeImage("a", 0, 0, 4, 1, 1, 0);
  MakeImage("b", 0, 0, 4, 1, 2, 0);
  for (int32_t x = 0; x < 4; ++x) SetPixel(Layer("a"), x, 0, 0xFF000000u + static_cast<uint32_t>(x));
  SetPixel(Layer("b"), 0, 0, 0xFF000001u);  // equals a(1), read at b(0) with x = −1
  SetPixel(Layer("b"), 1, 0, 0xFF00AAAAu);
  SetPixel(Layer("b"), 2, 0, 0xFF000003u);
  SetPixel(Layer("b"), 3, 0, 0xFF00BBBBu);
  ASSERT_EQ(CopyDifferingPixels(Node("a"), Node("b"), -1, 0), 0);
  EXPECT_EQ(PixelAt(Layer("b"), 0, 0), 0u);
  EXPECT_EQ(PixelAt(Layer("b"), 1, 0), 0xFF000002u);
  EXPECT_EQ(PixelAt(Layer("b"), 2, 0), 0u);
  EXPECT_EQ(PixelAt(Layer("b"), 3, 0), 0xFF00BBBBu);  // outside the clipped area
  // A layer against itself: differing leaves everything transparent, equal keeps everything.
  const std::vector<uint8_t> a = Pixels(Layer("a"));
  ASSERT_EQ(CopyEqualPixels(Node("a"), Node("a"), 0, 0), 0);
  EXPECT_EQ(Pixels(Layer("a")), a);
  ASSERT_EQ(CopyDifferingPixels(Node("a"), Node("a"), 0, 0), 0);
  EXPECT_EQ(Pixels(Layer("a")), std::vector<uint8_t>(a.size(), 0));
}

// One node as source and destination, and two nodes sharing one record: the overlapping copy
// reads the source as it was (ASan checks the reads).
TEST_F(LayerCopiesTest, AliasedSourceAndDestinationReadATemporary) {
  MakeImage("img", 0, 0, 6, 1, 1, 0);
  for (int32_t x = 0; x < 6; ++x) SetPixel(Layer("img"), x, 0, 0x01000000u * static_cast<uint32_t>(x + 1) + 0xFFu);
  LayerCommandArgs share;
  share.Text(kLayerPath, "twin").Text(kLayerShare, "img").Set(kLayerOrder, 2);
  ASSERT_EQ(ApplyLayerCommand(share), 0);
  ASSERT_EQ(Layer("twin"), Layer("img"));
  const std::vector<uint8_t> original = Pixels(Layer("img"));
  ASSERT_EQ(CopyDifferingPixels(Node("twin"), Node("img"), 2, 0), 0);
  // Destination x 2..5 compared with source x 0..3 of the image as it was.
  for (int32_t x = 2; x < 6; ++x) {
    uint32_t s;
    std::memcpy(&s, original.data() + (x - 2) * 4, 4);
    EXPECT_EQ(PixelAt(Layer("img"), x, 0), s) << x;
  }
  Fill("img", 0xFF000000u, true);
  SetPixel(Layer("img"), 0, 0, 0xFF0000FFu);
  ASSERT_EQ(RuleTransitionLayerCG(Node("img"), Node("img"), Node("img"), Node("img"), 1, 0, 0, 0),
            0);
  EXPECT_EQ(PixelAt(Layer("img"), 1, 0), 0xFF0000FFu);  // the "from" copy read the old pixel 0
}

TEST_F(LayerCopiesTest, CropToOpaqueBoxBySideMask) {
  MakeImage("img", 0, 0, 8, 6, 1, 0, true);
  SetPixel(Layer("img"), 2, 1, 0x01000000u);
  SetPixel(Layer("img"), 5, 3, 0xFF00FF00u);
  struct Case {
    int64_t sides;
    int32_t w, h;
    uint32_t corner;  // the output's top-left pixel
  };
  const Case cases[] = {{15, 4, 3, 0x01000000u}, {0, 8, 6, 0u}, {8 | 2, 6, 5, 0x01000000u},
                        {4 | 1, 6, 4, 0u}};
  MakeImage("out", 0, 0, 1, 1, 2, 0);
  for (const Case& c : cases) {
    ASSERT_EQ(CropLayerCGToOpaque(Node("img"), Node("out"), true, c.sides), 0);
    EXPECT_EQ(Layer("out")->width, c.w) << c.sides;
    EXPECT_EQ(Layer("out")->height, c.h) << c.sides;
    EXPECT_EQ(PixelAt(Layer("out"), 0, 0), c.corner) << c.sides;
    EXPECT_EQ(Layer("out")->has_alpha, 1);
  }
  // In place, then nothing opaque: the image stays.
  ASSERT_EQ(CropLayerCGToOpaque(Node("img"), nullptr, false, 15), 0);
  EXPECT_EQ(Layer("img")->width, 4);
  EXPECT_EQ(Layer("img")->height, 3);
  Fill("img", 0x00FFFFFFu, true);
  const std::vector<uint8_t> clear = Pixels(Layer("img"));
  ASSERT_EQ(CropLayerCGToOpaque(Node("img"), nullptr, false, 15), 0);
  EXPECT_EQ(Layer("img")->width, 4);
  EXPECT_EQ(Pixels(Layer("img")), clear);
}

TEST_F(LayerCopiesTest, CanvasExpansionMatchesImageMagickExtent) {
  const std::vector<uint8_t> rgba = ReadFixture("source_5x4.rgba");
  ASSERT_EQ(rgba.size(), 80u);
  struct Case {
    const char* file;
    int64_t left, right, top, bottom;
  };
  const Case cases[] = {{"grow_9x7_l2_t1.rgba", 2, 2, 1, 2},
                        {"shrink_3x2_l-1_t-1.rgba", -1, -1, -1, -1},
                        {"mixed_7x3_l-2_t0.rgba", -2, 4, 0, -1},
                        {"right_8x4_l0_t0.rgba", 0, 3, 0, 0}};
  for (const Case& c : cases) {
    MakeImage("img", 0, 0, 5, 4, 1, 0);
    LayerData* l = Layer("img");
    for (size_t i = 0; i < 20; ++i) {  // RGBA → BGRA
      l->pixels[i * 4 + 0] = rgba[i * 4 + 2];
      l->pixels[i * 4 + 1] = rgba[i * 4 + 1];
      l->pixels[i * 4 + 2] = rgba[i * 4 + 0];
      l->pixels[i * 4 + 3] = rgba[i * 4 + 3];
    }
    l->has_alpha = 0;
    ASSERT_EQ(ExpandLayerCanvas(Node("img"), nullptr, false, c.left, c.right, c.top, c.bottom), 0)
        << c.file;
    const std::vector<uint8_t> expected = ReadFixture(c.file);
    l = Layer("img");
    ASSERT_EQ(static_cast<size_t>(l->width) * l->height * 4, expected.size()) << c.file;
    for (size_t i = 0; i < expected.size() / 4; ++i) {
      const uint8_t bgra[4] = {expected[i * 4 + 2], expected[i * 4 + 1], expected[i * 4 + 0],
                               expected[i * 4 + 3]};
      ASSERT_EQ(std::memcmp(l->pixels + i * 4, bgra, 4), 0) << c.file << " pixel " << i;
    }
    const bool grows = c.left > 0 || c.right > 0 || c.top > 0 || c.bottom > 0;
    EXPECT_EQ(l->has_alpha, grows ? 1 : 0) << c.file;
  }
}

TEST_F(LayerCopiesTest, CanvasSizesOutOfRangeAreRefused) {
  MakeImage("img", 0, 0, 5, 4, 1, 0xFF123456u);
  const std::vector<uint8_t> before = Pixels(Layer("img"));
  QueueOk();
  EXPECT_EQ(ExpandLayerCanvas(Node("img"), nullptr, false, -3, -2, 0, 0), -1);  // width 0
  QueueOk();
  EXPECT_EQ(ExpandLayerCanvas(Node("img"), nullptr, false, 0, 0, 0, 8190), -1);  // height 8194
  EXPECT_EQ(LastCode(), 100010);
  QueueOk();
  EXPECT_EQ(ExpandLayerCanvas(Node("img"), nullptr, false, INT64_MAX, INT64_MAX, 0, 0), -1);
  EXPECT_EQ(Layer("img")->width, 5);
  EXPECT_EQ(Pixels(Layer("img")), before);
}

TEST_F(LayerCopiesTest, PlainCopyOverAndAtOffset) {
  MakeImage("src", 0, 0, 2, 2, 1, 0xFF0000FFu, true);
  MakeImage("dst", 0, 0, 4, 4, 2, 0xFF00FF00u);
  ASSERT_EQ(CopyLayerCGRect(Node("src"), Node("dst"), 3, -1), 0);
  EXPECT_EQ(PixelAt(Layer("dst"), 3, 0), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(Layer("dst"), 2, 0), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(Layer("dst"), 3, 1), 0xFF00FF00u);
  EXPECT_EQ(Layer("dst")->has_alpha, 1);
  // Opacity 0: nothing at all, not even has-alpha.
  MakeImage("dst2", 0, 0, 4, 4, 3, 0xFF00FF00u);
  Set("src", kLayerOpacity, 0);
  SweepLayerChanges();
  ASSERT_EQ(CopyLayerCGRect(Node("src"), Node("dst2"), 0, 0), 0);
  EXPECT_EQ(PixelAt(Layer("dst2"), 0, 0), 0xFF00FF00u);
  EXPECT_EQ(Layer("dst2")->has_alpha, 0);
}

}  // namespace
}  // namespace korvel
