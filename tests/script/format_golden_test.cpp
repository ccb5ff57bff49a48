// The scramble key and the script file layout, pinned byte for byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "lib/expression_builder.h"
#include "lib/krbin_writer.h"
#include "script/format_constants.h"

namespace korvel {
namespace {

TEST(FormatGolden, ScrambleKeyIsTheCrc32OfItsTextMostSignificantByteFirst) {
  // zlib's CRC-32 of the fixed text: an independent computation of the key.
  const uint32_t crc = static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(kScrambleKeyText), sizeof kScrambleKeyText - 1));
  EXPECT_EQ(kScrambleKeyCrc, crc);
  EXPECT_STREQ(kScrambleKeyText, "korvel/krbin section key 1");
  // Pinned: changing the text or its use changes every compiled game.
  const uint8_t expected[4] = {0xF1, 0x09, 0x86, 0x77};
  EXPECT_EQ(std::memcmp(kScrambleKey, expected, 4), 0)
      << std::hex << int(kScrambleKey[0]) << " " << int(kScrambleKey[1]) << " "
      << int(kScrambleKey[2]) << " " << int(kScrambleKey[3]);
}

TEST(FormatGolden, OneCommandScriptFileScrambled) {
  // Command 87 (wait) with one argument, parameter 0 = the literal 1, on source line 7.
  tools::ExprBuilder one;
  one.Int(1);  // 'B', 1, 0, 0x01
  tools::SceneCommand wait{87, {tools::SceneArg{0, 1, 0, one.code, false, 0}}, 7};
  const std::vector<uint8_t> file = tools::WriteSceneFile({wait});

  const uint8_t* k = kScrambleKey;
  std::vector<uint8_t> expected = {
      'K', 'R', 'B', 'N', 1, 0, 0, 0,  // not read
      1, 0, 0, 0,                      // one command
      4, 0, 0, 0,                      // command section
      12, 0, 0, 0,                     // argument section
      4, 0, 0, 0,                      // expression section
      4, 0, 0, 0,                      // line section
      0, 0, 0, 0,                      // not read
  };
  const uint8_t sections[][12] = {
      {87, 1, 0, 0},                            // command 87, one argument
      {0, 0, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0},     // parameter 0, type 1, length 4, offset 0
      {'B', 1, 0, 1},                           // push 1
      {7, 0, 0, 0},                             // line 7
  };
  const size_t sizes[] = {4, 12, 4, 4};
  for (int s = 0; s < 4; ++s) {
    for (size_t i = 0; i < sizes[s]; ++i) expected.push_back(sections[s][i] ^ k[i % 4]);
  }
  EXPECT_EQ(file, expected);
}

}  // namespace
}  // namespace korvel
