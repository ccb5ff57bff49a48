// The compositor's cases: the occluding child, zero fills, clipping, masks, group layers, and the
// faults it mends (stale group buffers under an occluder, excluded or empty occluders, masks
// without pixels, sides below 1, extreme placements).
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "layer_test_env.h"
#include "pixel/mask_weights.h"

namespace korvel {
namespace {

using test::LayerEnv;

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kWhite = 0xFFFFFFFF;

class CompositorTest : public LayerEnv {
 protected:
  // Marks the whole of W0 and composes it.
  static void ComposeAll() {
    MarkLayerWhollyChanged(Root());
    ASSERT_EQ(ComposeLayerTree(W0(), 0, 0), 0);
  }
};

TEST_F(CompositorTest, OpaqueCoveringTopChildIsTheOnlyOneDrawn) {
  MakeImage("under", 0, 0, 20, 20, 1, kRed);
  MakeImage("cover", -5, -5, 100, 100, 2, kGreen);
  Frame();
  Layer("under")->composed = 0;
  Layer("cover")->composed = 0;
  ComposeAll();
  EXPECT_EQ(Layer("under")->composed, 0);
  EXPECT_EQ(Layer("cover")->composed, 1);
  EXPECT_EQ(PixelAt(Root(), 3, 3), kGreen);
  // At opacity 255 it no longer hides the rest: everything is drawn over a zero fill.
  Layer("cover")->opacity = 255;
  ComposeAll();
  EXPECT_EQ(Layer("under")->composed, 1);
}

TEST_F(CompositorTest, WhatMakesAChildAnOccluder) {
  const DirtyRect rect{0, 0, 9, 9};
  LayerData base{};
  base.visible = 1;
  base.opacity = 256;
  base.mask_level = 256;
  base.width = base.height = 10;
  uint8_t pixels[10 * 4 * 11 + 4] = {};
  base.pixels = pixels;
  char mask[kLayerStringCapacity] = "m";
  char no_mask[kLayerStringCapacity] = "";
  base.mask_path = no_mask;
  EXPECT_TRUE(IsOccludingChild(&base, rect));
  struct Case {
    const char* what;
    void (*change)(LayerData*);
  };
  const Case cases[] = {
      {"hidden", [](LayerData* l) { l->visible = 0; }},
      {"blend mode 1", [](LayerData* l) { l->blend_mode = 1; }},
      {"opacity 255", [](LayerData* l) { l->opacity = 255; }},
      {"alpha", [](LayerData* l) { l->has_alpha = 1; }},
      {"excluded", [](LayerData* l) { l->excluded = 1; }},
      {"no pixels", [](LayerData* l) { l->pixels = nullptr; }},
      {"width 0", [](LayerData* l) { l->width = 0; }},
      {"one column short", [](LayerData* l) { l->x = 1; }},
      {"one row short", [](LayerData* l) { l->height = 9; }},
  };
  for (const Case& c : cases) {
    LayerData l = base;
    c.change(&l);
    EXPECT_FALSE(IsOccludingChild(&l, rect)) << c.what;
  }
  LayerData masked = base;
  masked.mask_path = mask;
  masked.mask_level = 255;
  EXPECT_FALSE(IsOccludingChild(&masked, rect));
  masked.mask_level = 256;  // a mask at 256 has no effect
  EXPECT_TRUE(IsOccludingChild(&masked, rect));
}

TEST_F(CompositorTest, LayerWithoutChildrenComposesToTransparentBlack) {
  Frame();
  std::memset(Root()->pixels, 0xAB, size_t{kWidth} * kHeight * 4);
  Root()->compose_rect = DirtyRect{2, 3, 5, 4};
  Root()->compose_valid = 1;
  ASSERT_EQ(ComposeLayerTree(W0(), 0, 0), 0);
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const bool inside = x >= 2 && x <= 5 && y >= 3 && y <= 4;
      ASSERT_EQ(PixelAt(Root(), x, y), inside ? 0u : 0xABABABABu) << x << "," << y;
    }
  }
}

TEST_F(CompositorTest, GroupIsOpaqueWhenNestedAndCarriesAlphaAsARoot) {
  MakeGroup("g", 0, 0, 8, 8, 1);
  Frame();
  EXPECT_EQ(Layer("g", true)->has_alpha, 0);
  EXPECT_EQ(Root()->has_alpha, 1);
  Layer("g", true)->has_alpha = 1;
  Layer("g", true)->compose_valid = 1;
  ASSERT_EQ(ComposeLayerSubtree(Node("g", true), 0), 0);
  EXPECT_EQ(Layer("g", true)->has_alpha, 1);
}

TEST_F(CompositorTest, MaskLevelZeroSkipsAndLevel256IgnoresTheMask) {
  MakeImage("m", 0, 0, 2, 2, 1, 0xFF000080);
  Set("m", kLayerVisible, 0);
  MakeImage("a", 0, 0, 4, 4, 2, kWhite);  // not the mask's size
  SetText("a", kLayerMaskPath, "m");
  Set("a", kLayerMaskLevel, 0);
  Frame();
  Layer("a")->composed = 0;
  ComposeAll();
  EXPECT_EQ(Layer("a")->composed, 0);
  EXPECT_EQ(PixelAt(Root(), 1, 1), 0u);
  Set("a", kLayerMaskLevel, 256);
  const uint32_t before = Reports();
  ComposeAll();
  EXPECT_EQ(Reports(), before);
  EXPECT_EQ(PixelAt(Root(), 3, 3), kWhite);
}

TEST_F(CompositorTest, MaskOfAnotherSizeIsAFatalError) {
  MakeImage("m", 0, 0, 2, 2, 1, 0xFF000080);
  MakeImage("a", 0, 0, 4, 4, 2, kWhite);
  SetText("a", kLayerMaskPath, "m");
  Set("a", kLayerMaskLevel, 128);
  MarkLayerWhollyChanged(Root());
  EXPECT_EQ(ComposeLayerTree(W0(), 0, 0), -1);
  EXPECT_EQ(LastCode(), 100310);
  EXPECT_TRUE(QuitRequested());
}

TEST_F(CompositorTest, MaskLayerWithoutPixelsIsNoMask) {
  MakeImage("m", 0, 0, 4, 4, 1, 0xFF000000);
  Set("m", kLayerVisible, 0);
  MakeImage("a", 0, 0, 4, 4, 2, kWhite);
  SetText("a", kLayerMaskPath, "m");
  Set("a", kLayerMaskLevel, 128);
  Frame();
  FreeBlock(Layer("m")->pixels);
  Layer("m")->pixels = nullptr;
  const uint32_t before = Reports();
  ComposeAll();
  EXPECT_EQ(Reports(), before);
  EXPECT_EQ(PixelAt(Root(), 2, 2), kWhite);  // drawn without a mask
}

TEST_F(CompositorTest, HardEdgeMaskThresholdsAtLevel64) {
  // Mask bytes 0..255 along a row; a hard edge at level 64 draws bytes 192..255 at full weight.
  MakeImage("m", 0, 0, 64, 4, 1, 0);
  Set("m", kLayerVisible, 0);
  for (int32_t x = 0; x < 64; ++x) {
    for (int32_t y = 0; y < 4; ++y) {
      Layer("m")->pixels[(y * 64 + x) * 4] = static_cast<uint8_t>(x * 4 + y);
    }
  }
  MakeImage("a", 0, 0, 64, 4, 2, kWhite);
  SetText("a", kLayerMaskPath, "m");
  Set("a", kLayerMaskLevel, 64);
  Set("a", kLayerMaskRamp, 256);
  Frame();
  for (int32_t x = 0; x < 64; ++x) {
    for (int32_t y = 0; y < 4; ++y) {
      const int byte = x * 4 + y;
      ASSERT_EQ(PixelAt(Root(), x, y) & 0xFFFFFF, byte >= 192 ? 0xFFFFFFu : 0u) << byte;
    }
  }
}

TEST(MaskWeightTableTest, HardEdgeAndZeroRamp) {
  MaskWeightTable t;
  BuildMaskWeightTable(t, 64, 256, 256);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t.weight[i], i < 192 ? 0 : 256) << i;
  BuildMaskWeightTable(t, 64, 256, 128);
  EXPECT_EQ(t.weight[191], 0);
  EXPECT_EQ(t.weight[192], 128);
  for (int level : {0, 1, 64, 200, 254}) {
    BuildMaskWeightTable(t, level, 0, 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(t.weight[i], level + 1) << level << " " << i;
  }
}

TEST_F(CompositorTest, ChildLeftOfAndAboveTheRectangleDrawsFromItsOffset) {
  MakeImage("a", -2, -3, 10, 10, 1, 0);
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 10; ++x) {
      const uint32_t p = 0xFF000000u | static_cast<uint32_t>(y << 8 | x);
      std::memcpy(Layer("a")->pixels + (y * 10 + x) * 4, &p, 4);
    }
  }
  Frame();
  Root()->compose_rect = DirtyRect{1, 1, 4, 4};
  Root()->compose_valid = 1;
  ASSERT_EQ(ComposeLayerTree(W0(), 0, 0), 0);
  EXPECT_EQ(PixelAt(Root(), 1, 1), 0xFF000000u | (4 << 8) | 3);
  EXPECT_EQ(PixelAt(Root(), 4, 4), 0xFF000000u | (7 << 8) | 6);
  EXPECT_EQ(PixelAt(Root(), 0, 0), 0xFF000000u | (3 << 8) | 2);  // from the first frame
}

TEST_F(CompositorTest, HiddenOrTransparentGroupIsRecomposedButNotBlended) {
  MakeGroup("g", 0, 0, 8, 8, 1);
  MakeImage("g/a", 0, 0, 8, 8, 1, kRed);
  Frame();
  EXPECT_EQ(PixelAt(Root(), 0, 0), kRed);
  for (const uint8_t slot : {kLayerVisible, kLayerOpacity}) {
    SCOPED_TRACE(int{slot});
    Set("g/", slot, 0);
    Fill("g/a", kBlue);
    Frame();
    EXPECT_EQ(PixelAt(Layer("g", true), 5, 5), kBlue);
    EXPECT_EQ(PixelAt(Root(), 5, 5), 0u);
    Set("g/", slot, slot == kLayerVisible ? 1 : 256);
    Fill("g/a", kRed);
    Frame();
  }
}

// The failing sequence of the stale group: a group under an opaque covering child has its own
// content changed; the frame's dirty state ends without the group being composed; when the cover
// goes, the group's old pixels would be shown.
TEST_F(CompositorTest, GroupUnderAnOccluderIsStillBroughtUpToDate) {
  MakeGroup("g", 0, 0, 16, 16, 1);
  MakeImage("g/a", 0, 0, 16, 16, 1, kRed);
  MakeImage("cover", 0, 0, kWidth, kHeight, 2, kGreen);
  Frame();
  EXPECT_EQ(PixelAt(Root(), 4, 4), kGreen);
  Fill("g/a", kBlue);
  Frame();
  EXPECT_EQ(PixelAt(Layer("g", true), 4, 4), kBlue);
  Set("cover", kLayerVisible, 0);
  Frame();
  EXPECT_EQ(PixelAt(Root(), 4, 4), kBlue);
}

// An excluded child covering the rectangle used to count as an occluder: nothing below it was
// drawn, nothing was zero-filled, and it was not drawn itself, so old pixels stayed on screen.
TEST_F(CompositorTest, ExcludedOrEmptyCoverDoesNotHideWhatIsBelow) {
  for (const bool excluded : {true, false}) {
    SCOPED_TRACE(excluded);
    MakeImage("a", 0, 0, 8, 8, 1, kRed);
    MakeImage("cover", 0, 0, kWidth, kHeight, 2, kGreen);
    Frame();
    if (excluded) {
      Layer("cover")->excluded = 1;
    } else {
      FreeBlock(Layer("cover")->pixels);
      Layer("cover")->pixels = nullptr;
    }
    Set("a", kLayerX, 20);
    Frame();
    EXPECT_EQ(PixelAt(Root(), 2, 2), 0u);  // the old place of a: cleared, not green
    EXPECT_EQ(PixelAt(Root(), 22, 2), kRed);
    ASSERT_EQ(ApplyReleaseLayerCommand("a"), 0);
    ASSERT_EQ(ApplyReleaseLayerCommand("cover"), 0);
    Frame();
  }
}

TEST_F(CompositorTest, SidesBelowOneAreNotComposed) {
  MakeGroup("g", 0, 0, 8, 8, 1);
  MakeImage("g/a", 0, 0, 8, 8, 1, kRed);
  Frame();
  LayerData* g = Layer("g", true);
  std::memset(g->pixels, 0x11, 8 * 8 * 4);
  g->width = 0;
  MarkLayerWhollyChanged(g);
  g->compose_rect = DirtyRect{0, 0, 7, 7};
  EXPECT_EQ(ComposeLayerSubtree(Node("g", true), 1), 0);
  EXPECT_EQ(g->pixels[0], 0x11);
  EXPECT_EQ(g->frame_rect.x0, kEmptyRectMin);
}

TEST_F(CompositorTest, ExtremePlacementsAreOutside) {
  MakeImage("a", 0, 0, 8, 8, 1, kRed);
  Frame();
  for (const int64_t x : {std::numeric_limits<int64_t>::max() - 2,
                          std::numeric_limits<int64_t>::min() + 1}) {
    Layer("a")->x = x;
    Layer("a")->y = x;
    ComposeAll();
    EXPECT_EQ(PixelAt(Root(), 0, 0), 0u);
  }
}

TEST_F(CompositorTest, RenderSkipsClosedWindowsAndHiddenRoots) {
  MakeImage("a", 0, 0, 8, 8, 1, kRed);
  Root()->visible = 0;
  EXPECT_EQ(RenderWindowIfDirty(0), 0);
  EXPECT_EQ(PixelAt(Root(), 0, 0), 0u);
  Root()->visible = 1;
  EXPECT_EQ(RenderWindowIfDirty(1), 0);  // no window 1
  EXPECT_EQ(RenderWindowIfDirty(0), 0);
  EXPECT_EQ(PixelAt(Root(), 0, 0), kRed);
}

// A root hidden for some frames misses their changes; when it is shown again the whole tree is
// composed once, groups included.
TEST_F(CompositorTest, RootShownAgainIsComposedWhole) {
  MakeGroup("g", 0, 0, 8, 8, 1);
  MakeImage("g/a", 0, 0, 8, 8, 1, kRed);
  Frame();
  Root()->visible = 0;
  Fill("g/a", kBlue);
  Frame();
  Root()->visible = 1;
  EXPECT_TRUE(Frame());
  EXPECT_EQ(PixelAt(Root(), 3, 3), kBlue);
}

}  // namespace
}  // namespace korvel
