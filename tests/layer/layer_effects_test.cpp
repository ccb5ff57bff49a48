// The effect, rotation and scaling entries on layers: cutting, output layers, has-alpha rules,
// buffer reuse, aliasing, reversed rectangles and refused sizes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/random.h"
#include "layer/layer_effects.h"
#include "layer_test_env.h"

namespace korvel::test {
namespace {

class LayerEffectsTest : public LayerEnv {
 protected:
  // An 8 x 6 layer "src" whose pixel (x, y) is 0xFF000000 | y << 8 | x * 16 + 1.
  LayerData* MakeSource(bool alpha = false) {
    LayerData* l = MakeImage("src", 3, 4, 8, 6, 1, 0);
    for (int32_t y = 0; y < 6; ++y) {
      for (int32_t x = 0; x < 8; ++x) Put(l, x, y, 0xFF000000u | (y << 8) | (x * 16 + 1));
    }
    l->has_alpha = alpha ? 1 : 0;
    return l;
  }
  static void Put(LayerData* l, int32_t x, int32_t y, uint32_t p) {
    std::memcpy(l->pixels + (static_cast<size_t>(y) * l->width + x) * 4, &p, 4);
  }
};

TEST_F(LayerEffectsTest, InPlaceEffectCutsTheLayerToTheRectangle) {
  LayerData* l = MakeSource();
  ASSERT_EQ(ApplyCGEffect(kEffectNegative, Node("src"), nullptr, 2, 1, 4, 3, 1, 0, 0, 0), 0);
  ASSERT_EQ(l->width, 3);
  ASSERT_EQ(l->height, 3);
  EXPECT_EQ(PixelAt(l, 0, 0), 0xFF000000u | ((255 - 1) << 8) | (255 - (2 * 16 + 1)) | 0xFF0000u);
  EXPECT_EQ(PixelAt(l, 2, 2), 0xFF000000u | ((255 - 3) << 8) | (255 - (4 * 16 + 1)) | 0xFF0000u);
}

TEST_F(LayerEffectsTest, ThresholdAndFillKeepTheWholeImage) {
  LayerData* l = MakeSource();
  ASSERT_EQ(ApplyCGEffect(kEffectThreshold, Node("src"), nullptr, 0, 0, 1, 0, 1, 0, 0, 0), 0);
  EXPECT_EQ(l->width, 8);
  EXPECT_EQ(l->height, 6);
  EXPECT_EQ(PixelAt(l, 0, 0), 0xFF000000u);  // 1 < 3 * 1
  EXPECT_EQ(PixelAt(l, 1, 0), 0xFFFFFFFFu);  // 17 >= 3
  EXPECT_EQ(PixelAt(l, 2, 0), 0xFF000021u);  // outside the rectangle
}

TEST_F(LayerEffectsTest, FillAlphaDecidesHasAlpha) {
  struct Case {
    uint8_t variant;
    int64_t a;
    int64_t x1;
    uint8_t want_alpha;
  };
  const Case cases[] = {{2, 255, 7, 0}, {2, 255, 3, 1}, {2, 128, 7, 1},
                        {3, 0xFF102030, 7, 0}, {3, 0x7F102030, 7, 1}};
  for (const Case& c : cases) {
    LayerData* l = MakeSource(true);
    ASSERT_EQ(ApplyCGEffect(kEffectFill, Node("src"), nullptr, 0, 0, c.x1, 5, c.a, 0, 0,
                            c.variant), 0);
    EXPECT_EQ(l->has_alpha, c.want_alpha) << int{c.variant} << " " << c.a << " " << c.x1;
    // Into an output layer the written alpha decides last.
    MakeSource(true);
    LayerData* out = MakeImage("out", 0, 0, 2, 2, 2, 0);
    ASSERT_EQ(ApplyCGEffect(kEffectFill, Node("src"), Node("out"), 0, 0, c.x1, 5, c.a, 0, 1,
                            c.variant), 0);
    EXPECT_EQ(out->has_alpha, c.want_alpha);
    EXPECT_EQ(out->width, 8);
  }
}

TEST_F(LayerEffectsTest, OutputLayerTakesResultAndHasAlpha) {
  MakeSource(true);
  LayerData* out = MakeImage("out", 50, 60, 2, 2, 2, 0);
  ASSERT_EQ(ApplyCGEffect(kEffectCopy, Node("src"), Node("out"), 1, 2, 3, 5, 0, 0, 1, 0), 0);
  EXPECT_EQ(out->width, 3);
  EXPECT_EQ(out->height, 4);
  EXPECT_EQ(out->has_alpha, 1);
  EXPECT_EQ(out->x, 50);  // mode 7 leaves the placement
  EXPECT_EQ(PixelAt(out, 0, 0), 0xFF000000u | (2 << 8) | 17u);
  EXPECT_EQ(Layer("src")->width, 8);  // the read layer keeps its image
}

TEST_F(LayerEffectsTest, PlacedCopyTakesSettings) {
  LayerData* src = MakeSource();
  src->opacity = 100;
  src->mask_level = 7;
  src->blend_mode = 3;
  src->visible = 0;
  std::strcpy(src->mask_path, "W0/m");
  LayerData* out = MakeImage("out", 50, 60, 2, 2, 2, 0);
  ASSERT_EQ(ApplyCGEffect(kEffectCopyPlaced, Node("src"), Node("out"), 0, 0, 7, 5, 0, 0, 1, 0), 0);
  EXPECT_EQ(out->x, 3);
  EXPECT_EQ(out->y, 4);
  EXPECT_EQ(out->opacity, 100);
  EXPECT_EQ(out->mask_level, 7);
  EXPECT_EQ(out->blend_mode, 3);
  EXPECT_EQ(out->visible, 0);
  EXPECT_STREQ(out->mask_path, "W0/m");
}

TEST_F(LayerEffectsTest, ReversedRectanglesAre101000) {
  LayerData* l = MakeSource();
  const auto before = Pixels(l);
  EXPECT_EQ(ApplyCGEffect(kEffectBlur, Node("src"), nullptr, 4, 0, 3, 5, 2, 0, 0, 0), -1);
  EXPECT_EQ(LastCode(), 101000);
  EXPECT_EQ(ApplyCGEffect(kEffectBlur, Node("src"), nullptr, 0, 4, 3, 2, 2, 0, 0, 0), -1);
  EXPECT_EQ(CopyScaleCGRect(Node("src"), nullptr, 500, 0, 400, 500, 400, 400, 0, 31), -1);
  EXPECT_EQ(LastCode(), 101000);
  EXPECT_EQ(l->width, 8);
  EXPECT_EQ(Pixels(l), before);
}

// Every mode with the read layer as its own output matches the same mode into a fresh layer
// (ASan sees any read of freed or overwritten pixels).
TEST_F(LayerEffectsTest, OutputSameAsSourceGoesThroughTemporary) {
  const uint8_t modes[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 17, 18, 19, 20, 21, 22, 25, 27, 35, 36, 37};
  for (uint8_t mode : modes) {
    MakeSource(true);
    MakeImage("out", 0, 0, 1, 1, 2, 0);
    ASSERT_EQ(ApplyCGEffect(mode, Node("src"), Node("out"), 1, 1, 6, 4, 77, 30, 1, 3), 0);
    const auto want = Pixels(Layer("out"));
    MakeSource(true);
    ASSERT_EQ(ApplyCGEffect(mode, Node("src"), Node("src"), 1, 1, 6, 4, 77, 30, 1, 3), 0);
    EXPECT_EQ(Pixels(Layer("src")), want) << int{mode};
  }
  for (int mode : {10, 21, 31, 41, 51}) {
    MakeSource();
    MakeImage("out", 0, 0, 1, 1, 2, 0);
    ASSERT_EQ(CopyScaleCGRect(Node("src"), Node("out"), 0, 0, 700, 500, 800, 600, 1, mode), 0);
    const auto want = Pixels(Layer("out"));
    MakeSource();
    // Same size: the output's own buffer (the source) would be reused.
    ASSERT_EQ(CopyScaleCGRect(Node("src"), Node("src"), 0, 0, 700, 500, 800, 600, 1, mode), 0);
    EXPECT_EQ(Pixels(Layer("src")), want) << mode;
  }
  MakeSource();
  MakeImage("out", 0, 0, 1, 1, 2, 0);
  ASSERT_EQ(RotateLayerCG(Node("src"), Node("out"), 0, 0, 0, 0, 33, 1, 12), 0);
  const auto want = Pixels(Layer("out"));
  MakeSource();
  ASSERT_EQ(RotateLayerCG(Node("src"), Node("src"), 0, 0, 0, 0, 33, 1, 12), 0);
  EXPECT_EQ(Pixels(Layer("src")), want);
}

TEST_F(LayerEffectsTest, RotationReusedBufferTakesSourceSize) {
  MakeSource();
  LayerData* out = MakeImage("out", 0, 0, 12, 4, 2, 0x12345678);  // same pixels, other shape
  uint8_t* buffer = out->pixels;
  ASSERT_EQ(RotateLayerCG(Node("src"), Node("out"), 0, 0, 0, 0, 90, 1, 11), 0);
  EXPECT_EQ(out->pixels, buffer);
  EXPECT_EQ(out->width, 8);
  EXPECT_EQ(out->height, 6);
  EXPECT_EQ(out->has_alpha, 1);  // not a multiple of 180
  ASSERT_EQ(RotateLayerCG(Node("src"), Node("out"), 0, 0, 0, 0, 180, 1, 12), 0);
  EXPECT_EQ(out->has_alpha, 0);  // the source's
  EXPECT_EQ(PixelAt(out, 0, 0), PixelAt(Layer("src"), 7, 5));
}

TEST_F(LayerEffectsTest, RotationModesOtherThan11And12ChangeNothing) {
  LayerData* l = MakeSource();
  const auto before = Pixels(l);
  for (int mode : {10, 13, 14, 0}) {
    EXPECT_EQ(RotateLayerCG(Node("src"), nullptr, 0, 0, 0, 0, 90, 0, mode), 0);
  }
  EXPECT_EQ(Pixels(l), before);
  EXPECT_EQ(l->has_alpha, 0);
}

TEST_F(LayerEffectsTest, ScaleFilterValuesOtherThanOneChangeNothing) {
  LayerData* l = MakeSource();
  const auto before = Pixels(l);
  for (int mode : {20, 22, 30, 32, 40, 42, 50, 52, 11}) {
    EXPECT_EQ(CopyScaleCGRect(Node("src"), nullptr, 0, 0, 700, 500, 400, 300, 0, mode), 0);
  }
  EXPECT_EQ(l->width, 8);
  EXPECT_EQ(Pixels(l), before);
}

TEST_F(LayerEffectsTest, ScalingKeepsConstantImagesConstant) {
  struct Size {
    int32_t w, h;
  };
  const Size sizes[] = {{16, 12}, {3, 2}, {1, 1}, {37, 5}, {8, 6}};
  for (int mode : {10, 21, 31, 41, 51}) {
    for (const Size s : sizes) {
      LayerData* l = MakeImage("c", 0, 0, 8, 6, 1, 0xFF4080C0);
      ASSERT_EQ(CopyScaleCGRect(Node("c"), nullptr, 0, 0, 700, 500, s.w * 100, s.h * 100, 0, mode),
                0);
      ASSERT_EQ(l->width, s.w);
      for (int32_t y = 0; y < s.h; ++y) {
        for (int32_t x = 0; x < s.w; ++x) {
          ASSERT_EQ(PixelAt(l, x, y), 0xFF4080C0u)
              << "mode " << mode << " to " << s.w << "x" << s.h << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST_F(LayerEffectsTest, ScaleRectangleOutsideTheImageWritesEveryPixel) {
  for (int mode : {10, 21, 31, 41, 51}) {
    MakeImage("c", 0, 0, 8, 6, 1, 0xFFFFFFFF);
    LayerData* out = MakeImage("out", 0, 0, 16, 6, 2, 0x5A5A5A5A);  // reused: exactly 16 x 6
    uint8_t* buffer = out->pixels;
    // Source columns -8..7 (hundredths), rows 0..5: the left half lies outside.
    ASSERT_EQ(CopyScaleCGRect(Node("c"), Node("out"), -800, 0, 700, 500, 1600, 600, 1, mode), 0);
    EXPECT_EQ(out->pixels, buffer);
    for (int32_t y = 0; y < 6; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        const uint32_t p = PixelAt(out, x, y);
        ASSERT_NE(p, 0x5A5A5A5Au) << "mode " << mode << " unwritten at " << x << "," << y;
        if (x < 6) {
          ASSERT_EQ(p, 0u) << "mode " << mode << " at " << x << "," << y;
        }
      }
    }
    // Far outside: nothing is read, everything is 0.
    ASSERT_EQ(CopyScaleCGRect(Node("c"), Node("out"), -900000000, 0, -800000000, 500, 1600, 600,
                              1, mode), 0);
    for (int32_t i = 0; i < 16 * 6; ++i) ASSERT_EQ(PixelAt(out, i % 16, i / 16), 0u);
  }
}

TEST_F(LayerEffectsTest, NearestReadsSpansWiderThanTheFrameScaler) {
  // Source columns 0..8999 of an 8-pixel image into 9 pixels: only the first reads the image.
  MakeImage("c", 0, 0, 8, 6, 1, 0xFF112233);
  LayerData* out = MakeImage("out", 0, 0, 9, 1, 2, 0x5A5A5A5A);
  ASSERT_EQ(CopyScaleCGRect(Node("c"), Node("out"), 0, 0, 899900, 0, 900, 100, 1, 10), 0);
  EXPECT_EQ(PixelAt(out, 0, 0), 0xFF112233u);
  for (int32_t x = 1; x < 9; ++x) EXPECT_EQ(PixelAt(out, x, 0), 0u) << x;
}

TEST_F(LayerEffectsTest, ScaleReusesBuffers) {
  MakeSource(true);
  LayerData* out = MakeImage("out", 0, 0, 4, 3, 2, 0);
  uint8_t* buffer = out->pixels;
  ASSERT_EQ(CopyScaleCGRect(Node("src"), Node("out"), 0, 0, 700, 500, 400, 300, 1, 31), 0);
  EXPECT_EQ(out->pixels, buffer);  // exactly 4 x 3
  EXPECT_EQ(out->has_alpha, 0);    // a reused buffer keeps the layer's flag
  // Slot 28 set and larger in both directions: reused, only the size changes.
  out->value_slot28 = 1;
  ASSERT_EQ(CopyScaleCGRect(Node("src"), Node("out"), 0, 0, 700, 500, 300, 200, 1, 51), 0);
  EXPECT_EQ(out->pixels, buffer);
  EXPECT_EQ(out->width, 3);
  EXPECT_EQ(out->height, 2);
  // Not larger in both directions: a new buffer, with the source's has-alpha.
  ASSERT_EQ(CopyScaleCGRect(Node("src"), Node("out"), 0, 0, 700, 500, 500, 100, 1, 21), 0);
  EXPECT_EQ(out->width, 5);
  EXPECT_EQ(out->has_alpha, 1);
}

TEST_F(LayerEffectsTest, NewBuffersCheckBothSides) {
  MakeSource();
  QueueOk();  // the size message box
  EXPECT_EQ(CopyScaleCGRect(Node("src"), nullptr, 0, 0, 700, 500, 100, 819300, 0, 10), -1);
  EXPECT_EQ(LastCode(), 100010);
  EXPECT_EQ(Layer("src")->height, 6);
}

TEST_F(LayerEffectsTest, AllocationFailureKeepsTheImage) {
  LayerData* l = MakeSource();
  const auto before = Pixels(l);
  QueueOk();
  SetAllocFailureForTest(0);
  EXPECT_EQ(ApplyCGEffect(kEffectBlur, Node("src"), nullptr, 1, 1, 5, 4, 3, 0, 0, 0), -1);
  ResetAllocFailureForTest();
  EXPECT_EQ(LastCode(), 104030);
  EXPECT_EQ(l->width, 8);
  EXPECT_EQ(Pixels(l), before);
}

TEST_F(LayerEffectsTest, ShuffleDrawsFromItsOwnGenerator) {
  SeedRandom(99);
  const uint32_t first = NextRandomMT();
  SeedRandom(99);
  SeedEffectRandom(5);
  MakeSource();
  ASSERT_EQ(ApplyCGEffect(kEffectShuffle, Node("src"), nullptr, 0, 0, 7, 5, 200, 0, 0, 0), 0);
  const auto once = Pixels(Layer("src"));
  EXPECT_EQ(NextRandomMT(), first);  // the scripts' sequence did not move
  SeedEffectRandom(5);
  MakeSource();
  ASSERT_EQ(ApplyCGEffect(kEffectShuffle, Node("src"), nullptr, 0, 0, 7, 5, 200, 0, 0, 0), 0);
  EXPECT_EQ(Pixels(Layer("src")), once);
}

TEST_F(LayerEffectsTest, LayerWithoutPixelsIsNothingToDo) {
  MakeGroup("g", 0, 0, 4, 4, 1);
  EXPECT_EQ(ApplyCGEffect(kEffectBlur, Node("g", true), nullptr, 0, 0, 3, 3, 2, 0, 0, 0), 0);
  EXPECT_EQ(RotateLayerCG(Node("g", true), nullptr, 0, 0, 0, 0, 90, 0, 11), 0);
  EXPECT_EQ(CopyScaleCGRect(Node("g", true), nullptr, 0, 0, 300, 300, 200, 200, 0, 31), 0);
}

}  // namespace
}  // namespace korvel::test
