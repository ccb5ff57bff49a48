// The blitters on hand-made canvases: coverage to alpha, gradients and corners, rotations, the
// blend formula, the box test, and canvases smaller than the box.
#include "text/glyph_blit.h"

#include <gtest/gtest.h>

#include <vector>

#include "font_test_env.h"

namespace korvel {
namespace {

using test::SetInk;
using test::SyntheticCanvas;
using test::TestLayer;

constexpr uint32_t A = 0x102030, B = 0x908070;

class GlyphBlitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitGlyphTables();
    g_fonts.current_slot = 0;
  }
  void TearDown() override { ResetGlyphCache(); }
};

TEST_F(GlyphBlitTest, CoverageOfA4x4BlockGivesAlpha) {
  // Width 20: canvas 128. Pixel (0,0) fully inked, pixel (1,0) has 8 of 16 ink pixels.
  GlyphCacheEntry& e = SyntheticCanvas(128);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) SetInk(e, x, y);
  }
  for (int y = 0; y < 2; ++y) {
    for (int x = 4; x < 8; ++x) SetInk(e, x, y);
  }
  TestLayer layer(32, 32);
  BlitGlyphSmooth(0x112233, 0xFFFFFFFF, 1, 0, 20, 20, 0, 0, 0, &layer.node);
  EXPECT_EQ(layer.Bgra(0, 0), 0xFF112233u);
  EXPECT_EQ(layer.Bgra(1, 0), 0x90112233u);
  // Overwrite writes the whole box, alpha 0 where there is no ink; nothing outside it.
  EXPECT_EQ(layer.Bgra(19, 19), 0x00112233u);
  EXPECT_EQ(layer.Bgra(20, 0), 0u);
  EXPECT_EQ(layer.data.has_alpha, 1);
}

TEST_F(GlyphBlitTest, CornersByDirectionAndRotation) {
  constexpr uint32_t M = 0x505050;  // a + (b - a) / 2 per channel
  const struct {
    uint8_t direction, rotation;
    uint32_t tl, tr, bl, br;
  } cases[] = {
      {0, 0, A, A, A, A}, {1, 0, A, A, B, B}, {2, 0, B, B, A, A}, {3, 0, A, B, A, B},
      {4, 0, B, A, B, A}, {5, 0, A, M, M, B}, {6, 0, M, A, B, M}, {7, 0, B, M, M, A},
      {8, 0, M, B, A, M}, {9, 0, A, A, A, A}, {255, 0, A, A, A, A},
      // Rotation 1 uses rows 3,4,2,1,8,5,6,7; 2 uses 2,1,4,3,7,8,5,6; 3 uses 4,3,1,2,6,7,8,5.
      {1, 1, A, B, A, B}, {5, 1, M, B, A, M}, {1, 2, B, B, A, A}, {5, 2, B, M, M, A},
      {1, 3, B, A, B, A}, {5, 3, M, A, B, M}, {1, 4, A, A, B, B}, {1, 9, A, A, B, B},
  };
  for (const auto& c : cases) {
    uint32_t corners[4];
    BuildGlyphCorners(c.direction, c.rotation, A, B, corners);
    SCOPED_TRACE(testing::Message() << int{c.direction} << "/" << int{c.rotation});
    EXPECT_EQ(corners[0], c.tl);
    EXPECT_EQ(corners[1], c.tr);
    EXPECT_EQ(corners[2], c.bl);
    EXPECT_EQ(corners[3], c.br);
  }
  uint32_t corners[4];
  BuildGlyphCorners(1, 0, A, 0xFFFFFFFF, corners);  // no second colour: flat
  for (uint32_t c : corners) EXPECT_EQ(c, A);
  BuildGlyphCorners(5, 0, 0x0000FF, 0x000000, corners);
  EXPECT_EQ(corners[1], 0x000080u);  // 255 + (0 - 255) / 2 truncates to 128
}

TEST_F(GlyphBlitTest, GradientRunsCornerToCorner) {
  GlyphCacheEntry& e = SyntheticCanvas(128);
  std::memset(e.canvas, 0, e.canvas_bytes);  // all ink
  TestLayer layer(8, 8);
  BlitGlyphHard(0x000000, 0x0000FF, 3, 0, 5, 3, 0, 0, 0, &layer.node);
  const uint8_t expected[5] = {0, 63, 127, 191, 255};  // 255 × c / 4, truncated
  for (int c = 0; c < 5; ++c) {
    for (int r = 0; r < 3; ++r) EXPECT_EQ(layer.At(c, r)[0], expected[c]) << c << "," << r;
  }
}

TEST_F(GlyphBlitTest, OnePixelGradientsTakeTheFirstCorner) {
  // One row or one column: no division by zero (UBSan would stop here), the first corner's colour.
  GlyphCacheEntry& e = SyntheticCanvas(64);
  std::memset(e.canvas, 0, e.canvas_bytes);
  for (uint8_t direction = 0; direction <= 8; ++direction) {
    TestLayer layer(4, 4);
    BlitGlyphHard(A, B, direction, 0, 1, 1, 1, 1, 0, &layer.node);
    uint32_t corners[4];
    BuildGlyphCorners(direction, 0, A, B, corners);
    EXPECT_EQ(layer.Bgra(1, 1), 0xFF000000u | corners[0]) << int{direction};
    TestLayer row(8, 8);
    BlitGlyphSmooth(A, B, direction, 0, 4, 1, 0, 0, 0, &row.node);
    BlitGlyphSmooth(A, B, direction, 0, 1, 4, 4, 4, 0, &row.node);
  }
}

TEST_F(GlyphBlitTest, RotationsPlaceTheFirstPixel) {
  // Glyph 3 wide, 2 high, ink only at its (row 0, column 0).
  GlyphCacheEntry& e = SyntheticCanvas(64);
  SetInk(e, 0, 0);
  const struct {
    uint8_t rotation;
    int32_t x, y;
  } cases[] = {{0, 2, 2}, {1, 3, 2}, {2, 4, 3}, {3, 2, 4}, {4, 2, 2}, {8, 2, 2}};
  for (const auto& c : cases) {
    TestLayer layer(8, 8);
    BlitGlyphHard(0xFFFFFF, 0xFFFFFFFF, 0, c.rotation, 3, 2, 2, 2, 1, &layer.node);
    int inked = 0;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) inked += layer.Bgra(x, y) != 0;
    }
    EXPECT_EQ(inked, 1) << int{c.rotation};
    EXPECT_EQ(layer.Bgra(c.x, c.y), 0xFFFFFFFFu) << int{c.rotation};
  }
}

TEST_F(GlyphBlitTest, BlendFollowsTheAlphaFormula) {
  GlyphCacheEntry& e = SyntheticCanvas(128);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) SetInk(e, x, y);  // pixel (0,0): 8 of 16, alpha 144
  }
  const struct {
    uint32_t dest;  // ARGB before
    uint32_t expected;
  } cases[] = {
      // A = 145; alpha = D + A - D·A/256 - 1; channel = d + (s - d)·A / (alpha + 1).
      {0x80646464, 0xC8ACACACu},  // D 128: alpha 200, 100 + 100·145/201 = 172
      {0x00646464, 0x90C8C8C8u},  // D 0: alpha 144, 100 + 100·145/145 = 200
      {0xFF646464, 0xFF9C9C9Cu},  // D 255: alpha 255, 100 + 100·145/256 = 156
  };
  for (const auto& c : cases) {
    TestLayer layer(4, 4);
    layer.Fill(c.dest);
    BlitGlyphSmooth(0xC8C8C8, 0xFFFFFFFF, 0, 0, 1, 1, 0, 0, 1, &layer.node);
    EXPECT_EQ(layer.Bgra(0, 0), c.expected) << std::hex << c.dest;
  }
}

// Every coverage count over every destination alpha: the blitter's shortcuts and fast division
// against the blend formula with plain division.
TEST_F(GlyphBlitTest, BlendMatchesTheFormulaForEveryAlphaPair) {
  GlyphCacheEntry& e = SyntheticCanvas(128);
  for (int32_t c = 0; c <= 16; ++c) {  // column c: c of its 16 canvas pixels inked
    for (int32_t k = 0; k < c; ++k) {
      for (int32_t y = k / 4; y < 128; y += 4) SetInk(e, 4 * c + k % 4, y);
    }
  }
  TestLayer layer(17, 256);
  for (int32_t y = 0; y < 256; ++y) {
    for (int32_t x = 0; x < 17; ++x) {
      uint8_t* p = layer.At(x, y);
      p[0] = static_cast<uint8_t>(y * 7);
      p[1] = static_cast<uint8_t>(255 - y);
      p[2] = static_cast<uint8_t>(x * 15);
      p[3] = static_cast<uint8_t>(y);
    }
  }
  const std::vector<uint8_t> before = layer.pixels;
  for (int32_t y0 = 0; y0 < 256; y0 += 32) {
    BlitGlyphSmooth(0x3264C8, 0xFFFFFFFF, 0, 0, 17, 32, 0, y0, 1, &layer.node);
  }
  const int32_t source[3] = {0xC8, 0x64, 0x32};  // blue, green, red
  for (int32_t y = 0; y < 256; ++y) {
    for (int32_t x = 0; x < 17; ++x) {
      const uint8_t* old = &before[(static_cast<size_t>(y) * 17 + static_cast<size_t>(x)) * 4];
      const int32_t a = g_glyph_tables.ramp[x] + 1;
      const int32_t na = old[3] + a - (old[3] * a) / 256 - 1;
      const uint8_t* now = layer.At(x, y);
      ASSERT_EQ(now[3], na) << x << "," << y;
      for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(now[i], static_cast<uint8_t>(old[i] + (source[i] - old[i]) * a / (na + 1)))
            << x << "," << y << " channel " << i;
      }
    }
  }
}

TEST_F(GlyphBlitTest, BoxesLeavingTheLayerAreNotDrawn) {
  GlyphCacheEntry& e = SyntheticCanvas(64);
  std::memset(e.canvas, 0, e.canvas_bytes);
  const struct {
    int32_t cols, rows, x, y;
    uint8_t rotation;
    bool drawn;
  } cases[] = {
      {4, 2, 4, 0, 0, true},   {4, 2, 5, 0, 0, false},  // one pixel past the right edge
      {4, 2, 0, 6, 0, true},   {4, 2, 0, 7, 0, false},  {4, 2, -1, 0, 0, false},
      {4, 2, 6, 0, 1, true},   {4, 2, 6, 5, 1, false},  // turned: 2 wide, 4 high
      {4, 2, 0, 4, 3, true},   {4, 2, 0, 6, 2, true},   {4, 2, 7, 0, 3, false},
  };
  for (const auto& c : cases) {
    TestLayer layer(8, 8);
    BlitGlyphHard(0xFFFFFF, 0xFFFFFFFF, 0, c.rotation, c.cols, c.rows, c.x, c.y, 0, &layer.node);
    BlitGlyphSmooth(0xFFFFFF, 0xFFFFFFFF, 0, c.rotation, c.cols, c.rows, c.x, c.y, 1, &layer.node);
    bool any = false;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) any = any || layer.Bgra(x, y) != 0;
    }
    EXPECT_EQ(any, c.drawn) << c.cols << "x" << c.rows << " at " << c.x << "," << c.y << " r"
                            << int{c.rotation};
  }
}

TEST_F(GlyphBlitTest, BoxesLargerThanTheCanvasReadOnlyTheCanvas) {
  // Width 1 gives a 64-pixel canvas; a 256-high box must not read past it (ASan would stop here).
  GlyphCacheEntry& e = SyntheticCanvas(64);
  std::memset(e.canvas, 0, e.canvas_bytes);
  TestLayer layer(300, 300);
  BlitGlyphHard(0xFFFFFF, 0xFFFFFFFF, 0, 0, 100, 256, 0, 0, 0, &layer.node);
  EXPECT_EQ(layer.Bgra(63, 63), 0xFFFFFFFFu);  // canvas ink
  EXPECT_EQ(layer.Bgra(64, 0), 0xFF000000u);   // past the canvas: no ink
  EXPECT_EQ(layer.Bgra(0, 64), 0xFF000000u);
  BlitGlyphSmooth(0xFFFFFF, 0xFFFFFFFF, 0, 0, 256, 256, 0, 0, 0, &layer.node);
  EXPECT_EQ(layer.Bgra(15, 15), 0xFFFFFFFFu);  // canvas pixels 60..63
  EXPECT_EQ(layer.Bgra(16, 0), 0x00FFFFFFu);
  EXPECT_EQ(layer.Bgra(0, 16), 0x00FFFFFFu);
  // Boxes wider than any glyph (callers other than DrawGlyph): columns past the canvas are empty.
  TestLayer wide(700, 4);
  BlitGlyphSmooth(0xFFFFFF, 0xFFFFFFFF, 0, 0, 600, 2, 0, 0, 0, &wide.node);
  BlitGlyphHard(0xFFFFFF, 0xFFFFFFFF, 0, 0, 600, 2, 0, 2, 0, &wide.node);
  EXPECT_EQ(wide.Bgra(15, 0), 0xFFFFFFFFu);
  EXPECT_EQ(wide.Bgra(599, 0), 0x00FFFFFFu);
  EXPECT_EQ(wide.Bgra(600, 0), 0u);
  EXPECT_EQ(wide.Bgra(599, 2), 0xFF000000u);
}

TEST_F(GlyphBlitTest, HardOverwriteBoxesTheInkAndBlendTouchesOnlyInk) {
  GlyphCacheEntry& e = SyntheticCanvas(64);
  SetInk(e, 1, 1);
  TestLayer over(6, 6), blend(6, 6);
  over.Fill(0x80FF0000);
  blend.Fill(0x80FF0000);
  BlitGlyphHard(0x00FF00, 0xFFFFFFFF, 0, 0, 3, 3, 1, 1, 0, &over.node);
  BlitGlyphHard(0x00FF00, 0xFFFFFFFF, 0, 0, 3, 3, 1, 1, 1, &blend.node);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool ink = x == 2 && y == 2;
      const bool box = x >= 1 && x <= 3 && y >= 1 && y <= 3;
      const uint32_t o = ink ? 0xFF00FF00u : box ? 0xFF000000u : 0x80FF0000u;
      EXPECT_EQ(over.Bgra(x, y), o) << x << "," << y;
      EXPECT_EQ(blend.Bgra(x, y), ink ? 0xFF00FF00u : 0x80FF0000u) << x << "," << y;
    }
  }
}

TEST_F(GlyphBlitTest, NoPixelsNoDrawing) {
  GlyphCacheEntry& e = SyntheticCanvas(64);
  std::memset(e.canvas, 0, e.canvas_bytes);
  TestLayer layer(8, 8);
  layer.data.pixels = nullptr;
  BlitGlyphHard(0xFFFFFF, 0xFFFFFFFF, 0, 0, 2, 2, 0, 0, 0, &layer.node);
  BlitGlyphSmooth(0xFFFFFF, 0xFFFFFFFF, 0, 0, 2, 2, 0, 0, 0, nullptr);
  for (uint8_t b : layer.pixels) ASSERT_EQ(b, 0);
}

}  // namespace
}  // namespace korvel
