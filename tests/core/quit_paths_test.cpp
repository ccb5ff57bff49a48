// Every way a run ends, through the real start-up, loop and shutdown in this process: a confirmed
// close, the quit command, a fatal error report and a failing init step, with and without the game
// thread. Each run must end within a time limit.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/project_config.h"
#include "core/startup.h"
#include "core/subsystem_hooks.h"
#include "engine_fixture.h"
#include "test_support.h"

namespace korvel {
namespace {

using test::TempDir;

std::vector<std::string> g_calls;
int g_fatal_at_tick = 0;
int g_quit_at_tick = 0;
bool g_threaded = false;
int g_ticks = 0;

int CountTick() {
  ++g_ticks;
  if (g_quit_at_tick != 0 && g_ticks == g_quit_at_tick) SetQuitFlag();  // the quit command
  if (g_fatal_at_tick != 0 && g_ticks == g_fatal_at_tick) ReportError(100010, true);
  return 0;
}
int ProjectConfig() {
  g_project.threaded = g_threaded ? 1 : 0;
  return 0;
}

struct RunOutcome {
  int status = -1;
  bool finished = false;
};

class QuitPathTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    ResetSubsystemHooks();
    g_hooks.run_script_tasks = CountTick;
    g_hooks.load_project_config = ProjectConfig;
    g_calls.clear();
    g_fatal_at_tick = g_quit_at_tick = g_ticks = 0;
    g_threaded = false;
    UseHeadlessEnvInProcess();
  }
  // The engine enters the game folder, which the test removes afterwards: come back first.
  void TearDown() override {
    ResetSubsystemHooks();
    ASSERT_EQ(::chdir(start_folder_.c_str()), 0);
  }
  const std::string start_folder_ = std::filesystem::current_path().string();

  // Runs the engine on an empty game folder; gives up after 20 s of real time.
  RunOutcome Run() {
    const std::string game = game_.path();
    auto future = std::async(std::launch::async, [game] {
      const char* argv[] = {"korvel", "--game", game.c_str()};
      return EngineMain(3, argv);
    });
    RunOutcome outcome;
    if (future.wait_for(std::chrono::seconds(20)) == std::future_status::ready) {
      outcome.finished = true;
      outcome.status = future.get();
    } else {
      std::_Exit(99);  // a hung engine cannot be joined; fail loudly
    }
    return outcome;
  }

  TempDir control_;
};

class QuitPathThreads : public QuitPathTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    QuitPathTest::SetUp();
    g_threaded = GetParam();
  }
};

TEST_P(QuitPathThreads, ConfirmedCloseEndsWithStatusZero) {
  ::setenv("KORVEL_INPUT", control_.Write("input", "5 close\n").c_str(), 1);
  ::setenv("KORVEL_ANSWERS", control_.Write("answers", "6\n").c_str(), 1);
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_GE(g_ticks, 4);
  EXPECT_LT(g_frame.frame_counter, 50u);
}

TEST_P(QuitPathThreads, CloseAnsweredNoKeepsRunning) {
  ::setenv("KORVEL_INPUT", control_.Write("input", "5 close\n").c_str(), 1);
  ::setenv("KORVEL_ANSWERS", control_.Write("answers", "7\n").c_str(), 1);
  ::setenv("KORVEL_FRAMES", "40", 1);
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_GE(g_frame.frame_counter, 40u) << "the run went on to the frame limit";
}

TEST_P(QuitPathThreads, QuitCommandEndsWithStatusZero) {
  g_quit_at_tick = 10;
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(g_ticks, 10);
}

TEST_P(QuitPathThreads, FatalReportEndsWithStatusOne) {
  g_fatal_at_tick = 3;
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(g_ticks, 3);
}

TEST_P(QuitPathThreads, FrameLimitEndsWithStatusZero) {
  ::setenv("KORVEL_FRAMES", "120", 1);
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(g_frame.frame_counter, 120u);
}

INSTANTIATE_TEST_SUITE_P(GameThread, QuitPathThreads, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param_info) {
                           return std::string(param_info.param ? "threaded" : "plain");
                         });

void Record(const char* name) { g_calls.push_back(name); }

TEST_F(QuitPathTest, FailingInitStepStillRunsTheWholeShutdown) {
  g_hooks.create_system_objects = [] { return -1; };
  g_hooks.stop_worker_threads = [] { Record("workers"); };
  g_hooks.release_gpu = [] { Record("gpu"); };
  g_hooks.release_movies = [] { Record("movies"); };
  g_hooks.release_sound_device = [] { Record("sound"); };
  g_hooks.destroy_menus = [] { Record("menus"); };
  g_hooks.release_display_objects = [] { Record("display"); };
  g_hooks.free_text_surfaces = [] { Record("text"); };
  g_hooks.free_save_cache = [] { Record("save"); };
  g_hooks.release_flash = [] { Record("flash"); };
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(g_ticks, 0) << "no frame ran";
  const std::vector<std::string> expected = {"workers", "gpu",  "movies", "sound", "menus",
                                             "display", "text", "save",   "flash"};
  EXPECT_EQ(g_calls, expected);
}

TEST_F(QuitPathTest, FatalReportDuringEventHandlingStillQuits) {
  // A fatal report outside the frame's result (here: while loading the script data, which asks to
  // quit itself) must not leave the loop sleeping for ever.
  g_hooks.start_worker_threads = [](int32_t) {
    ReportError(100010, true);
    return 0;
  };
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 1);
}

// The game thread starts when start-up is over: the GPU set-up, which settles the drawing mode it
// reads every frame, has run by then, and no frame runs before it.
TEST_F(QuitPathTest, GameThreadStartsAfterTheGpuSetUp) {
  static uint8_t thread_state_at_gpu_set_up;
  static int ticks_at_gpu_set_up;
  thread_state_at_gpu_set_up = 0;
  ticks_at_gpu_set_up = -1;
  g_threaded = true;
  g_hooks.gpu_drawing = []() -> uint8_t { return 1; };
  g_hooks.write_system_report = [] {};
  g_hooks.init_gpu = [] {
    std::lock_guard lock(EngineLock());
    thread_state_at_gpu_set_up = g_engine.game_thread_ended.load();
    ticks_at_gpu_set_up = g_ticks;
    return 0;
  };
  ::setenv("KORVEL_FRAMES", "5", 1);
  const RunOutcome r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(thread_state_at_gpu_set_up, 255) << "the game thread was already running";
  EXPECT_EQ(ticks_at_gpu_set_up, 0);
  EXPECT_EQ(g_ticks, 5);
}

}  // namespace
}  // namespace korvel
