// The typed formatter: directives, flags, length prefixes, missing arguments and bounded output.
#include "core/text_format.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace korvel {
namespace {

struct FormatCase {
  const char* name;
  std::string format;
  std::vector<FormatArg> args;
  std::string expected;
};

const char* const kNullText = nullptr;

std::vector<FormatCase> Cases() {
  return {
      {"decimal", "%d", {42}, "42"},
      {"negative", "%d", {-42}, "-42"},
      {"i", "%i", {7}, "7"},
      {"unsigned of a negative int is 32 bits", "%u", {-1}, "4294967295"},
      {"hex", "%x|%X", {255, 255}, "ff|FF"},
      {"hex alternate", "%#x|%#X|%#x", {255, 171, 0}, "0xff|0XAB|0"},
      {"hex of a negative int is 32 bits", "%x", {-1}, "ffffffff"},
      {"hex of a negative int64 is 64 bits", "%x", {int64_t{-1}}, "ffffffffffffffff"},
      {"char", "%c%c", {'A', 66}, "AB"},
      {"char width", "[%3c|%-3c]", {'A', 'B'}, "[  A|B  ]"},
      {"char zero prints nothing", "a%cb", {0}, "ab"},
      {"string", "%s", {"abc"}, "abc"},
      {"string width", "[%5s|%-5s]", {"abc", "abc"}, "[  abc|abc  ]"},
      {"string precision", "%.2s", {"abcdef"}, "ab"},
      {"string precision keeps double-byte characters whole", "%.3s",
       {"\x82\xa0\x82\xa2"}, "\x82\xa0"},
      {"string precision at a boundary", "%.4s", {"\x82\xa0\x82\xa2x"}, "\x82\xa0\x82\xa2"},
      {"null string", "%s", {kNullText}, "(null)"},
      {"string view is read to its length", "[%s]", {std::string_view("abcdef").substr(1, 3)},
       "[bcd]"},
      {"string view with precision", "[%.2s]", {std::string_view("abcdef").substr(1, 3)},
       "[bc]"},
      {"NUL inside a string view ends it", "[%s]", {std::string_view("ab\0cd", 5)}, "[ab]"},
      {"zero pad", "%05d", {42}, "00042"},
      {"zero pad negative", "%05d", {-42}, "-0042"},
      {"left", "[%-5d]", {42}, "[42   ]"},
      {"left wins over zero", "[%-05d]", {42}, "[42   ]"},
      {"plus", "%+d|%+d", {5, -5}, "+5|-5"},
      {"space", "% d|% d", {5, -5}, " 5|-5"},
      {"plus is for signed only", "%+u", {5}, "5"},
      {"precision is minimum digits", "%.3d|%5.3d", {7, 7}, "007|  007"},
      {"precision cancels zero pad", "%05.3d", {7}, "  007"},
      {"zero precision of zero", "[%.0d]", {0}, "[]"},
      {"hex width", "%08X", {0xBEEF}, "0000BEEF"},
      {"I64d INT64_MIN", "%I64d", {INT64_MIN}, "-9223372036854775808"},
      {"lld INT64_MIN", "%lld", {INT64_MIN}, "-9223372036854775808"},
      {"I64u max", "%I64u", {UINT64_MAX}, "18446744073709551615"},
      {"I64x", "%I64x", {int64_t{-1}}, "ffffffffffffffff"},
      {"I64d widens an int", "%I64d", {-1}, "-1"},
      {"I64u of a negative int", "%I64u", {-1}, "18446744073709551615"},
      {"ld is 32 bits", "%ld|%lu", {-3, -1}, "-3|4294967295"},
      {"I32d", "%I32d", {-3}, "-3"},
      {"int32 min", "%d", {INT32_MIN}, "-2147483648"},
      {"int64 argument with plain d", "%d", {int64_t{5000000000}}, "5000000000"},
      {"unsigned char argument", "%u", {static_cast<unsigned char>(200)}, "200"},
      {"n prints nothing and takes nothing", "a%nb%d", {5}, "ab5"},
      {"percent", "100%%", {}, "100%"},
      {"percent with flags", "%5%", {}, "%"},
      {"missing arguments print literally", "%d and %-5s", {}, "%d and %-5s"},
      {"missing after some", "%s=%d", {"x"}, "x=%d"},
      {"missing I64 prints literally", "[%I64d]", {}, "[%I64d]"},
      {"lone percent at the end", "abc%", {}, "abc%"},
      {"unfinished directive at the end", "abc%-05", {1}, "abc%-05"},
      {"unfinished length at the end", "abc%I64", {1}, "abc%I64"},
      {"unknown conversion prints literally and takes nothing", "%f %d", {5}, "%f 5"},
      {"star is not understood", "%*d", {5}, "%*d"},
      {"string given to d", "%d|%d", {"s", 4}, "%d|4"},
      {"number given to s", "%s|%s", {-4, 4u}, "-4|4"},
      {"bool", "%d%d", {true, false}, "10"},
      {"extra arguments are ignored", "%d", {1, 2}, "1"},
      {"NUL ends the format", std::string("ab\0%d", 5), {1}, "ab"},
      {"double-byte text passes through", "\x83\\%s", {"x"}, "\x83\\x"},
  };
}

TEST(TextFormat, Directives) {
  for (const FormatCase& c : Cases()) {
    EXPECT_EQ(FormatText(c.format, c.args), c.expected) << c.name;
  }
}

// Output into an exact-size heap block, so any write past it is caught by the address sanitizer.
std::string FormatIntoExactBuffer(size_t size, std::string_view format,
                                  std::span<const FormatArg> args, size_t* length) {
  auto buffer = std::make_unique<char[]>(size);
  *length = FormatText(buffer.get(), size, format, args);
  EXPECT_EQ(buffer[*length], '\0');
  EXPECT_EQ(std::strlen(buffer.get()), *length);
  return std::string(buffer.get(), *length);
}

TEST(TextFormat, TruncatesAtTheLimitOnACharacterBoundary) {
  struct Case {
    const char* name;
    std::string format;
    size_t expected_length;
  };
  const std::string a1021(1021, 'a');
  const std::string a1022(1022, 'a');
  const Case cases[] = {
      {"plain overlong", std::string(3000, 'x'), 1023},
      {"fits exactly", std::string(1023, 'x'), 1023},
      {"double-byte character ends exactly at the limit", a1021 + "\x82\xa0", 1023},
      {"double-byte character straddles the limit", a1022 + "\x82\xa0", 1022},
      {"double-byte text", [] {
         std::string s;
         for (int i = 0; i < 600; ++i) s += "\x82\xa0";
         return s;
       }(), 1022},
      {"huge width", "%999999999999d", 1023},
      {"huge precision", "%.999999999999d", 1023},
  };
  for (const Case& c : cases) {
    size_t length = 0;
    const std::array<FormatArg, 1> args{7};
    const std::string out = FormatIntoExactBuffer(1024, c.format, args, &length);
    EXPECT_EQ(length, c.expected_length) << c.name;
    if (c.format[0] != '%') {
      EXPECT_EQ(out, c.format.substr(0, length)) << c.name;
    }
  }
}

TEST(TextFormat, TruncatesArgumentsAndSmallBuffers) {
  size_t length = 0;
  // A string argument that crosses the limit with a double-byte character.
  const std::string text = "ab\x82\xa0";
  const std::array<FormatArg, 1> args{text};
  EXPECT_EQ(FormatIntoExactBuffer(4, "%s", args, &length), "ab");
  EXPECT_EQ(FormatIntoExactBuffer(5, "%s", args, &length), "ab\x82\xa0");
  EXPECT_EQ(FormatIntoExactBuffer(1, "%s", args, &length), "");
  // Numbers and padding are cut like any other output.
  const std::array<FormatArg, 1> number{123456};
  EXPECT_EQ(FormatIntoExactBuffer(4, "%d", number, &length), "123");
  EXPECT_EQ(FormatIntoExactBuffer(4, "%10d", number, &length), "   ");
  // A zero-size buffer is left alone.
  EXPECT_EQ(FormatText(nullptr, 0, "x", {}), 0u);
  // The string form takes its limit.
  EXPECT_EQ(FormatText("abcdef", {}, 3), "abc");
}

TEST(TextFormat, SjisPrefixLength) {
  EXPECT_EQ(SjisPrefixLength("abc", 5), 3u);
  EXPECT_EQ(SjisPrefixLength("abc", 2), 2u);
  EXPECT_EQ(SjisPrefixLength("a\x82\xa0", 2), 1u);
  EXPECT_EQ(SjisPrefixLength("a\x82\xa0", 3), 3u);
  EXPECT_EQ(SjisPrefixLength("\x83\\\\", 2), 2u);  // trail byte 0x5C is part of the character
  EXPECT_EQ(SjisPrefixLength("\x83\\\\", 1), 0u);
}

TEST(TextFormat, VariadicHelperKeepsTypes) {
  const std::string t = "t";
  const auto args = MakeFormatArgs(1, int64_t{2}, 3u, "s", 'c', t);
  EXPECT_EQ(args[0].kind, FormatArg::Kind::kSigned);
  EXPECT_FALSE(args[0].wide);
  EXPECT_TRUE(args[1].wide);
  EXPECT_EQ(args[2].kind, FormatArg::Kind::kUnsigned);
  EXPECT_EQ(args[3].kind, FormatArg::Kind::kString);
  EXPECT_EQ(args[4].kind, FormatArg::Kind::kChar);
  EXPECT_EQ(args[5].kind, FormatArg::Kind::kString);
  EXPECT_EQ(FormatText("%d %d %u %s %c %s", args), "1 2 3 s c t");
}

}  // namespace
}  // namespace korvel
