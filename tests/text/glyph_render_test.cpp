// Glyphs of the IPA fonts: advances by pitch, ink placement, bold, the ink box against ImageMagick,
// edge passes, sizes outside 1..256 and a face that does not open.
#include "text/glyph_render.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>
#include <sstream>
#include <utility>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "font_test_env.h"
#include "platform/fonts.h"
#include "platform/platform.h"

namespace korvel {
namespace {

using test::Canvas;
using test::Ink;
using test::IpaFontTest;
using test::TestLayer;

const uint8_t* G(const std::string& sjis) { return reinterpret_cast<const uint8_t*>(sjis.c_str()); }

struct InkBox {
  int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1, count = 0;
};
InkBox CanvasInk() {
  const GlyphCacheEntry& e = Canvas();
  InkBox box;
  for (int32_t y = 0; y < e.side; ++y) {
    for (int32_t x = 0; x < e.side; ++x) {
      if (!Ink(e, x, y)) continue;
      box.x0 = std::min(box.x0, x);
      box.y0 = std::min(box.y0, y);
      box.x1 = std::max(box.x1, x);
      box.y1 = std::max(box.y1, y);
      ++box.count;
    }
  }
  return box;
}

class GlyphRenderTest : public IpaFontTest {
 protected:
  static std::pair<int32_t, int32_t> Measure(const char* utf8, int32_t width, uint8_t smooth = 1,
                                             uint8_t bold = 0) {
    int32_t advance = -1, box = -1;
    RenderGlyphGdi(G(Sjis(utf8)), width, width, bold, smooth, &advance, &box);
    return {advance, box};
  }
};

TEST_F(GlyphRenderTest, FixedPitchAdvancesByCharacterWidth) {
  UseFont("IPAGothic");
  EXPECT_EQ(Measure("あ", 20), std::make_pair(20, 20));
  EXPECT_EQ(Measure("A", 20), std::make_pair(10, 20));
  EXPECT_EQ(Measure("A", 21, 0), std::make_pair(10, 21));  // half of an odd width, truncated
  EXPECT_GT(CanvasInk().count, 0);
}

TEST_F(GlyphRenderTest, VariablePitchAdvancesByInk) {
  UseFont("IPAPGothic");
  for (uint8_t smooth : {uint8_t{1}, uint8_t{0}}) {
    const int32_t scale = smooth == 1 ? 4 : 1;
    for (const char* text : {"i", "W", "l", "あ"}) {
      const auto [advance, box] = Measure(text, 40, smooth);
      const InkBox ink = CanvasInk();
      ASSERT_GT(ink.count, 0) << text;
      // Hard glyphs measured at their own scale, not divided by 4.
      EXPECT_EQ(advance, std::min(40, ink.x1 / scale + 4)) << text << " smooth " << int{smooth};
      EXPECT_EQ(box, std::min(40, (Canvas().side - ink.y0) / scale + 4)) << text;
    }
    EXPECT_LT(Measure("i", 40, smooth).first, Measure("W", 40, smooth).first);
    EXPECT_GT(Measure("i", 40, smooth).first, 4);
  }
}

TEST_F(GlyphRenderTest, IdeographicFullStopInksLowerLeft) {
  UseFont("IPAGothic");
  Measure("。", 20);  // 80-pixel cell
  const InkBox ink = CanvasInk();
  ASSERT_GT(ink.count, 0);
  EXPECT_LT(ink.x1, 40);
  EXPECT_GT(ink.y0, 40);
  EXPECT_LT(ink.y1, 80);
}

TEST_F(GlyphRenderTest, BoldAddsInk) {
  for (const char* family : {"IPAGothic", "IPAMincho"}) {
    UseFont(family);
    Measure("永", 20, 1, 0);
    const int32_t plain = CanvasInk().count;
    Measure("永", 20, 1, 1);
    const int32_t bold = CanvasInk().count;
    EXPECT_GT(bold, plain + plain / 10) << family;
  }
}

// The ink box of a hard glyph against ImageMagick's unsmoothed label at the same em.
TEST_F(GlyphRenderTest, InkBoxMatchesImageMagick) {
  const std::string& file = test::UseIpaFontsOnly();
  UseFont("IPAGothic");
  for (const char* text : {"あ", "A", "永", "g"}) {
    for (int32_t width : {64, 128}) {
      Measure(text, width, 0);
      const InkBox ink = CanvasInk();
      platform::PlatformFont* font = platform::OpenPlatformFont("IPAGothic", width, false);
      ASSERT_NE(font, nullptr);
      const double em = platform::PlatformFontEm(font);
      platform::ClosePlatformFont(font);
      std::ostringstream command;
      command << "convert +antialias -density 72 -font '" << file << "' -pointsize " << em
              << " label:'" << text << "' -trim -format '%w %h' info: 2>/dev/null";
      std::istringstream answer(test::CaptureCommand(command.str()));
      int32_t w = 0, h = 0;
      ASSERT_TRUE(answer >> w >> h) << "ImageMagick's convert did not answer: " << command.str();
      SCOPED_TRACE(testing::Message() << text << " width " << width << " em " << em);
      EXPECT_NEAR(ink.x1 - ink.x0 + 1, w, 1);
      EXPECT_NEAR(ink.y1 - ink.y0 + 1, h, 1);
    }
  }
}

// Hard glyphs blended with one canvas pixel of ink: each pass leaves exactly one pixel.
TEST_F(GlyphRenderTest, EdgePassesByEdgeValue) {
  UseFont("IPAGothic");
  const std::string glyph = Sjis("あ");
  const struct {
    int32_t edge;
    std::set<std::pair<int32_t, int32_t>> offsets;
  } cases[] = {
      {0, {{0, 0}}},
      {-5, {{0, 0}}},
      {2, {{2, -2}, {2, 0}, {2, 2}, {0, -2}, {0, 0}, {0, 2}, {-2, -2}, {-2, 0}, {-2, 2}}},
      {10, {{10, -10}, {10, 0}, {10, 10}, {0, -10}, {0, 0}, {0, 10}, {-10, -10}, {-10, 0}, {-10, 10}}},
      {12, {{2, 0}, {0, 2}, {2, 2}}},
  };
  for (const auto& c : cases) {
    int32_t advance = 0, box = 0;
    RenderGlyphGdi(G(glyph), 8, 8, 0, 0, &advance, &box);
    GlyphCacheEntry& e = Canvas();
    std::memset(e.canvas, 0xFF, e.canvas_bytes);  // the cached glyph now has one ink pixel
    test::SetInk(e, 0, 0);
    TestLayer layer(64, 64);
    EXPECT_EQ(DrawGlyph(G(glyph), 0xFFFFFF, 0xFFFFFFFF, 0, 0, 8, 8, 0, 0, c.edge, 30, 30, 1,
                        &layer.node),
              8);
    std::set<std::pair<int32_t, int32_t>> seen;
    for (int32_t y = 0; y < 64; ++y) {
      for (int32_t x = 0; x < 64; ++x) {
        if (layer.Bgra(x, y) != 0) seen.insert({x - 30, y - 30});
      }
    }
    EXPECT_EQ(seen, c.offsets) << "edge " << c.edge;
  }
}

TEST_F(GlyphRenderTest, OverwriteEdgeLeavesTheLastPassOnTop) {
  UseFont("IPAGothic");
  const std::string glyph = Sjis("あ");
  int32_t advance = 0, box = 0;
  RenderGlyphGdi(G(glyph), 8, 8, 0, 0, &advance, &box);
  GlyphCacheEntry& e = Canvas();
  std::memset(e.canvas, 0xFF, e.canvas_bytes);
  test::SetInk(e, 0, 0);
  TestLayer layer(64, 64);
  DrawGlyph(G(glyph), 0xFFFFFF, 0xFFFFFFFF, 0, 0, 8, 8, 0, 0, 2, 30, 30, 0, &layer.node);
  EXPECT_EQ(layer.Bgra(28, 32), 0xFFFFFFFFu);  // last pass (x - 2, y + 2): its ink
  EXPECT_EQ(layer.Bgra(30, 30), 0xFF000000u);  // (x, y)'s ink under the last box's black
  EXPECT_EQ(layer.Bgra(32, 28), 0xFF000000u);  // first pass's ink, under the (x, y − 2) box
  EXPECT_EQ(layer.Bgra(28, 28), 0xFFFFFFFFu);  // (x − 2, y − 2)'s ink, outside the two later boxes
}

TEST_F(GlyphRenderTest, DrawsIntoTheLayerAndSkipsBoxesOutsideIt) {
  UseFont("IPAGothic");
  const std::string glyph = Sjis("あ");
  TestLayer layer(40, 40);
  EXPECT_EQ(DrawGlyph(G(glyph), 0xFF0000, 0xFFFFFFFF, 1, 0, 20, 20, 0, 1, 0, 0, 0, 0, &layer.node), 20);
  int32_t opaque = 0;
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 20; ++x) opaque += layer.At(x, y)[3] == 255;
  }
  EXPECT_GT(opaque, 10);
  TestLayer small(20, 20);
  // One pixel past the right edge: nothing drawn, the pen still advances.
  EXPECT_EQ(DrawGlyph(G(glyph), 0xFF0000, 0xFFFFFFFF, 1, 0, 20, 20, 0, 1, 0, 1, 0, 0, &small.node), 20);
  for (uint8_t b : small.pixels) ASSERT_EQ(b, 0);
  EXPECT_EQ(DrawGlyph(G(glyph), 0xFF0000, 0xFFFFFFFF, 1, 0, 20, 20, 0, 1, 0, 0, 0, 0, nullptr), 20);
}

TEST_F(GlyphRenderTest, SizesOutsideTheTableAreBounded) {
  UseFont("IPAGothic");
  const struct {
    int32_t width, height, advance, box;
  } cases[] = {{300, 300, 256, 256}, {0, 20, 0, 0}, {-4, 20, 0, 0}, {20, 0, 0, 0}, {20, 300, 20, 256}};
  for (const auto& c : cases) {
    for (uint8_t smooth : {uint8_t{0}, uint8_t{1}}) {
      int32_t advance = -1, box = -1;
      RenderGlyphGdi(G(Sjis("あ")), c.width, c.height, 0, smooth, &advance, &box);
      EXPECT_EQ(advance, c.advance) << c.width << "x" << c.height;
      EXPECT_EQ(box, c.box) << c.width << "x" << c.height;
      TestLayer layer(300, 300);
      DrawGlyph(G(Sjis("あ")), 0xFFFFFF, 0xFFFFFFFF, 12, 0, c.width, c.height, 0, smooth, -1, 0, 0, 0,
                &layer.node);
    }
  }
  EXPECT_EQ(LastErrorReport().count, 0u);
}

// Two fonts of one file at different sizes share the opened face: each use sets its own size.
TEST_F(GlyphRenderTest, FontsSharingAFaceKeepTheirSizes) {
  const auto canvas_of = [](uint32_t slot, int32_t width) {
    SetFontSlot(slot);
    int32_t advance = 0, box = 0;
    RenderGlyphGdi(G(Sjis("永")), width, width, 0, 0, &advance, &box);
    const GlyphCacheEntry& e = Canvas();
    return std::vector<uint8_t>(e.canvas, e.canvas + e.canvas_bytes);
  };
  const std::vector<uint8_t> small = canvas_of(1, 20);
  const std::vector<uint8_t> large = canvas_of(2, 64);
  ResetGlyphCache();  // the next renders come from the shared face
  canvas_of(2, 64);
  EXPECT_EQ(canvas_of(1, 20), small);
  EXPECT_EQ(canvas_of(2, 64), large);
  SetFontSlot(0);
}

TEST_F(GlyphRenderTest, AFaceThatDoesNotOpenIs102040) {
  g_fonts.open_names[0] = "No Such Family";
  g_fonts.slot_fonts[0] = 0;
  int32_t advance = -1, box = -1;
  RenderGlyphGdi(G(Sjis("あ")), 20, 20, 0, 1, &advance, &box);
  EXPECT_EQ(advance, 0);
  EXPECT_EQ(box, 0);
  EXPECT_EQ(LastErrorReport().code, 102040);
  TestLayer layer(40, 40);
  EXPECT_EQ(DrawGlyph(G(Sjis("あ")), 0xFFFFFF, 0xFFFFFFFF, 0, 0, 20, 20, 0, 1, 0, 0, 0, 0, &layer.node), 0);
  for (uint8_t b : layer.pixels) ASSERT_EQ(b, 0);
}

}  // namespace
}  // namespace korvel
