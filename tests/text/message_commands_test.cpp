// The message commands in compiled games: appended ops and their style, value texts, the end of a
// text block, settings and marks of command 81, reads of command 82, and the overflow checks.
#include <gtest/gtest.h>

#include <string>

#include "param_names.h"
#include "platform/text_encoding.h"
#include "script/sysvar_game_env.h"
#include "text/message_commands.h"
#include "text/message_player.h"
#include "text/message_start.h"
#include "text/message_text_state.h"

namespace korvel {
namespace {

using test::PrintTo;

using test::Trace;

class MessageCommandTest : public test::CommandGameTest {
 protected:
  void SetUp() override {
    CommandGameTest::SetUp();
    RegisterMessageCommandHandlers();
    ASSERT_EQ(StartMessageText(), 0);
  }
  void TearDown() override {
    FreeMessageTextState();
    g_task_message_step = nullptr;
    CommandGameTest::TearDown();
  }
  // Loads `body` after SYSTEM_START (then an endless wait) and runs one tick.
  void RunBody(const std::string& body, const std::string& head = "") {
    Load(head + "label SYSTEM_START\n" + body + "\nloop -1\n  WAIT 0=( 1 )\nend\n");
    RunTicks(1);
  }
  // As RunBody, with command 95's parameter given the evaluation kind `kind` in krc.kbn.
  void RunBodyWithValueKind(uint8_t kind, const std::string& body, const std::string& head = "") {
    LoadEdited(head + "label SYSTEM_START\n" + body + "\nloop -1\n  WAIT 0=( 1 )\nend\n",
               [kind](tools::CompiledGame* game) {
                 game->commands[kCommandMessageValue].params = {{"value", kind, 0}};
               });
    RunTicks(1);
  }
  static std::string Ops() {
    return std::string(reinterpret_cast<const char*>(g_message->ops),
                       static_cast<size_t>(g_message->op_count));
  }
  static std::string Chars() {
    return std::string(reinterpret_cast<const char*>(g_message->characters),
                       static_cast<size_t>(g_message->char_count));
  }
};

TEST_F(MessageCommandTest, TextAppendsOneOpPerCharacterWithItsDelay) {
  RunBody("MSGSET 10=( 100 )\nTEXT 0=( \"あa\" )");
  EXPECT_EQ(Ops(), "21");
  EXPECT_EQ(Chars(), platform::Utf8ToCp932("あa"));
  EXPECT_EQ(g_message->delays[0], 100);
  EXPECT_EQ(g_message->delays[1], 50);
  EXPECT_EQ(g_message->advances[0], 20);
  EXPECT_EQ(g_message->line_heights[1], 20);
  EXPECT_EQ(g_message->colours[0], 0xFFFFFFu);
  EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
}

// Delays are kept within the op's 16-bit field: a longer one would read back negative and make the
// player wait for ever.
TEST_F(MessageCommandTest, DelaysAreClampedToTheOpField) {
  RunBody("MSGSET 10=( 100000 )\nTEXT 0=( \"あa\" )\nMSGSET 10=( -5 )\nTEXT 0=( \"あ\" )");
  EXPECT_EQ(g_message->delays[0], 32767);
  EXPECT_EQ(g_message->delays[1], 16383);
  EXPECT_EQ(g_message->delays[2], 0);
}

struct ValueCase {
  const char* name;
  const char* arg;       // the VALUE command's argument
  const char* expected;  // UTF-8 text appended
};

class ValueTest : public MessageCommandTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, AppendsTheValuesText) {
  RunBody(std::string("VALUE ") + GetParam().arg, ".sysvar 105 string byte[256]\n");
  EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
  EXPECT_EQ(Chars(), platform::Utf8ToCp932(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueTest,
    ::testing::Values(ValueCase{"NegativeInteger", "0=( -5 )", "-5"},
                      ValueCase{"Real", "0:2=( 1.5 )", "1.5"},
                      ValueCase{"WholeReal", "0:2=( 4 )", "4"},
                      ValueCase{"Text", "0:3=( \"あ\" )", "あ"},
                      ValueCase{"TabBecomesASpace", "0:3=( $byte[ 9 ] )", " "},
                      ValueCase{"DeleteBecomesASpace", "0:3=( $byte[ 127 ] )", " "},
                      // A lone lead byte is one byte, shown as a space.
                      ValueCase{"LoneLeadByte", "0:3=( $byte[ 130 ] )", " "}),
                         test::CaseName());

// The compiler may give command 95's parameter the string or the number kind in place of raw: the
// value is then what the decoder made of it, and the length checks hold all the same.
struct ValueKindCase {
  const char* name;
  uint8_t kind;          // 0 number, 1 string
  const char* body;      // the script after SYSTEM_START
  const char* expected;  // the appended text (UTF-8)
};

class ValueKindTest : public MessageCommandTest,
                      public ::testing::WithParamInterface<ValueKindCase> {};

TEST_P(ValueKindTest, AppendsWhatTheDecoderMadeOfTheValue) {
  const ValueKindCase& c = GetParam();
  RunBodyWithValueKind(c.kind, c.body, ".sysvar 105 string byte[256]\n");
  EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
  EXPECT_EQ(Chars(), platform::Utf8ToCp932(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ValueKindTest,
    ::testing::Values(
        ValueKindCase{"NumberKind", 0, "VALUE 0=( -5 )", "-5"},
        ValueKindCase{"NumberKindRealTruncates", 0, "VALUE 0:2=( 2.5 )", "2"},
        ValueKindCase{"StringKind", 1, "VALUE 0:3=( \"あ\" )", "あ"},
        // The decoder makes no text of a number for a string parameter.
        ValueKindCase{"StringKindInteger", 1, "VALUE 0=( 42 )", ""},
        ValueKindCase{"StringKindTabBecomesASpace", 1, "VALUE 0:3=( $byte[ 9 ] )", " "}),
    test::CaseName());

// The length checks hold for a value of the string kind: 1,025 bytes are one too many for a value,
// and nine values of 1,000 bytes pass the characters buffer.
TEST_F(MessageCommandTest, StringKindValueLongerThanAValueIsAnError) {
  RunBodyWithValueKind(1, "VALUE 0:3=( \"" + std::string(1025, 'a') + "\" )");
  EXPECT_EQ(LastCode(), 102030);
  EXPECT_EQ(g_message->char_count, 0);
}

TEST_F(MessageCommandTest, StringKindValuesPastTheBufferAreAnError) {
  RunBodyWithValueKind(1, "loop 9\n  VALUE 0:3=( \"" + std::string(1000, 'a') + "\" )\nend");
  EXPECT_EQ(LastCode(), 102000);
  EXPECT_EQ(g_message->char_count, 8000);
}

TEST(MessageValueText, RealsUseTheShortestRoundTrip) {
  EXPECT_EQ(RealValueText(0.1), "0.1");
  EXPECT_EQ(RealValueText(-2.0), "-2");
  EXPECT_EQ(RealValueText(1e21), "1e+21");
  EXPECT_EQ(RealValueText(1.0 / 3.0), "0.3333333333333333");
}

TEST_F(MessageCommandTest, TextLongerThanTheBufferIsAnError) {
  // 8,190 bytes fit; one more does not.
  RunBody("loop 819\n  TEXT 0=( \"abcdefghij\" )\nend\nTEXT 0=( \"k\" )");
  EXPECT_EQ(LastCode(), 102000);
  EXPECT_EQ(g_message->char_count, 8190);
  EXPECT_EQ(g_message->op_count, 8190);
}

// Marks alone never pass the op buffer either.
TEST_F(MessageCommandTest, MarksBeyondTheOpBufferAreAnError) {
  RunBody("loop 9000\n  MSGSET 11=( 1 )\nend");
  EXPECT_EQ(LastCode(), 102000);
  EXPECT_EQ(g_message->op_count, 8191);
}

TEST_F(MessageCommandTest, EndMarksTheBlockAndHandsTheTaskToThePlayer) {
  RunBody("MSGSET 1=( 0 )\nMSGEND\ntrace 1");
  ScriptTask& system = TaskRef("SYSTEM");
  EXPECT_EQ(Ops(), "E");
  EXPECT_EQ(system.message_busy, 1);
  EXPECT_EQ(system.message_position[0], 0u);  // script 0
  EXPECT_EQ(system.message_position[1], system.command_index - 1);  // MSGEND's own index
  EXPECT_TRUE(Trace().empty());
  RunTicks(1);  // not shown: the block ends at once and the task runs on in the same tick
  EXPECT_EQ(system.message_busy, 0);
  EXPECT_EQ(g_message->op_count, 0);
  EXPECT_EQ(Trace(), std::vector<int64_t>{1});
}

TEST_F(MessageCommandTest, DefaultEndingWaitsForAClickThenClearsThePage) {
  RunBody("TEXT 0=( \"あ\" )\nMSGEND");
  EXPECT_EQ(Ops(), "2CRPE");
  EXPECT_EQ(g_message->line_heights[2], 20);  // the new line records its height
}

TEST_F(MessageCommandTest, SetKeysStoreNoKeyOutsideTheKeyCodes) {
  RunBody("MSGSET 2=( 0 ) 3=( 5000 ) 4=( 65 ) 6=( -1 ) 7=( 1023 )");
  EXPECT_EQ(g_message_player.pressed_keys[0], kNoKey);
  EXPECT_EQ(g_message_player.pressed_keys[1], kNoKey);
  EXPECT_EQ(g_message_player.pressed_keys[2], 65);
  EXPECT_EQ(g_message_player.held_keys[0], kNoKey);
  EXPECT_EQ(g_message_player.held_keys[1], 1023);
}

TEST_F(MessageCommandTest, ClickMarkYieldsAndSkipsTheRestWhenShown) {
  RunBody("MSGSET 15=( 1 ) 11=( 1 ) 17=( 0 )\ntrace 1");
  EXPECT_EQ(Ops(), "C");
  EXPECT_EQ(g_message->end_new_line, 1u);
  EXPECT_TRUE(Trace().empty());
}

TEST_F(MessageCommandTest, MarksInTableOrderAndForcedFinish) {
  RunBody("MSGSET 1=( 0 ) 15=( 1 ) 11=( 1 ) 12=( 1 ) 13=( 1 ) 14=( 1 ) 18=( 0 )\n"
          "trace 1");
  EXPECT_EQ(Ops(), "CRPrp");
  EXPECT_EQ(g_message->end_page_clear, 0u);
  EXPECT_EQ(Trace(), std::vector<int64_t>{1});
  ResetReports();
  RunBody("TEXT 0=( \"abc\" )\nMSGSET 16=( 1 )");
  EXPECT_EQ(g_message->op_count, 0);
  EXPECT_EQ(g_message->char_count, 0);
}

TEST_F(MessageCommandTest, GetReadsTheFirstGivenPosition) {
  RunBody("MSGSET 19=( 0 )\nMSGGET 8=( $v ) 7=( 1 ) 1=( 1 )\nMSGGET 8=( $w ) 7=( 1 )",
          ".global int v\n.global int w\n");
  EXPECT_EQ(Int(Var(0)), 1);  // position 1, the shown flag
  EXPECT_EQ(Int(Var(1)), 0);  // end with click wait, cleared above
}

TEST_F(MessageCommandTest, MissingTargetLayerIsAnError) {
  RunBody("MSGSET 0=( \"nowhere\" )");
  EXPECT_EQ(LastCode(), 101250);
  EXPECT_EQ(g_message->target, nullptr);
}

}  // namespace
}  // namespace korvel
