// End-to-end runs of compiled games: small games built with the tools run in the real program,
// headless; the exit status and the stderr log tell how they ended. The sample game runs as
// scripts/demo runs it.
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "param_names.h"

namespace korvel {
namespace {

using test::ChildProcess;
using test::ProcessResult;
using test::RunProcess;
using test::TempDir;

using Sources = test::GameFolderTest::Sources;

class GameRunTest : public test::GameFolderTest {
 protected:
  // The sample game built into the game folder with its images, as scripts/demo does.
  void BuildSample() const {
    const std::string kasm = std::string(KORVEL_BUILD_DIR) + "/kasm";
    const std::string samples = std::string(KORVEL_SOURCE_DIR) + "/samples/sample-game";
    const ProcessResult built = RunProcess({kasm, "--out", game_.path(), samples}, {}, 60000);
    ASSERT_EQ(built.exit_status, 0) << built.stderr_text;
    for (const char* image : {"bg.png", "sprite.png", "window.png", "text.png"}) {
      std::filesystem::copy_file(samples + "/media/" + image, game_.File(image),
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
};

struct GameCase {
  std::string name;
  Sources sources;
  std::vector<std::string> env;
  int exit_status;
  std::vector<std::string> expected;    // each must appear in stderr
  std::vector<std::string> forbidden = {"korvel: error", "watchdog"};
};

std::string NestedBlocks(int levels) {
  std::string text = "label SYSTEM_START\n";
  for (int i = 0; i < levels; ++i) text += "if 1\n";
  for (int i = 0; i < levels; ++i) text += "end\n";
  return text + "QUIT\n";
}

// A game that checks itself: an unknown command (24) ends it with a fatal error when a check
// fails, QUIT ends it well.
const Sources kTasksAndCalls = {
    {"a.kas",
     ".global int v\n"
     "label SYSTEM_START\n"
     "TASK 0=( \"w\" ) 34=( \"W\" ) 37=( 1 )\n"
     "WAIT 0=( 5 )\n"
     "TASKINFO 0=( \"w\" ) 1=( $v ) 2=( 1 )\n"
     "if $v 0 !=\n  24\nend\n"
     "call FAR\n"
     "TASKINFO 1=( $v ) 7=( 1 )\n"
     "if $v 0 !=\n  24\nend\n"
     "LABELEXISTS 0=( \"FAR\" ) 1=( $v ) 2=( 1 )\n"
     "if $v 1 !=\n  24\nend\n"
     "QUIT\n"},
    {"b.kas",
     "label W\nloop 3\n  WAIT 0=( 1 )\nend\nRETURN\n"
     "label FAR\n"
     "TASKINFO 1=( $v ) 17=( 1 )\n"
     "if $v 1 !=\n  24\nend\n"
     "RETURN\n"},
};

std::vector<GameCase> Cases() {
  Sources threaded = kTasksAndCalls;
  threaded[0].second = ".config threaded 1\n" + threaded[0].second;
  return {
      {"QuitEndsWithStatusZero", {{"main.kas", "label SYSTEM_START\nWAIT 0=( 3 )\nQUIT\n"}}, {}, 0,
       {}},
      {"TasksLoopsAndCallsAcrossFiles", kTasksAndCalls, {}, 0, {}},
      {"ThreadedModeRunsTheScriptsOnTheGameThread", threaded, {}, 0, {}},
      {"NestingTooDeepIsFatal", {{"main.kas", NestedBlocks(64)}}, {}, 1,
       {"korvel: error 101600", "(main.kas:65)"}, {"watchdog"}},
      {"SixtyThreeLevelsAreFine", {{"main.kas", NestedBlocks(63)}}, {}, 0, {}},
      {"UnknownCommandIsFatal", {{"main.kas", "label SYSTEM_START\n24\n"}}, {}, 1,
       {"korvel: error 900050", "(main.kas:2)"}, {"watchdog"}},
      {"RunningOffTheEndIsFatal", {{"main.kas", "label SYSTEM_START\nNOP9\n"}}, {}, 1,
       {"korvel: error 900000", "(main.kas:2)"}, {"watchdog"}},
      {"WatchdogEndsATurnThatNeverEnds", {{"main.kas", "label SYSTEM_START\nloop -1\nend\n"}},
       {"KORVEL_TICK_BUDGET=100000"}, 1, {"korvel: watchdog: more than 100000 commands"},
       {"korvel: error"}},
      {"FrameLimitEndsAGameThatWaitsForever",
       {{"main.kas", "label SYSTEM_START\nloop -1\n  WAIT 0=( 1 )\nend\n"}}, {"KORVEL_FRAMES=30"},
       0, {}},
  };
}

void PrintTo(const GameCase& c, std::ostream* os) { *os << c.name; }

class GameCaseTest : public GameRunTest, public ::testing::WithParamInterface<GameCase> {};

TEST_P(GameCaseTest, EndsAsExpected) {
  const GameCase& c = GetParam();
  BuildGame(c.sources);
  const ProcessResult r = RunProcess(Args(), HeadlessEnv(c.env), 60000);
  ASSERT_FALSE(r.timed_out) << r.stderr_text;
  EXPECT_EQ(r.exit_status, c.exit_status) << r.stderr_text;
  for (const std::string& text : c.expected) {
    EXPECT_NE(r.stderr_text.find(text), std::string::npos) << text << "\n" << r.stderr_text;
  }
  for (const std::string& text : c.forbidden) {
    EXPECT_EQ(r.stderr_text.find(text), std::string::npos) << text << "\n" << r.stderr_text;
  }
}

INSTANTIATE_TEST_SUITE_P(Games, GameCaseTest, ::testing::ValuesIn(Cases()), test::CaseName());

TEST_F(GameRunTest, MissingScriptFileIsReportedWhenEntered) {
  BuildGame({{"a.kas", "label SYSTEM_START\njump FAR\n"}, {"b.kas", "label FAR\nQUIT\n"}});
  std::filesystem::remove(game_.File("krbin/krt00001.kbn"));
  const ProcessResult r = RunProcess(Args(), HeadlessEnv(), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 1) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: error 104060"), std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("krt00001.kbn"), std::string::npos) << r.stderr_text;
}

// With the focus gone the engine pauses: the script stays where it is, while headless frames go
// on, so the focus scripted to come back arrives and the script then runs to its end; without it
// the frame limit ends the run, the script still held before its box.
TEST_F(GameRunTest, LostFocusHoldsTheScripts) {
  // Ten frames of waiting; held from frame 3 to frame 40, the script reaches its check after frame
  // 45 (a failed check runs the unknown command 24).
  BuildGame({{"main.kas",
              ".sysvar 87 int frames\n.global int n\n"
              "label SYSTEM_START\nloop 10\n  WAIT 0=( 1 )\nend\n"
              "let $n = $frames\nif $n 45 <\n  24\nend\n"
              "MSGBOX 0=( \"Done\" ) 1=( \"back\" )\nQUIT\n"}});
  TempDir control;
  const std::string answers = control.Write("answers.txt", "1\n");
  for (const bool comes_back : {true, false}) {
    SCOPED_TRACE(comes_back);
    const std::string input = control.Write(
        "input.txt", comes_back ? "3 focus lost\n40 focus gained\n" : "3 focus lost\n");
    const ProcessResult r = RunProcess(
        Args(), HeadlessEnv({"KORVEL_INPUT=" + input, "KORVEL_ANSWERS=" + answers,
                             "KORVEL_TICK_BUDGET=0", "KORVEL_FRAMES=120"}),
        60000);
    ASSERT_FALSE(r.timed_out) << r;
    EXPECT_EQ(r.exit_status, 0) << r;
    EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r;
    // Without the focus the frame limit ends the run with the script still held.
    EXPECT_EQ(r.stderr_text.find("korvel: dialog: Done | back | 1\n") != std::string::npos,
              comes_back)
        << r;
  }
}

// What scripts/demo does: kasm builds the sample into a game folder and the engine runs it
// headless for at most 600 frames. Two clicks answer the message's click waits, and the sample
// ends by itself well before frame 100.
TEST_F(GameRunTest, SampleGameRunsToItsEnd) {
  BuildSample();
  TempDir dump, inputs;
  const std::string input = inputs.Write("input.txt",
                                       "30 mouse move 100 100\n30 mouse down left\n"
                                       "31 mouse up left\n55 mouse down left\n56 mouse up left\n");
  const ProcessResult r = RunProcess(
      Args(),
      HeadlessEnv({"KORVEL_FRAMES=600", "KORVEL_DUMP=" + dump.path(), "KORVEL_INPUT=" + input}),
      60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
  EXPECT_TRUE(std::filesystem::exists(dump.File("w0-000001.png")));
  // The sprite moves every frame while the tasks run, so the next frame is presented too.
  EXPECT_TRUE(std::filesystem::exists(dump.File("w0-000002.png")));
  EXPECT_FALSE(std::filesystem::exists(dump.File("w0-000100.png")));
  // The sample saved and loaded back a number, an array and a layer.
  EXPECT_TRUE(std::filesystem::exists(game_.File("save/sample.sd")));
}

// Nobody clicks: the sample's watcher moves the message on after its timeout, so the demo still
// ends by itself within its 600 frames.
TEST_F(GameRunTest, SampleGameEndsWithoutClicks) {
  BuildSample();
  TempDir dump;
  const ProcessResult r =
      RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=600", "KORVEL_DUMP=" + dump.path()}), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
  // The last frame shows the last line, typed after two timeouts of 90 frames.
  std::string last;
  for (const auto& e : std::filesystem::directory_iterator(dump.path())) {
    last = std::max(last, e.path().filename().string());
  }
  EXPECT_GT(last, "w0-000180.png");
  EXPECT_LT(last, "w0-000400.png");
}

}  // namespace
}  // namespace korvel
