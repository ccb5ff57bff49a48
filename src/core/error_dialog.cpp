// The error dialog and its small text helpers.
#include "core/error_dialog.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "core/editor_launch.h"
#include "core/error_report.h"
#include "core/input_state.h"
#include "core/shift_jis.h"

namespace korvel {

namespace {

constexpr char kDefaultTitle[] = "KORVEL Debug Info.";

struct DialogState {
  std::mutex mutex;
  std::string title = kDefaultTitle;
  uint8_t debug = 0;
  platform::WindowId owner = platform::kNoWindow;
  // What the shown dialog holds; written once by the report that claimed the guard.
  std::string message;
  std::string file;
  int line = 1;
};

DialogState g_dialog;
std::atomic<bool> g_dialog_guard{false};

void EditButtonPressed(void* /*context*/) { OpenEditorAtLine(); }

}  // namespace

void SetErrorDialogTitle(std::string_view title_sjis) {
  std::lock_guard<std::mutex> lock(g_dialog.mutex);
  g_dialog.title.assign(title_sjis);
}

void SetErrorDialogDebug(uint8_t debug) {
  std::lock_guard<std::mutex> lock(g_dialog.mutex);
  g_dialog.debug = debug;
}

void SetErrorDialogOwner(platform::WindowId owner) {
  std::lock_guard<std::mutex> lock(g_dialog.mutex);
  g_dialog.owner = owner;
}

int ErrorDialogEditButton(uint8_t debug, bool has_script_file) {
  if (debug != 1) return 0;
  return has_script_file ? 1 : 2;
}

void ShowErrorDialog(std::string_view message) {
  const ErrorReportSnapshot last = LastErrorReport();
  ShowErrorDialogAt(message, last.file, last.line);
}

void ShowErrorDialogAt(std::string_view message, std::string_view file, int line) {
  // Only the first report of the run shows the dialog.
  if (g_dialog_guard.exchange(true)) return;
  std::string title;
  uint8_t debug = 0;
  platform::WindowId owner = platform::kNoWindow;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(g_dialog.mutex);
    g_dialog.message.assign(message);
    g_dialog.file.assign(file);
    g_dialog.line = file.empty() ? 1 : line;
    title = g_dialog.title;
    debug = g_dialog.debug;
    owner = g_dialog.owner;
    text = g_dialog.message;
  }
  // The dialog needs the mouse: the cursor is shown now, through the display counter.
  RequestCursorShow();
  ApplyCursorRequest();
  platform::ErrorDialog(owner, title, text, ErrorDialogEditButton(debug, !file.empty()),
                        EditButtonPressed, nullptr);
}

bool ErrorDialogShown() { return g_dialog_guard.load(); }

bool ErrorDialogScriptPosition(std::string* file, int* line) {
  std::lock_guard<std::mutex> lock(g_dialog.mutex);
  *file = g_dialog.file;
  *line = g_dialog.line;
  return !g_dialog.file.empty();
}

size_t SetMultilineText(char* out, size_t out_size, std::string_view text) {
  if (out == nullptr || out_size == 0) return 0;
  const size_t limit = out_size - 1;
  size_t length = 0;
  for (size_t i = 0; i < text.size() && text[i] != '\0';) {
    const char* unit = text.data() + i;
    size_t consumed = SjisCharLength(text.data(), i, text.size());
    size_t produced = consumed;
    if (text[i] == '\n') {
      unit = "\r\n";
      produced = 2;
    } else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      consumed = 2;
      produced = 2;
    }
    if (produced > limit - length) break;
    std::memcpy(out + length, unit, produced);
    length += produced;
    i += consumed;
  }
  out[length] = '\0';
  return length;
}

bool FileNameOfPath(std::string_view path, std::string* name) {
  name->clear();
  const size_t end = std::min(path.size(), path.find('\0'));
  size_t start = 0;
  for (size_t i = 0; i < end;) {
    const size_t n = SjisCharLength(path.data(), i, end);
    if (n == 1 && (path[i] == '\\' || path[i] == '/')) start = i + 1;
    i += n;
  }
  if (start >= end) return false;
  name->assign(path.substr(start, end - start));
  return true;
}

void InitErrorDialog() {
  g_dialog_guard.store(false);
  std::lock_guard<std::mutex> lock(g_dialog.mutex);
  g_dialog.title = kDefaultTitle;
  g_dialog.debug = 0;
  g_dialog.owner = platform::kNoWindow;
  g_dialog.message.clear();
  g_dialog.file.clear();
  g_dialog.line = 1;
}

}  // namespace korvel
