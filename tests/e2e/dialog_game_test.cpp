// Dialog and clipboard commands in the real program: headless through KORVEL_ANSWERS (the message
// box's answer mapping, the input dialog's limit, the clipboard round trip, a dialog with no answer
// left), and under a virtual X server with a window manager, where the engine draws the boxes and
// keys typed with xdotool answer them.
#include <signal.h>
#include <unistd.h>

#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "required_tool.h"

namespace korvel {
namespace {

using Sources = test::GameFolderTest::Sources;

// A failed check runs the unknown command 24, which ends the run with a fatal error (status 1).
const Sources kDialogGame = {
    {"a.kas",
     ".global int v\n"
     ".global string s\n"
     "label SYSTEM_START\n"
     "MSGBOX 0=( \"Q\" ) 1=( \"Save?\" ) 15=( 1 ) 19=( 2 ) 11=( $v )\n"
     "if $v 2 !=\n  24\nend\n"
     "MSGBOX 0=( \"In\" ) 1=( \"Name\" ) 9=( \"x\" ) 16=( 1 ) 17=( 2 ) 10=( $s ) 11=( $v )\n"
     "if $v 1 !=\n  24\nend\n"
     "CLIPSET 0=( 1 ) 1=( $s )\n"
     "let $s = \"none\"\n"
     "CLIPGET 0=( 1 ) 1=( $s )\n"
     "MSGBOX 0=( \"Got\" ) 1=( $s )\n"
     "QUIT\n"},
};

using DialogGameTest = test::GameFolderTest;

TEST_F(DialogGameTest, HeadlessAnswers) {
  BuildGame(kDialogGame);
  const std::string answers = game_.Write("answers.txt", "7\ntext:abc\n1\n");
  const test::ProcessResult r =
      test::RunProcess(Args(), HeadlessEnv({"KORVEL_ANSWERS=" + answers}), 60000);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: Q | Save? | 7\n"), std::string::npos)
      << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: In | Name | text:ab\n"), std::string::npos)
      << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: Got | ab | 1\n"), std::string::npos)
      << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
}

TEST_F(DialogGameTest, HeadlessRunWithoutAnswerEndsWithStatusTwo) {
  BuildGame(kDialogGame);
  const std::string answers = game_.Write("answers.txt", "7\n");
  const test::ProcessResult r =
      test::RunProcess(Args(), HeadlessEnv({"KORVEL_ANSWERS=" + answers}), 60000);
  EXPECT_EQ(r.exit_status, 2) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("text input dialog found no answer"), std::string::npos)
      << r.stderr_text;
}

TEST_F(DialogGameTest, DrawnDialogsUnderXvfb) {
  for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/openbox"}) {
    KORVEL_REQUIRE_TOOL(::access(tool, X_OK) == 0, tool);
  }
  test::XvfbServer server;
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  const std::string display = server.display();
  const auto xdo = [&](const std::string& args) {
    return test::CaptureCommand("DISPLAY=" + display + " timeout 10 xdotool " + args +
                                " 2>/dev/null");
  };
  const auto wait_for = [](const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
      if (done()) return true;
      test::SleepRealMs(20);
    }
    return done();
  };
  test::WindowManager wm(display, runtime_.path());
  ASSERT_TRUE(wm.running()) << "openbox did not start";

  BuildGame(kDialogGame);
  test::ChildProcess engine(Args(), SdlEnv(display));
  // Waits for the dialog titled `title` to be shown and focused, then types `keys`.
  const auto answer = [&](const std::string& title, const std::string& keys) {
    std::string id;
    const bool found = wait_for([&] {
      std::istringstream ids(xdo("search --onlyvisible --name '^" + title + "$'"));
      ids >> id;
      return !id.empty();
    });
    if (!found) return false;
    xdo("windowactivate --sync " + id);
    xdo("key --delay 60 " + keys);
    return true;
  };
  // The question: Yes is the default; Right then Return answers No.
  ASSERT_TRUE(answer("Q", "Right Return")) << "no question box";
  // The input dialog starts with its default text; two letters fit the limit of 2.
  ASSERT_TRUE(answer("In", "BackSpace a b c Return")) << "no input dialog";
  ASSERT_TRUE(answer("Got", "Return")) << "no last box";
  const test::ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: Q | Save? | 7\n"), std::string::npos)
      << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: In | Name | text:ab\n"), std::string::npos)
      << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: Got | ab | 1\n"), std::string::npos)
      << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("headless"), std::string::npos) << r.stderr_text;
}

// SIGTERM while a drawn box waits for the player ends the box and then the run, normally.
TEST_F(DialogGameTest, TerminationEndsAnOpenBox) {
  test::XvfbServer server;
  KORVEL_REQUIRE_TOOL(!server.display().empty(), "Xvfb");
  BuildGame({{"a.kas",
              "label SYSTEM_START\n"
              "MSGBOX 0=( \"Wait\" ) 1=( \"for ever\" ) 13=( 1 )\n"
              "loop -1\n  WAIT 0=( 10 )\nend\n"}});
  test::ChildProcess engine(Args(), SdlEnv(server.display()));
  std::string found;
  for (int i = 0; i < 500 && found.empty() && engine.Running(); ++i) {
    found = test::CaptureCommand("DISPLAY=" + server.display() +
                                 " xdotool search --onlyvisible --name '^Wait$' 2>/dev/null");
    if (found.empty()) test::SleepRealMs(20);
  }
  ASSERT_FALSE(found.empty()) << "no box titled Wait";
  engine.Signal(SIGTERM);
  const test::ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: Wait | for ever | 2\n"), std::string::npos)
      << r.stderr_text;
}

// A fatal error under Xvfb shows the drawn error dialog; its Exit key ends the run with status 1.
TEST_F(DialogGameTest, ErrorDialogIsDrawnAndExits) {
  for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/openbox"}) {
    KORVEL_REQUIRE_TOOL(::access(tool, X_OK) == 0, tool);
  }
  test::XvfbServer server;
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  const std::string display = server.display();
  test::WindowManager wm(display, runtime_.path());
  ASSERT_TRUE(wm.running()) << "openbox did not start";
  BuildGame({{"a.kas", "label SYSTEM_START\nWAIT 0=( 200 )\n24\nQUIT\n"}});
  test::ChildProcess engine(Args(), SdlEnv(display));
  std::string box;
  for (int i = 0; i < 500 && box.empty() && engine.Running(); ++i) {
    box = test::CaptureCommand("DISPLAY=" + display +
                               " xdotool search --onlyvisible --name '^KORVEL Debug Info\\.$'"
                               " 2>/dev/null");
    if (box.empty()) test::SleepRealMs(20);
  }
  ASSERT_FALSE(box.empty()) << "no error dialog";
  while (!box.empty() && (box.back() == '\n' || box.back() == ' ')) box.pop_back();
  test::CaptureCommand("DISPLAY=" + display + " timeout 10 xdotool windowactivate --sync " + box +
                       " key x 2>/dev/null");
  const test::ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 1) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: error 900050"), std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("| 1034\n"), std::string::npos) << r.stderr_text;
}

}  // namespace
}  // namespace korvel
