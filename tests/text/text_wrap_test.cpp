// Line wrapping at the layer's right edge and bottom, and the Japanese line-breaking rules, as one
// table of cases.
#include <gtest/gtest.h>

#include "message_test_env.h"
#include "param_names.h"
#include "text/text_wrap.h"

namespace korvel {
namespace {

using test::PrintTo;

struct WrapCase {
  const char* name;
  int32_t w, h;          // layer size
  const char* text;      // UTF-8; each character one op
  int16_t next_height;   // line height of the second op (0: as appended)
  uint8_t follow_mark;   // a mark appended after the text (0: none)
  int32_t pen_x, pen_y;  // before the call
  int32_t result;
  int32_t want_x, want_y;
  int32_t want_char_index;  // -1: the character count (dropped)
  int32_t want_op_index;
};

class WrapTest : public test::MessageEnv, public ::testing::WithParamInterface<WrapCase> {};

TEST_P(WrapTest, PlacesTheCharacter) {
  const WrapCase& c = GetParam();
  MakeLayer(c.w, c.h);
  Text(c.text);
  if (c.follow_mark != 0) {
    ASSERT_EQ(AppendMessageMark(c.follow_mark, false), 0);
  }
  if (c.next_height != 0) g_message->line_heights[1] = c.next_height;
  g_message->pen_x = c.pen_x;
  g_message->pen_y = c.pen_y;
  EXPECT_EQ(WrapTextLine(&node_), c.result);
  EXPECT_EQ(g_message->pen_x, c.want_x);
  EXPECT_EQ(g_message->pen_y, c.want_y);
  EXPECT_EQ(g_message->char_index,
            c.want_char_index < 0 ? g_message->char_count : c.want_char_index);
  EXPECT_EQ(g_message->op_index, c.want_op_index);
  EXPECT_LE(g_message->char_index, g_message->char_count);
  // Drawn here: there is ink; placed for the caller or dropped: none.
  EXPECT_EQ(Ink(), c.result == -1 && c.want_char_index > 0);
}

// Advance and line height 20 throughout; W = 100 makes x = 60 the last column.
INSTANTIATE_TEST_SUITE_P(
    Rules, WrapTest,
    ::testing::Values(
        WrapCase{"KanjiFitsAtTheLeft", 100, 100, "漢", 0, 0, 0, 0, 0, 0, 0, 0, 0},
        WrapCase{"KanjiInTheLastColumnMovesOn", 100, 100, "漢", 0, 0, 60, 0, 0, 0, 20, 0, 0},
        WrapCase{"FullStopHangsInTheLastColumn", 100, 100, "。", 0, 0, 60, 0, -1, 80, 0, 2, 0},
        WrapCase{"SmallKanaHangs", 100, 100, "ゃ", 0, 0, 60, 0, -1, 80, 0, 2, 0},
        WrapCase{"OneByteNeverHangs", 100, 100, "a", 0, 0, 60, 0, 0, 0, 20, 0, 0},
        WrapCase{"PastTheEdgeMovesOn", 100, 100, "。", 0, 0, 80, 0, 0, 0, 20, 0, 0},
        WrapCase{"OpeningQuoteWithThreeColumnsMovesOn", 100, 100, "「", 0, 0, 20, 0, 0, 0, 20, 0,
                 0},
        WrapCase{"OpeningQuoteWithFourColumnsStays", 100, 100, "「", 0, 0, 0, 0, 0, 0, 0, 0, 0},
        WrapCase{"OpeningParenNearTheEnd", 100, 100, "（", 0, 0, 40, 0, 0, 0, 20, 0, 0},
        WrapCase{"BangQuestionPairDrawnTogether", 100, 100, "！？", 0, 0, 40, 0, -1, 80, 0, 4, 1},
        WrapCase{"BangAloneInTheLastColumnMovesOn", 100, 100, "！", 0, 0, 60, 0, 0, 0, 20, 0, 0},
        WrapCase{"BangBeforeAnotherCharacterStays", 100, 100, "！漢", 0, 0, 40, 0, 0, 40, 0, 0, 0},
        WrapCase{"BottomDrops", 100, 50, "漢", 0, 0, 0, 30, -1, 0, 30, -1, 0},
        WrapCase{"NewLineIntoTheBottomDrops", 100, 50, "漢", 0, 0, 80, 20, -1, 0, 40, -1, 0},
        // The bottom test reads the following character's line height.
        WrapCase{"TallerNextCharacterMovesTheDropPoint", 100, 50, "漢字", 30, 0, 0, 20, -1, 0,
                 20, -1, 0},
        WrapCase{"SameHeightNextCharacterFits", 100, 50, "漢字", 0, 0, 0, 20, 0, 0, 20, 0, 0},
        // The last op of the message, and a character before a mark that records no line height,
        // are tested with their own line height (a zero there would let the glyph pass the bottom).
        WrapCase{"LastOpUsesItsOwnHeight", 100, 50, "漢", 0, 0, 0, 28, -1, 0, 28, -1, 0},
        WrapCase{"BeforeAMarkUsesItsOwnHeight", 100, 50, "漢", 0, kOpClickWait, 0, 28, -1, 0, 28,
                 -1, 0}),
                         test::CaseName());

using WrapDropTest = test::MessageEnv;

TEST_F(WrapDropTest, DroppedTextStaysDroppedAndTheIndexNeverPassesTheCount) {
  MakeLayer(100, 50);
  Text("漢字");
  g_message->pen_y = 40;
  ASSERT_EQ(WrapTextLine(&node_), -1);
  g_message->op_index = 1;
  g_message->pen_y = 0;  // even with room again, nothing is left to draw
  EXPECT_EQ(WrapTextLine(&node_), -1);
  EXPECT_EQ(g_message->char_index, g_message->char_count);
  EXPECT_FALSE(Ink());
}

}  // namespace
}  // namespace korvel
