// Commands 55, 83 and 76: cursor request sequences and what they leave visible, the standard cursor
// map, layer-made cursors (a failed one keeps the old), the warp from logical to display
// coordinates, tray state with its tip cut and its size message, and the screen settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_args.h"
#include "commands/cursor_command.h"
#include "commands/screen_settings_command.h"
#include "commands/tray_command.h"
#include "core/display_state.h"
#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/frame_step.h"
#include "core/input_state.h"
#include "core/project_config.h"
#include "layer/layer_test_env.h"
#include "platform/cursor_shapes.h"
#include "platform/platform.h"
#include "script/system_variables.h"

namespace korvel {
namespace {

using platform::SystemCursor;

class DesktopCommandTest : public test::LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    InitInputState();
    InitTrayState();
    InitEngineTimers();
    InitDisplayState();
    g_display.display_width = kWidth;
    g_display.display_height = kHeight;
  }
  void TearDown() override {
    test::ResetCommandArgs();
    LayerEnv::TearDown();
  }
  static int32_t Cursor(std::initializer_list<std::pair<uint8_t, int64_t>> values,
                        const char* layer = nullptr) {
    test::CommandArgs args;
    for (auto [param, value] : values) args.Value(param, value);
    if (layer != nullptr) args.Text(10, layer);
    const int32_t result = RunCursorCommand();
    ApplyCursorRequest();  // as the next input poll does
    return result;
  }
};

// Requests made between two polls all reach the counter: a hide and a show in between leave it
// where it was, and the next request still works.
TEST_F(DesktopCommandTest, EveryRequestBetweenTwoPollsCounts) {
  struct Case {
    const char* what;
    std::vector<bool> shows;  // true: show request, false: hide request
    bool shown;
    int32_t count;
  };
  const Case cases[] = {
      {"hide, show", {false, true}, true, 0},
      {"hide, show, hide", {false, true, false}, false, -1},
  };
  for (const Case& c : cases) {
    InitInputState();
    platform::ShowCursor(true);
    for (const bool show : c.shows) show ? RequestCursorShow() : RequestCursorHide();
    ApplyCursorRequest();
    EXPECT_EQ(platform::HeadlessCursorShown(), c.shown) << c.what;
    EXPECT_EQ(g_cursor.display_count.load(), c.count) << c.what;
    c.shown ? RequestCursorHide() : RequestCursorShow();
    ApplyCursorRequest();
    EXPECT_EQ(platform::HeadlessCursorShown(), !c.shown) << c.what << ", then the other way";
    EXPECT_EQ(g_cursor.display_count.load(), c.shown ? -1 : 0) << c.what;
  }
}

TEST_F(DesktopCommandTest, CursorRequestSequences) {
  struct Step {
    const char* what;
    int64_t mode;       // -1: a message box shows the cursor instead
    bool activity;      // a held key was recorded before the step
    bool shown;         // visible afterwards
  };
  const Step steps[] = {
      {"hide", 0, false, false},
      {"hide again changes nothing", 0, false, false},
      {"auto-hide mode shows", 1, false, true},
      {"always shown", 2, false, true},
      {"hide", 0, false, false},
      {"a dialog shows it", -1, false, true},
      {"hide", 0, false, false},
      {"auto-hide with activity recorded keeps it hidden", 1, true, false},
      {"always shown clears the activity", 2, true, true},
  };
  EXPECT_TRUE(platform::HeadlessCursorShown());
  for (const Step& s : steps) {
    g_windows[0]->cursor_activity.store(s.activity ? 1 : 0);
    if (s.mode < 0) {
      RequestCursorShow();
      ApplyCursorRequest();
    } else {
      ASSERT_EQ(Cursor({{0, s.mode}}), 0);
      EXPECT_EQ(g_cursor.mode.load(), s.mode) << s.what;
      EXPECT_EQ(g_cursor.auto_hide.load(), s.mode == 1 ? 1 : 0) << s.what;
    }
    EXPECT_EQ(platform::HeadlessCursorShown(), s.shown) << s.what;
    EXPECT_GE(g_cursor.display_count.load(), -1) << s.what;
    EXPECT_LE(g_cursor.display_count.load(), 0) << s.what;
  }
  EXPECT_EQ(g_windows[0]->cursor_activity.load(), 0);
  // The counter: two hides need two shows.
  g_cursor.pending = -1;
  ApplyCursorRequest();
  g_cursor.pending = -1;
  ApplyCursorRequest();
  g_cursor.pending = 1;
  ApplyCursorRequest();
  EXPECT_FALSE(platform::HeadlessCursorShown());
  g_cursor.pending = 1;
  ApplyCursorRequest();
  EXPECT_TRUE(platform::HeadlessCursorShown());

  ASSERT_EQ(Cursor({{1, 700}, {2, 1}, {3, 0}, {4, 9}}), 0);
  EXPECT_EQ(g_cursor.auto_hide_delay.load(), 700u);
  EXPECT_EQ(g_windows[0]->cursor_switches[0], 1);
  EXPECT_EQ(g_windows[0]->cursor_switches[1], 0);
  EXPECT_EQ(g_windows[0]->cursor_switches[2], 9);
}

TEST_F(DesktopCommandTest, StandardCursorMap) {
  const struct {
    int64_t number;
    SystemCursor cursor;
  } cases[] = {
      {0, SystemCursor::kArrow},      {1, SystemCursor::kIBeam},     {2, SystemCursor::kWait},
      {3, SystemCursor::kCross},      {4, SystemCursor::kUpArrow},   {5, SystemCursor::kSizeNwse},
      {6, SystemCursor::kSizeNesw},   {7, SystemCursor::kSizeWe},    {8, SystemCursor::kSizeNs},
      {9, SystemCursor::kSizeAll},    {10, SystemCursor::kNo},       {11, SystemCursor::kHand},
      {12, SystemCursor::kAppStarting}, {13, SystemCursor::kHelp},   {14, SystemCursor::kArrow},
      {-1, SystemCursor::kArrow},     {int64_t{1} << 32 | 1, SystemCursor::kArrow},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StandardCursorFor(c.number), c.cursor) << c.number;
    ASSERT_EQ(Cursor({{7, c.number}}), 0);
    EXPECT_EQ(platform::GetHeadlessCursorShape().system, static_cast<int32_t>(c.cursor))
        << c.number;
  }
}

TEST_F(DesktopCommandTest, LayerCursorsAndWarp) {
  ASSERT_NE(MakeImage("c1", 0, 0, 8, 6, 1, 0xFF00FF00u, true), nullptr);
  ASSERT_NE(MakeImage("c2", 0, 0, 4, 4, 2, 0xFF0000FFu, true), nullptr);
  ASSERT_EQ(Cursor({{8, 3}, {9, 65536 + 4}}, "c1"), 0);
  platform::HeadlessCursorShape shape = platform::GetHeadlessCursorShape();
  EXPECT_EQ(shape.system, -2);
  EXPECT_EQ(shape.width, 8);
  EXPECT_EQ(shape.height, 6);
  EXPECT_EQ(shape.hot_x, 3);
  EXPECT_EQ(shape.hot_y, 4);  // a 16-bit value

  // A cursor that cannot be made shows its message and keeps the old one.
  platform::SetHeadlessImageCursorFails(true);
  QueueOk();
  ASSERT_EQ(Cursor({}, "c2"), 0);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_EQ(platform::GetHeadlessCursorShape().width, 8);
  platform::SetHeadlessImageCursorFails(false);
  // An unknown layer or one without pixels makes nothing.
  ASSERT_EQ(Cursor({}, "none"), 0);
  LayerData* c2 = Layer("c2");
  uint8_t* pixels = c2->pixels;
  c2->pixels = nullptr;
  ASSERT_EQ(Cursor({}, "c2"), 0);
  c2->pixels = pixels;
  EXPECT_EQ(platform::GetHeadlessCursorShape().width, 8);

  // Warp: logical (32, 12) of a 64 x 48 frame shown at 128 x 96 from (10, 5).
  g_display.display_width = 128;
  g_display.display_height = 96;
  g_display.offset_x = 10;
  g_display.offset_y = 5;
  platform::HeadlessWindowInfo info;
  ASSERT_TRUE(platform::GetHeadlessWindowInfo(g_windows[0]->handle, &info));
  ASSERT_EQ(Cursor({{5, 32}}), 0);
  int32_t x = 0, y = 0;
  platform::GetCursorPos(&x, &y);
  EXPECT_EQ(x, info.x + 10 + 64);
  ASSERT_EQ(Cursor({{6, 12}}), 0);
  platform::GetCursorPos(&x, &y);
  EXPECT_EQ(x, info.x + 10 + 64);
  EXPECT_EQ(y, info.y + 5 + 24);
  EXPECT_EQ(g_windows[0]->mouse_x.load(), 32);
  EXPECT_EQ(g_windows[0]->mouse_y.load(), 12);
}

TEST_F(DesktopCommandTest, TrayState) {
  ASSERT_NE(MakeImage("i16", 0, 0, 16, 16, 1, 0xFF00FF00u, true), nullptr);
  ASSERT_NE(MakeImage("i32", 0, 0, 32, 32, 2, 0xFF00FF00u, true), nullptr);
  // 126 bytes then a double-byte character: the tip keeps 126 bytes.
  const std::string tip = std::string(126, 't') + "\x82\xa0" + "more";
  test::CommandArgs().Value(0, 1).Text(1, tip).Text(2, "i16");
  ASSERT_EQ(RunTrayCommand(), 0);
  EXPECT_TRUE(g_tray.shown);
  EXPECT_TRUE(g_tray.icon_from_layer);
  EXPECT_EQ(g_tray.tip, std::string(126, 't'));
  test::CommandArgs().Value(0, 1).Text(1, std::string(300, 'u'));
  ASSERT_EQ(RunTrayCommand(), 0);
  EXPECT_EQ(g_tray.tip, std::string(127, 'u'));
  EXPECT_FALSE(g_tray.icon_from_layer);

  // A 32 x 32 layer shows the size message and the program's icon is used.
  ::testing::internal::CaptureStderr();
  QueueOk();
  test::CommandArgs().Value(0, 1).Text(2, "i32");
  ASSERT_EQ(RunTrayCommand(), 0);
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("ICON ERR.\\nレイヤサイズが 16x16 ではありません。"), std::string::npos) << log;
  EXPECT_TRUE(g_tray.shown);
  EXPECT_FALSE(g_tray.icon_from_layer);

  // An unknown icon layer: nothing more happens.
  test::CommandArgs().Value(0, 0).Text(2, "none");
  ASSERT_EQ(RunTrayCommand(), 0);
  EXPECT_TRUE(g_tray.shown);
  test::CommandArgs().Value(0, 0).Text(3, "menus/tray");
  ASSERT_EQ(RunTrayCommand(), 0);
  EXPECT_FALSE(g_tray.shown);
  EXPECT_EQ(g_tray.menu_node, "menus/tray");
}

TEST_F(DesktopCommandTest, ScreenSettings) {
  g_windows[0]->focus.store(1);
  ASSERT_EQ(AllocateScreenBuffer(kWidth, kHeight), 0);
  // Sizes below 1 are ignored; the other indexes still apply.
  test::CommandArgs().Value(0, 1).Value(1, 1).Value(2, 0).Value(3, 600);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EXPECT_EQ(g_windows[0]->logical_width, kWidth);
  EXPECT_EQ(g_project.allow_screen_saver, 1);
  EXPECT_TRUE(platform::HeadlessScreenSaverAllowed());
  EXPECT_EQ(g_keep_running_inactive.load(), 1);

  // Above 8192: the size error before anything changes.
  QueueOk();
  test::CommandArgs().Value(0, 0).Value(1, 0).Value(2, 8193).Value(3, 600).Value(5, 0);
  EXPECT_EQ(RunScreenSettingsCommand(), -1);
  EXPECT_EQ(LastCode(), 100010);
  EXPECT_EQ(g_project.allow_screen_saver, 1);
  EXPECT_EQ(g_keep_running_inactive.load(), 1);
  EXPECT_EQ(g_engine_timers.enabled[1], 1);
  EXPECT_EQ(g_windows[0]->logical_width, kWidth);

  // Running while inactive is taken only while window 0 has the focus.
  g_windows[0]->focus.store(0);
  test::CommandArgs().Value(1, 0);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EXPECT_EQ(g_keep_running_inactive.load(), 1);

  test::CommandArgs().Value(2, 320).Value(3, 240);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EXPECT_EQ(g_windows[0]->logical_width, 320);
  EXPECT_EQ(g_windows[0]->logical_height, 240);
  EXPECT_EQ(Root()->width, 320);
  EXPECT_EQ(Root()->height, 240);
  EXPECT_EQ(g_frame.screen_width, 320);
  EXPECT_EQ(g_display.display_width, 320);
}

TEST_F(DesktopCommandTest, TimerSwitchesLeaveOutTheStoppedTime) {
  g_engine.start_stamps[2] = 1000;
  g_engine.start_stamps[3] = 1000;
  test::CommandArgs().Value(6, 0).Value(7, 0);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EXPECT_EQ(g_engine_timers.enabled[2], 0);
  platform::AdvanceClockForTest(500);
  test::CommandArgs().Value(6, 1).Value(7, 0);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EXPECT_EQ(g_engine.start_stamps[2], 1500u);
  EXPECT_EQ(g_engine.start_stamps[3], 1000u);  // still off
  EXPECT_EQ(g_engine_timers.enabled[2], 1);
  // Turning on a timer that is on changes nothing.
  test::CommandArgs().Value(6, 1);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EXPECT_EQ(g_engine.start_stamps[2], 1500u);
}

// A timer switched off reads the time it had run when it stopped (system variable 1 elements 1..4,
// and 89 for the first), and runs on from there once switched on again.
TEST_F(DesktopCommandTest, StoppedTimersReadTheirStopTime) {
  SetTimerStartStamps(platform::NowMs());
  platform::AdvanceClockForTest(100);
  test::CommandArgs().Value(4, 0).Value(6, 0);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  platform::AdvanceClockForTest(400);
  EXPECT_EQ(GetSystemValueById(1, 1), 100);
  EXPECT_EQ(GetSystemValueById(89, 0), 100);
  EXPECT_EQ(GetSystemValueById(1, 2), 500);  // still running
  EXPECT_EQ(GetSystemValueById(1, 3), 100);
  test::CommandArgs().Value(6, 1);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  platform::AdvanceClockForTest(50);
  EXPECT_EQ(GetSystemValueById(1, 3), 150);
  EXPECT_EQ(GetSystemValueById(1, 1), 100);
}

// Stopped during a pause, a timer stands where the pause held it.
TEST_F(DesktopCommandTest, TimerStoppedDuringAPauseStandsAtThePauseStart) {
  SetTimerStartStamps(platform::NowMs());
  platform::AdvanceClockForTest(100);
  StartTimerPause();
  platform::AdvanceClockForTest(200);
  test::CommandArgs().Value(4, 0);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EndTimerPause();
  platform::AdvanceClockForTest(300);
  EXPECT_EQ(GetSystemValueById(1, 1), 100);
  EXPECT_EQ(GetSystemValueById(1, 2), 400);
}

// Stopped at 100, paused from 200 to 400 and switched on at 300 in between: the timer runs only
// after the pause ends, and never reads less than it did.
TEST_F(DesktopCommandTest, TimerSwitchedOnDuringAPauseRunsFromThePauseEnd) {
  SetTimerStartStamps(platform::NowMs());
  platform::AdvanceClockForTest(100);
  test::CommandArgs().Value(4, 0);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  platform::AdvanceClockForTest(100);
  StartTimerPause();
  platform::AdvanceClockForTest(100);
  test::CommandArgs().Value(4, 1);
  ASSERT_EQ(RunScreenSettingsCommand(), 0);
  EXPECT_EQ(GetSystemValueById(1, 1), 100);
  platform::AdvanceClockForTest(100);
  EndTimerPause();
  EXPECT_EQ(GetSystemValueById(1, 1), 100);
  platform::AdvanceClockForTest(50);
  EXPECT_EQ(GetSystemValueById(1, 1), 150);
}

}  // namespace
}  // namespace korvel
