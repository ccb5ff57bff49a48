// The code page 932 width and case tables, checked against iconv's conversion and Unicode's
// full-width block.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_encoding.h"
#include "script/cp932_tables.h"

namespace korvel {
namespace {

// UTF-8 of one code point.
std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

std::string Wide(uint16_t w) {
  const char bytes[3] = {static_cast<char>(w >> 8), static_cast<char>(w), 0};
  return platform::Cp932ToUtf8(bytes);
}

TEST(Cp932Tables, PrintableAsciiMapsToTheFullWidthBlock) {
  EXPECT_EQ(Wide(kCp932FullWidthOf[0x20]), Utf8(0x3000));
  for (int b = 0x21; b <= 0x7E; ++b) {
    ASSERT_NE(kCp932FullWidthOf[b], 0) << b;
    EXPECT_EQ(Wide(kCp932FullWidthOf[b]), Utf8(0xFF01 + (b - 0x21))) << b;
  }
  for (int b : {0x00, 0x0A, 0x7F, 0x80, 0xA0, 0xE0, 0xFF}) EXPECT_EQ(kCp932FullWidthOf[b], 0) << b;
}

TEST(Cp932Tables, HalfWidthKatakanaMapToFullWidthKatakana) {
  EXPECT_EQ(Wide(kCp932FullWidthOf[0xB1]), "ア");
  EXPECT_EQ(Wide(kCp932FullWidthOf[0xA6]), "ヲ");
  EXPECT_EQ(Wide(kCp932FullWidthOf[0xB0]), "ー");
  EXPECT_EQ(Wide(kCp932FullWidthOf[0xDE]), "゛");
  EXPECT_EQ(Wide(kCp932FullWidthOf[0xA1]), "。");
  for (int b = 0xA1; b <= 0xDF; ++b) {
    const char single[2] = {static_cast<char>(b), 0};
    ASSERT_NE(kCp932FullWidthOf[b], 0) << b;
    // Every half-width form converts to a different character than its full-width form.
    EXPECT_NE(Wide(kCp932FullWidthOf[b]), platform::Cp932ToUtf8(single)) << b;
  }
}

TEST(Cp932Tables, HalfWidthTableInvertsTheFullWidthOne) {
  for (int b = 0; b < 256; ++b) {
    if (kCp932FullWidthOf[b] != 0) {
      EXPECT_EQ(Cp932NarrowOf(kCp932FullWidthOf[b]), b);
    }
  }
  for (size_t i = 0; i < kCp932HalfWidthCount; ++i) {
    const auto& p = kCp932HalfWidth[i];
    EXPECT_EQ(Wide(p.wide), Wide(kCp932FullWidthOf[p.narrow])) << std::hex << p.wide;
    if (i > 0) {
      EXPECT_LT(kCp932HalfWidth[i - 1].wide, p.wide);
    }
  }
  EXPECT_EQ(Cp932NarrowOf(0x8CBE), -1);  // 言 has no single-byte form
  EXPECT_EQ(Cp932NarrowOf(0xFA57), '"');  // a character code page 932 holds twice
}

TEST(Cp932Tables, CasePairsAreTheFullWidthLetters) {
  ASSERT_EQ(kCp932CasePairCount, 26u);
  for (size_t i = 0; i < kCp932CasePairCount; ++i) {
    EXPECT_EQ(Wide(kCp932CasePairs[i].upper), Utf8(0xFF21 + i));
    EXPECT_EQ(Wide(kCp932CasePairs[i].lower), Utf8(0xFF41 + i));
  }
  EXPECT_EQ(Cp932UpperOf(0x8281), 0x8260);
  EXPECT_EQ(Cp932LowerOf(0x8260), 0x8281);
  EXPECT_EQ(Cp932UpperOf(0x83BF), 0x83BF);  // Greek letters keep their case
}

}  // namespace
}  // namespace korvel
