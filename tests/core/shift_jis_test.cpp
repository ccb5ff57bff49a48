// Shift-JIS scans step over double-byte characters and never read past the text.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/shift_jis.h"

namespace korvel {
namespace {

TEST(ShiftJisTest, LeadByteRanges) {
  for (int b = 0; b < 256; ++b) {
    const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsCp932LeadByte(static_cast<uint8_t>(b)), expected) << b;
  }
}

TEST(ShiftJisTest, LeadByteBeforeNulOrEndIsOneByte) {
  const char lead_then_nul[] = {'\x82', '\0', 'x'};
  EXPECT_EQ(SjisCharLength(lead_then_nul, 0, 3), 1u);
  // The lead byte is the last byte of a heap block: no read past it (ASan checks).
  auto block = std::make_unique<char[]>(1);
  block[0] = '\x82';
  EXPECT_EQ(SjisCharLength(block.get(), 0, 1), 1u);
  const char pair[] = {'\x82', '\xA0'};
  EXPECT_EQ(SjisCharLength(pair, 0, 2), 2u);
}

TEST(ShiftJisTest, LowercasingLeavesTrailBytesAlone) {
  // 0x83 0x41 is katakana "ア": its trail byte is 'A' and must stay.
  char text[] = "ABC\x83\x41Z\x82";
  LowercaseAsciiDbcs(text);
  EXPECT_STREQ(text, "abc\x83\x41z\x82");
}

TEST(ShiftJisTest, SeparatorConversionStepsOverTrailBytes) {
  // 0x95 0x5C is "表": its trail byte is '\' and is not a separator.
  char text[] = "a\\\x95\x5C\\b/c";
  BackslashToSlash(text);
  EXPECT_STREQ(text, "a/\x95\x5C/b/c");
  char text2[] = "x/\x83\x2F/y";  // a trail byte equal to '/'
  SlashToBackslash(text2);
  EXPECT_STREQ(text2, "x\\\x83\x2F\\y");
}

TEST(ShiftJisTest, SuffixTestIgnoresCase) {
  EXPECT_TRUE(StringEndsWith("BG/Title.PNG", ".png"));
  EXPECT_TRUE(StringEndsWith("a.kbn", ".KBN"));
  EXPECT_FALSE(StringEndsWith("png", ".png"));
  EXPECT_TRUE(StringEndsWith("x", ""));
}

}  // namespace
}  // namespace korvel
