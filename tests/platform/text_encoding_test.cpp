// Code page 932 <-> UTF-8: Windows' own mappings, single-byte katakana, invalid bytes, truncated
// double-byte characters, and one string in several framings.
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>

namespace korvel::platform {
namespace {

struct Pair {
  const char* name;
  std::string sjis;
  std::string utf8;
};

// Pairs that convert both ways. The UTF-8 sides are written as bytes on purpose.
const Pair kPairs[] = {
    {"ascii", "Hello, world 123", "Hello, world 123"},
    {"backslash stays a backslash", "a\\b", "a\\b"},
    {"wave dash is the full-width tilde", "\x81\x60", "\xEF\xBD\x9E"},
    {"trail byte 0x5C", "\x95\x5C", "\xE8\xA1\xA8"},  // 表
    {"half-width katakana", "\xB1", "\xEF\xBD\xB1"},   // ｱ
    {"hiragana", "\x82\xA0\x82\xA2", "\xE3\x81\x82\xE3\x81\x84"},  // あい
    {"NEC special row", "\x87\x40", "\xE2\x91\xA0"},  // ①
    {"mixed", "A\x95\x5C" "B", "A\xE8\xA1\xA8" "B"},
};

TEST(TextEncoding, ConvertsKnownPairsBothWays) {
  for (const Pair& pair : kPairs) {
    EXPECT_EQ(Cp932ToUtf8(pair.sjis), pair.utf8) << pair.name;
    EXPECT_EQ(Utf8ToCp932(pair.utf8), pair.sjis) << pair.name;
  }
}

TEST(TextEncoding, ReplacesWhatCannotBeConverted) {
  const Pair cases[] = {
      {"single 0x80", "a\x80" "b", "a?b"},
      {"single 0xA0", "\xA0", "?"},
      {"single 0xFD", "\xFD" "x", "?x"},
      {"lead byte before a byte that cannot trail", "\x81\x20" "z", "? z"},
      {"unassigned double-byte pair is one character", "\x85\x40" "z", "?z"},
      {"lead byte at the end", "ab\x82", "ab?"},
  };
  for (const Pair& c : cases) EXPECT_EQ(Cp932ToUtf8(c.sjis), c.utf8) << c.name;

  const Pair reverse[] = {
      {"emoji has no code page 932 form", "a?b", "a\xF0\x9F\x98\x80" "b"},
      {"invalid byte", "?x", "\xFF" "x"},
      {"cut-off sequence at the end", "x?", "x\xE8\xA1"},
  };
  for (const Pair& c : reverse) EXPECT_EQ(Utf8ToCp932(c.utf8), c.sjis) << c.name;
}

TEST(TextEncoding, LeadByteFollowedByNulIsOneByte) {
  const std::string text("\x82\0\x41", 3);
  EXPECT_EQ(Cp932ToUtf8(text), "?");
}

// The text sits at the very end of a heap block of its exact size, so AddressSanitizer sees any
// read past it; the results show a cut-off character was read as one and not more. The code page
// 932 results are iconv's, the cut-off characters one "?" each.
TEST(TextEncoding, NeverReadsPastTheText) {
  struct Case {
    std::string input, utf8, sjis;
  };
  const Case cases[] = {
      {"\x82", "?", "?"},
      {"a\x95", "a?", "a?"},
      {"\x81\x60\x82", "\xEF\xBD\x9E?", "?`?"},  // ～ and a lone lead byte; three bad bytes
      {"\xE8\xA1", "\xE9\x99\xA6", "?"},          // 陦 in code page 932; a cut-off UTF-8 character
  };
  for (const Case& c : cases) {
    auto block = std::make_unique<char[]>(c.input.size());
    std::memcpy(block.get(), c.input.data(), c.input.size());
    const std::string_view text(block.get(), c.input.size());
    EXPECT_EQ(Cp932ToUtf8(text), c.utf8) << c.input;
    EXPECT_EQ(Utf8ToCp932(text), c.sjis) << c.input;
  }
}

TEST(TextEncoding, OneStringInSeveralFramings) {
  const std::string sjis = "\x95\x5C\x8E\xA6\x81\x60\x83\x65\x83\x58\x83\x67";  // 表示～テスト
  const std::string utf8 = "\xE8\xA1\xA8\xE7\xA4\xBA\xEF\xBD\x9E\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";
  // No terminator: exactly the text.
  EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
  // NUL-terminated, in a larger fixed buffer.
  char buffer[64] = {};
  std::memcpy(buffer, sjis.data(), sjis.size());
  EXPECT_EQ(Cp932ToUtf8(std::string_view(buffer, sizeof buffer)), utf8);
  // Trailing garbage after the terminator is not converted.
  const std::string garbage = sjis + std::string("\0\x81\xFF junk", 8);
  EXPECT_EQ(Cp932ToUtf8(garbage), utf8);
  // CRLF line ends are kept as they are.
  EXPECT_EQ(Cp932ToUtf8(sjis + "\r\n" + sjis + "\r\n"), utf8 + "\r\n" + utf8 + "\r\n");
  EXPECT_EQ(Utf8ToCp932(utf8 + "\r\n"), sjis + "\r\n");
}

TEST(TextEncoding, LongTextCrossesTheWorkBuffer) {
  std::string sjis, utf8;
  for (int i = 0; i < 1000; ++i) {
    sjis += "\x95\x5C" "a";
    utf8 += "\xE8\xA1\xA8" "a";
  }
  sjis += "\x80";  // an invalid byte at the very end of a long text
  utf8 += "?";
  EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
}

// The cut at a byte limit that every buffer and field size uses: never half a double-byte
// character, and never a read past the text (it sits at the end of an exactly sized block).
TEST(TextEncoding, PrefixWithinCutsOnCharacterBoundaries) {
  struct Case {
    const char* name;
    std::string text;
    size_t limit;
    size_t kept;
  };
  const Case cases[] = {
      {"shorter than the limit", "abc", 10, 3},
      {"exactly the limit", "abc", 3, 3},
      {"single bytes cut anywhere", "abcdef", 4, 4},
      {"limit 0", "\x82\xA0", 0, 0},
      {"whole character at the limit", "a\x82\xA0" "b", 3, 3},
      {"half a character is left out", "a\x82\xA0" "b", 2, 1},
      {"trail byte that looks like a lead byte", "\x81\x81\x81\x81" "x", 3, 2},
      {"half-width katakana are single bytes", "\xB1\xB2\xB3", 2, 2},
      {"0xFD is no lead byte", "\xFD\xFD\xFD", 2, 2},
      {"0xFC is a lead byte", "\xFC\x40\xFC\x40", 3, 2},
      {"lead byte at the end is one byte", "ab\x82", 5, 3},
      {"lead byte at the end, cut before it", "abcd\x82", 4, 4},
      {"lead byte last inside the limit", "ab\x82", 3, 3},
      {"lead byte takes a NUL with it", std::string("a\x82\0b", 4), 2, 1},
      {"empty", "", 5, 0},
  };
  for (const Case& c : cases) {
    auto block = std::make_unique<char[]>(c.text.size());
    std::memcpy(block.get(), c.text.data(), c.text.size());
    EXPECT_EQ(Cp932PrefixWithin(std::string_view(block.get(), c.text.size()), c.limit), c.kept)
        << c.name;
  }
}

// The lead-byte ranges' edges (half-width katakana 0xA1..0xDF are single bytes).
TEST(TextEncoding, LeadBytes) {
  const std::pair<uint8_t, bool> cases[] = {{0x40, false}, {0x80, false}, {0x81, true},
                                            {0x9F, true},  {0xA0, false}, {0xDF, false},
                                            {0xE0, true},  {0xFC, true},  {0xFD, false}};
  for (const auto& [byte, lead] : cases) EXPECT_EQ(IsCp932LeadByte(byte), lead) << int{byte};
}

}  // namespace
}  // namespace korvel::platform
