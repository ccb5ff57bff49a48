// Scripted input of headless runs: every kind of line gives its event and snapshot change in its
// frame; malformed files stop the start with a clear line.
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

class HeadlessInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
    WindowDesc desc;
    desc.x = 100;
    desc.y = 50;
    desc.client_width = 640;
    desc.client_height = 480;
    main_ = CreateWindow(desc);
    ASSERT_NE(main_, kNoWindow);
    DrainEvents();
  }
  void TearDown() override { ShutdownPlatform(); }
  CleanHeadlessEnv env_;
  WindowId main_ = kNoWindow;
};

struct Expected {
  EventKind kind;
  int32_t value, x, y;
};

TEST_F(HeadlessInput, EachLineGivesItsEvent) {
  const struct {
    const char* line;
    Expected event;
  } cases[] = {
      {"1 key down 65", {EventKind::kKeyDown, 65, 0, 0}},
      {"1 key up 0x41", {EventKind::kKeyUp, 65, 0, 0}},
      {"1 mouse move 10 20", {EventKind::kMouseMove, 0, 10, 20}},
      {"1 mouse down right", {EventKind::kMouseDown, 2, 10, 20}},
      {"1 mouse up middle", {EventKind::kMouseUp, 4, 10, 20}},
      {"1 wheel -120", {EventKind::kMouseWheel, -120, 10, 20}},
      {"1 focus lost", {EventKind::kActivate, 0, 0, 0}},
      {"1 focus gained", {EventKind::kActivate, 1, 0, 0}},
      {"1 close", {EventKind::kCloseButton, 0, 0, 0}},
      {"1 menu 201", {EventKind::kMenuBarChoice, 201, 0, 0}},
      {"1 joy 3 axis 1 -32768", {EventKind::kJoystickAxis, 3, 1, -32768}},
      {"1 joy 15 button 31 down", {EventKind::kJoystickButton, 15, 31, 1}},
      {"1 joy 0 button 0 up   # trailing comment", {EventKind::kJoystickButton, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::string error;
    ASSERT_TRUE(QueueHeadlessInput(c.line, &error)) << c.line << ": " << error;
    BeginFrame(1);
    const std::vector<Event> events = DrainEvents();
    ASSERT_EQ(events.size(), 1u) << c.line;
    EXPECT_EQ(events[0].kind, c.event.kind) << c.line;
    EXPECT_EQ(events[0].value, c.event.value) << c.line;
    EXPECT_EQ(events[0].x, c.event.x) << c.line;
    EXPECT_EQ(events[0].y, c.event.y) << c.line;
    const bool joystick = c.event.kind == EventKind::kJoystickAxis ||
                          c.event.kind == EventKind::kJoystickButton;
    EXPECT_EQ(events[0].window, joystick ? kNoWindow : main_) << c.line;
  }
}

TEST_F(HeadlessInput, KeysAndButtonsKeepTheSnapshot) {
  std::string error;
  for (const char* line : {"1 key down 0x20", "1 mouse down left", "2 key up 32", "3 key down 32",
                           "3 mouse up left"}) {
    ASSERT_TRUE(QueueHeadlessInput(line, &error)) << error;
  }
  uint8_t keys[256];
  BeginFrame(1);
  GetKeyboardState(keys);
  EXPECT_EQ(keys[0x20], 0x81);  // down, toggled once
  EXPECT_EQ(keys[1], 0x81);
  BeginFrame(2);
  GetKeyboardState(keys);
  EXPECT_EQ(keys[0x20], 0x01);  // up, toggle kept
  BeginFrame(3);
  GetKeyboardState(keys);
  EXPECT_EQ(keys[0x20], 0x80);  // second press toggles back
  EXPECT_EQ(keys[1], 0x01);
}

TEST_F(HeadlessInput, MouseMoveUsesWindowZerosClientCoordinates) {
  std::string error;
  ASSERT_TRUE(QueueHeadlessInput("1 mouse move 5 7", &error));
  BeginFrame(1);
  int32_t x = 0, y = 0;
  GetCursorPos(&x, &y);
  EXPECT_EQ(x, 105);
  EXPECT_EQ(y, 57);
  ASSERT_TRUE(ScreenToClient(main_, &x, &y));
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 7);
}

// Coordinates at the 32-bit limits (the window sits at 100, 50) are held at the limits on the way
// between client and screen coordinates instead of overflowing.
TEST_F(HeadlessInput, CoordinatesAtTheIntegerLimitsStayInRange) {
  std::string error;
  ASSERT_TRUE(QueueHeadlessInput("1 mouse move 2147483647 -2147483648", &error)) << error;
  ASSERT_TRUE(QueueHeadlessInput("1 mouse down left", &error)) << error;
  BeginFrame(1);
  const std::vector<Event> events = DrainEvents();
  ASSERT_EQ(events.size(), 2u);
  for (const Event& event : events) {
    EXPECT_EQ(event.x, INT32_MAX - 100);
    EXPECT_EQ(event.y, INT32_MIN);
  }
  int32_t x = 0, y = 0;
  GetCursorPos(&x, &y);
  EXPECT_EQ(x, INT32_MAX);
  EXPECT_EQ(y, INT32_MIN + 50);
  x = INT32_MIN;
  ASSERT_TRUE(ScreenToClient(main_, &x, &y));
  EXPECT_EQ(x, INT32_MIN);
  EXPECT_EQ(y, INT32_MIN);

  SetWindowPosition(main_, INT32_MAX - 10, INT32_MAX);
  Rect rect;
  ASSERT_TRUE(GetWindowRect(main_, &rect));
  EXPECT_EQ(rect.right, INT32_MAX);
  EXPECT_EQ(rect.bottom, INT32_MAX);
}

TEST_F(HeadlessInput, DropCarriesQuotedPaths) {
  std::string error;
  ASSERT_TRUE(QueueHeadlessInput(R"(4 drop /tmp/a.txt "/tmp/with space/b#.png" "q\"uote")", &error))
      << error;
  BeginFrame(4);
  const std::vector<Event> events = DrainEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EventKind::kDropFiles);
  EXPECT_EQ(events[0].paths,
            (std::vector<std::string>{"/tmp/a.txt", "/tmp/with space/b#.png", "q\"uote"}));
}

TEST(HeadlessInputFile, LinesApplyInTheirFrames) {
  CleanHeadlessEnv env;
  TempDir dir;
  dir.Write("input.txt",
            "# scripted input\r\n"
            "\r\n"
            "3 key down 13\r\n"
            "1 joy 2 axis 0 100\n"
            "   # indented comment\n"
            "3 key up 13\n");
  ScopedEnv input("KORVEL_INPUT", dir.File("input.txt"));
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  // Joysticks named by the file are announced at the start.
  std::vector<Event> events = DrainEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EventKind::kJoystickAdded);
  EXPECT_EQ(events[0].value, 2);
  BeginFrame(0);
  EXPECT_TRUE(DrainEvents().empty());
  BeginFrame(2);  // frame 1 was never begun: its line comes with frame 2
  events = DrainEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EventKind::kJoystickAxis);
  BeginFrame(3);
  events = DrainEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, EventKind::kKeyDown);
  EXPECT_EQ(events[1].kind, EventKind::kKeyUp);
  EXPECT_EQ(events[0].window, kNoWindow);  // no window 0 exists
  ShutdownPlatform();
}

TEST(HeadlessInputFile, MalformedLinesStopTheStart) {
  CleanHeadlessEnv env;
  TempDir dir;
  const char* bad_lines[] = {
      "x key down 65",        "-1 close",          "1",
      "1 key down",           "1 key down 0",      "1 key down 256",
      "1 key press 65",       "1 key down 65 66",  "1 mouse move 1",
      "1 mouse move a b",     "1 mouse down side", "1 wheel",
      "1 wheel 40000",        "1 focus maybe",     "1 close now",
      "1 drop",               "1 drop \"open",     "1 joy 16 axis 0 0",
      "1 joy 0 axis 6 0",     "1 joy 0 axis 0 32768", "1 joy 0 button 32 down",
      "1 joy 0 button 1 held", "1 jump",            "1 menu",
      "1 menu 65536",          "1 menu -1",
  };
  for (const char* line : bad_lines) {
    dir.Write("input.txt", std::string("0 close\n") + line + "\n");
    ScopedEnv input("KORVEL_INPUT", dir.File("input.txt"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(InitPlatformWith(BackendKind::kHeadless)) << line;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("KORVEL_INPUT " + (dir.File("input.txt")) + ":2: "), std::string::npos)
        << line << " -> " << err;
    EXPECT_EQ(HeadlessAbortStatus(), 2) << line;
    std::string error;
    EXPECT_FALSE(QueueHeadlessInput(line, &error)) << line;
  }
  ScopedEnv missing("KORVEL_INPUT", dir.File("missing.txt"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(InitPlatformWith(BackendKind::kHeadless));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot be read"), std::string::npos);
}

TEST(HeadlessControl, FrameLimitComesFromTheEnvironment) {
  CleanHeadlessEnv env;
  {
    ScopedEnv frames("KORVEL_FRAMES", "25");
    ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
    EXPECT_EQ(FrameLimit(), 25u);
    ShutdownPlatform();
  }
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  EXPECT_EQ(FrameLimit(), 0u);
  ShutdownPlatform();
  ScopedEnv frames("KORVEL_FRAMES", "25 frames");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(InitPlatformWith(BackendKind::kHeadless));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("KORVEL_FRAMES"), std::string::npos);
}

TEST(HeadlessControl, PlatformVariableChoosesTheBackend) {
  CleanHeadlessEnv env;
  ScopedEnv platform("KORVEL_PLATFORM", "headless");
  ASSERT_TRUE(InitPlatform());
  EXPECT_TRUE(IsHeadless());
  ShutdownPlatform();
}

}  // namespace
}  // namespace korvel::platform
