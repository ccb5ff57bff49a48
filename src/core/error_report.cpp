// The error reporters, serialised by one lock: reports from several threads never share a buffer.
#include "core/error_report.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "core/deferred_dialogs.h"
#include "core/engine_state.h"
#include "core/error_dialog.h"
#include "core/error_texts.h"
#include "core/sjis_text.h"
#include "platform/text_encoding.h"

namespace korvel {

namespace {

constexpr size_t kMessageSize = 1024;

struct ReportState {
  std::mutex mutex;
  char message[kMessageSize] = {};
  size_t length = 0;
  size_t body_offset = 0;  // where the code's own text starts (after the script prefix)
  int32_t code = 0;
  std::string file;  // empty when the report had no script position
  int line = 1;
  uint32_t count = 0;
};

ReportState g_report;
std::atomic<ScriptPositionProvider> g_position_provider{nullptr};

const std::string& ScriptPrefix() {
  static const std::string prefix =
      Sjis("[対象ファイル]\n%s\n\n[場所]\n%d 行目\n\n[内容]\n\n");
  return prefix;
}

// `korvel: error <code>: <message> (<file>:<line>)` on one UTF-8 line: line breaks become spaces.
void WriteStderrLine(int32_t code, std::string_view body, const std::string& file, int line) {
  std::string text = platform::Cp932ToUtf8(body);
  std::string out = "korvel: error " + std::to_string(code) + ": ";
  bool in_break = false;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      if (!in_break) out += ' ';
      in_break = true;
      continue;
    }
    in_break = false;
    out += c;
  }
  if (!file.empty()) {
    out += " (" + platform::Cp932ToUtf8(file) + ":" + std::to_string(line) + ")";
  }
  out += '\n';
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void SetScriptPositionProvider(ScriptPositionProvider provider) {
  g_position_provider.store(provider);
}

void ReportErrorArgs(int32_t code, bool fatal, bool script, std::span<const FormatArg> args) {
  std::string message;
  std::string file;
  int line = 1;
  {
    std::lock_guard<std::mutex> lock(g_report.mutex);
    const char* script_file = nullptr;
    int script_line = 1;
    const ScriptPositionProvider provider = g_position_provider.load();
    if (script && provider != nullptr && !provider(&script_file, &script_line)) {
      script_file = nullptr;
    }
    if (script_file == nullptr) script_line = 1;

    // The prefix is formatted on its own, so a '%' in the script's path is shown as it stands and
    // the code's arguments go to the code's text only.
    size_t length = 0;
    if (script_file != nullptr) {
      length = FormatText(g_report.message, kMessageSize, ScriptPrefix(),
                          MakeFormatArgs(script_file, script_line));
    }
    g_report.body_offset = length;
    length += FormatText(g_report.message + length, kMessageSize - length, GetErrorText(code), args);
    g_report.length = length;
    g_report.code = code;
    g_report.file = script_file != nullptr ? script_file : "";
    g_report.line = script_file != nullptr ? script_line : 1;
    ++g_report.count;

    // Assigned, not raised: a non-fatal report withdraws a pending quit.
    SetQuitFromReport(fatal);

    WriteStderrLine(code,
                    std::string_view(g_report.message + g_report.body_offset,
                                     length - g_report.body_offset),
                    g_report.file, g_report.line);
    message.assign(g_report.message, length);
    file = g_report.file;
    line = g_report.line;
  }
  // The dialog waits for the player (and, off the main thread, for the main thread): never while
  // this thread holds the engine lock, which the main thread or the sound thread may be waiting
  // for. It is shown when the lock is released.
  if (DeferDialogWhileLocked([message, file, line] { ShowErrorDialogAt(message, file, line); })) {
    return;
  }
  // The dialog runs outside the lock: a report from another thread meanwhile only formats.
  ShowErrorDialogAt(message, file, line);
}

ErrorReportSnapshot LastErrorReport() {
  std::lock_guard<std::mutex> lock(g_report.mutex);
  ErrorReportSnapshot snapshot;
  snapshot.code = g_report.code;
  snapshot.message.assign(g_report.message, g_report.length);
  snapshot.file = g_report.file;
  snapshot.line = g_report.line;
  snapshot.count = g_report.count;
  return snapshot;
}

void InitErrorReporting() {
  {
    std::lock_guard<std::mutex> lock(g_report.mutex);
    g_report.message[0] = '\0';
    g_report.length = 0;
    g_report.body_offset = 0;
    g_report.code = 0;
    g_report.file.clear();
    g_report.line = 1;
    g_report.count = 0;
  }
  g_position_provider.store(nullptr);
  InitErrorTexts();
  InitErrorDialog();
}

void ShutdownErrorReporting() { InitErrorReporting(); }

}  // namespace korvel
