// The task runner: waits, tick stamps, the order of tasks, tasks created or stopped during a pass,
// running past the end, the watchdog, the paused-engine wrapper and the debug corner escape.
#include <gtest/gtest.h>

#include <string>

#include "core/display_state.h"
#include "core/engine_state.h"
#include "core/project_config.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "runner_test_env.h"

namespace korvel {
namespace {

using test::RunnerTest;
using test::Trace;

// SYSTEM traces 1 and waits a frame, forever.
constexpr char kTicker[] =
    "label SYSTEM_START\n"
    "loop -1\n"
    "  trace 1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

TEST_F(RunnerTest, FrameWaitOfNIdlesNMinusOneTicks) {
  Load(kTicker);
  RunTicks(1);
  ASSERT_EQ(Trace().size(), 1u);
  ScriptTask* task = System();
  // A wait of 1 runs in the next tick: it is counted down before it is tested.
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 2u);
  task->frame_wait = 3;
  RunTicks(2);
  EXPECT_EQ(Trace().size(), 2u);
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 3u);
}

TEST_F(RunnerTest, WakeUpTimeComesWhenTheClockReachesItAcrossTheWrap) {
  Load(kTicker);
  RunTicks(1);
  ScriptTask* task = System();
  ASSERT_NE(task, nullptr);
  task->frame_wait = 0;
  task->wake_time = platform::NowMs() + 5;
  RunTicks(1);
  platform::AdvanceClockForTest(4);
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 1u);
  platform::AdvanceClockForTest(1);  // now equals the wake-up time: the task runs
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 2u);
  EXPECT_EQ(task->wake_time, 0u);

  // Close to the clock's wrap a wake-up past it is still later than now.
  platform::AdvanceClockForTest(0xFFFFFFF0u - platform::NowMs());
  task->frame_wait = 0;
  task->wake_time = platform::NowMs() + 0x20;  // wraps to 0x10
  ASSERT_EQ(task->wake_time, 0x10u);
  RunTicks(1);
  platform::AdvanceClockForTest(0x1F);
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 2u);
  platform::AdvanceClockForTest(1);
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 3u);
}

TEST_F(RunnerTest, ATickRunsEachTaskOnce) {
  Load(kTicker);
  RunTicks(1);
  RunScriptTasks();  // the same tick again
  EXPECT_EQ(Trace().size(), 1u);
  EXPECT_EQ(System()->frame_wait, 1u);  // not counted down twice either
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 2u);
}

TEST_F(RunnerTest, TasksStartedOrStoppedDuringAPassCostNoTurns) {
  Load(
      "label SYSTEM_START\n"
      "TASK 0=( \"p\" ) 34=( \"P\" ) 3=( 200 )\n"  // after SYSTEM: runs from the next tick
      "loop -1\n"
      "  trace 1\n"
      "  WAIT 0=( 1 )\n"
      "end\n"
      "label P\n"
      "trace 3\n"
      "TASK 0=( \"q\" ) 34=( \"Q\" ) 3=( 0 )\n"  // in front of every task
      "TASKSTOP\n"
      "label Q\n"
      "trace 2\n"
      "RETURN\n");
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1}));
  NamedTreeNode* p = TaskNode("p");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->order_key, 200);
  // p runs first (it is last), starts q at the front and stops itself; SYSTEM keeps its turn and
  // q, created in the pass, runs in it.
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1, 3, 1, 2}));
  EXPECT_EQ(TaskNode("p"), nullptr);
  EXPECT_EQ(TaskNode("q"), nullptr);  // a return outside a call ended it
  EXPECT_FALSE(QuitRequested());
  EXPECT_EQ(g_task_tree.root->child_count, 2u);
}

TEST_F(RunnerTest, ATaskThatStopsItsNeighbourAndItselfCostsOthersNoTurn) {
  Load(
      "label SYSTEM_START\n"
      "TASK 0=( \"a\" ) 34=( \"A\" ) 3=( 1 )\n"
      "TASK 0=( \"b\" ) 34=( \"B\" ) 3=( 2 )\n"
      "TASK 0=( \"c\" ) 34=( \"C\" ) 3=( 3 )\n"
      "loop -1\n  WAIT 0=( 1 )\nend\n"
      "label A\ntrace 1\nloop -1\n  WAIT 0=( 1 )\nend\n"
      "label B\ntrace 2\nloop -1\n  WAIT 0=( 1 )\nend\n"
      "label C\nTASKSTOP 0=( \"b\" )\nTASKSTOP\n");
  RunTicks(2);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1}));
  EXPECT_EQ(TaskNode("b"), nullptr);
  EXPECT_NE(TaskNode("a"), nullptr);
  EXPECT_FALSE(QuitRequested());
}

TEST_F(RunnerTest, DisabledAndInactiveTasksAndGroupsAreSkipped) {
  Load(
      "label SYSTEM_START\n"
      "TASK 0=( \"a\" ) 34=( \"A\" ) 1=( 0 )\n"
      "TASK 0=( \"b\" ) 34=( \"B\" ) 2=( 0 )\n"
      "loop -1\n"
      "  WAIT 0=( 1 )\n"
      "end\n"
      "label A\n"
      "loop -1\n  trace 10\n  WAIT 0=( 1 )\nend\n"
      "label B\n"
      "loop -1\n  trace 20\n  WAIT 0=( 1 )\nend\n");
  RunTicks(3);
  EXPECT_TRUE(Trace().empty());
  TaskRef("a").enabled = 1;
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{10}));
  TaskRef("b").active = 1;
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{10, 20, 10}));
  TaskRef("a").active = 0;
  TaskRef("b").enabled = 0;
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 3u);
}

TEST_F(RunnerTest, GroupsAreRecursedAndTheirFlagsHoldTheirTasks) {
  Load(
      "label SYSTEM_START\n"
      "TASK 0=( \"g/\" ) 34=( \"IDLE\" )\n"
      "TASK 0=( \"g/t\" ) 34=( \"T\" )\n"
      "label IDLE\n"
      "loop -1\n  WAIT 0=( 1 )\nend\n"
      "label T\n"
      "loop -1\n  trace 5\n  WAIT 0=( 1 )\nend\n");
  RunTicks(2);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{5, 5}));
  NamedTreeNode* group = FindObjectByPath(g_task_tree.root, "g", kFindGroup);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->kind, kNodeGroup);
  static_cast<ScriptTask*>(group->payload)->enabled = 0;
  RunTicks(2);
  EXPECT_EQ(Trace().size(), 2u);
}

TEST_F(RunnerTest, RunningPastTheLastCommandIsFatal) {
  Load("label SYSTEM_START\ntrace 1\nNOP9\n");
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1}));
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(LastCode(), 900000);
  EXPECT_EQ(LastErrorReport().file, "main.kas");
  EXPECT_EQ(LastErrorReport().line, 3);  // the last command
}

TEST_F(RunnerTest, WatchdogEndsATurnThatNeverEnds) {
  Load("label SYSTEM_START\nloop -1\nend\n");
  SetScriptTickBudget(5000);
  RunTicks(1);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(g_engine.fatal_quit.load(), 1);
  EXPECT_EQ(g_runner.watchdog_tripped, 1);
}

TEST_F(RunnerTest, QuitCommandSetsTheFlagsAndEndsTheLoop) {
  Load("label SYSTEM_START\ntrace 1\nQUIT\ntrace 2\n");
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1}));
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(g_engine.fatal_quit.load(), 0);
  EXPECT_EQ(g_engine.restart_flag.load(), 0);

  InitEngineState();
  Load("label SYSTEM_START\nQUIT 0=( 1 )\n");
  RunTicks(1);
  EXPECT_EQ(g_engine.restart_flag.load(), 1);
}

// The paused engine: the main window is shown and has lost the focus.
class PauseTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    ASSERT_EQ(CreateWindowRecords(), 0);
    platform::WindowDesc desc;
    desc.client_width = 640;
    desc.client_height = 480;
    window_ = platform::CreateWindow(desc);
    g_windows[0]->handle = window_;
    platform::ShowWindow(window_, platform::ShowCommand::kShow);
    PumpMessages();
    ASSERT_EQ(g_windows[0]->focus.load(), 1);
    g_windows[0]->focus = 0;
    Load(kTicker);
  }
  void TearDown() override {
    PumpMessages();
    platform::DestroyWindow(window_);
    FreeWindowRecords();
    RunnerTest::TearDown();
  }
  void Post(platform::EventKind kind, int32_t value) {
    platform::Event e;
    e.kind = kind;
    e.window = window_;
    e.value = value;
    platform::PostEvent(std::move(e));
  }
  platform::WindowId window_ = platform::kNoWindow;
};

TEST_F(PauseTest, TaskIsHeldUntilTheFocusReturns) {
  const uint32_t start = platform::NowMs();
  Post(platform::EventKind::kActivate, 1);  // arrives while the wrapper waits
  RunTicks(1);
  EXPECT_EQ(Trace(), (std::vector<int64_t>{1}));
  EXPECT_EQ(platform::NowMs() - start, 10u);  // one 10 ms wait before the focus came back
  EXPECT_EQ(g_windows[0]->focus.load(), 1);
}

TEST_F(PauseTest, QuitMessageDuringThePauseSkipsTheCommand) {
  Post(platform::EventKind::kQuit, 0);
  RunTicks(1);
  EXPECT_TRUE(Trace().empty());
  EXPECT_EQ(g_engine.running_flag.load(), 0);
}

TEST_F(PauseTest, KeepRunningOrAHiddenWindowDoesNotPause) {
  g_keep_running_inactive = 1;
  const uint32_t start = platform::NowMs();
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 1u);
  g_keep_running_inactive = 0;
  // Before the first frame shows it, the main window cannot get the focus: no pause.
  platform::ShowWindow(window_, platform::ShowCommand::kHide);
  PumpMessages();
  g_windows[0]->focus = 0;
  RunTicks(1);
  EXPECT_EQ(Trace().size(), 2u);
  EXPECT_EQ(platform::NowMs(), start);
}

TEST_F(PauseTest, WatchdogBoundsAPauseThatNeverEnds) {
  SetScriptTickBudget(50);
  RunTicks(1);
  EXPECT_TRUE(Trace().empty());
  EXPECT_EQ(g_runner.watchdog_tripped, 1);
}

// Every 1024 commands the cursor is tested against the screen corners; four corners end the run
// once the player says yes.
class CornerTest : public RunnerTest {
 protected:
  void SetUp() override {
    RunnerTest::SetUp();
    g_display.desktop_width = 800;
    g_display.desktop_height = 600;
    // About 1100 commands per tick: one corner test in each.
    Load(
        "label SYSTEM_START\n"
        "loop -1\n"
        "  loop 1100\n"
        "  end\n"
        "  WAIT 0=( 1 )\n"
        "end\n");
  }
  void TearDown() override {
    g_project.debug = 0;
    RunnerTest::TearDown();
  }
  void TouchCorners() {
    const int32_t corners[4][2] = {{0, 0}, {8, 591}, {791, 8}, {799, 599}};
    for (const auto& c : corners) {
      platform::SetCursorPos(c[0], c[1]);
      RunTicks(1);
    }
  }
};

TEST_F(CornerTest, FourCornersAskAndYesQuits) {
  g_project.debug = 1;
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("6", &error)) << error;
  TouchCorners();
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(g_runner.corner_mask, 0);
}

TEST_F(CornerTest, NoKeepsRunningAndNoDebugByteNoTest) {
  g_project.debug = 1;
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("7", &error)) << error;
  // A position off the corners by one pixel does not count.
  platform::SetCursorPos(9, 9);
  RunTicks(1);
  EXPECT_EQ(g_runner.corner_mask, 0);
  TouchCorners();
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_FALSE(QuitRequested());

  g_project.debug = 0;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("6", &error)) << error;
  TouchCorners();
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 1u);
  EXPECT_EQ(g_runner.corner_mask, 0);
}

TEST_F(RunnerTest, ErrorsCarryTheRunningCommandsPosition) {
  Load({{"a.kas", "label SYSTEM_START\ncall FAR\n"}, {"b.kas", "label FAR\n\n\n24\n"}});
  RunTicks(1);
  EXPECT_EQ(LastCode(), 900050);
  EXPECT_EQ(LastErrorReport().file, "b.kas");
  EXPECT_EQ(LastErrorReport().line, 4);
  // Between turns there is no script position.
  const char* file = nullptr;
  int line = 0;
  EXPECT_FALSE(CurrentScriptPosition(&file, &line));
}

}  // namespace
}  // namespace korvel
