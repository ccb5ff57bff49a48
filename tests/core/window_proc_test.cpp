// The main window procedure in headless runs: the close states with the Yes/No question, destroyed
// windows, dropped files, system keys, minimise and maximise with the restore's reallocation,
// window dragging on the drag layer's pixels, movie end, tray icon clicks and the screen saver.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/engine_state.h"
#include "core/project_config.h"
#include "platform/tray_icon.h"
#include "input_test_env.h"

namespace korvel {
namespace {

using test::InputShell;

class WindowProc : public InputShell {
 protected:
  // Opens window 1 as the window command would.
  WindowRecord* OpenWindow1() {
    WindowRecord* w = g_windows[1];
    w->logical_width = 320;
    w->logical_height = 240;
    InitWindowObject(w, "second");
    EXPECT_EQ(CreateEngineWindow(w, w->title), 1);
    g_window_slots[1] = 1;
    return w;
  }
  static void Post(const WindowRecord* w, platform::EventKind kind, int32_t value = 0,
                   std::vector<std::string> paths = {}) {
    platform::Event e;
    e.kind = kind;
    e.window = w->handle;
    e.engine_index = w->index;
    e.value = value;
    e.paths = std::move(paths);
    platform::PostEvent(std::move(e));
  }
  static void Answer(const char* line) {
    std::string error;
    ASSERT_TRUE(platform::QueueHeadlessAnswer(line, &error)) << error;
  }
};

TEST_F(WindowProc, CloseStates) {
  struct Case {
    const char* name;
    int window;
    uint8_t state;
    const char* answer;  // null: no question may be asked
    bool quit, closed, close_requested;
  } cases[] = {
      {"state 0: the script decides", 0, kWindowStateScriptClose, nullptr, false, false, true},
      {"state 1, No", 0, kWindowStateNormal, "7", false, false, false},
      {"state 1, Yes", 0, kWindowStateNormal, "6", true, true, false},
      {"state 3, window 1", 1, kWindowStateDetached, nullptr, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    WindowRecord* w = c.window == 0 ? g_windows[0] : OpenWindow1();
    w->state = c.state;
    w->focus = 1;
    const platform::WindowId handle = w->handle;
    if (c.answer != nullptr) Answer(c.answer);
    // The question shows the cursor even when a script hid it.
    RequestCursorHide();
    ApplyCursorRequest();
    ASSERT_FALSE(platform::HeadlessCursorShown());
    testing::internal::CaptureStderr();
    Post(w, platform::EventKind::kCloseButton);
    PumpMessages();
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
    EXPECT_EQ(platform::HeadlessAbortStatus(), 0) << log;
    const bool asked = log.find("korvel: dialog: input | 終了します。よろしいですか？ | ") !=
                       std::string::npos;
    EXPECT_EQ(asked, c.answer != nullptr) << log;
    if (asked) {
      EXPECT_TRUE(platform::HeadlessCursorShown());
    }
    EXPECT_EQ(g_frame.suspend_flag.load(), 0);
    EXPECT_EQ(QuitRequested(), c.quit);
    EXPECT_EQ(g_window_messages.close_requested.load() != 0, c.close_requested);
    platform::HeadlessWindowInfo info;
    EXPECT_EQ(!platform::GetHeadlessWindowInfo(handle, &info), c.closed);
    if (c.closed) {
      EXPECT_EQ(w->handle.load(), platform::kNoWindow) << "a destroyed window keeps no handle";
      EXPECT_EQ(w->focus.load(), 0) << "a destroyed window keeps no focus";
      EXPECT_EQ(g_window_slots[c.window], -1);
    }
    // Only a window whose destruction ends the program posts the quit message.
    EXPECT_EQ(g_engine.running_flag.load() == 0, c.quit);
  }
}

TEST_F(WindowProc, ClosedByTheEngineClearsTheRecord) {
  WindowRecord* w = OpenWindow1();
  w->state = kWindowStateDetached;
  w->focus = 1;
  RequestQuit();  // closes window 0 only
  PumpMessages();
  EXPECT_EQ(g_windows[0]->handle.load(), platform::kNoWindow);
  EXPECT_EQ(g_windows[0]->focus.load(), 0);
  EXPECT_EQ(g_engine.running_flag.load(), 0);
  Post(w, platform::EventKind::kClose);
  PumpMessages();
  EXPECT_EQ(w->handle.load(), platform::kNoWindow);
  EXPECT_EQ(w->focus.load(), 0);
}

TEST_F(WindowProc, DroppedFilesKeepAtMost65536UsableNames) {
  std::vector<std::string> paths;
  paths.reserve(65537);
  for (int i = 0; i < 65537; ++i) paths.push_back("/d/" + std::to_string(i));
  Post(g_windows[0], platform::EventKind::kDropFiles, 0, paths);
  PumpMessages();
  ASSERT_EQ(DroppedFileCount(), 65536u);
  std::string name;
  ASSERT_TRUE(GetDroppedFile(65535, &name));
  EXPECT_EQ(name, "/d/65535");
  EXPECT_FALSE(GetDroppedFile(65536, &name));

  const std::string fits = "/" + std::string(259, 'a');      // 260 bytes
  const std::string too_long = "/" + std::string(299, 'b');  // 300 bytes
  const std::string kana = "/g/\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt";  // テスト.txt
  const std::string accented = "/g/caf\xC3\xA9";  // é: no code page 932 character
  const std::string kana_too_long = "/" + std::string(250, 'c') + "\xE3\x83\x86\xE3\x83\x86"
                                    "\xE3\x83\x86\xE3\x83\x86\xE3\x83\x86\xE3\x83\x86";  // 263 bytes
  Post(g_windows[0], platform::EventKind::kDropFiles, 0,
       {too_long, fits, accented, kana, kana_too_long, "/g/plain"});
  PumpMessages();
  ASSERT_EQ(DroppedFileCount(), 3u);
  ASSERT_TRUE(GetDroppedFile(0, &name));
  EXPECT_EQ(name, fits);
  ASSERT_TRUE(GetDroppedFile(1, &name));
  EXPECT_EQ(name, "/g/\x83\x65\x83\x58\x83\x67.txt");
  ASSERT_TRUE(GetDroppedFile(2, &name));
  EXPECT_EQ(name, "/g/plain");
}

TEST_F(WindowProc, DroppedFilesFromScriptedInput) {
  Input(1, "drop /tmp/one \"/tmp/t w o\"");
  Step();
  ASSERT_EQ(DroppedFileCount(), 2u);
  std::string name;
  ASSERT_TRUE(GetDroppedFile(1, &name));
  EXPECT_EQ(name, "/tmp/t w o");
}

TEST_F(WindowProc, SystemKeysNeverBecomeTheLastKey) {
  struct Case {
    const char* line;
    uint32_t last_key;
  } cases[] = {{"key down 65", 65}, {"key down 0x79", 65}, {"key down 0x12", 65},
               {"key down 0x58", 65},  // Alt is still held: Alt+X
               {"key up 0x12", 65},    {"key down 0x59", 0x59}};
  for (const auto& c : cases) {
    Input(frame_ + 1, c.line);
    Step();
    EXPECT_EQ(g_window_messages.last_key.load(), c.last_key) << c.line;
  }
}

TEST_F(WindowProc, MouseMessagesAndMovieEnd) {
  Input(1, "mouse move 5 5");
  Input(1, "mouse down middle");
  Step();
  EXPECT_EQ(g_window_messages.last_mouse_button.load(), 4u);
  g_frame.movie_open = 1;
  g_frame.movie_playing = 1;
  Post(g_windows[0], platform::EventKind::kMovieEnd, 0);
  PumpMessages();
  EXPECT_EQ(g_frame.movie_playing.load(), 1) << "not an end report";
  Post(g_windows[0], platform::EventKind::kMovieEnd, 1);
  PumpMessages();
  EXPECT_EQ(g_frame.movie_playing.load(), 0);
  g_frame.movie_open = 0;
  g_frame.movie_playing = 1;
  Post(g_windows[0], platform::EventKind::kMovieEnd, 1);
  PumpMessages();
  EXPECT_EQ(g_frame.movie_playing.load(), 0) << "the graph player's end clears it too";
}

// What the frame step asked of the menu code after a tray click.
struct TrayPopupSeen {
  int set = 0;
  int32_t x = 0, y = 0;
  int marked_window = -1;
};
TrayPopupSeen g_tray_seen;

TEST_F(WindowProc, TrayIconClicksShowTheWindowAndOpenTheTrayPopup) {
  struct Case {
    const char* name;
    int32_t message;
    bool shown, popup;
  } cases[] = {
      {"left press: shown and in front", platform::kTrayLeftDown, true, false},
      {"right press: the tray's popup", platform::kTrayRightDown, true, true},
      {"double click: the tray's popup", platform::kTrayLeftDoubleClick, true, true},
      {"left release: nothing", 0x202, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    g_tray_seen = TrayPopupSeen{};
    g_hooks.show_popup_menu = [](int set, int32_t x, int32_t y) -> uint64_t {
      g_tray_seen.set = set;
      g_tray_seen.x = x;
      g_tray_seen.y = y;
      return 102;
    };
    g_hooks.mark_root_layer_changed = [](int32_t window) { g_tray_seen.marked_window = window; };
    WindowRecord* main = g_windows[0];
    platform::ShowWindow(main->handle, platform::ShowCommand::kHide);
    PumpMessages();
    g_display.offset_x = 30;
    g_display.offset_y = 40;
    PublishWindowPlacement();  // the main thread reads only what the frame step published
    platform::SetCursorPos(1000, 700);
    Post(main, platform::EventKind::kTrayIcon, c.message);
    PumpMessages();
    platform::HeadlessWindowInfo info;
    ASSERT_TRUE(platform::GetHeadlessWindowInfo(main->handle, &info));
    EXPECT_EQ(info.visible, c.shown);
    if (c.shown) {
      EXPECT_EQ(platform::HeadlessActiveWindow(), main->handle);
    }
    EXPECT_EQ(g_window_messages.tray_popup_request.load() != 0, c.popup);

    // The frame step shows menu set 2 at the cursor less the display offset, over a frame marked
    // to be shown whole, and the choice becomes the menu command.
    EXPECT_EQ(RunFrame(), 0);
    PumpMessages();
    EXPECT_EQ(g_window_messages.tray_popup_request.load(), 0);
    if (c.popup) {
      EXPECT_EQ(g_tray_seen.set, 2);
      EXPECT_EQ(g_tray_seen.x, 970);
      EXPECT_EQ(g_tray_seen.y, 660);
      EXPECT_EQ(g_tray_seen.marked_window, 0);
      EXPECT_EQ(g_window_messages.menu_command.load(), 102u);
    } else {
      EXPECT_EQ(g_tray_seen.set, 0);
      EXPECT_EQ(g_tray_seen.marked_window, -1);
    }
  }
}

TEST_F(WindowProc, RefusedMinimiseIsUndone) {
  WindowRecord* main = g_windows[0];
  main->minimise_allowed = 0;
  Input(1, "minimize");
  Step();
  EXPECT_EQ(g_window_messages.minimise_request.load(), 1);
  EXPECT_FALSE(platform::IsWindowMinimized(main->handle));
  main->minimise_allowed = 1;
  g_window_messages.minimise_request = 0;
  Input(2, "minimize");
  Step();
  EXPECT_EQ(g_window_messages.minimise_request.load(), 1);
  EXPECT_TRUE(platform::IsWindowMinimized(main->handle));
  EXPECT_EQ(main->focus.load(), 0);
  // Restoring from minimised is no restore of a maximised display.
  Input(3, "restore");
  Step();
  EXPECT_EQ(g_window_sizing.restore_pending, 0);
  EXPECT_FALSE(platform::IsWindowMinimized(main->handle));
}

TEST_F(WindowProc, MaximiseAndRestoreTakeBackTheDisplay) {
  g_display.offset_x = 3;
  g_display.offset_y = 4;
  Input(1, "maximize");
  Step();
  EXPECT_EQ(g_window_messages.maximise_request.load(), 1);
  EXPECT_EQ(g_display.maximised, 1);
  EXPECT_EQ(g_window_sizing.client_width, 1920);
  EXPECT_EQ(g_window_sizing.client_height, 1080);
  g_display.offset_x = 640;  // the display code lays the frame out in the larger window
  g_display.display_width = 1440;
  Input(2, "restore");
  Step();
  EXPECT_EQ(g_display.maximised, 0);
  EXPECT_EQ(g_display.offset_x, 3);
  EXPECT_EQ(g_display.offset_y, 4);
  EXPECT_EQ(g_display.display_width, 640);
  EXPECT_EQ(g_display.display_height, 480);
  EXPECT_EQ(g_window_sizing.client_width, 640);
  EXPECT_EQ(g_window_sizing.restore_pending, 0);
}

TEST_F(WindowProc, OnlyTheMainWindowMaximises) {
  WindowRecord* w = OpenWindow1();
  platform::ShowWindow(w->handle, platform::ShowCommand::kMaximize);
  EXPECT_EQ(HandleMaximize(w), 0);
  EXPECT_EQ(g_window_messages.maximise_request.load(), 2);
  platform::HeadlessWindowInfo info;
  ASSERT_TRUE(platform::GetHeadlessWindowInfo(w->handle, &info));
  EXPECT_FALSE(info.maximized);
  EXPECT_EQ(g_display.maximised, 0);
}

TEST_F(WindowProc, FailedReallocationOnRestoreKeepsTheOldBuffer) {
  const std::vector<uint8_t>::size_type bytes = g_frame.screen_buffer.size();
  const uint8_t* data = g_frame.screen_buffer.data();
  Input(1, "maximize");
  Step();
  // The logical size grew while maximised, past what a buffer may hold.
  g_windows[0]->logical_width = 9000;
  Answer("1");  // the size message
  testing::internal::CaptureStderr();
  Input(2, "restore");
  Step();
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("korvel: error 100010"), std::string::npos) << log;
  EXPECT_TRUE(QuitRequested());
  EXPECT_EQ(g_frame.screen_buffer.size(), bytes);
  EXPECT_EQ(g_frame.screen_buffer.data(), data);
  EXPECT_EQ(g_frame.screen_width, 640);
  EXPECT_EQ(g_frame.screen_height, 480);
  EXPECT_EQ(g_frame.screen_buffer.size(),
            static_cast<size_t>(g_frame.screen_width) * 4 * g_frame.screen_height +
                static_cast<size_t>(g_frame.screen_width) * 4 + 4);
}

// A 4 x 3 drag layer at (10, 20) of window 0: opaque except its top-left pixel.
// Opaque bits of its 12 pixels, lowest bit first.
const uint8_t g_drag_opaque[2] = {0xFE, 0x0F};
int g_lookups = 0;
bool DragLayer(int32_t window_index, const char* path, DragLayerView* view) {
  ++g_lookups;
  if (window_index != 0 || std::strcmp(path, "drag/bar") != 0) return false;
  view->x = 10;
  view->y = 20;
  view->width = 4;
  view->height = 3;
  view->opaque = g_drag_opaque;
  return true;
}

TEST_F(WindowProc, DragLayerPixelsStartAWindowMove) {
  g_hooks.find_drag_layer = DragLayer;
  SetWindowDrag(true, "drag/bar");
  struct Case {
    int x, y;
    bool drag, pressed;
  } cases[] = {{11, 21, true, false},   {13, 22, true, false},
               {10, 20, false, true},                                // transparent pixel
               {14, 21, false, true},   {9, 21, false, true},   {11, 23, false, true},  // beside
               {-5, 21, false, false},  {700, 21, false, false}};   // outside the window
  for (const Case& c : cases) {
    const std::string at = std::to_string(c.x) + " " + std::to_string(c.y);
    g_window_messages.last_mouse_button = 0;
    Input(frame_ + 1, "mouse move " + at);
    Input(frame_ + 1, "mouse down left");
    platform::BeginFrame(frame_ + 1);
    PumpMessages();
    EXPECT_EQ(g_window_messages.drag_request.load(), c.drag ? 1 : 0) << at;
    EXPECT_EQ(g_window_messages.last_mouse_button.load(), 1u) << at;
    if (c.drag) {
      EXPECT_EQ(g_window_messages.drag_x.load(), c.x) << at;
    }
    Step();  // the same frame's poll clears the request
    EXPECT_EQ(g_window_messages.drag_request.load(), 0) << at;
    // A press the window system took never reaches the key table.
    EXPECT_EQ(g_keys.counter[1] > 0, c.pressed) << at;
    Input(frame_ + 1, "mouse up left");
    Step();
  }
  SetWindowDrag(false, "drag/bar");
  g_lookups = 0;
  Input(frame_ + 1, "mouse move 11 21");
  Input(frame_ + 1, "mouse down left");
  Step();
  EXPECT_EQ(g_window_messages.drag_request.load(), 0);
  EXPECT_EQ(g_keys.counter[1], 1);
  EXPECT_EQ(g_lookups, 0) << "dragging off: no layer lookup";
}

TEST_F(WindowProc, DragAreaFollowsTheDisplayOffsetAndScale) {
  g_hooks.find_drag_layer = DragLayer;
  SetWindowDrag(true, "drag/bar");
  g_display.offset_x = 100;
  g_display.offset_y = 50;
  g_display.display_width = 1280;  // shown at twice the logical size
  g_display.display_height = 960;
  PublishWindowPlacement();
  EXPECT_TRUE(IsWindowDragPoint(g_windows[0], 100 + 2 * 11, 50 + 2 * 21));
  EXPECT_FALSE(IsWindowDragPoint(g_windows[0], 11, 21));
  EXPECT_FALSE(IsWindowDragPoint(g_windows[0], 100 + 2 * 10, 50 + 2 * 20));
  // The main thread's hit test reads only what the frame step published: a placement the frame
  // step's thread is still changing counts from its next publication on.
  g_display.offset_x = 0;
  g_display.offset_y = 0;
  g_display.display_width = 0;  // unscaled
  g_display.display_height = 0;
  g_windows[0]->logical_width = 10;
  EXPECT_TRUE(IsWindowDragPoint(g_windows[0], 100 + 2 * 11, 50 + 2 * 21));
  EXPECT_FALSE(IsWindowDragPoint(g_windows[0], 11, 21));
  PublishWindowPlacement();
  EXPECT_FALSE(IsWindowDragPoint(g_windows[0], 100 + 2 * 11, 50 + 2 * 21));
  EXPECT_FALSE(IsWindowDragPoint(g_windows[0], 11, 21)) << "outside the 10-pixel logical width";
  g_windows[0]->logical_width = 640;
  PublishWindowPlacement();
  EXPECT_TRUE(IsWindowDragPoint(g_windows[0], 11, 21));
}

TEST_F(WindowProc, ScreenSaverOnlyWhenAllowed) {
  EXPECT_FALSE(platform::HeadlessScreenSaverAllowed());
  g_project.allow_screen_saver = 1;
  ApplyScreenSaverPermission();
  EXPECT_TRUE(platform::HeadlessScreenSaverAllowed());
  g_project.allow_screen_saver = 0;
  ApplyScreenSaverPermission();
  EXPECT_FALSE(platform::HeadlessScreenSaverAllowed());
}

}  // namespace
}  // namespace korvel
