// The four engine windows.
#include "core/window_record.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace korvel {

WindowRecord* g_windows[kWindowCount] = {};
std::atomic<int32_t> g_window_slots[kWindowCount] = {-1, -1, -1, -1};
WindowMessageState g_window_messages;
WindowDragSettings g_window_drag;
WindowSizingState g_window_sizing;

int CreateWindowRecords() {
  FreeWindowRecords();
  for (int i = 0; i < kWindowCount; ++i) {
    g_windows[i] = new (std::nothrow) WindowRecord{};
    if (g_windows[i] == nullptr) {
      FreeWindowRecords();
      return -1;
    }
    g_window_slots[i] = -1;
    InitWindowRecord(g_windows[i], i);
  }
  return 0;
}

void FreeWindowRecords() {
  for (auto& record : g_windows) {
    delete record;
    record = nullptr;
  }
  for (auto& slot : g_window_slots) slot = -1;
}

void InitWindowRecord(WindowRecord* record, int32_t index) {
  record->index = index;
  record->show_on_first_frame = 0;
  record->focus = 0;
  record->root_layer = nullptr;
  record->cursor_activity = 0;
  record->cursor_activity_stamp = 0;
  record->minimised = 0;
  record->creation_byte = 0;
  record->handle = platform::kNoWindow;
  g_window_messages.wheel_delta = 0;
  g_window_messages.mouse_moved = 0;
}

void InitWindowObject(WindowRecord* record, const char* title) {
  record->client_rect = {0, 0, record->logical_width, record->logical_height};
  StoreWindowTitle(record, title != nullptr ? title : "");
  if (record->index != 0) record->show_on_first_frame = 1;
  record->display_value = 256;
  record->state = kWindowStateNormal;
  record->minimise_allowed = 1;
  record->main_flag = record->index == 0 ? 1 : 0;
  for (auto& s : record->cursor_switches) s = 1;
}

void StoreWindowTitle(WindowRecord* record, std::string_view title) {
  title = title.substr(0, std::min(title.find('\0'), sizeof(record->title) - 1));
  std::lock_guard lock(record->title_lock);
  std::memcpy(record->title, title.data(), title.size());
  record->title[title.size()] = '\0';
}

std::string WindowTitle(const WindowRecord* record) {
  std::lock_guard lock(record->title_lock);
  return record->title;
}

WindowRecord* FindWindowRecord(platform::WindowId window) {
  if (window == platform::kNoWindow) return nullptr;
  for (auto* record : g_windows) {
    if (record != nullptr && record->handle == window) return record;
  }
  return nullptr;
}

void ResetWindowMessages() {
  g_window_messages.last_key.store(0);
  g_window_messages.last_mouse_button.store(0);
  g_window_messages.mouse_moved.store(0);
  g_window_messages.wheel_delta.store(0);
  g_window_messages.menu_command.store(0);
  g_window_messages.close_requested.store(0);
  g_window_messages.minimise_request.store(0);
  g_window_messages.maximise_request.store(0);
  g_window_messages.caption_double_click.store(0);
  g_window_messages.drag_request.store(0);
  g_window_messages.drag_x.store(0);
  g_window_messages.drag_y.store(0);
  g_window_messages.restore_recorded.store(0);
  g_window_messages.display_client_size.store(0);
  g_window_messages.monitor_check_pending.store(0);
  g_window_messages.sizing_frame_end_pending.store(0);
  g_window_messages.tray_popup_request.store(0);
  g_window_messages.tray_popup_x.store(0);
  g_window_messages.tray_popup_y.store(0);
  WindowSizingState& sizing = g_window_sizing;
  sizing.maximise_in_progress = 0;
  sizing.restore_pending.store(0);
  sizing.client_width.store(0);
  sizing.client_height.store(0);
  sizing.display_saved = 0;
  sizing.saved_offset_x = sizing.saved_offset_y = 0;
  sizing.saved_display_width = sizing.saved_display_height = 0;
  g_window_drag.enabled.store(0);
  {
    std::lock_guard drag_lock(g_window_drag.lock);
    g_window_drag.layer_path.clear();
  }
  std::lock_guard lock(g_window_messages.dropped_lock);
  g_window_messages.dropped_files.clear();
  g_window_messages.dropped_files.shrink_to_fit();
}

size_t DroppedFileCount() {
  std::lock_guard lock(g_window_messages.dropped_lock);
  return g_window_messages.dropped_files.size();
}

bool GetDroppedFile(size_t k, std::string* name) {
  std::lock_guard lock(g_window_messages.dropped_lock);
  if (k >= g_window_messages.dropped_files.size()) return false;
  *name = g_window_messages.dropped_files[k];
  return true;
}

}  // namespace korvel
