// The menu bar: built from a node into set 0, the strip reserved above window 0's client area,
// headless choices, failures, and the full-screen bar window's picture and hiding.
#include <cstring>
#include <string>
#include <vector>

#include "commands/menu_bar.h"
#include "commands/menu_test_env.h"
#include "commands/window_commands.h"
#include "core/display_state.h"
#include "core/frame_step.h"
#include "core/subsystem_hooks.h"
#include "layer/layer_data.h"
#include "platform/fonts.h"
#include "platform/frame_overlay.h"
#include "platform/headless/headless_api.h"
#include "png_pixels.h"
#include "support/commands/menu_bar_pixels.h"
#include "test_support.h"

namespace korvel::test {
namespace {

class MenuBar : public MenuEnv {
 protected:
  void SetUp() override {
    MenuEnv::SetUp();
    InitDisplayState();
    InitMenuBar();
    g_rebuild_menu_bar = RebuildMenuBar;
    ASSERT_EQ(Item("bar", "bar", 1), 0);
    ASSERT_EQ(Item("bar/file", "File", 1), 0);
    ASSERT_EQ(Item("bar/file/open", "Open", 1, {{6, 201}}), 0);
    ASSERT_EQ(Item("bar/file/off", "Off", 2, {{6, 202}, {4, 0}}), 0);
    ASSERT_EQ(Item("bar/go", "Go", 2, {{6, 0x100CC}}), 0);
  }
  void TearDown() override {
    g_rebuild_menu_bar = saved_rebuild_;
    ShutdownMenuBar();
    CloseMenuFont();
    platform::ShutdownPlatformFonts();
    MenuEnv::TearDown();
  }
  RebuildMenuBarFn saved_rebuild_ = g_rebuild_menu_bar;
  static int32_t BarHeightOfWindowZero() {
    platform::HeadlessWindowInfo info;
    EXPECT_TRUE(platform::GetHeadlessWindowInfo(g_windows[0]->handle, &info));
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);  // the client area keeps the logical size
    return info.menu_bar_height;
  }
  // The events posted so far, as "kind:value" for the command events.
  static std::string PostedCommands() {
    std::string out;
    platform::Event e;
    while (platform::PollEvent(&e)) {
      if (e.kind == platform::EventKind::kCommand) out += std::to_string(e.value) + " ";
    }
    return out;
  }
};

TEST_F(MenuBar, RebuildInstallsSetZeroAboveTheClientArea) {
  ASSERT_EQ(RebuildMenuBar("bar", 0), 0);
  EXPECT_EQ(DumpMenuSet(kMenuSetBar),
            "menu 0\n"
            "  \"File\" -> menu 1\n"
            "    \"Open\" id=201\n"
            "    \"Off\" id=202 greyed\n"
            "  \"Go\" id=65740\n");
  EXPECT_EQ(BarHeightOfWindowZero(), kMenuBarHeight);
  EXPECT_EQ(g_display.menu_bar_exists, 1);
  EXPECT_EQ(DrawInstalledMenuBar(), 640);
  // An empty name takes the bar away again.
  ASSERT_EQ(RebuildMenuBar("", 0), 0);
  EXPECT_EQ(BarHeightOfWindowZero(), 0);
  EXPECT_EQ(g_display.menu_bar_exists, 0);
  EXPECT_EQ(MenuAt(kMenuSetBar, 0), nullptr);
}

// The bar draws through window 0's overlays: its pixels, opaque, in the strip above the client
// area, nothing below it; it does not count as covering the client area, so unchanged frames still
// go to the window in part.
TEST_F(MenuBar, BarDrawsIntoTheStripThroughTheOverlay) {
  const platform::WindowId window = g_windows[0]->handle;
  ASSERT_EQ(RebuildMenuBar("bar", 0), 0);
  EXPECT_TRUE(platform::HasFrameOverlay(window, true));
  EXPECT_FALSE(platform::HasFrameOverlay(window));
  constexpr int32_t kW = 640, kRows = kMenuBarHeight + 4;
  std::vector<uint8_t> picture(size_t(kW) * kRows * 4, 0x77);
  platform::DrawFrameOverlays(window, picture.data(), kW, kRows, kW * 4, kMenuBarHeight);
  ASSERT_EQ(DrawInstalledMenuBar(), kW);
  bool light = false;
  for (int32_t y = 0; y < kRows; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const uint8_t* got = picture.data() + (size_t(y) * kW + x) * 4;
      if (y >= kMenuBarHeight) {
        ASSERT_EQ(got[0] & got[1] & got[2] & got[3], 0x77) << x << "," << y;
        continue;
      }
      const uint8_t* bar = g_menu_bar.pixels.data() + (size_t(y) * kW + x) * 4;
      ASSERT_EQ(std::memcmp(got, bar, 3), 0) << x << "," << y;
      ASSERT_EQ(got[3], 255) << x << "," << y;
      light = light || got[0] > 128;
    }
  }
  EXPECT_TRUE(light) << "the bar's background is drawn";
  ASSERT_EQ(RebuildMenuBar("", 0), 0);
  EXPECT_FALSE(platform::HasFrameOverlay(window, true));
}

TEST_F(MenuBar, UnknownNodeIs101250AndOversizedTreeInstallsNoBar) {
  EXPECT_EQ(RebuildMenuBar("none", 0), -1);
  EXPECT_EQ(LastCode(), 101250);
  InitErrorReporting();
  ASSERT_EQ(RebuildMenuBar("bar", 0), 0);
  std::string path = "big";
  ASSERT_EQ(Item(path.c_str(), "b", 1), 0);
  for (int level = 0; level < 127; ++level) {
    path += "/s";
    ASSERT_EQ(Item(path.c_str(), "s", 1), 0);
    ASSERT_EQ(Item((path + "/x").c_str(), "x", 2), 0);
  }
  EXPECT_EQ(RebuildMenuBar("big", 0), -1);
  EXPECT_EQ(LastCode(), 0);
  EXPECT_EQ(BarHeightOfWindowZero(), 0);
  EXPECT_EQ(g_display.menu_bar_exists, 0);
}

TEST_F(MenuBar, HeadlessInputChoosesOnlyWhatTheBarOffers) {
  ASSERT_EQ(RebuildMenuBar("bar", 0), 0);
  struct Case {
    int32_t input;
    const char* posted;
  };
  const Case cases[] = {
      {201, "201 "},  // an item of a bar menu
      {204, "204 "},  // the bar's own item, by the low 16 bits of its identifier
      {202, ""},      // greyed
      {999, ""},      // not in the bar
      {0, ""},
  };
  for (const Case& c : cases) {
    platform::Event e;
    e.kind = platform::EventKind::kMenuBarChoice;
    e.value = c.input;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(HandleMenuBarEvent(e));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("korvel: dialog: menu bar | [File] [Go] | menu:"), std::string::npos) << log;
    EXPECT_EQ(PostedCommands(), c.posted) << c.input;
  }
}

TEST_F(MenuBar, PressesOverTheStripBelongToTheBarAndOthersPassThrough) {
  ASSERT_EQ(RebuildMenuBar("bar", 0), 0);
  platform::Event e;
  e.window = g_windows[0]->handle;
  e.kind = platform::EventKind::kMouseMove;
  e.x = 5;
  e.y = -3;  // over the bar
  EXPECT_TRUE(HandleMenuBarEvent(e));
  e.y = 3;  // in the client area
  EXPECT_FALSE(HandleMenuBarEvent(e));
  // Alt and F10 never open the bar: keys are not the bar's.
  for (int32_t vk : {0x12, 0x79}) {
    e.kind = platform::EventKind::kKeyDown;
    e.value = vk;
    EXPECT_FALSE(HandleMenuBarEvent(e));
  }
  EXPECT_EQ(PostedCommands(), "");
  EXPECT_EQ(g_menu_bar.hot, -1);
}

TEST_F(MenuBar, WindowCommandStoresTheNameCutAndRefusesWindowsOutsideZeroToThree) {
  SetArgs({{0, 0}, {22, 0, "bar"}});
  ASSERT_EQ(ApplyWindowCommand(), 0);
  EXPECT_STREQ(g_windows[0]->menu_name, "bar");
  EXPECT_EQ(BarHeightOfWindowZero(), kMenuBarHeight);
  // A name is kept to 260 bytes without splitting a double-byte character.
  std::string name(259, 'n');
  name += "\x83\x74";
  SetArgs({{0, 0}, {22, 0, name.c_str()}});
  EXPECT_EQ(ApplyWindowCommand(), -1);  // no such menu node
  EXPECT_EQ(LastCode(), 101250);
  EXPECT_EQ(std::string(g_windows[0]->menu_name), std::string(259, 'n'));
  InitErrorReporting();
  SetArgs({{0, 4}, {22, 0, "bar"}});
  EXPECT_EQ(ApplyWindowCommand(), -1);
  EXPECT_EQ(LastCode(), 101000);
}

TEST_F(MenuBar, HidingTheFullScreenBarMarksTheRootLayerWhollyChanged) {
  LayerData layer{};
  layer.width = 640;
  layer.height = 480;
  NamedTreeNode* root = AllocTreeNode("W0", true);
  ASSERT_NE(root, nullptr);
  root->payload = &layer;
  g_windows[0]->root_layer = root;
  g_hooks.show_full_screen_menu_bar = ShowFullScreenMenuBar;
  g_display.full_screen = 1;
  ASSERT_EQ(RebuildMenuBar("bar", 0), 0);
  EXPECT_EQ(BarHeightOfWindowZero(), 0);  // full screen: no strip, the bar has its own window
  // The cursor near the top edge shows the bar window, leaving the strip hides it.
  g_windows[0]->mouse_y = 3;
  UpdateFullScreenMenuBar();
  EXPECT_EQ(g_display.menu_bar_shown, 1);
  EXPECT_NE(g_menu_bar.bar_window, platform::kNoWindow);
  EXPECT_EQ(layer.needs_redraw, 0);
  g_windows[0]->mouse_y = 200;
  UpdateFullScreenMenuBar();
  EXPECT_EQ(g_display.menu_bar_shown, 0);
  EXPECT_EQ(g_menu_bar.bar_window, platform::kNoWindow);
  EXPECT_EQ(layer.compose_valid, 1);
  EXPECT_EQ(layer.resized, 1);
  EXPECT_EQ(layer.needs_redraw, 1);
  EXPECT_EQ(layer.compose_rect.x1, 639);
  EXPECT_EQ(layer.compose_rect.y1, 479);
  g_windows[0]->root_layer = nullptr;
  root->payload = nullptr;
  DestroyTreeNode(root, nullptr);
  ResetSubsystemHooks();
}

// The full-screen bar's own window shows the bar as its whole picture (dumped as window -1), with
// the same pixels as the strip shows windowed.
class MenuBarDumps : public MenuBar {
 protected:
  MenuBarDumps() { start_with_ = {{"KORVEL_DUMP", dumps_.path()}}; }
  TempDir dumps_;
};

TEST_F(MenuBarDumps, FullScreenBarWindowShowsTheBar) {
  g_hooks.show_full_screen_menu_bar = ShowFullScreenMenuBar;
  g_display.full_screen = 1;
  ASSERT_EQ(RebuildMenuBar("bar", 0), 0);
  g_windows[0]->mouse_y = 3;
  UpdateFullScreenMenuBar();
  ASSERT_NE(g_menu_bar.bar_window, platform::kNoWindow);
  PngPixels shown;
  ASSERT_TRUE(ReadPngPixels(dumps_.path() + "/w-1-000000.png", &shown))
      << "the bar window shows nothing";
  ASSERT_EQ(DrawInstalledMenuBar(), 640);
  ASSERT_EQ(shown.w, 640);
  ASSERT_EQ(shown.h, kMenuBarHeight);
  for (int32_t y = 0; y < shown.h; ++y) {
    for (int32_t x = 0; x < shown.w; ++x) {
      uint32_t bar = 0;
      std::memcpy(&bar, g_menu_bar.pixels.data() + (size_t(y) * 640 + x) * 4, 4);
      ASSERT_EQ(shown.at(x, y), bar | 0xFF000000u) << x << "," << y;
    }
  }
  g_windows[0]->mouse_y = 200;
  UpdateFullScreenMenuBar();
  ResetSubsystemHooks();
}

}  // namespace
}  // namespace korvel::test
