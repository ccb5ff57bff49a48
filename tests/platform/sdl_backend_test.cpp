// The SDL backend: the fall-back to headless without a display, calls from other threads handed
// to the main thread (SDL's dummy driver), and a smoke test on a real X server (Xvfb).
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/platform.h"
#include "platform/process.h"
#include "platform_test_util.h"
#include "required_tool.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::DrainEvents;
using test::ScopedEnv;

// No display of any kind; a runtime folder of our own (libwayland complains without one) and no
// session bus (libdbus would try to start one on the X display and keep memory it never frees).
struct NoDisplayEnv {
  ScopedEnv display{"DISPLAY", std::nullopt};
  ScopedEnv wayland{"WAYLAND_DISPLAY", std::nullopt};
  ScopedEnv driver{"SDL_VIDEODRIVER", std::nullopt};
  korvel::test::TempDir runtime;
  ScopedEnv runtime_dir{"XDG_RUNTIME_DIR", runtime.path()};
  ScopedEnv bus{"DBUS_SESSION_BUS_ADDRESS", "disabled:"};
};

TEST(SdlBackend, FallsBackToHeadlessWithOneLine) {
  CleanHeadlessEnv clean;
  NoDisplayEnv no_display;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(InitPlatformWith(BackendKind::kSdl));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ActiveBackend(), BackendKind::kHeadless);
  EXPECT_EQ(err.rfind("korvel: no display could be opened", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  ShutdownPlatform();
}

TEST(SdlBackend, CallsFromOtherThreadsRunOnTheMainThread) {
  CleanHeadlessEnv clean;
  NoDisplayEnv no_display;
  ScopedEnv driver("SDL_VIDEODRIVER", "dummy");
  ASSERT_TRUE(InitPlatformWith(BackendKind::kSdl));
  ASSERT_EQ(ActiveBackend(), BackendKind::kSdl);
  std::atomic<bool> done{false};
  WindowId window = kNoWindow;
  Rect client;
  bool got_rect = false;
  std::thread game([&] {
    WindowDesc desc;
    desc.title = "\x83\x65\x83\x58\x83\x67";
    desc.client_width = 64;
    desc.client_height = 48;
    window = CreateWindow(desc);
    ShowWindow(window, ShowCommand::kShow);
    std::vector<uint8_t> frame(64 * 48 * 4, 0x7F);
    PresentFrame(window, frame.data(), 64, 48, 64 * 4, 1);
    got_rect = GetClientRect(window, &client);
    done = true;
  });
  Event event;
  while (!done.load()) PollEvent(&event);
  game.join();
  ASSERT_NE(window, kNoWindow);
  ASSERT_TRUE(got_rect);
  EXPECT_EQ(client.right, 64);
  EXPECT_EQ(client.bottom, 48);
  EXPECT_TRUE(IsWindowVisible(window));
  const DisplayMode mode = GetDesktopMode();
  EXPECT_GT(mode.width, 0);
  DestroyWindow(window);
  EXPECT_FALSE(IsWindowVisible(window));
  ShutdownPlatform();
}

TEST(SdlBackend, WindowAppearsOnXvfb) {
  KORVEL_REQUIRE_TOOL(access("/usr/bin/Xvfb", X_OK) == 0, "Xvfb");
  KORVEL_REQUIRE_TOOL(access("/usr/bin/xdotool", X_OK) == 0, "xdotool");
  CleanHeadlessEnv clean;
  NoDisplayEnv no_display;
  korvel::test::XvfbServer server;
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  ScopedEnv display("DISPLAY", server.display());
  ASSERT_TRUE(InitPlatformWith(BackendKind::kSdl));
  ASSERT_EQ(ActiveBackend(), BackendKind::kSdl);

  const std::string title = "korvel-smoke-" + std::to_string(getpid());
  WindowDesc desc;
  desc.title = title;
  desc.x = 40;
  desc.y = 30;
  desc.client_width = 320;
  desc.client_height = 200;
  const WindowId window = CreateWindow(desc);
  ASSERT_NE(window, kNoWindow);
  EXPECT_FALSE(IsWindowVisible(window));
  ShowWindow(window, ShowCommand::kShow);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(WaitProcess(StartProcess("xdotool", {"search", "--name", title})), 0);

  std::vector<uint8_t> frame(320 * 200 * 4, 0x40);
  PresentFrame(window, frame.data(), 320, 200, 320 * 4, 1);
  Rect rect;
  ASSERT_TRUE(GetClientRect(window, &rect));
  EXPECT_EQ(rect.right, 320);
  EXPECT_EQ(rect.bottom, 200);
  Rect work;
  ASSERT_TRUE(GetWorkArea(&work));
  EXPECT_EQ(work.right - work.left, 1024);
  const DisplayMode mode = GetDesktopMode();
  EXPECT_EQ(mode.width, 1024);
  EXPECT_EQ(mode.height, 768);
  EXPECT_EQ(mode.bits_per_pixel, 32);

  DrainEvents();
  DestroyWindow(window);
  EXPECT_FALSE(IsWindowVisible(window));
  ShutdownPlatform();
}

}  // namespace
}  // namespace korvel::platform
