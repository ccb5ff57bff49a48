// The glyph renderer's fixed tables: coverage of canvas bytes, the alpha ramp, canvas sides.
#include "text/glyph_tables.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(GlyphTables, CoverageCountsClearBitsPerNibble) {
  InitGlyphTables();
  const struct {
    uint8_t byte;
    uint32_t coverage;
  } cases[] = {{0xFF, 0}, {0x00, 1028}, {0x0F, 1024}, {0xF0, 4}, {0x7E, 256 + 1}, {0xA5, 2 * 256 + 2}};
  for (const auto& c : cases) EXPECT_EQ(g_glyph_tables.coverage[c.byte], c.coverage) << int{c.byte};
}

TEST(GlyphTables, RampAndSides) {
  InitGlyphTables();
  EXPECT_EQ(g_glyph_tables.ramp[0], 0);
  EXPECT_EQ(g_glyph_tables.ramp[8], 144);
  EXPECT_EQ(g_glyph_tables.ramp[14], 252);
  EXPECT_EQ(g_glyph_tables.ramp[15], 255);
  EXPECT_EQ(g_glyph_tables.ramp[16], 255);
  EXPECT_EQ(g_glyph_tables.ramp[31], 255);
  EXPECT_EQ(GlyphCanvasSide(0), 64);
  EXPECT_EQ(GlyphCanvasSide(1), 64);
  EXPECT_EQ(GlyphCanvasSide(20), 128);
  EXPECT_EQ(GlyphCanvasSide(64), 320);
  EXPECT_EQ(GlyphCanvasSide(256), 1088);
  for (int32_t w = 0; w <= kMaxGlyphSize; ++w) {
    // Every canvas holds the 4x glyph and whole 32-bit rows.
    EXPECT_GE(GlyphCanvasSide(w), 4 * w + 32);
    EXPECT_EQ(GlyphCanvasSide(w) % 32, 0);
  }
}

TEST(GlyphTables, FastDivisionEqualsDivision) {
  for (int32_t d = 1; d <= 300; d += (d < 256 ? 1 : 11)) {
    for (int32_t n = -70000; n <= 70000; ++n) ASSERT_EQ(DivideTruncating(n, d), n / d) << n << "/" << d;
  }
  EXPECT_EQ(DivideTruncating(INT32_MIN + 1, 7), (INT32_MIN + 1) / 7);
}

}  // namespace
}  // namespace korvel
