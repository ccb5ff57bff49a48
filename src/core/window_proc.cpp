// The main window procedure over platform events.
#include "core/window_proc.h"

#include <mutex>
#include <utility>

#include "core/engine_state.h"
#include "core/frame_step.h"
#include "core/sjis_text.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "platform/text_encoding.h"

namespace korvel {

namespace {

constexpr size_t kMaxDroppedFiles = 65536;
constexpr size_t kMaxDroppedName = 260;

void HandleWindowDestroy(WindowRecord* record) {
  if (record->index == 0) g_hooks.remove_tray_icon();
  record->handle = platform::kNoWindow;
  record->focus = 0;
  if (record->state != kWindowStateDetached) {
    if (record->index == 0) g_hooks.destroy_menus();
    platform::Event quit;
    quit.kind = platform::EventKind::kQuit;
    platform::PostEvent(std::move(quit));
  }
}

void StoreDroppedFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  names.reserve(paths.size() < kMaxDroppedFiles ? paths.size() : kMaxDroppedFiles);
  for (const auto& path : paths) {
    if (names.size() >= kMaxDroppedFiles) break;
    std::string name = platform::Utf8ToCp932(path);
    if (name.empty() || name.size() > kMaxDroppedName) continue;  // does not fit the name buffer
    names.push_back(std::move(name));
  }
  std::lock_guard lock(g_window_messages.dropped_lock);
  g_window_messages.dropped_files = std::move(names);
}

void RaiseMainWindow() {
  WindowRecord* main = g_windows[0];
  if (main == nullptr || main->handle == platform::kNoWindow) return;
  if (platform::IsWindowMinimized(main->handle)) {
    platform::ShowWindow(main->handle, platform::ShowCommand::kRestore);
  }
  platform::RaiseWindow(main->handle);
}

}  // namespace

int32_t HandleCloseButton(WindowRecord* record) {
  if (record->state == kWindowStateScriptClose) {
    g_window_messages.close_requested = 1;
    return 0;
  }
  if (record->state == kWindowStateNormal) {
    g_frame.suspend_flag.store(1);
    platform::ShowCursor(true);
    const int32_t answer = platform::MessageBox(
        record->handle, record->title, Sjis("終了します。よろしいですか？"),
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
      return 1;
    case EventKind::kKeyDown:
      g_window_messages.last_key = static_cast<uint32_t>(event.value);
      return 1;
    case EventKind::kMouseMove:
      g_window_messages.mouse_moved = 0x80;
      return 0;
    case EventKind::kMouseDown:
      g_window_messages.last_mouse_button = static_cast<uint32_t>(event.value);
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
      g_window_messages.minimise_request = static_cast<uint8_t>(record->index + 1);
      return record->minimise_allowed == 0 ? 0 : 1;
    case EventKind::kMaximize:
      g_window_messages.maximise_request = static_cast<uint8_t>(record->index + 1);
      return record->index == 0 ? 1 : 0;
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
