// The display code: presentation size and placement for each scale option, the low-resolution
// mode pick, the monitor table (two fake monitors, the 16-entry limit), and full screen and back
// against the headless window records.
#include "render/full_screen.h"
#include "render/presentation_size.h"
#include "render/screen_state.h"
#include "render/window_sizing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "core/gpu_requests.h"
#include "core/project_config.h"
#include "core/published_placement.h"
#include "core/subsystem_hooks.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "render/display_hooks.h"
#include "render/drawing_mode.h"
#include "render/monitor_table.h"
#include "render/scaled_frame_buffer.h"
#include "engine_fixture.h"

namespace korvel {
namespace {

class DisplayScreenTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    InitDisplayState();
    g_settings = EngineSettings{};
    InitDisplayScreen();
    g_gpu_requests.reset_requested.store(0);
    g_gpu_requests.frame_placement.store(0);
    g_frame.countdown_border = 0;  // a way back to windowed starts it
  }
  void TearDown() override {
    ReleaseScaledFrameBuffer();
    FreeWindowRecords();
    HeadlessEngine::TearDown();
  }
  static void Monitors(const std::string& spec) {
    std::string error;
    ASSERT_TRUE(platform::SetHeadlessMonitors(spec, &error)) << error;
    InitDisplayScreen();
  }
  static platform::HeadlessWindowInfo Info(platform::WindowId id) {
    platform::HeadlessWindowInfo info;
    EXPECT_TRUE(platform::GetHeadlessWindowInfo(id, &info));
    return info;
  }
};

TEST_F(DisplayScreenTest, AllocateScreenBuffersTable) {
  struct Case {
    const char* what;
    uint8_t option;  // the mapped scale option
    uint8_t maximised;
    int32_t fw, fh, aw, ah;
    uint8_t placement;
    int32_t w, h;
  };
  const Case cases[] = {
      {"fit: bands left and right", 1, 0, 640, 480, 1920, 1080, kPlacementFitHeight, 1440, 1080},
      {"cover: fills the width, overflows", 2, 0, 640, 480, 1920, 1080, kPlacementFitWidth, 1920,
       1440},
      {"stretch", 3, 0, 640, 480, 1920, 1080, kPlacementStretch, 1920, 1080},
      {"none: the frame's size", 0, 0, 640, 480, 1920, 1080, kPlacementNone, 640, 480},
      {"none, larger than the screen: halved", 0, 0, 2560, 1440, 1920, 1080, kPlacementNone, 960,
       540},
      {"4:3 on 4:3: the area's height is not above the fit", 1, 0, 800, 600, 1024, 768,
       kPlacementFitHeight, 1024, 768},
      {"maximised fits whatever the option", 3, 1, 640, 480, 1920, 1080, kPlacementFitHeight,
       1440, 1080},
      {"fit, a tall area: bands above and below", 1, 0, 640, 480, 800, 1000, kPlacementFitWidth,
       800, 600},
      {"cover of a tall area overflows the width", 2, 0, 640, 480, 800, 1000, kPlacementFitHeight,
       1333, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_settings.scaling_mode = c.option;
    g_display.maximised = c.maximised;
    g_display.full_screen = 1;
    ASSERT_EQ(AllocateScreenBuffers(c.fw, c.fh, c.aw, c.ah), 0);
    EXPECT_EQ(static_cast<int>(g_gpu_requests.frame_placement.load()), c.placement);
    EXPECT_EQ(g_display.display_width, c.w);
    EXPECT_EQ(g_display.display_height, c.h);
    EXPECT_EQ(g_display.offset_x, (c.aw - c.w) / 2);
    EXPECT_EQ(g_display.offset_y, (c.ah - c.h) / 2);
    if (c.w != c.fw || c.h != c.fh) {
      EXPECT_EQ(g_scaled_frame.width, c.w);
      EXPECT_EQ(g_scaled_frame.height, c.h);
    }
  }
}

TEST_F(DisplayScreenTest, OversizedScalingBufferIsFatal100010) {
  Monitors("9000x9000+0+0");
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;  // the size message
  g_settings.scaling_mode = 3;
  EXPECT_EQ(AllocateScreenBuffers(640, 480, 8193, 600), -1);
  EXPECT_EQ(LastErrorReport().code, 100010);
}

TEST(LowResolutionPickTest, FixedModeList) {
  using M = platform::DisplayMode;
  const std::vector<M> modes = {
      {1920, 1080, 32, 60}, {1280, 720, 32, 60}, {1024, 768, 32, 60}, {800, 600, 32, 60},
      {640, 480, 32, 60},   {854, 480, 16, 60},  {1366, 768, 32, 60}, {960, 540, 32, 60},
      {1600, 900, 32, 60},  {854, 480, 32, 60},
  };
  struct Case {
    const char* what;
    int32_t mw, mh, lw, lh, depth;
    bool found;
    int32_t w, h;
  };
  const Case cases[] = {
      // 854 x 480 is 1779 per mille, not 1777: only exact 16:9 modes count.
      {"640x480 on 16:9 takes the smallest 16:9 mode", 1920, 1080, 640, 480, 32, true, 960, 540},
      {"at least the logical size", 1920, 1080, 1000, 560, 32, true, 1280, 720},
      {"4:3 monitor", 1024, 768, 640, 480, 32, true, 640, 480},
      {"the desktop depth only", 1920, 1080, 640, 480, 16, false, 0, 0},
      {"nothing large enough", 1920, 1080, 2000, 1200, 32, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    M out{};
    EXPECT_EQ(PickLowResolutionMode(modes, c.mw, c.mh, c.lw, c.lh, c.depth, &out), c.found);
    if (c.found) {
      EXPECT_EQ(out.width, c.w);
      EXPECT_EQ(out.height, c.h);
    }
  }
}

TEST(LowResolutionPickTest, ALaterModeReplacesOnlyWhenBothSidesAreSmaller) {
  using M = platform::DisplayMode;
  // 1280 x 960 and then 1440 x 1080 (4:3): the second is not smaller; 1024 x 768 is.
  const std::vector<M> modes = {{1280, 960, 32, 60}, {1440, 1080, 32, 60}, {1024, 768, 32, 60}};
  M out{};
  ASSERT_TRUE(PickLowResolutionMode(modes, 1600, 1200, 800, 600, 32, &out));
  EXPECT_EQ(out.width, 1024);
}

TEST(MonitorTableTest, PointsPickTheirMonitorOrTheNearestAndStayInTheTable) {
  MonitorTable t;
  t.count = 2;
  t.left[1] = 1920;
  t.width[0] = t.width[1] = 1920;
  t.height[0] = t.height[1] = 1080;
  EXPECT_EQ(MonitorAtPoint(t, 100, 100), 0);
  EXPECT_EQ(MonitorAtPoint(t, 2000, 100), 1);
  EXPECT_EQ(MonitorAtPoint(t, 9000, -50), 1);
  EXPECT_EQ(MonitorAtPoint(t, -9000, 500), 0);
  // An empty entry gives the first usable one.
  t.width[1] = 0;
  EXPECT_EQ(MonitorAtPoint(t, 2000, 100), 0);
  // A count beyond the table never reads past its 16 entries.
  t.count = 1000;
  EXPECT_LT(MonitorAtPoint(t, 100000, 100000), kMonitorSlots);
  MonitorTable empty;
  EXPECT_EQ(MonitorAtPoint(empty, 5, 5), 0);
}

TEST_F(DisplayScreenTest, TwoMonitorsTheWindowCentrePicksTheSecond) {
  Monitors("1920x1080+0+0;1280x1024+1920+0:1280x1024,1024x768,640x480@16");
  ASSERT_EQ(g_monitors.count, 2);
  EXPECT_EQ(g_monitors.left[1], 1920);
  EXPECT_EQ(g_monitors.width[1], 1280);
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  WindowRecord* w = g_windows[0];
  // Most of the window on the first monitor, its centre on the second.
  platform::SetWindowPosition(w->handle, 1500, 100);
  EXPECT_EQ(MonitorOfWindow(w->handle), 0);
  platform::SetWindowPosition(w->handle, 1700, 100);
  EXPECT_EQ(MonitorOfWindow(w->handle), 1);

  // Full screen goes to that monitor's origin in its smallest 5:4 mode of at least 640 x 480.
  g_display.full_screen = 1;
  ASSERT_EQ(SwitchToFullScreen(), 0);
  const auto info = Info(w->handle);
  EXPECT_TRUE(info.full_screen);
  EXPECT_EQ(info.full_screen_monitor, 1);
  EXPECT_EQ(info.x, 1920);
  EXPECT_EQ(info.y, 0);
  EXPECT_EQ(info.width, 1280);
  EXPECT_EQ(info.height, 1024);
  int32_t cx = 0, cy = 0;
  platform::GetCursorPos(&cx, &cy);
  EXPECT_EQ(cx, 1920 + 640);
  EXPECT_EQ(cy, 512);
}

TEST_F(DisplayScreenTest, UpdateWindowMonitorAsksForADeviceResetOnAChange) {
  Monitors("1920x1080+0+0;1920x1080+1920+0");
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  platform::WindowId id = g_windows[0]->handle;
  UpdateWindowMonitor(id);
  g_gpu_requests.reset_requested.store(0);
  UpdateWindowMonitor(id);
  EXPECT_EQ(g_gpu_requests.reset_requested.load(), 0);  // CPU drawing: never
  platform::SetWindowPosition(id, 2500, 0);
  UpdateWindowMonitor(id);
  EXPECT_EQ(g_screen.monitor, 1);
  EXPECT_EQ(g_screen.last_monitor, 1);
  EXPECT_EQ(g_gpu_requests.reset_requested.load(), 0);

  g_drawing.gpu = 1;
  UpdateWindowMonitor(id);
  EXPECT_EQ(g_gpu_requests.reset_requested.load(), 0);  // same monitor
  platform::SetWindowPosition(id, 0, 0);
  UpdateWindowMonitor(id);
  EXPECT_EQ(g_gpu_requests.reset_requested.load(), 1);
  g_drawing = DrawingModeState{};
}

// The main thread only records size and move messages; the frame step's thread, which scales into
// the buffer and reads the monitor table, does the work.
TEST_F(DisplayScreenTest, SizeAndMoveMessagesWaitForTheFrameStepThread) {
  Monitors("1920x1080+0+0;1920x1080+1920+0");
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  SetWindowedDisplay(640, 480);
  ResetWindowMessages();
  g_project.resizable_main_window = 1;
  platform::WindowId id = g_windows[0]->handle;
  UpdateWindowMonitor(id);

  HandleDisplayMessage(0, static_cast<int32_t>(platform::EventKind::kSized), 800, 500);
  platform::SetWindowPosition(id, 2500, 0);
  HandleDisplayMessage(0, static_cast<int32_t>(platform::EventKind::kMoved), 2500, 0);
  EXPECT_EQ(g_display.display_width, 640);
  EXPECT_TRUE(g_scaled_frame.pixels.empty());
  EXPECT_EQ(g_screen.monitor, 0);

  ApplyDisplayChanges();
  EXPECT_EQ(g_display.display_width, 800);
  EXPECT_EQ(g_display.display_height, 600);
  EXPECT_EQ(g_scaled_frame.width, 800);
  EXPECT_EQ(g_screen.monitor, 1);
  g_project = ProjectConfig{};
}

// A size message that comes with a restore keeps the display size the restore put back. The main
// thread only records the restore: the display stays as it is until the frame step's thread takes
// it, first thing in the frame (before the recorded size changes).
TEST_F(DisplayScreenTest, RestoreKeepsItsSavedDisplaySize) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  SetWindowedDisplay(640, 480);
  ResetWindowMessages();
  g_project.resizable_main_window = 1;
  g_hooks.display_message = HandleDisplayMessage;
  g_display.maximised = 1;
  ApplyMaximiseAndRestore();  // the first frame that sees the flag saves the windowed display
  g_display.display_width = 1440;
  g_display.display_height = 1080;
  g_window_sizing.restore_pending = 1;
  // A size left from before the maximise must not come back either.
  HandleDisplayMessage(0, static_cast<int32_t>(platform::EventKind::kSized), 900, 700);

  platform::Event e;
  e.kind = platform::EventKind::kSized;
  e.window = g_windows[0]->handle;
  e.x = 1000;
  e.y = 750;
  MainWindowProc(g_windows[0], e);
  EXPECT_EQ(g_display.maximised, 0);
  EXPECT_EQ(g_display.display_width, 1440) << "the main thread changed the display";
  ApplyMaximiseAndRestore();
  ApplyDisplayChanges();
  EXPECT_EQ(g_display.display_width, 640);
  EXPECT_EQ(g_display.display_height, 480);
  ResetSubsystemHooks();
  g_project = ProjectConfig{};
}

// Maximise and restore messages on the main thread while the frame step's thread applies what
// they leave and reads the placement, and the main thread reads it for the mouse: under the
// thread sanitizer no access may race. The restores always bring back the windowed display.
TEST_F(DisplayScreenTest, MaximiseAndRestoreMessagesShareThePlacementWithoutARace) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  SetWindowedDisplay(640, 480);
  ResetWindowMessages();
  g_hooks.display_message = HandleDisplayMessage;
  WindowRecord* main = g_windows[0];
  main->focus = 1;  // the mouse poll reads the placement for the focused window
  constexpr int kRounds = 200;
  std::atomic<bool> done{false};
  std::thread frame_thread([&done] {
    while (!done.load()) {
      ApplyMaximiseAndRestore();
      ApplyDisplayChanges();
      PublishWindowPlacement();
      // What the presentation reads.
      EXPECT_GE(g_display.display_width + g_display.display_height, 0);
    }
  });
  for (int round = 0; round < kRounds; ++round) {
    for (const auto kind : {platform::EventKind::kMaximize, platform::EventKind::kSized,
                            platform::EventKind::kRestore, platform::EventKind::kSized}) {
      platform::Event e;
      e.kind = kind;
      e.window = main->handle;
      e.x = kind == platform::EventKind::kSized && g_display.maximised != 0 ? 1920 : 640;
      e.y = e.x == 1920 ? 1080 : 480;
      MainWindowProc(main, e);
      PollMouseAndKeyboardFocus();
    }
  }
  done.store(true);
  frame_thread.join();
  ApplyMaximiseAndRestore();
  ApplyDisplayChanges();
  EXPECT_EQ(g_display.maximised, 0);
  EXPECT_EQ(g_display.offset_x, 0);
  EXPECT_EQ(g_display.display_width, 640);
  EXPECT_EQ(g_display.display_height, 480);
  EXPECT_EQ(g_window_sizing.client_width, 640);
  ResetSubsystemHooks();
}

// Whether the player may size the frame is the frame step's thread's to know (a script command
// changes it there): the main thread records every size, and the switch as it stands when the
// frame starts decides.
TEST_F(DisplayScreenTest, SizableSwitchIsReadByTheFrameStepThread) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  SetWindowedDisplay(640, 480);
  ResetWindowMessages();
  g_project.resizable_main_window = 0;
  HandleDisplayMessage(0, static_cast<int32_t>(platform::EventKind::kSized), 800, 600);
  g_project.resizable_main_window = 1;  // the command ran before the frame took the size
  ApplyDisplayChanges();
  EXPECT_EQ(g_display.display_width, 800);
  EXPECT_EQ(g_display.display_height, 600);

  g_project.resizable_main_window = 0;
  HandleDisplayMessage(0, static_cast<int32_t>(platform::EventKind::kSized), 1000, 750);
  ApplyDisplayChanges();
  EXPECT_EQ(g_display.display_width, 800) << "a frame the player may not size keeps its size";
  g_project = ProjectConfig{};
}

// The window system reports where a drag ended, not which edge moved: a drag that changed the
// height alone was on the top or bottom edge, and the width follows; otherwise the height does.
TEST_F(DisplayScreenTest, DraggedSizeKeepsTheAspectWhicheverEdgeMoved) {
  struct Case {
    const char* what;
    int32_t width, height;  // the size the drag ended with, from 640 x 480
    int32_t fitted_width, fitted_height;
  } cases[] = {
      {"bottom edge", 640, 600, 800, 600},
      {"right edge", 800, 480, 800, 600},
      {"corner", 800, 700, 800, 600},
      {"top edge, smaller", 640, 240, 320, 240},
  };
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  g_project.resizable_main_window = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetWindowedDisplay(640, 480);
    ResetWindowMessages();
    HandleDisplayMessage(0, static_cast<int32_t>(platform::EventKind::kSized), c.width, c.height);
    ApplyDisplayChanges();
    EXPECT_EQ(g_display.display_width, c.fitted_width);
    EXPECT_EQ(g_display.display_height, c.fitted_height);
    platform::Rect client;
    ASSERT_TRUE(platform::GetClientRect(g_windows[0]->handle, &client));
    EXPECT_EQ(client.right - client.left, c.fitted_width);
    EXPECT_EQ(client.bottom - client.top, c.fitted_height);
  }
  g_project = ProjectConfig{};
}

// Start-up's display hooks, in start-up's order: a game asking for full screen starts in it; a
// monitor without the mode leaves it windowed with the flag off.
TEST_F(DisplayScreenTest, StartUpHooksEnterFullScreenWhenAsked) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  WireDisplayHooks();
  platform::WindowId id = g_windows[0]->handle;
  g_display.full_screen = 1;
  if (g_hooks.switch_display_mode() != 0) g_display.full_screen = 0;
  g_hooks.apply_window_settings();
  EXPECT_EQ(g_hooks.enter_full_screen(), 1);
  EXPECT_TRUE(Info(id).full_screen);
  EXPECT_EQ(g_display.full_screen, 1);
  ASSERT_EQ(g_hooks.leave_full_screen(), 0);
  EXPECT_FALSE(Info(id).full_screen);

  Monitors("1920x1080+0+0:1920x1080@16");
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  g_display.full_screen = 1;
  if (g_hooks.switch_display_mode() != 0) g_display.full_screen = 0;
  EXPECT_EQ(g_hooks.enter_full_screen(), 0);
  EXPECT_FALSE(Info(id).full_screen);
  ResetSubsystemHooks();
}

// A windowed game keeps its window; a sizable one gets its sizing limits.
TEST_F(DisplayScreenTest, StartUpHooksKeepAWindowedGameWindowed) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  SetWindowedDisplay(640, 480);
  WireDisplayHooks();
  g_project.resizable_main_window = 1;
  EXPECT_EQ(g_hooks.switch_display_mode(), 0);
  g_hooks.apply_window_settings();
  EXPECT_EQ(g_hooks.enter_full_screen(), 0);
  EXPECT_FALSE(Info(g_windows[0]->handle).full_screen);
  EXPECT_EQ(g_screen.max_client_width, 1440);
  EXPECT_EQ(g_screen.min_client_width, 160);
  ResetSubsystemHooks();
  g_project = ProjectConfig{};
}

TEST(AspectFittingTest, LargestClientAndDraggedEdges) {
  int32_t w = 0, h = 0;
  LargestAspectClient(640, 480, 1920, 1040, &w, &h);
  EXPECT_EQ(w, 1387);  // 1040 * 4 / 3 = 1386.67, rounded
  EXPECT_EQ(h, 1040);
  LargestAspectClient(640, 480, 1000, 1040, &w, &h);
  EXPECT_EQ(w, 1000);
  EXPECT_EQ(h, 750);
  LargestAspectClient(0, 480, 100, 100, &w, &h);  // no aspect: the bound
  EXPECT_EQ(w, 100);
}

TEST_F(DisplayScreenTest, DraggedEdgesKeepTheLogicalAspect) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  struct Case {
    int32_t edge;
    platform::Rect in, out;
  };
  const Case cases[] = {
      {1, {10, 20, 810, 100}, {10, 20, 810, 620}},   // left: the bottom follows
      {2, {10, 20, 330, 900}, {10, 20, 330, 260}},   // right
      {6, {0, 0, 5, 300}, {0, 0, 400, 300}},         // bottom: the right edge follows
      {3, {0, 0, 5, 3}, {0, 0, 4, 3}},               // top
      {8, {0, 0, 401, 7}, {0, 0, 401, 301}},         // a corner moves the bottom edge
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edge);
    platform::Rect r = c.in;
    FitRectToAspect(c.edge, &r);
    EXPECT_EQ(r.left, c.out.left);
    EXPECT_EQ(r.top, c.out.top);
    EXPECT_EQ(r.right, c.out.right);
    EXPECT_EQ(r.bottom, c.out.bottom);
  }
}

TEST_F(DisplayScreenTest, TrackLimitsAndResizingKeepTheAspectWithinTheScreen) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  SetWindowedDisplay(640, 480);
  SetWindowTrackLimits();
  EXPECT_EQ(g_screen.min_client_height, 120);  // the shorter side at a quarter
  EXPECT_EQ(g_screen.min_client_width, 160);
  EXPECT_EQ(g_screen.max_client_width, 1440);
  EXPECT_EQ(g_screen.max_client_height, 1080);
  EXPECT_EQ(g_scaled_frame.width, 1440);

  platform::WindowId id = g_windows[0]->handle;
  ResizeWindowToScreen(800, 500);  // the width leads
  platform::HeadlessWindowInfo info = Info(id);
  EXPECT_EQ(info.width, 800);
  EXPECT_EQ(info.height, 600);
  EXPECT_EQ(g_display.display_width, 800);
  EXPECT_EQ(g_display.display_height, 600);
  ResizeWindowToScreen(1900, 1000);  // beyond the screen: the largest that fits
  info = Info(id);
  EXPECT_EQ(info.width, 1440);
  EXPECT_EQ(info.height, 1080);
  // While the border countdown runs, nothing happens.
  g_frame.countdown_border = kBorderCountdownFrames;
  ResizeWindowToScreen(320, 100);
  EXPECT_EQ(Info(id).width, 1440);
  g_frame.countdown_border = 0;
  // Nor in full screen.
  g_display.full_screen = 1;
  ResizeWindowToScreen(320, 100);
  EXPECT_EQ(Info(id).width, 1440);
}

TEST_F(DisplayScreenTest, ResetRequestedFollowsGpuModeChanges) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  g_drawing.gpu = 1;
  g_display.full_screen = 1;
  ASSERT_EQ(SwitchToFullScreen(), 0);
  EXPECT_EQ(g_gpu_requests.reset_requested.load(), 1);
  g_gpu_requests.reset_requested.store(0);
  ASSERT_EQ(SwitchToWindowed(), 0);
  g_display.full_screen = 0;
  EXPECT_EQ(g_gpu_requests.reset_requested.load(), 1);
  // A failed change clears it again and the window stays windowed.
  Monitors("1920x1080+0+0:1920x1080@16");
  std::string error;
  ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  g_gpu_requests.reset_requested.store(0);
  g_display.full_screen = 1;
  EXPECT_EQ(SwitchToFullScreen(), -1);
  EXPECT_EQ(g_display.full_screen, 0);
  EXPECT_EQ(g_gpu_requests.reset_requested.load(), 1);  // set again by the way back to windowed
  EXPECT_FALSE(Info(g_windows[0]->handle).full_screen);
  g_drawing = DrawingModeState{};
}

TEST_F(DisplayScreenTest, MaximisedWindowComesBackCentredAndRestored) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  platform::WindowId id = g_windows[0]->handle;
  platform::ShowWindow(id, platform::ShowCommand::kMaximize);
  g_display.maximised = 1;
  g_display.full_screen = 1;
  ASSERT_EQ(SwitchToFullScreen(), 0);
  ASSERT_EQ(SwitchToWindowed(), 0);
  const auto info = Info(id);
  EXPECT_FALSE(info.maximized);
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.x, 640);
  EXPECT_EQ(info.y, 300);
}

// The engine's other visible windows get their places and sizes back when window 0 leaves full
// screen, whatever moved them meanwhile; a hidden one is left where it is.
TEST_F(DisplayScreenTest, OtherVisibleWindowsGetTheirPlacesBackAfterFullScreen) {
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(640, 480));
  const auto open = [](int32_t index, int32_t x, int32_t y, bool shown) {
    platform::WindowDesc desc;
    desc.title = "sub";
    desc.x = x;
    desc.y = y;
    desc.client_width = 200;
    desc.client_height = 100;
    const platform::WindowId id = platform::CreateWindow(desc);
    g_windows[index]->handle = id;
    if (shown) platform::ShowWindow(id, platform::ShowCommand::kShow);
    return id;
  };
  const platform::WindowId shown = open(1, 300, 200, true);
  const platform::WindowId hidden = open(2, 50, 60, false);
  for (int round = 0; round < 2; ++round) {
    g_display.full_screen = 1;
    ASSERT_EQ(SwitchToFullScreen(), 0);
    for (const platform::WindowId id : {shown, hidden}) {
      platform::SetWindowPosition(id, 5, 7);
      platform::SetWindowClientSize(id, 64, 32);
    }
    ASSERT_EQ(SwitchToWindowed(), 0);
    g_display.full_screen = 0;
    auto info = Info(shown);
    EXPECT_EQ(info.x, 300) << "round " << round;
    EXPECT_EQ(info.y, 200);
    EXPECT_EQ(info.width, 200);
    EXPECT_EQ(info.height, 100);
    info = Info(hidden);
    EXPECT_EQ(info.x, 5);
    EXPECT_EQ(info.y, 7);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 32);
    platform::SetWindowPosition(hidden, 50, 60);
    platform::SetWindowClientSize(hidden, 200, 100);
  }
}

}  // namespace
}  // namespace korvel
