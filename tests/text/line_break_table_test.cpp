// The line-breaking table's bytes against iconv's code page 932 conversion of the same characters.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "text/line_break_table.h"

namespace korvel {
namespace {

std::string IconvCp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string in = utf8, out(16, '\0');
  char* src = in.data();
  char* dst = out.data();
  size_t left = in.size(), room = out.size();
  EXPECT_NE(iconv(cd, &src, &left, &dst, &room), static_cast<size_t>(-1)) << utf8;
  iconv_close(cd);
  out.resize(out.size() - room);
  return out;
}

TEST(LineBreakTable, EverySlotHoldsIconvsBytesInOrder) {
  const char* const kUtf8[kLineBreakSlots] = {
      "）", "』", "」", "、", "。", "ッ", "ョ", "ュ", "ャ", "ォ", "ェ", "ゥ", "ィ", "ァ",
      "っ", "ょ", "ゅ", "ゃ", "ぉ", "ぇ", "ぅ", "ぃ", "ぁ", "？", "！", "（", "『", "「"};
  for (int32_t i = 0; i < kLineBreakSlots; ++i) {
    const std::string want = IconvCp932(kUtf8[i]);
    ASSERT_EQ(want.size(), 2u) << kUtf8[i];
    const LineBreakSlot& slot = LineBreakTable[static_cast<size_t>(i)];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot.data()), 2), want) << kUtf8[i];
    EXPECT_EQ(slot[2], 0) << kUtf8[i];
    EXPECT_EQ(slot[3], 0) << kUtf8[i];
  }
}

TEST(LineBreakTable, MatchesWholeCharactersOnly) {
  const std::string stop = IconvCp932("。");
  const auto* bytes = reinterpret_cast<const uint8_t*>(stop.c_str());
  EXPECT_TRUE(IsNoBeginCharacter(bytes));
  const uint8_t lead_only[2] = {bytes[0], 0};
  EXPECT_FALSE(IsNoBeginCharacter(lead_only));
  const std::string kanji = IconvCp932("漢");
  EXPECT_FALSE(IsNoBeginCharacter(reinterpret_cast<const uint8_t*>(kanji.c_str())));
  const std::string bang = IconvCp932("！");
  EXPECT_TRUE(MatchesLineBreakSlot(reinterpret_cast<const uint8_t*>(bang.c_str()), kExclamationSlot));
  EXPECT_FALSE(IsNoBeginCharacter(reinterpret_cast<const uint8_t*>(bang.c_str())));
}

}  // namespace
}  // namespace korvel
