// Headless clipboard (in memory), cursor shapes (recorded for tests) and the text-input dialog
// (answered from the answer queue).
#include "platform/headless/headless_api.h"
#include "platform/headless/headless_state.h"
#include "platform/text_encoding.h"

namespace korvel::platform::headless {

bool HeadlessBackend::SetClipboardText(std::string_view text_sjis) {
  std::lock_guard lock(g_state.mutex);
  g_state.clipboard.assign(text_sjis);
  g_state.clipboard_has_text = true;
  return true;
}

bool HeadlessBackend::GetClipboardText(std::string* text_sjis) {
  std::lock_guard lock(g_state.mutex);
  if (!g_state.clipboard_has_text) return false;
  *text_sjis = g_state.clipboard;
  return true;
}

bool HeadlessBackend::SetSystemCursor(SystemCursor cursor) {
  std::lock_guard lock(g_state.mutex);
  g_state.cursor_shape = HeadlessCursorShape{};
  g_state.cursor_shape.system = static_cast<int32_t>(cursor);
  return true;
}

bool HeadlessBackend::SetImageCursor(const uint8_t* /*bgra*/, int32_t width, int32_t height,
                                     int32_t hot_x, int32_t hot_y) {
  std::lock_guard lock(g_state.mutex);
  if (g_state.image_cursor_fails) return false;
  g_state.cursor_shape = HeadlessCursorShape{-2, width, height, hot_x, hot_y};
  return true;
}

int32_t HeadlessBackend::InputDialog(WindowId /*owner*/, const InputDialogRequest& /*request*/,
                                     std::string* answer_sjis) {
  std::string text_utf8;
  if (!TakeHeadlessTextAnswer(&text_utf8)) return -1;
  *answer_sjis = Utf8ToCp932(text_utf8);
  return kIdOk;
}

}  // namespace korvel::platform::headless

namespace korvel::platform {

HeadlessCursorShape GetHeadlessCursorShape() {
  std::lock_guard lock(headless::g_state.mutex);
  return headless::g_state.cursor_shape;
}

void SetHeadlessImageCursorFails(bool fail) {
  std::lock_guard lock(headless::g_state.mutex);
  headless::g_state.image_cursor_fails = fail;
}

}  // namespace korvel::platform
