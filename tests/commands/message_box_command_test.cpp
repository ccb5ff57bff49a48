// Command 10 through the headless answers: the flags made from its indexes, the answer mapping by
// buttons, the input dialog's text with its limit, the dialog log lines, and a dialog without an
// answer ending the run.
#include <gtest/gtest.h>

#include <string>

#include "command_args.h"
#include "commands/message_box_command.h"
#include "core/error_report.h"
#include "core/input_state.h"
#include "core/window_record.h"
#include "engine_fixture.h"
#include "platform/headless/headless_api.h"
#include "platform/input_dialog.h"
#include "script/variables.h"

namespace korvel {
namespace {

using namespace platform;

class MessageBoxCommandTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    OpenWindowZero(64, 48);
    InitInputState();
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    const uint32_t one[] = {1};
    ASSERT_EQ(FillVarIntInit(kInt, 1, one, -1), 0);
    ASSERT_EQ(FillVarRealInit(kReal, 1, one, -1.0), 0);
    ASSERT_EQ(FillVarStringInit(kStr, 1, one, "old"), 0);
  }
  void TearDown() override {
    test::ResetCommandArgs();
    FreeVariableRecords();
    FreeWindowRecords();
    HeadlessEngine::TearDown();
  }
  static void Answer(const std::string& line) {
    std::string error;
    ASSERT_TRUE(QueueHeadlessAnswer(line, &error)) << error;
  }
  static constexpr uint32_t kInt = 1000, kReal = 1001, kStr = 1002;
};

TEST_F(MessageBoxCommandTest, FlagsFromIndexes) {
  const struct {
    std::initializer_list<std::pair<uint8_t, int64_t>> args;
    uint32_t flags;
  } cases[] = {
      {{}, kMbOk},
      {{{13, 0}}, kMbOkCancel},
      {{{14, 0}}, kMbYesNo},
      {{{15, 0}}, kMbYesNoCancel},
      {{{15, 0}, {13, 0}}, kMbYesNoCancel},  // the last of 13, 14, 15 in this order wins
      {{{13, 0}, {14, 0}}, kMbYesNo},
      {{{18, 2}, {19, 1}}, kMbDefButton2 | kMbIconInformation},
      {{{18, 3}, {19, 2}}, kMbDefButton3 | kMbIconQuestion},
      {{{18, 4}, {19, 3}}, kMbIconWarning},
      {{{18, 1}, {19, 4}}, kMbIconError},
      {{{19, 5}}, kMbOk},
  };
  for (const auto& c : cases) {
    test::CommandArgs args;
    for (auto [p, v] : c.args) args.Value(p, v);
    EXPECT_EQ(MessageBoxFlagsFromArgs(), c.flags);
  }
}

TEST_F(MessageBoxCommandTest, AnswersByButtons) {
  const struct {
    std::initializer_list<std::pair<uint8_t, int64_t>> args;
    const char* answer;
    int64_t stored;  // -1: unchanged
  } cases[] = {
      {{}, "1", 1},
      {{{13, 0}}, "1", 1},
      {{{13, 0}}, "2", 2},
      {{{14, 0}}, "6", 1},
      {{{14, 0}}, "7", 2},
      {{{15, 0}}, "6", 1},
      {{{15, 0}}, "7", 2},
      {{{15, 0}}, "2", 3},  // Escape on Yes/No/Cancel
      {{{13, 0}, {15, 0}}, "2", 3},
  };
  for (const auto& c : cases) {
    SetVarNumberElement(kInt, 0, -1);
    test::CommandArgs args;
    args.Text(0, "T").Text(1, "question").Ref(11, kInt);
    for (auto [p, v] : c.args) args.Value(p, v);
    Answer(c.answer);
    EXPECT_EQ(RunMessageBoxCommand(), 0);
    EXPECT_EQ(GetVarIntElement(kInt, 0), c.stored) << c.answer;
    EXPECT_EQ(g_message_box_open.load(), 0);
  }
  EXPECT_EQ(ScriptAnswerFor(kMbYesNo, kIdAbort), 0);
  EXPECT_EQ(ScriptAnswerFor(kMbOk, kIdYes), 0);

  Answer("2");
  test::CommandArgs().Value(13, 0).Ref(11, kReal);
  EXPECT_EQ(RunMessageBoxCommand(), 0);
  EXPECT_EQ(GetVarRealElement(kReal, 0), 2.0);
  Answer("1");
  test::CommandArgs().Ref(11, kStr);
  EXPECT_EQ(RunMessageBoxCommand(), 0);
  EXPECT_EQ(LastErrorReport().code, 101140);
}

TEST_F(MessageBoxCommandTest, TheBoxShowsTheCursorAndIsLogged) {
  g_cursor.pending = -1;
  g_cursor.shown = 0;
  ApplyCursorRequest();
  ASSERT_FALSE(HeadlessCursorShown());
  Answer("6");
  ::testing::internal::CaptureStderr();
  test::CommandArgs().Text(0, "\x8a\x6d\x94\x46").Text(1, "Save?\r\nNow").Value(14, 0);
  EXPECT_EQ(RunMessageBoxCommand(), 0);
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("korvel: dialog: 確認 | Save?\\nNow | 6\n"), std::string::npos) << log;
  EXPECT_TRUE(HeadlessCursorShown());
}

TEST_F(MessageBoxCommandTest, InputDialog) {
  // The limit applies to the answer as to typed text: 8 bytes, whole characters.
  Answer("text:あいうえおか");
  ::testing::internal::CaptureStderr();
  test::CommandArgs().Text(0, "Name").Text(1, "Your name").Text(9, "def").Value(16, 0).Value(17, 7)
      .Ref(10, kStr).Ref(11, kInt);
  EXPECT_EQ(RunMessageBoxCommand(), 0);
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::string(GetVarStringElement(kStr, 0)), "\x82\xa0\x82\xa2\x82\xa4");
  EXPECT_EQ(GetVarIntElement(kInt, 0), 1);
  EXPECT_NE(log.find("korvel: dialog: Name | Your name | text:あいう\n"), std::string::npos) << log;

  // No limit: the answer buffer's 4095 bytes.
  Answer("text:" + std::string(5000, 'z'));
  test::CommandArgs().Value(16, 0).Ref(10, kStr);
  EXPECT_EQ(RunMessageBoxCommand(), 0);
  EXPECT_EQ(std::string(GetVarStringElement(kStr, 0)), std::string(4095, 'z'));

  // A message-box answer where a text is expected, or none at all: the run cannot go on and the
  // command ends the turn with -1, leaving the variables.
  Answer("1");
  test::CommandArgs().Value(16, 0).Ref(10, kStr).Ref(11, kInt);
  EXPECT_EQ(RunMessageBoxCommand(), -1);
  EXPECT_EQ(HeadlessAbortStatus(), 2);
  EXPECT_EQ(GetVarIntElement(kInt, 0), 1);
}

}  // namespace
}  // namespace korvel
