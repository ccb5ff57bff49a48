// Creating the platform window of an engine window record.
#pragma once

#include "platform/platform.h"

namespace korvel {

struct WindowRecord;

// Creates the window (hidden) for the record's logical size and title: the main window's frame
// follows the project options (resizable, borderless pop-up, no taskbar button), extra windows open
// at (0, 0) or centred on the work area. Returns 1 when created, 0 on failure.
int CreateEngineWindow(WindowRecord* record, const char* title);

}  // namespace korvel
