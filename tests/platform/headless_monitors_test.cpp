// The headless monitor table (KORVEL_MONITORS): its syntax and refusals, the desktop it gives,
// full screen in an offered mode only, z-order, flashing and shapes in the window records.
#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "platform_test_util.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::ScopedEnv;

TEST(HeadlessMonitors, TableFromTheEnvironment) {
  CleanHeadlessEnv env;
  ScopedEnv monitors("KORVEL_MONITORS", "1280x1024+0+0:1280x1024,640x480@16;800x600-800+0");
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  const auto table = GetMonitors();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1].bounds.left, -800);
  EXPECT_EQ(table[1].bounds.right, 0);
  EXPECT_EQ(table[1].bounds.bottom, 600);
  const auto modes = GetDisplayModes(0);
  ASSERT_EQ(modes.size(), 2u);
  EXPECT_EQ(modes[1].width, 640);
  EXPECT_EQ(modes[1].bits_per_pixel, 16);
  // A monitor without modes offers its own size at 32 bits.
  ASSERT_EQ(GetDisplayModes(1).size(), 1u);
  EXPECT_EQ(GetDisplayModes(1)[0].width, 800);
  EXPECT_TRUE(GetDisplayModes(2).empty());
  // The desktop is monitor 0.
  EXPECT_EQ(GetDesktopMode().width, 1280);
  Rect area;
  ASSERT_TRUE(GetWorkArea(&area));
  EXPECT_EQ(area.bottom, 1024);
  ShutdownPlatform();
}

TEST(HeadlessMonitors, MalformedTablesAreRefused) {
  const char* bad[] = {
      "", "1920x1080", "1920x1080+0", "0x1080+0+0", "1920x1080+0+0:", "1920x1080+0+0:640x",
      "1920x1080+0+0:640x480@", "1920x1080+0+0:640x480;;", "1920*1080+0+0", "1920x1080+0+0;x",
      ("1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;"
       "1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0;1x1+0+0"),  // 17 monitors
  };
  CleanHeadlessEnv env;
  for (const char* spec : bad) {
    SCOPED_TRACE(spec);
    std::string error;
    ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
    EXPECT_FALSE(SetHeadlessMonitors(spec, &error));
    EXPECT_FALSE(error.empty());
    ShutdownPlatform();
    if (*spec == '\0') continue;  // an empty variable counts as unset
    ScopedEnv monitors("KORVEL_MONITORS", std::string(spec));
    EXPECT_FALSE(InitPlatformWith(BackendKind::kHeadless));
    ShutdownPlatform();
  }
}

class HeadlessDecoration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless)); }
  void TearDown() override { ShutdownPlatform(); }
  static WindowId Make() {
    WindowDesc desc;
    desc.client_width = 320;
    desc.client_height = 240;
    return CreateWindow(desc);
  }
  static HeadlessWindowInfo Info(WindowId id) {
    HeadlessWindowInfo info;
    EXPECT_TRUE(GetHeadlessWindowInfo(id, &info));
    return info;
  }
  CleanHeadlessEnv env_;
};

TEST_F(HeadlessDecoration, FullScreenOnlyInAnOfferedMode) {
  const WindowId w = Make();
  EXPECT_FALSE(EnterFullScreen(w, 0, DisplayMode{1000, 700, 32, 60}));
  EXPECT_FALSE(EnterFullScreen(w, 0, DisplayMode{640, 480, 16, 60}));
  EXPECT_FALSE(EnterFullScreen(w, 3, DisplayMode{640, 480, 32, 60}));
  EXPECT_FALSE(Info(w).full_screen);
  ASSERT_TRUE(EnterFullScreen(w, 0, DisplayMode{640, 480, 32, 60}));
  EXPECT_TRUE(Info(w).full_screen);
  EXPECT_EQ(Info(w).width, 640);
  LeaveFullScreen(w);
  EXPECT_FALSE(Info(w).full_screen);
}

TEST_F(HeadlessDecoration, ZOrderFlashAndShape) {
  const WindowId a = Make(), b = Make(), c = Make();
  SetWindowOrder(a, WindowOrder::kTop, kNoWindow);
  EXPECT_GT(Info(a).z, Info(c).z);
  SetWindowOrder(a, WindowOrder::kBottom, kNoWindow);
  EXPECT_LT(Info(a).z, Info(b).z);
  SetWindowOrder(c, WindowOrder::kBehind, b);
  EXPECT_LT(Info(c).z, Info(b).z);
  EXPECT_GT(Info(c).z, Info(a).z);
  SetWindowOrder(b, WindowOrder::kTopmost, kNoWindow);
  EXPECT_TRUE(Info(b).topmost);
  SetWindowOrder(b, WindowOrder::kNotTopmost, kNoWindow);
  EXPECT_FALSE(Info(b).topmost);
  FlashWindow(a, 3, 5);
  EXPECT_EQ(Info(a).flash_calls, 1u);
  EXPECT_EQ(Info(a).flash_count, 5u);
  EXPECT_TRUE(SetWindowShape(a, {Rect{0, 0, 4, 1}}));
  EXPECT_TRUE(Info(a).shaped);
  ASSERT_EQ(Info(a).shape.size(), 1u);
  EXPECT_TRUE(SetWindowShape(a, {}));
  EXPECT_TRUE(Info(a).shape.empty());
}

}  // namespace
}  // namespace korvel::platform
