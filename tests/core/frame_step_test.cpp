// The frame step's order of work, with every subsystem replaced by a recording fake.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/engine_state.h"
#include "core/frame_pacer.h"
#include "core/frame_step.h"
#include "core/startup.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "engine_fixture.h"
#include "platform/platform.h"

namespace korvel {
namespace {

std::vector<std::string> g_log;
int g_ticks_to_repeat = 0;
uint32_t g_work_ms = 0;  // clock time the script tick takes
int g_popup_set = -1;

void PollInput() { g_log.push_back("poll"); }
int RunScripts() {
  g_log.push_back("tick");
  if (g_work_ms != 0) platform::AdvanceClockForTest(g_work_ms);
  if (g_ticks_to_repeat > 0) {
    --g_ticks_to_repeat;
    g_frame.repeat_tick.store(1);
  }
  return 0;
}
void Sweep() { g_log.push_back("sweep"); }
int Render(int w) {
  g_log.push_back("render" + std::to_string(w));
  return 0;
}
int Present(int w) {
  g_log.push_back("present" + std::to_string(w) + "@" + std::to_string(platform::NowMs()));
  return 0;
}
void ResetDirty() { g_log.push_back("reset"); }
uint64_t Popup(int set, int32_t x, int32_t y) {
  g_popup_set = set;
  g_log.push_back("popup" + std::to_string(x) + "," + std::to_string(y));
  return 4321;
}

class RunFrameTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    StartWith({{"KORVEL_CLOCK_START", "1000"}});
    platform::SetClockThread(true);
    InitShellState();
    ASSERT_EQ(CreateWindowRecords(), 0);
    g_windows[0]->logical_width = 64;
    g_windows[0]->logical_height = 48;
    ResetSubsystemHooks();
    g_hooks.poll_input = PollInput;
    g_hooks.run_script_tasks = RunScripts;
    g_hooks.sweep_layer_changes = Sweep;
    g_hooks.render_window = Render;
    g_hooks.present_frame = Present;
    g_hooks.reset_dirty_rects = ResetDirty;
    g_hooks.show_popup_menu = Popup;
    g_log.clear();
    g_ticks_to_repeat = 0;
    g_work_ms = 0;
    g_pacer.reference = platform::NowMs();
  }
  void TearDown() override {
    FreeWindowRecords();
    ResetSubsystemHooks();
    platform::SetClockThread(false);
    HeadlessEngine::TearDown();
  }
  bool Drew() const {
    for (const auto& s : g_log) {
      if (s.rfind("render", 0) == 0 || s.rfind("present", 0) == 0) return true;
    }
    return false;
  }
};

TEST_F(RunFrameTest, StepsRunInOrderAndPresentationFollowsThePacer) {
  EXPECT_EQ(RunFrame(), 0);
  const std::vector<std::string> expected = {
      "poll",     "tick",     "sweep",    "render0", "render1", "render2", "render3",
      "present0@1016", "present1@1016", "present2@1016", "present3@1016", "reset"};
  EXPECT_EQ(g_log, expected);
  EXPECT_EQ(g_frame.frame_counter, 1u);
  EXPECT_EQ(g_frame.tick_counter, 1u);
}

TEST_F(RunFrameTest, SuspendedFrameOnlyCounts) {
  g_frame.suspend_flag.store(1);
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(g_frame.frame_counter, 1u);
  EXPECT_EQ(platform::NowMs(), 1000u) << "no pacing while suspended";
}

TEST_F(RunFrameTest, QuitFlagEndsTheFrameAtOnce) {
  SetQuitFlag();
  EXPECT_EQ(RunFrame(), 1);
  EXPECT_TRUE(g_log.empty());
  EXPECT_EQ(g_frame.frame_counter, 1u);
}

TEST_F(RunFrameTest, RepeatedTicksRunInTheSameFrame) {
  g_ticks_to_repeat = 2;
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "tick"), 3);
  EXPECT_EQ(g_frame.tick_counter, 3u);
  EXPECT_EQ(g_frame.frame_counter, 1u);
}

TEST_F(RunFrameTest, ScriptResultAsksForQuittingBeforeDrawing) {
  g_hooks.run_script_tasks = [] { return 1; };
  EXPECT_EQ(RunFrame(), 1);
  EXPECT_TRUE(QuitRequested());
  EXPECT_FALSE(Drew());
}

TEST_F(RunFrameTest, SkipDecidedInOneFrameGovernsDrawingOfTheNext) {
  // Frame 1 is late by 100 ms (more than 3 periods, less than 250): it still draws, because the
  // skip flag of frame 0 was clear, and decides to skip frame 2.
  g_work_ms = 116;
  ASSERT_EQ(RunFrame(), 0);
  EXPECT_TRUE(Drew());
  EXPECT_EQ(g_frame.skip_flag, 1);

  g_log.clear();
  g_work_ms = 0;
  ASSERT_EQ(RunFrame(), 0);
  EXPECT_FALSE(Drew()) << "frame 2 is skipped";
  EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "tick"), 1) << "ticks always run";

  g_log.clear();
  ASSERT_EQ(RunFrame(), 0);
  EXPECT_TRUE(Drew()) << "frame 3 draws again";
}

TEST_F(RunFrameTest, MoviePlayingStopsComposingAndPresenting) {
  g_frame.movie_playing.store(1);
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_FALSE(Drew());
  g_frame.movie_playing.store(0);
  g_frame.movie_open.store(1);
  g_frame.draw_while_movie_closed_only = 1;
  g_log.clear();
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_FALSE(Drew());
}

TEST_F(RunFrameTest, FirstFrameShowsTheMainWindow) {
  platform::WindowDesc desc;
  desc.title = "first frame";
  desc.client_width = 64;
  desc.client_height = 48;
  g_windows[0]->handle = platform::CreateWindow(desc);
  g_windows[0]->show_on_first_frame = 1;
  ASSERT_FALSE(platform::IsWindowVisible(g_windows[0]->handle)) << "created hidden";
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_TRUE(platform::IsWindowVisible(g_windows[0]->handle));
  platform::DestroyWindow(g_windows[0]->handle);
  g_windows[0]->handle = platform::kNoWindow;
}

TEST_F(RunFrameTest, PopupMenuRequestIsShownOnceAndPostsItsCommand) {
  platform::WindowDesc desc;
  desc.client_width = 64;
  desc.client_height = 48;
  g_windows[0]->handle = platform::CreateWindow(desc);
  g_frame.popup_menu_request = 2;
  g_frame.popup_x = 10;
  g_frame.popup_y = 20;
  EXPECT_EQ(RunFrame(), 0);
  EXPECT_EQ(g_popup_set, 2);
  EXPECT_EQ(g_frame.popup_menu_request, 0);
  platform::Event e;
  bool found = false;
  while (platform::PollEvent(&e)) {
    if (e.kind == platform::EventKind::kCommand && e.value == 4321) found = true;
  }
  EXPECT_TRUE(found);
  platform::DestroyWindow(g_windows[0]->handle);
  g_windows[0]->handle = platform::kNoWindow;
}

TEST_F(RunFrameTest, CountdownsStopAtZero) {
  g_frame.countdown_first = 1;
  g_frame.redraw_countdown = 1;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(RunFrame(), 0);
  EXPECT_EQ(g_frame.countdown_first, 0u);
  EXPECT_EQ(g_frame.redraw_countdown, 0);
}

}  // namespace
}  // namespace korvel
