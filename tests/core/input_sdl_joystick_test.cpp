// Joysticks through the SDL backend with SDL's own virtual joystick (dummy video driver): plugging
// takes a slot with the present position, motion and buttons reach the key table, unplugging
// releases every code and frees the slot for the next joystick.
#include <gtest/gtest.h>

#include "core/frame_step.h"
#include "core/input_state.h"
#include "platform/platform.h"
#include "platform/platform_test_util.h"
#include "platform/sdl/sdl_backend.h"
#include "required_tool.h"

namespace korvel {
namespace {

using platform::test::ScopedEnv;

class SdlJoystick : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kSdl));
    KORVEL_REQUIRE_TOOL(platform::ActiveBackend() == platform::BackendKind::kSdl,
                        "SDL's dummy video driver");
    if (!platform::JoysticksAvailable() || platform::AttachTestJoystick() < 0) {
      platform::ShutdownPlatform();
      GTEST_SKIP() << "SDL has no virtual joysticks";
    }
    InitInputState();
    ASSERT_EQ(InitJoysticks(), 1);
    g_input_switches.joystick = 1;
  }
  void TearDown() override {
    if (platform::ActiveBackend() == platform::BackendKind::kSdl) platform::ShutdownPlatform();
  }
  // The events SDL produced, then one input poll.
  static void Poll() {
    platform::Event event;
    while (platform::PollEvent(&event)) {
    }
    PollInputState();
  }

  ScopedEnv display_{"DISPLAY", std::nullopt};
  ScopedEnv wayland_{"WAYLAND_DISPLAY", std::nullopt};
  ScopedEnv driver_{"SDL_VIDEODRIVER", "dummy"};
  ScopedEnv bus_{"DBUS_SESSION_BUS_ADDRESS", "disabled:"};
  ScopedEnv platform_{"KORVEL_PLATFORM", std::nullopt};
};

TEST_F(SdlJoystick, HotPlugMotionAndRelease) {
  Poll();
  ASSERT_EQ(g_joysticks.present[0], 1) << "the plugged joystick takes slot 0";
  EXPECT_EQ(g_joysticks.present[1], 0);
  EXPECT_EQ(g_joysticks.position[0].x, 32767u);
  for (int32_t c = 0; c < kJoystickCodeCount; ++c) {
    EXPECT_EQ(g_keys.counter[kJoystickBaseCode + c], -1) << "centred stick, nothing held: " << c;
  }

  ASSERT_TRUE(platform::SetTestJoystickAxis(0, 0, -32768));
  ASSERT_TRUE(platform::SetTestJoystickAxis(0, 1, 32767));
  ASSERT_TRUE(platform::SetTestJoystickButton(0, 0, true));
  ASSERT_TRUE(platform::SetTestJoystickButton(0, 31, true));
  Poll();
  EXPECT_EQ(g_joysticks.position[0].x, 0u);
  EXPECT_EQ(g_joysticks.position[0].y, 65534u);
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 0], 1);   // left
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 3], 1);   // down
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 4], 1);   // button 1
  EXPECT_EQ(g_keys.counter[kJoystickBaseCode + 35], 1);  // button 32
  EXPECT_LT(g_keys.counter[kJoystickBaseCode + 1], 0);

  ASSERT_TRUE(platform::DetachTestJoystick());
  Poll();
  EXPECT_EQ(g_joysticks.present[0], 0);
  for (int32_t c = 0; c < kJoystickCodeCount; ++c) {
    EXPECT_LT(g_keys.counter[kJoystickBaseCode + c], 0) << "stuck after unplugging: " << c;
  }
  platform::JoystickPosition position;
  EXPECT_FALSE(platform::ReadJoystick(0, &position));

  // The next joystick plugged takes the freed slot.
  ASSERT_GE(platform::AttachTestJoystick(), 0);
  Poll();
  EXPECT_EQ(g_joysticks.present[0], 1);
  ASSERT_TRUE(platform::DetachTestJoystick());
  Poll();
}

}  // namespace
}  // namespace korvel
