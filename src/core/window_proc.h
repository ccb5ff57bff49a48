// The engine windows' event handling: what each platform event means to the engine (the main window
// procedure), and the close path with its states and the Yes/No question.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace korvel {

struct WindowRecord;

// Handles one event for the window it names. Returns 1 when the default handling applies (the event
// was not consumed), as DefWindowProc would be called.
int32_t MainWindowProc(WindowRecord* record, const platform::Event& event);

// The close button (SC_CLOSE): 0 when the close was handled (the script decides, or the player said
// No), 1 when the window is to close.
int32_t HandleCloseButton(WindowRecord* record);

// WM_CLOSE: marks the handle slot closed and destroys the window (which then runs the destroy path).
void CloseEngineWindow(WindowRecord* record);

// Takes every queued event and hands it to its window; the quit event clears the running flag.
void PumpMessages();

// Sets the quit flag, marks the main window as closing and posts it a close request.
bool RequestQuit();

}  // namespace korvel
