// The error dialog: shown for the first report of a run, with the message, an Exit button and, in
// debug mode, an Edit button that opens the reported script line in an editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace korvel {

// "KORVEL Debug Info." by default; "License Information" for the /info notice.
void SetErrorDialogTitle(std::string_view title_sjis);
// The project's debug flag: 1 enables the Edit button.
void SetErrorDialogDebug(uint8_t debug);
// The main window (window 0) once it exists; kNoWindow before.
void SetErrorDialogOwner(platform::WindowId owner);

// Shows the dialog with `message` and the position of the last report, unless a dialog has been
// shown already in this run. Returns when the dialog ends.
void ShowErrorDialog(std::string_view message);
// Same, with the script position given (file empty when there is none).
void ShowErrorDialogAt(std::string_view message, std::string_view file, int line);
// True once the dialog has been shown.
bool ErrorDialogShown();
// The script position of the dialog being (or last) shown; false when it has none.
bool ErrorDialogScriptPosition(std::string* file, int* line);

// The Edit button's state: 1 enabled (debug 1 with a script file), 2 shown disabled (debug 1
// without), 0 absent.
int ErrorDialogEditButton(uint8_t debug, bool has_script_file);

// Copies `text` into `out` with every "\n" turned into "\r\n" (an existing "\r\n" stays as it is),
// at most `out_size - 1` bytes and a NUL, never ending inside a line break or a double-byte
// character. Returns the length written.
size_t SetMultilineText(char* out, size_t out_size, std::string_view text);

// The name after the last '\' or '/' of a code page 932 path (double-byte characters are stepped
// over). False with an empty `name` when the path is empty or ends with a separator.
bool FileNameOfPath(std::string_view path, std::string* name);

// Clears the dialog guard and restores the default title, debug flag and owner.
void InitErrorDialog();

}  // namespace korvel
