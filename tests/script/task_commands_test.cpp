// Commands 78, 79 and 80: starting, stopping and asking about tasks by path, and script files that
// cannot be entered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/frame_step.h"
#include "runner_test_env.h"

namespace korvel {
namespace {

using test::RunnerTest;
using test::Trace;

// SYSTEM waits forever after the commands in `body`; W is a task routine that traces its first
// task argument and waits.
std::string Game(const std::string& body) {
  return std::string(test::kCallVariables) +
         ".global int i\n.global real r\n.global string s\n"
         "label SYSTEM_START\n" +
         body +
         "loop -1\n  WAIT 0=( 1 )\nend\n"
         "label W\n"
         "trace $taskarg[ 1 ]\n"
         "loop -1\n  WAIT 0=( 1 )\nend\n";
}

TEST_F(RunnerTest, StartCreatesATaskAtItsLabelThatRunsInTheSamePass) {
  Load(Game("TASK 0=( \"w\" ) 34=( \"W\" ) 4=( 7 ) 5=( 8 ) 14=( 3 )\n"));
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{7}));
  ScriptTask* w = TaskAt("w");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->int_args[0], 7);
  EXPECT_EQ(w->int_args[1], 8);
  EXPECT_EQ(w->int_args[2], 0);
  EXPECT_EQ(w->double_args[0], 3.0);
  EXPECT_EQ(w->enabled, 1);
  EXPECT_EQ(w->active, 1);
  EXPECT_EQ(TaskNode("w")->order_key, 1);
}

TEST_F(RunnerTest, StartingAnExistingNameMovesThatTask) {
  Load(Game("TASK 0=( \"w\" ) 34=( \"W\" ) 4=( 1 )\n"
            "TASK 0=( \"w\" ) 34=( \"W\" ) 4=( 2 )\n"));
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{2}));
  EXPECT_EQ(g_task_tree.root->child_count, 3u);
}

TEST_F(RunnerTest, StartErrors) {
  const struct {
    const char* body;
    int32_t code;
  } cases[] = {
      {"TASK 0=( \"w\" ) 1=( 0 )\n", 101400},         // missing task, no label
      {"TASK 0=( \"w\" ) 34=( \"NOPE\" )\n", 108180},  // missing label
      {"TASK 0=( \"g/w\" ) 34=( \"W\" )\n", 100230},   // missing group
      {"TASK 0=( \"\" ) 34=( \"W\" )\n", 101293},      // empty name
  };
  for (const auto& c : cases) {
    InitEngineState();
    ResetReports();
    Load(Game(c.body));
    RunTicks(1);
    EXPECT_EQ(LastCode(), c.code) << c.body;
    EXPECT_EQ(g_task_tree.root->child_count, 2u) << c.body;
    InitScriptRunner();
    DestroySystemObjects();
    CreateTrees();
  }
}

TEST_F(RunnerTest, FlagsSuspendAndResumeATask) {
  Load(Game("TASK 0=( \"w\" ) 34=( \"W\" ) 1=( 0 )\n"
            "WAIT 0=( 1 )\n"
            "TASK 0=( \"w\" ) 1=( 1 ) 2=( 0 )\n"
            "WAIT 0=( 1 )\n"
            "TASK 0=( \"w\" ) 2=( 1 ) 37=( 1 )\n"));
  RunTicks(2);
  EXPECT_TRUE(Trace().empty());
  EXPECT_EQ(TaskRef("w").enabled, 1);
  EXPECT_EQ(TaskRef("w").active, 0);
  g_frame.repeat_tick = 0;
  RunTicks(1);
  // Resumed in the third tick, and another tick of this frame was asked for.
  EXPECT_EQ(g_frame.repeat_tick.load(), 1u);
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{0}));
}

TEST_F(RunnerTest, OrderKeysCombineByTheOperator) {
  Load(Game(
      "TASK 0=( \"w\" ) 34=( \"W\" ) 3=( 10 )\n"
      "TASKINFO 0=( \"w\" ) 1=( $i ) 5=( 1 )\ntrace $i\n"
      "TASK 0=( \"w\" ) 3@1=( 5 )\nTASKINFO 0=( \"w\" ) 1=( $i ) 5=( 1 )\ntrace $i\n"
      "TASK 0=( \"w\" ) 3@2=( 100 )\nTASKINFO 0=( \"w\" ) 1=( $i ) 5=( 1 )\ntrace $i\n"
      "TASK 0=( \"w\" ) 3@1=( 199 )\nTASK 0=( \"w\" ) 3@4=( 0 )\n"
      "TASKINFO 0=( \"w\" ) 1=( $i ) 5=( 1 )\ntrace $i\n"
      "TASK 0=( \"w\" ) 3@4=( 3 )\nTASKINFO 0=( \"w\" ) 1=( $i ) 5=( 1 )\ntrace $i\n"
      "TASK 0=( \"w\" ) 3@3=( 0 )\nTASKINFO 0=( \"w\" ) 1=( $i ) 5=( 1 )\ntrace $i\n"));
  RunTicks(1);
  // 10; +5; -100 stops at 1; +199 then /0 keeps 200; /3; *0 stops at 1. Then w's own turn.
  EXPECT_EQ(Trace(), (std::vector<int64_t>{10, 15, 1, 200, 66, 1, 0}));
  // Each change moved the node among its siblings: with key 1 it is in front again.
  EXPECT_EQ(g_task_tree.root->first_child, TaskNode("w"));
}

TEST_F(RunnerTest, StopByNameAndStopSelf) {
  Load(Game("TASK 0=( \"w\" ) 34=( \"W\" )\n"
            "TASK 0=( \"v\" ) 34=( \"V\" )\n"
            "TASKSTOP 0=( \"w\" )\n"
            "trace 1\n") +
       "label V\ntrace 2\nTASKSTOP\ntrace 99\n");
  RunTicks(1);
  // Stopping another task goes on; stopping itself ends the turn.
  EXPECT_EQ(TaskNode("w"), nullptr);
  EXPECT_EQ(TaskNode("v"), nullptr);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(ReportCount(), 0u);
  EXPECT_FALSE(QuitRequested());
}

TEST_F(RunnerTest, StopErrors) {
  const struct {
    const char* body;
    int32_t code;
  } cases[] = {
      {"TASKSTOP 0=( \"SYSTEM\" )\n", 101420},
      {"TASKSTOP 0=( \":SYSTEM\" )\n", 101420},
      {"TASKSTOP\n", 101420},
      {"TASKSTOP 0=( \"nobody\" )\n", 101400},
  };
  for (const auto& c : cases) {
    InitEngineState();
    ResetReports();
    Load(Game(c.body));
    RunTicks(1);
    EXPECT_EQ(LastCode(), c.code) << c.body;
    EXPECT_NE(TaskNode("SYSTEM"), nullptr);
  }
}

TEST_F(RunnerTest, StoppingTheGroupOfTheRunningTaskEndsItsTurn) {
  Load(Game("TASK 0=( \"g/\" ) 34=( \"W\" ) 37=( 1 )\n"
            "TASK 0=( \"g/t\" ) 34=( \"T\" )\n") +
       "label T\nTASKSTOP 0=( \"g/\" )\ntrace 99\n");
  RunTicks(1);
  EXPECT_TRUE(Trace().empty());
  EXPECT_EQ(FindObjectByPath(g_task_tree.root, "g", kFindGroup), nullptr);
  EXPECT_FALSE(QuitRequested());
}

TEST_F(RunnerTest, InformationAboutTasks) {
  Load(Game(
      "TASK 0=( \"w\" ) 34=( \"W\" ) 2=( 0 ) 3=( 42 )\n"
      "TASKINFO 0=( \"w\" ) 1=( $i ) 2=( 1 )\ntrace $i\n"            // exists
      "TASKINFO 0=( \"w\" ) 1=( $r ) 2=( 1 )\ntracer $r 10 *\n"
      "TASKINFO 0=( \"w\" ) 1=( $i ) 3=( 1 )\ntrace $i\n"            // enabled
      "TASKINFO 0=( \"w\" ) 1=( $i ) 4=( 1 )\ntrace $i\n"            // active
      "TASKINFO 0=( \"w\" ) 1=( $i ) 5=( 1 )\ntrace $i\n"            // order key
      "TASKINFO 0=( \"w\" ) 1=( $s ) 6=( 1 )\ntracetext $s\n"        // path
      "TASKINFO 0=( \"w\" ) 1=( $i ) 6=( 1 )\ntrace $i\n"            // path into a number: nothing
      "TASKINFO 1=( $i ) 8=( 1 )\ntrace $i\n"                        // own line
      "TASKINFO 0=( \"w\" ) 1=( $i ) 7=( 1 )\ntrace $i\n"
      "TASKINFO 0=( \"nobody\" ) 1=( $i ) 2=( 1 )\ntrace $i\n"       // missing: 0
      "let $i = 5\n"
      "TASKINFO 0=( \"nobody\" ) 1=( $r ) 2=( 1 )\ntracer $r 10 *\n"
      "TASKINFO 0=( \"nobody\" ) 1=( $s ) 19=( 1 )\ntracetext $s\n"
      "TASKINFO 1=( $i ) 16=( 1 )\ntrace $i\n"
      "TASKINFO 1=( $i ) 17=( 1 )\ntrace $i\n"
      "TASKINFO 1=( $i ) 10=( 1 )\ntrace $i\n"
      "let $i = 9\n"
      "TASKINFO 1=( $i )\ntrace $i\n"));  // nothing asked: nothing stored
  RunTicks(1);
  // The own line is line 30 of the source; w is inactive and does not run.
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1, 10, 1, 0, 42, 42, 30, 0, 0, 0, 0, 0, 0, 9}));
  ASSERT_EQ(test::TextTrace().size(), 2u);
  EXPECT_EQ(test::TextTrace()[0], "main.kas");
  EXPECT_EQ(test::TextTrace()[1], "");
  EXPECT_EQ(ReportCount(), 0u) << LastErrorReport().message;
}

TEST_F(RunnerTest, LinesAndFilesInsideCalls) {
  Load({{"a.kas", std::string(test::kCallVariables) +
                      ".global int i\n.global string s\n"
                      "label SYSTEM_START\n"
                      "call FAR\n"  // line 14
                      "QUIT\n"},
        {"b.kas", "label FAR\n"
                  "TASKINFO 1=( $i ) 8=( 1 )\ntrace $i\n"    // line 2
                  "TASKINFO 1=( $i ) 11=( 1 )\ntrace $i\n"   // the outermost call's line
                  "TASKINFO 1=( $i ) 7=( 1 )\ntrace $i\n"
                  "TASKINFO 1=( $i ) 10=( 1 )\ntrace $i\n"
                  "TASKINFO 1=( $s ) 9=( 1 )\ntracetext $s\n"
                  "TASKINFO 1=( $s ) 6=( 1 )\ntracetext $s\n"
                  "TASKINFO 1=( $i ) 17=( 1 )\ntrace $i\n"
                  "RETURN\n"}});
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{2, 14, 1, 0, 1}));
  EXPECT_EQ(test::TextTrace(), (std::vector<std::string>{"a.kas", "b.kas"}));
}

// A script file that cannot be loaded when a task enters it is reported, and the task stays where
// it was instead of running a file without commands.
TEST_F(RunnerTest, UnloadableScriptFileLeavesTheTaskInPlace) {
  const struct {
    const char* what;
    const char* body;
  } cases[] = {
      {"jump", "jump FAR\n"},
      {"call", "call FAR\n"},
      {"task start", "TASK 0=( \"w\" ) 34=( \"FAR\" )\n"},
  };
  for (const auto& c : cases) {
    InitEngineState();
    ResetReports();
    tools::CompiledGame game = Build({{"a.kas", std::string("label SYSTEM_START\nif 1\n") +
                                                    c.body + "end\n"},
                                      {"b.kas", "label FAR\nQUIT\n"}});
    Install(game);
    test::MemoryFiles().erase("krt00001.kbn");
    ASSERT_EQ(LoadScriptData(), 0);
    RunTicks(1);
    EXPECT_EQ(LastCode(), 104060) << c.what;
    const ScriptTask* system = System();
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->script_number, 0) << c.what;
    EXPECT_EQ(system->command_index, 3u) << c.what;  // after the failed command
    EXPECT_EQ(system->block_depth, 1) << c.what;
    EXPECT_EQ(system->call_depth, 0) << c.what;
    EXPECT_EQ(TaskNode("w"), nullptr) << c.what;
    InitScriptRunner();
    DestroySystemObjects();
    CreateTrees();
  }
}

}  // namespace
}  // namespace korvel
