// The key table through the headless shell: edges and counters of a key, the any-key code, the
// mouse codes (wheel, movement, presses far outside the window), joystick directions and buttons
// with unplugging, and the cursor's auto-hide on the virtual clock.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/frame_pacer.h"
#include "input_test_env.h"

namespace korvel {
namespace {

using test::InputShell;

constexpr int32_t kKeyA = 0x41;
constexpr int32_t kKeyB = 0x42;

std::vector<int64_t> Counters(const std::vector<std::vector<int64_t>>& frames, size_t i) {
  std::vector<int64_t> out;
  for (const auto& f : frames) out.push_back(f[i]);
  return out;
}

TEST_F(InputShell, KeyCountersAndPressesFollowTheDownPattern) {
  // Down pattern 0 1 1 1 0 0: the key goes down before frame 2's poll and up before frame 5's.
  Input(2, "key down 65");
  Input(5, "key up 65");
  std::vector<int64_t> counters;
  std::vector<uint64_t> presses;
  for (int i = 0; i < 6; ++i) {
    Step();
    counters.push_back(g_keys.counter[kKeyA]);
    presses.push_back(g_keys.presses[kKeyA]);
  }
  EXPECT_EQ(counters, (std::vector<int64_t>{-1, 1, 2, 3, -1, -2}));
  EXPECT_EQ(presses, (std::vector<uint64_t>{0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(g_keys.state[kKeyA], kKeyStateUp);
}

TEST_F(InputShell, AnyKeyCodeCountsOverlappingKeysAsOnePress) {
  Input(2, "key down 65");
  Input(3, "key down 66");
  Input(4, "key up 65");
  Input(5, "key up 66");
  std::vector<std::vector<int64_t>> frames;
  for (int i = 0; i < 6; ++i) {
    Step();
    frames.push_back({g_keys.counter[kAnyKeyCode], g_keys.counter[kKeyA], g_keys.counter[kKeyB]});
  }
  EXPECT_EQ(Counters(frames, 0), (std::vector<int64_t>{-1, 1, 2, 3, -1, -2}));
  EXPECT_EQ(Counters(frames, 1), (std::vector<int64_t>{-1, 1, 2, -1, -2, -3}));
  EXPECT_EQ(Counters(frames, 2), (std::vector<int64_t>{-1, -2, 1, 2, -1, -2}));
  EXPECT_EQ(g_keys.presses[kAnyKeyCode], 1u);
  EXPECT_EQ(g_keys.presses[kKeyA], 1u);
  EXPECT_EQ(g_keys.presses[kKeyB], 1u);
}

TEST_F(InputShell, KeysPollOnlyWhileTheKeyboardSwitchIsOn) {
  Input(1, "key down 65");
  g_input_switches.keyboard = 0;
  Step();
  Step();
  EXPECT_EQ(g_keys.counter[kKeyA], 0);
  EXPECT_EQ(g_keys.counter[kAnyKeyCode], 0);
  g_input_switches.keyboard = 1;
  Step();
  EXPECT_EQ(g_keys.counter[kKeyA], 1);
}

TEST_F(InputShell, LosingTheFocusReleasesEveryKey) {
  Input(1, "key down 65");
  Input(1, "mouse move 10 10");
  Input(1, "mouse down left");
  Step();
  ASSERT_EQ(g_keys.counter[kKeyA], 1);
  ASSERT_EQ(g_keys.counter[1], 1);
  Input(2, "focus lost");
  Step();
  EXPECT_EQ(g_keys.counter[kKeyA], -1);
  EXPECT_EQ(g_keys.counter[1], -1);
  EXPECT_EQ(g_keys.counter[kAnyKeyCode], -1);
}

TEST_F(InputShell, WheelAndMoveShowForExactlyOneFrame) {
  Input(1, "mouse move 20 20");
  for (int i = 0; i < 3; ++i) Step();
  ASSERT_LT(g_keys.counter[kMouseMovedCode], 0);
  struct Case {
    const char* line;
    int32_t code;
    int32_t other;
  } cases[] = {{"wheel 120", kWheelAwayCode, kWheelTowardCode},
               {"wheel -120", kWheelTowardCode, kWheelAwayCode},
               {"mouse move 30 40", kMouseMovedCode, kWheelAwayCode}};
  for (const Case& c : cases) {
    Input(frame_ + 1, c.line);
    const int64_t other_before = g_keys.counter[c.other];
    Step();
    EXPECT_EQ(g_keys.counter[c.code], 1) << c.line;
    EXPECT_LT(g_keys.counter[c.other], 0) << c.line;
    Step();
    EXPECT_EQ(g_keys.counter[c.code], -1) << c.line;
    Step();
    EXPECT_EQ(g_keys.counter[c.code], -2) << c.line;
    EXPECT_LT(g_keys.counter[c.other], other_before) << c.line;
  }
  EXPECT_EQ(g_keys.presses[kWheelAwayCode], 1u);
  EXPECT_EQ(g_keys.presses[kWheelTowardCode], 1u);
}

TEST_F(InputShell, PressFarOutsideIsIgnoredAndAHeldButtonStaysHeld) {
  // Far outside: the button, a wheel turn and the move itself do not count.
  Input(1, "mouse move -300 -300");
  Input(2, "mouse down left");
  Input(2, "wheel 120");
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_LT(g_keys.counter[1], 0);
  EXPECT_LT(g_keys.counter[kWheelAwayCode], 0);
  EXPECT_LT(g_keys.counter[kMouseMovedCode], 0);
  EXPECT_EQ(g_keys.presses[1], 0u);

  // Pressed inside, the button stays held while the cursor leaves the window.
  Input(4, "mouse up left");
  Input(4, "mouse move 100 100");
  Input(5, "mouse down right");
  Step();
  Step();
  ASSERT_EQ(g_keys.counter[2], 1);
  Input(frame_ + 1, "mouse move 2000 -900");
  Step();
  Step();
  EXPECT_EQ(g_keys.counter[2], 3);
  EXPECT_EQ(g_keys.presses[2], 1u);
}

TEST_F(InputShell, JoystickDirectionsAndButtons) {
  g_input_switches.joystick = 1;
  Input(1, "joy 0 added");
  Step();
  struct Case {
    int32_t x, y;
    bool left, right, up, down;
  } cases[] = {
      {-32768, 0, true, false, false, false},  {0, 0, false, false, false, false},
      {1, 0, false, true, false, false},       {32767, 0, false, true, false, false},
      {-1, -1, true, false, true, false},      {0, 1, false, false, false, true},
      {0, 32767, false, false, false, true},   {0, -32768, false, false, true, false},
  };
  for (const Case& c : cases) {
    Input(frame_ + 1, "joy 0 axis 0 " + std::to_string(c.x));
    Input(frame_ + 1, "joy 0 axis 1 " + std::to_string(c.y));
    Step();
    const std::string label = std::to_string(c.x) + "," + std::to_string(c.y);
    EXPECT_EQ(g_keys.down[kJoystickBaseCode + 0] != 0, c.left) << label;
    EXPECT_EQ(g_keys.down[kJoystickBaseCode + 1] != 0, c.right) << label;
    EXPECT_EQ(g_keys.down[kJoystickBaseCode + 2] != 0, c.up) << label;
    EXPECT_EQ(g_keys.down[kJoystickBaseCode + 3] != 0, c.down) << label;
  }
  // Buttons 1..32 at +4..+35; joystick 3 at its own block.
  Input(frame_ + 1, "joy 0 button 0 down");
  Input(frame_ + 1, "joy 0 button 31 down");
  Input(frame_ + 1, "joy 3 added");
  Input(frame_ + 1, "joy 3 button 7 down");
  Step();
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 4], 1);
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 35], 1);
  EXPECT_LT(g_keys.counter[kJoystickBaseCode + 5], 0);
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 3 * kJoystickCodeCount + 4 + 7], 1);
  EXPECT_EQ(g_joysticks.present[0], 1);
  EXPECT_EQ(g_joysticks.present[3], 1);
  EXPECT_EQ(g_joysticks.present[1], 0);
}

TEST_F(InputShell, UnpluggedJoystickReleasesAllItsCodes) {
  g_input_switches.joystick = 1;
  Input(1, "joy 2 added");
  Input(1, "joy 2 axis 0 -32768");
  Input(1, "joy 2 axis 1 32767");
  for (int b = 0; b < 32; ++b) Input(1, "joy 2 button " + std::to_string(b) + " down");
  Step();
  const int32_t base = kJoystickBaseCode + 2 * kJoystickCodeCount;
  for (int32_t c = 0; c < kJoystickCodeCount; ++c) {
    if (c == 1 || c == 2) continue;  // right and up stay released
    ASSERT_EQ(g_keys.counter[base + c], 1) << c;
  }
  Input(2, "joy 2 removed");
  Step();
  for (int32_t c = 0; c < kJoystickCodeCount; ++c) {
    EXPECT_LT(g_keys.counter[base + c], 0) << "code +" << c << " stuck";
  }
  EXPECT_EQ(g_joysticks.present[2], 0);
  // Plugged again, it starts centred with nothing held.
  Input(3, "joy 2 added");
  Step();
  EXPECT_EQ(g_joysticks.present[2], 1);
  for (int32_t c = 0; c < kJoystickCodeCount; ++c) EXPECT_LT(g_keys.counter[base + c], 0) << c;
}

TEST_F(InputShell, JoysticksPollOnlyWhileTheirSwitchIsOn) {
  Input(1, "joy 0 added");
  Input(1, "joy 0 button 0 down");
  Step();
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 4], 0) << "off by default";
  g_input_switches.joystick = 1;
  Step();
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 4], 1);
}

TEST_F(InputShell, CursorHidesAfterTheDelayAndShowsOnAMove) {
  Input(1, "mouse move 100 100");
  for (int i = 0; i < 3; ++i) Step();  // the move's frame is over
  ASSERT_TRUE(platform::HeadlessCursorShown());
  Input(frame_ + 1, "key down 32");
  Step();
  const uint32_t t = platform::NowMs();
  ASSERT_EQ(g_keys.counter[kAnyKeyCode], 1);
  // The pacer's stamp is what the delay is measured on.
  platform::AdvanceClockForTest(2500);
  g_pacer.last_stamp = t + 2500;
  Step();
  EXPECT_TRUE(platform::HeadlessCursorShown()) << "shown at t + 2500";
  platform::AdvanceClockForTest(1);
  g_pacer.last_stamp = t + 2501;
  Step();
  EXPECT_FALSE(platform::HeadlessCursorShown()) << "hidden at t + 2501";
  Step();
  EXPECT_FALSE(platform::HeadlessCursorShown());
  Input(frame_ + 1, "mouse move 101 100");
  Step();
  EXPECT_TRUE(platform::HeadlessCursorShown()) << "shown again on a move";
}

TEST_F(InputShell, CursorAutoHideFollowsItsSwitchesAndDelay) {
  struct Case {
    const char* name;
    uint8_t auto_hide;
    uint32_t delay;
    bool hidden;
  } cases[] = {{"off", 0, 2500, false}, {"short delay", 1, 100, true}, {"long delay", 1, 9000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_cursor.auto_hide = c.auto_hide;
    g_cursor.auto_hide_delay = c.delay;
    g_cursor.shown = 1;
    platform::ShowCursor(true);
    g_windows[0]->cursor_activity = 0;
    Input(frame_ + 1, "mouse move 50 60");
    Input(frame_ + 2, "key down 13");
    for (int i = 0; i < 3; ++i) Step();
    platform::AdvanceClockForTest(3000);
    g_pacer.last_stamp = platform::NowMs();
    Step();
    EXPECT_EQ(!platform::HeadlessCursorShown(), c.hidden);
    Input(frame_ + 1, "key up 13");
    Step();
  }
}

TEST_F(InputShell, StampAheadOfThePacerIsNoTimeAtAll) {
  Input(1, "mouse move 100 100");
  Input(3, "key down 32");
  g_pacer.last_stamp = platform::NowMs() - 1;  // the pacer's stamp of the previous frame
  for (int i = 0; i < 5; ++i) Step();
  EXPECT_TRUE(platform::HeadlessCursorShown());
}

TEST_F(InputShell, CountersWrapInsteadOfOverflowing) {
  g_keys.counter[kKeyA] = INT64_MIN;
  Step();
  EXPECT_EQ(g_keys.counter[kKeyA], INT64_MAX);
  Input(frame_ + 1, "key down 65");
  Step();
  g_keys.counter[kKeyA] = INT64_MAX;
  Step();
  EXPECT_EQ(g_keys.counter[kKeyA], INT64_MIN);
}

}  // namespace
}  // namespace korvel
