// The error reporters: a six-digit code becomes a message (with the script file and line for script
// errors), the quit flag takes the report's fatal argument, the message goes to stderr and the first
// report of the run shows the error dialog.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/text_format.h"

namespace korvel {

// Supplies the running script command's position: the script file (code page 932, as the script
// data names it) and its source line. Returns false when no script command is running.
using ScriptPositionProvider = bool (*)(const char** file, int* line);
void SetScriptPositionProvider(ScriptPositionProvider provider);

// Reports error `code` with arguments for the placeholders of its text. `script` adds the running
// script command's position in front of the message.
void ReportErrorArgs(int32_t code, bool fatal, bool script, std::span<const FormatArg> args);

template <typename... Args>
void ReportError(int32_t code, bool fatal, const Args&... args) {
  ReportErrorArgs(code, fatal, false, MakeFormatArgs(args...));
}
template <typename... Args>
void ReportScriptError(int32_t code, bool fatal, const Args&... args) {
  ReportErrorArgs(code, fatal, true, MakeFormatArgs(args...));
}
// Without arguments: the text still goes through the formatter ("%%" becomes "%"); placeholders that
// have no argument are shown as they stand.
inline void ReportErrorPlain(int32_t code, bool fatal) { ReportErrorArgs(code, fatal, false, {}); }
inline void ReportScriptErrorPlain(int32_t code, bool fatal) {
  ReportErrorArgs(code, fatal, true, {});
}

// Accepts diagnostic texts and discards them.
template <typename... Args>
inline void TraceNothing(const Args&...) {}

// The last report: its code, the message as the dialog shows it, and the script position (file
// empty and line 1 when it had none). `count` counts the reports since InitErrorReporting.
struct ErrorReportSnapshot {
  int32_t code = 0;
  std::string message;
  std::string file;
  int line = 1;
  uint32_t count = 0;
};
ErrorReportSnapshot LastErrorReport();

// Resets the reporters, the error texts and the error dialog to their start-up state.
void InitErrorReporting();
void ShutdownErrorReporting();

}  // namespace korvel
