// Headless dialogs: answers are used in order, every dialog is logged, a dialog without a fitting
// answer ends the run with status 2, and the error dialog loops on Edit and defaults to Exit.
#include <gtest/gtest.h>

#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "platform_test_util.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::DrainEvents;
using test::ScopedEnv;
using korvel::test::TempDir;

class HeadlessDialogs : public ::testing::Test {
 protected:
  void Start(const std::string& answers) {
    dir_.Write("answers.txt", answers);
    ScopedEnv file("KORVEL_ANSWERS", dir_.File("answers.txt"));
    ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  }
  void TearDown() override { ShutdownPlatform(); }
  static bool QuitPosted() {
    for (const Event& e : DrainEvents()) {
      if (e.kind == EventKind::kQuit) return true;
    }
    return false;
  }
  CleanHeadlessEnv env_;
  TempDir dir_;
};

TEST_F(HeadlessDialogs, MessageBoxesTakeAnswersInOrder) {
  Start("1\n# comment\n6\r\n7\n2\n");
  EXPECT_EQ(MessageBox(kNoWindow, "t", "x", kMbOk), kIdOk);
  EXPECT_EQ(MessageBox(kNoWindow, "t", "x", kMbYesNo | kMbIconQuestion), kIdYes);
  EXPECT_EQ(MessageBox(kNoWindow, "t", "x", kMbYesNoCancel | kMbDefButton2), kIdNo);
  EXPECT_EQ(MessageBox(kNoWindow, "t", "x", kMbOkCancel), kIdCancel);
  EXPECT_EQ(HeadlessAbortStatus(), 0);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(HeadlessDialogs, NoAnswerLeftEndsTheRun) {
  Start("");
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox(kNoWindow, "t", "x", kMbYesNo), kIdCancel);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(HeadlessAbortStatus(), 2);
  EXPECT_TRUE(QuitPosted());
  EXPECT_NE(err.find("korvel: dialog: t | x | 2\n"), std::string::npos) << err;
  EXPECT_NE(err.find("cannot go on"), std::string::npos) << err;
}

TEST_F(HeadlessDialogs, AnswerThatIsNotAButtonEndsTheRun) {
  Start("6\ntext:hello\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox(kNoWindow, "t", "x", kMbOk), kIdCancel);  // OK box has no Yes
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(HeadlessAbortStatus(), 2);
  EXPECT_TRUE(QuitPosted());
}

TEST_F(HeadlessDialogs, DialogLogIsOneUtf8Line) {
  Start("6\n");
  testing::internal::CaptureStderr();
  // Title "確認" and two lines of text in code page 932.
  MessageBox(kNoWindow, "\x8A\x6D\x94\x46", "line one\r\nline two", kMbYesNo);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "korvel: dialog: \xE7\xA2\xBA\xE8\xAA\x8D | line one\\nline two | 6\n");
}

void CountCall(void* context) { ++*static_cast<int*>(context); }

TEST_F(HeadlessDialogs, ErrorDialogLoopsOnEdit) {
  Start("1033\n1033\n1034\n6\n");
  int edits = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ErrorDialog(kNoWindow, "KORVEL Debug Info.", "boom", 1, CountCall, &edits), kIdExit);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(edits, 2);
  EXPECT_EQ(HeadlessAnswersLeft(), 1u);
  EXPECT_NE(err.find("| boom | 1033 1033 1034\n"), std::string::npos) << err;
  EXPECT_EQ(HeadlessAbortStatus(), 0);
}

TEST_F(HeadlessDialogs, ErrorDialogEditButtonStates) {
  Start("1033\n1034\n1033\n1034\n");
  int edits = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ErrorDialog(kNoWindow, "t", "x", 0, CountCall, &edits), kIdExit);  // absent
  EXPECT_EQ(ErrorDialog(kNoWindow, "t", "x", 2, CountCall, &edits), kIdExit);  // disabled
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(edits, 0);
  EXPECT_EQ(HeadlessAnswersLeft(), 0u);
}

TEST_F(HeadlessDialogs, ErrorDialogWithoutAnswersIsExit) {
  Start("");
  int edits = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(ErrorDialog(kNoWindow, "t", "x", 1, CountCall, &edits), kIdExit);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(edits, 0);
  EXPECT_EQ(HeadlessAbortStatus(), 0);
  EXPECT_FALSE(QuitPosted());
}

TEST_F(HeadlessDialogs, TextAndMenuAnswers) {
  Start("text:\xE3\x81\x93\xE3\x82\x93 two words \nmenu: 12\nmenu:0\n6\ntext:x\n");
  std::string text;
  int32_t command = -1;
  EXPECT_TRUE(TakeHeadlessTextAnswer(&text));
  EXPECT_EQ(text, "\xE3\x81\x93\xE3\x82\x93 two words ");
  EXPECT_TRUE(TakeHeadlessMenuAnswer(&command));
  EXPECT_EQ(command, 12);
  EXPECT_TRUE(TakeHeadlessMenuAnswer(&command));
  EXPECT_EQ(command, 0);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(TakeHeadlessMenuAnswer(&command));  // the next answer is a result code
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(HeadlessAbortStatus(), 2);
  std::string raw;
  EXPECT_TRUE(TakeHeadlessAnswer(&raw));
  EXPECT_EQ(raw, "text:x");
  EXPECT_FALSE(TakeHeadlessAnswer(&raw));
}

TEST(HeadlessAnswerFile, MalformedLinesStopTheStart) {
  CleanHeadlessEnv env;
  TempDir dir;
  for (const char* line : {"yes", "menu:", "menu:abc", "6 7", "0x", "99999999999"}) {
    dir.Write("answers.txt", std::string("1\n") + line + "\n");
    ScopedEnv file("KORVEL_ANSWERS", dir.File("answers.txt"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(InitPlatformWith(BackendKind::kHeadless)) << line;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("KORVEL_ANSWERS " + (dir.File("answers.txt")) + ":2: "), std::string::npos)
        << line << " -> " << err;
    EXPECT_EQ(HeadlessAbortStatus(), 2);
    std::string error;
    EXPECT_FALSE(QueueHeadlessAnswer(line, &error)) << line;
  }
}

}  // namespace
}  // namespace korvel::platform
