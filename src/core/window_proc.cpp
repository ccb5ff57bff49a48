// The main window procedure over platform events.
#include "core/window_proc.h"

#include <mutex>
#include <utility>

#include "core/appended_data.h"
#include "core/display_state.h"
#include "core/engine_state.h"
#include "core/frame_step.h"
#include "core/gpu_requests.h"
#include "core/input_state.h"
#include "core/project_config.h"
#include "core/published_placement.h"
#include "core/sjis_text.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "platform/text_encoding.h"
#include "platform/tray_icon.h"

namespace korvel {

namespace {

constexpr int32_t kVkMenu = 0x12;  // Alt
constexpr int32_t kVkF10 = 0x79;
// Farther than any layer can reach from a window: positions beyond are never under the cursor.
constexpr int64_t kFarPosition = int64_t{1} << 40;

void HandleWindowDestroy(WindowRecord* record) {
  if (record->index == 0) g_hooks.remove_tray_icon();
  record->handle = platform::kNoWindow;
  record->focus = 0;
  if (record->state != kWindowStateDetached) {
    g_hooks.destroy_menus();
    platform::Event quit;
    quit.kind = platform::EventKind::kQuit;
    platform::PostEvent(std::move(quit));
  }
}

void RaiseMainWindow() {
  WindowRecord* main = g_windows[0];
  if (main == nullptr || main->handle == platform::kNoWindow) return;
  if (platform::IsWindowMinimized(main->handle)) {
    platform::ShowWindow(main->handle, platform::ShowCommand::kRestore);
  }
  platform::RaiseWindow(main->handle);
}

// F10, Alt and keys pressed with Alt are system keys on Windows: they never become the last key
// (and never open a window menu).
bool IsSystemKey(int32_t vk) {
  if (vk == kVkF10 || vk == kVkMenu) return true;
  uint8_t keys[256];
  platform::GetKeyboardState(keys);
  return (keys[kVkMenu] & 0x80) != 0;
}

// Client coordinates to the window's logical ones, with the placement the frame step's thread
// published: window 0 shows its frame at the display offset, scaled to the display size.
void ClientToLogical(const WindowRecord* record, const WindowPlacement& place, int32_t* x,
                     int32_t* y) {
  if (record->index != 0) return;
  int64_t lx = static_cast<int64_t>(*x) - place.offset_x;
  int64_t ly = static_cast<int64_t>(*y) - place.offset_y;
  if (place.display_width > 0 && place.display_height > 0) {
    lx = lx * place.logical_width[0] / place.display_width;
    ly = ly * place.logical_height[0] / place.display_height;
  }
  *x = static_cast<int32_t>(lx);
  *y = static_cast<int32_t>(ly);
}

// A change the window system already made and the engine refuses is undone.
void UndoWindowChange(const WindowRecord* record) {
  if (record->handle != platform::kNoWindow) {
    platform::ShowWindow(record->handle, platform::ShowCommand::kRestore);
  }
}

void StoreMaximisedClientSize(const WindowRecord* record) {
  platform::Rect client;
  if (record->handle != platform::kNoWindow && platform::GetClientRect(record->handle, &client)) {
    g_window_sizing.client_width = client.right - client.left;
    g_window_sizing.client_height = client.bottom - client.top;
  }
}

// A click on the tray icon (window 0): the window is shown and brought to the front; a right or
// double click also asks for the tray's popup menu at the cursor, less the display offset.
void HandleTrayIcon(WindowRecord* record, int32_t message) {
  if (record->index != 0 || record->handle == platform::kNoWindow) return;
  if (message != platform::kTrayLeftDown && message != platform::kTrayLeftDoubleClick &&
      message != platform::kTrayRightDown) {
    return;
  }
  platform::ShowWindow(record->handle, platform::ShowCommand::kShow);
  platform::RaiseWindow(record->handle);
  if (message == platform::kTrayLeftDown) {
    // Shown again at once, as a refreshed window is.
    g_hooks.display_message(record->index, static_cast<int32_t>(platform::EventKind::kExposed), 0,
                            0);
    return;
  }
  int32_t x = 0, y = 0;
  platform::GetCursorPos(&x, &y);
  // The main thread reads the placement the frame step's thread published, never its own fields.
  const WindowPlacement place = PublishedWindowPlacement();
  g_window_messages.tray_popup_x.store(x - place.offset_x);
  g_window_messages.tray_popup_y.store(y - place.offset_y);
  g_window_messages.tray_popup_request.store(1);
}

}  // namespace

int32_t HandleCloseButton(WindowRecord* record) {
  if (record->state == kWindowStateScriptClose) {
    g_window_messages.close_requested = 1;
    return 0;
  }
  if (record->state == kWindowStateNormal) {
    g_frame.suspend_flag.store(1);
    RequestCursorShow();
    ApplyCursorRequest();
    // The title as it stands now: a window command on the game thread may be changing it.
    const std::string title = WindowTitle(record);
    const int32_t answer = platform::MessageBox(
        record->handle, title, Sjis("終了します。よろしいですか？"),
        platform::kMbYesNo | platform::kMbIconInformation);
    // Either answer lets the frame step run again: on Yes the quit flag ends the run, and the game
    // thread must be able to reach its end.
    g_frame.suspend_flag.store(0);
    if (answer != platform::kIdYes) return 0;
  }
  if (record->state != kWindowStateDetached) SetQuitFlag();
  return 1;
}

void CloseEngineWindow(WindowRecord* record) {
  if (record->handle == platform::kNoWindow) return;
  g_window_slots[record->index] = -1;
  platform::DestroyWindow(record->handle);
  HandleWindowDestroy(record);
}

int32_t HandleMinimize(WindowRecord* record) {
  g_window_messages.minimise_request = static_cast<uint8_t>(record->index + 1);
  if (record->minimise_allowed == 0) {
    UndoWindowChange(record);
    return 0;
  }
  record->minimised = 1;
  return 1;
}

int32_t HandleMaximize(WindowRecord* record) {
  g_window_messages.maximise_request = static_cast<uint8_t>(record->index + 1);
  if (record->index != 0) {
    UndoWindowChange(record);
    return 0;
  }
  if (g_display.full_screen != 0) return 1;
  // The windowed display is saved by the frame step's thread, which owns it, when it first sees
  // the flag.
  g_window_sizing.maximise_in_progress = 1;
  RequestGpuReset();
  if (record->handle != platform::kNoWindow) platform::SetWindowResizable(record->handle, true);
  g_display.maximised = 1;
  StoreMaximisedClientSize(record);
  return 1;
}

void HandleRestore(WindowRecord* record) {
  const bool was_minimised = record->minimised != 0;
  record->minimised = 0;
  if (record->index != 0 || g_display.full_screen != 0) return;
  if (g_window_sizing.maximise_in_progress != 0) {
    g_window_sizing.maximise_in_progress = 0;
    RequestGpuReset();
    g_window_messages.sizing_frame_end_pending.store(1);
  }
  if (!was_minimised && g_display.maximised != 0) g_window_sizing.restore_pending = 1;
  // The window system may report the new size before the restore: take the restore now.
  HandleWindowPosChanged(record);
}

bool HandleWindowPosChanged(WindowRecord* record) {
  if (record->index != 0 || g_display.full_screen != 0) return false;
  if (g_window_sizing.restore_pending.exchange(0) != 0) {
    // Recorded before the flag drops, so the frame step's thread never sees the window windowed
    // without the restore that goes with it.
    g_window_messages.restore_recorded.store(1);
    g_display.maximised = 0;
    // The saved presentation size stands: a size change still waiting would overwrite it.
    g_window_messages.display_client_size.store(0);
    return true;
  }
  if (g_display.maximised != 0) StoreMaximisedClientSize(record);
  return false;
}

void ApplyMaximiseAndRestore() {
  WindowSizingState& s = g_window_sizing;
  // The flag is read before the restore record: see HandleWindowPosChanged.
  const bool maximised = g_display.maximised.load() != 0;
  if (g_window_messages.restore_recorded.exchange(0) != 0) {
    if (s.display_saved != 0) {
      g_display.offset_x = s.saved_offset_x;
      g_display.offset_y = s.saved_offset_y;
      g_display.display_width = s.saved_display_width;
      g_display.display_height = s.saved_display_height;
      // Windowed, the client area is the display size.
      s.client_width = s.saved_display_width;
      s.client_height = s.saved_display_height;
    }
    s.display_saved = 0;
    s.saved_offset_x = s.saved_offset_y = 0;
    s.saved_display_width = s.saved_display_height = 0;
    // The logical size may have changed while maximised: the buffer is made again before this
    // frame draws. On failure the old buffer stays with the size it was made for; the failure is
    // reported.
    if (const WindowRecord* main = g_windows[0]; main != nullptr) {
      AllocateScreenBuffer(main->logical_width, main->logical_height);
    }
  } else if (!maximised && s.display_saved != 0) {
    // The maximise ended without a restore (full screen, a script command): what was saved is out
    // of date.
    s.display_saved = 0;
  }
  if (maximised && s.display_saved == 0) {
    s.display_saved = 1;
    s.saved_offset_x = g_display.offset_x;
    s.saved_offset_y = g_display.offset_y;
    s.saved_display_width = g_display.display_width;
    s.saved_display_height = g_display.display_height;
  }
  // Taken only once the window is windowed again: the restore raises the request before its
  // position message drops the maximised flag, and a restore out of the task bar keeps it.
  if (g_project.resizable_main_window == 0 && g_display.maximised == 0 &&
      g_window_messages.sizing_frame_end_pending.exchange(0) != 0) {
    const WindowRecord* main = g_windows[0];
    if (main != nullptr && main->handle != platform::kNoWindow) {
      platform::SetWindowResizable(main->handle, false);
    }
  }
}

void StoreDroppedFiles(const std::vector<std::string>& paths_utf8) {
  std::vector<std::string> names;
  names.reserve(paths_utf8.size() < kMaxDroppedFiles ? paths_utf8.size() : kMaxDroppedFiles);
  for (const auto& path : paths_utf8) {
    if (names.size() >= kMaxDroppedFiles) break;
    if (path.empty() || path.size() > kMaxDroppedName * 3) continue;  // cannot fit in any case
    std::string name = platform::Utf8ToCp932(path);
    // A name that does not fit the 260-byte buffer, or that does not convert back to the same
    // path, would open another file (or none): it is left out.
    if (name.empty() || name.size() > kMaxDroppedName) continue;
    if (platform::Cp932ToUtf8(name) != path) continue;
    names.push_back(std::move(name));
  }
  std::lock_guard lock(g_window_messages.dropped_lock);
  g_window_messages.dropped_files = std::move(names);
}

void SetWindowDrag(bool enabled, std::string_view layer_path_sjis) {
  {
    std::lock_guard lock(g_window_drag.lock);
    g_window_drag.layer_path.assign(layer_path_sjis.substr(0, layer_path_sjis.find('\0')));
  }
  g_window_drag.enabled.store(enabled ? 1 : 0);
}

bool IsWindowDragPoint(const WindowRecord* record, int32_t client_x, int32_t client_y) {
  if (record == nullptr || g_window_drag.enabled.load() == 0) return false;
  if (record->index < 0 || record->index >= kWindowCount) return false;
  const WindowPlacement place = PublishedWindowPlacement();
  int32_t x = client_x, y = client_y;
  ClientToLogical(record, place, &x, &y);
  if (x < 0 || y < 0 || x >= place.logical_width[record->index] ||
      y >= place.logical_height[record->index]) {
    return false;
  }
  std::string path;
  {
    std::lock_guard lock(g_window_drag.lock);
    path = g_window_drag.layer_path;
  }
  if (path.empty()) return false;
  DragLayerView view;
  if (!g_hooks.find_drag_layer(record->index, path.c_str(), &view)) return false;
  if (view.x <= -kFarPosition || view.x >= kFarPosition || view.y <= -kFarPosition ||
      view.y >= kFarPosition || view.width <= 0 || view.height <= 0) {
    return false;
  }
  const int64_t lx = x - view.x;
  const int64_t ly = y - view.y;
  if (lx < 0 || ly < 0 || lx >= view.width || ly >= view.height) return false;
  if (view.has_alpha == 0) return true;
  if (view.opaque == nullptr) return false;
  const size_t bit = static_cast<size_t>(ly) * static_cast<size_t>(view.width) +
                     static_cast<size_t>(lx);
  return ((view.opaque[bit / 8] >> (bit % 8)) & 1) != 0;
}

bool EngineDragTest(platform::WindowId window, int32_t x, int32_t y) {
  return IsWindowDragPoint(FindWindowRecord(window), x, y);
}

void ApplyScreenSaverPermission() {
  platform::AllowScreenSaver(g_appended.screen_saver_build || g_project.allow_screen_saver != 0);
}

int32_t MainWindowProc(WindowRecord* record, const platform::Event& event) {
  using platform::EventKind;
  switch (event.kind) {
    case EventKind::kCloseButton:
      if (HandleCloseButton(record) != 0) CloseEngineWindow(record);
      return 0;
    case EventKind::kClose:
      CloseEngineWindow(record);
      return 0;
    case EventKind::kActivate:
      record->focus = event.value != 0 ? 1 : 0;
      g_hooks.display_message(record->index, static_cast<int32_t>(event.kind), event.value, 0);
      return 1;
    case EventKind::kExposed:
      g_hooks.display_message(record->index, static_cast<int32_t>(event.kind), 0, 0);
      return 1;
    case EventKind::kKeyDown:
      if (IsSystemKey(event.value)) return 0;
      g_window_messages.last_key = static_cast<uint32_t>(event.value);
      return 1;
    case EventKind::kMouseMove:
      g_window_messages.mouse_moved = 0x80;
      return 0;
    case EventKind::kMouseDown:
      g_window_messages.last_mouse_button = static_cast<uint32_t>(event.value);
      return 0;
    case EventKind::kDragStart:
      // The press itself, then the move that the window system has taken over.
      g_window_messages.last_mouse_button = 1;
      g_window_messages.drag_x = event.x;
      g_window_messages.drag_y = event.y;
      g_window_messages.drag_request = static_cast<uint8_t>(record->index + 1);
      return 0;
    case EventKind::kMouseWheel:
      g_window_messages.wheel_delta = static_cast<int16_t>(event.value);
      return 0;
    case EventKind::kDropFiles:
      StoreDroppedFiles(event.paths);
      return 0;
    case EventKind::kCommand:
      g_window_messages.menu_command = static_cast<uint64_t>(static_cast<uint32_t>(event.value));
      return 0;
    case EventKind::kMinimize:
      return HandleMinimize(record);
    case EventKind::kMaximize:
      return HandleMaximize(record);
    case EventKind::kRestore:
      HandleRestore(record);
      return 1;
    case EventKind::kSized:
    case EventKind::kMoved:
      // A restore has put the saved display size back; the size message must not resize again.
      if (HandleWindowPosChanged(record) && event.kind == EventKind::kSized) return 1;
      g_hooks.display_message(record->index, static_cast<int32_t>(event.kind), event.x, event.y);
      return 1;
    case EventKind::kTrayIcon:
      HandleTrayIcon(record, event.value);
      return 0;
    case EventKind::kMovieEnd:
      // Either player's end: the movie code has already asked for the whole frame again.
      if (event.value == 1) g_frame.movie_playing.store(0);
      return 0;
    default:
      return 1;
  }
}

void PumpMessages() {
  platform::Event event;
  while (platform::PollEvent(&event)) {
    switch (event.kind) {
      case platform::EventKind::kQuit:
        g_engine.running_flag.store(0);
        break;
      case platform::EventKind::kTerminate:
        RequestQuit();
        break;
      case platform::EventKind::kRaise:
        RaiseMainWindow();
        break;
      default:
        if (g_hooks.menu_bar_event(event)) break;
        if (WindowRecord* record = FindWindowRecord(event.window)) {
          MainWindowProc(record, event);
        }
        break;
    }
  }
}

bool RequestQuit() {
  SetQuitFlag();
  WindowRecord* main = g_windows[0];
  platform::Event e;
  if (main != nullptr && main->handle != platform::kNoWindow) {
    main->state = kWindowStateClosing;
    e.kind = platform::EventKind::kClose;
    e.window = main->handle;
  } else {
    // No main window to close: end the message loop directly.
    e.kind = platform::EventKind::kQuit;
  }
  platform::PostEvent(std::move(e));
  return true;
}

}  // namespace korvel
