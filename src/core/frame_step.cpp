// The frame step and the focus and mouse poll that precedes it.
#include "core/frame_step.h"

#include <cstring>
#include <new>

#include "core/display_state.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/frame_pacer.h"
#include "core/project_config.h"
#include "core/published_placement.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "core/subsystem_hooks.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "platform/platform.h"

namespace korvel {

FrameState g_frame;

namespace {

constexpr int32_t kMaxImageSide = 8192;

// Position of the cursor in one window, with the two outside flags, mapped with the placement the
// frame step's thread last published (this runs on the main thread).
void PollWindowMouse(WindowRecord* w, const WindowPlacement& place, int32_t screen_x,
                     int32_t screen_y) {
  if (w->handle == platform::kNoWindow) {
    w->mouse_x = 0;
    w->mouse_y = 0;
    w->mouse_outside = 1;
    w->mouse_outside_wide = 1;
    return;
  }
  const bool known = w->index >= 0 && w->index < kWindowCount;
  const int32_t logical_w = known ? place.logical_width[w->index] : 0;
  const int32_t logical_h = known ? place.logical_height[w->index] : 0;
  int32_t x = screen_x, y = screen_y;
  platform::ScreenToClient(w->handle, &x, &y);
  int32_t wide_x = 0, wide_y = 0;
  if (w->index == 0) {
    x -= place.offset_x;
    y -= place.offset_y;
    wide_x = place.offset_x;
    wide_y = place.offset_y;
    if (place.display_width != 0 && place.display_height != 0) {
      x = static_cast<int32_t>(static_cast<int64_t>(x) * logical_w / place.display_width);
      y = static_cast<int32_t>(static_cast<int64_t>(y) * logical_h / place.display_height);
      wide_x = static_cast<int32_t>(static_cast<int64_t>(wide_x) * logical_w / place.display_width);
      wide_y =
          static_cast<int32_t>(static_cast<int64_t>(wide_y) * logical_h / place.display_height);
    }
  }
  w->mouse_x = x;
  w->mouse_y = y;
  w->mouse_outside = (x < 0 || x > logical_w - 1 || y < 0 || y > logical_h - 1) ? 1 : 0;
  w->mouse_outside_wide = (x < -wide_x || x > logical_w - 1 + wide_x || y < -wide_y ||
                           y > logical_h - 1 + wide_y)
                              ? 1
                              : 0;
}

// The tray icon's popup (menu set 2), asked for by a click on the main thread: shown at the end of
// this frame, over a frame composed whole.
void TakeTrayPopupRequest() {
  constexpr uint8_t kTrayMenuSet = 2;
  if (g_window_messages.tray_popup_request.exchange(0) == 0) return;
  g_hooks.mark_root_layer_changed(0);
  g_frame.popup_x = g_window_messages.tray_popup_x.load();
  g_frame.popup_y = g_window_messages.tray_popup_y.load();
  g_frame.popup_menu_request = kTrayMenuSet;
}

}  // namespace

void InitFrameState() {
  g_frame.suspend_flag.store(0);
  g_frame.frame_counter = 0;
  g_frame.tick_counter = 0;
  g_frame.repeat_tick.store(0);
  g_frame.skip_flag = 0;
  g_frame.first_frame_done = 0;
  g_frame.countdown_first = 0;
  g_frame.countdown_border = 0;
  g_frame.redraw_countdown = 0;
  g_frame.popup_menu_request = 0;
  g_frame.popup_x = g_frame.popup_y = 0;
  g_frame.draw_while_movie_closed_only = 0;
  g_frame.movie_open.store(0);
  g_frame.movie_playing.store(0);
  g_frame.focus_window = -1;
  {
    std::lock_guard lock(g_frame.key_snapshot_lock);
    std::memset(g_frame.key_snapshot, 0, sizeof(g_frame.key_snapshot));
  }
  g_frame.screen_buffer.clear();
  g_frame.screen_buffer.shrink_to_fit();
  g_frame.screen_width = g_frame.screen_height = 0;
}

void PollMouseAndKeyboardFocus() {
  int32_t focus = -1;
  for (int i = 0; i < kWindowCount; ++i) {
    if (g_windows[i] != nullptr && g_windows[i]->focus != 0) {
      focus = i;
      break;
    }
  }
  g_frame.focus_window = focus;
  if (focus < 0) {
    static const uint8_t kAllUp[256] = {};
    {
      std::lock_guard lock(g_frame.key_snapshot_lock);
      std::memset(g_frame.key_snapshot, 0, sizeof(g_frame.key_snapshot));
    }
    platform::SetKeyboardState(kAllUp);
    return;
  }
  uint8_t keys[256];
  platform::GetKeyboardState(keys);
  {
    std::lock_guard lock(g_frame.key_snapshot_lock);
    std::memcpy(g_frame.key_snapshot, keys, sizeof(keys));
  }

  int32_t sx = 0, sy = 0;
  platform::GetCursorPos(&sx, &sy);
  const WindowPlacement place = PublishedWindowPlacement();
  for (auto* w : g_windows) {
    if (w != nullptr) PollWindowMouse(w, place, sx, sy);
  }
}

bool DrawConditionHolds() {
  if (g_frame.draw_while_movie_closed_only != 0) return g_frame.movie_open.load() == 0;
  return g_frame.movie_playing.load() == 0;
}

bool StepHeldHeadlessFrame() {
  platform::BeginFrame(g_frame.frame_counter + 1);
  g_frame.frame_counter += 1;
  const uint64_t limit = platform::FrameLimit();
  if (limit != 0 && g_frame.frame_counter >= limit) {
    SetQuitFlag();
    return true;
  }
  return false;
}

int32_t RunFrame() {
  g_frame.frame_counter += 1;
  if (g_frame.suspend_flag.load() != 0) return 0;
  if (QuitRequested()) return 1;

  // Countdowns set by the display code; each stops at 0.
  if (g_frame.countdown_first > 0) g_frame.countdown_first -= 1;
  if (g_frame.redraw_countdown > 0) g_frame.redraw_countdown -= 1;
  if (g_frame.countdown_border > 0) {
    g_frame.countdown_border -= 1;
    if (g_frame.countdown_border == 0 && g_project.resizable_main_window == 0 &&
        g_windows[0] != nullptr && g_windows[0]->handle != platform::kNoWindow) {
      platform::SetWindowResizable(g_windows[0]->handle, false);
    }
  }

  // What window messages left for this thread: a maximise or restore first, then the size and
  // monitor changes that may follow it.
  ApplyMaximiseAndRestore();
  g_hooks.apply_display_changes();
  g_hooks.poll_input();
  TakeTrayPopupRequest();

  do {
    g_frame.repeat_tick.store(0);
    g_frame.tick_counter += 1;
    if (g_hooks.run_script_tasks() != 0) SetQuitFlag();
    if (QuitRequested()) return 1;
  } while (g_frame.repeat_tick.load() != 0);
  // What the display changes and the scripts made of the placement, for the main thread's mouse.
  PublishWindowPlacement();

  g_hooks.sweep_layer_changes();

  const bool draw = DrawConditionHolds();
  if (g_frame.skip_flag == 0 && draw) {
    for (int w = 0; w < kWindowCount; ++w) {
      if (g_hooks.render_window(w) != 0) return 1;
    }
  }

  if (g_frame.first_frame_done == 0) {
    g_frame.first_frame_done = 1;
    WindowRecord* main = g_windows[0];
    if (main != nullptr && main->handle != platform::kNoWindow && main->show_on_first_frame == 1) {
      platform::ShowWindow(main->handle, platform::ShowCommand::kShow);
    }
  }

  g_hooks.park_worker_threads();
  const uint8_t next_skip = static_cast<uint8_t>(WaitForNextFrame());
  UpdateFullScreenMenuBar();

  if (g_frame.skip_flag == 0 && draw) {
    for (int w = 0; w < kWindowCount; ++w) {
      if (g_hooks.present_frame(w) != 0) return 1;
    }
    CountDrawnFrame();
    g_hooks.reset_dirty_rects();
    g_hooks.park_worker_threads();
  }
  g_hooks.present_movie();

  if (g_frame.popup_menu_request != 0) {
    const int set = g_frame.popup_menu_request;
    g_frame.popup_menu_request = 0;
    const uint64_t command = g_hooks.show_popup_menu(set, g_frame.popup_x, g_frame.popup_y);
    if (g_windows[0] != nullptr && g_windows[0]->handle != platform::kNoWindow) {
      platform::Event e;
      e.kind = platform::EventKind::kCommand;
      e.window = g_windows[0]->handle;
      e.value = static_cast<int32_t>(command);
      platform::PostEvent(std::move(e));
    }
  }

  g_frame.skip_flag = next_skip;
  return QuitRequested() ? 1 : 0;
}

void UpdateFullScreenMenuBar() {
  // The separate menu-bar window exists only in full-screen mode, which the display code adds;
  // outside it a shown bar is hidden.
  if (g_display.full_screen != 1) {
    if (g_display.menu_bar_shown != 0) g_hooks.show_full_screen_menu_bar(false);
    g_display.menu_bar_shown = 0;
    return;
  }
  WindowRecord* main = g_windows[0];
  if (main == nullptr) return;
  if (main->mouse_y < g_display.menu_bar_height) {
    if (g_display.menu_bar_shown == 0 && g_display.menu_bar_exists != 0) {
      g_display.menu_bar_shown = 1;
      g_hooks.show_full_screen_menu_bar(true);
    }
  } else if (g_display.menu_bar_shown != 0) {
    g_display.menu_bar_shown = 0;
    g_hooks.show_full_screen_menu_bar(false);
  }
}

int AllocateScreenBuffer(int32_t width, int32_t height) {
  if (width > kMaxImageSide || height > kMaxImageSide || width < 1 || height < 1) {
    ReportImageSizeTooLarge(width, height);
    return -1;
  }
  const size_t row = static_cast<size_t>(width) * 4;
  const size_t bytes = row * static_cast<size_t>(height) + row + 4;
  try {
    g_frame.screen_buffer.assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    ReportError(104030, true);
    return -1;
  }
  g_frame.screen_width = width;
  g_frame.screen_height = height;
  return 0;
}

int PresentScreenBuffer(int window) {
  if (window != 0) return 0;
  WindowRecord* main = g_windows[0];
  if (main == nullptr || main->handle == platform::kNoWindow || g_frame.screen_buffer.empty()) {
    return 0;
  }
  platform::PresentFrame(main->handle, g_frame.screen_buffer.data(), g_frame.screen_width,
                         g_frame.screen_height, g_frame.screen_width * 4, g_frame.frame_counter);
  return 0;
}

}  // namespace korvel
