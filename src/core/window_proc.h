// The engine windows' event handling: what each platform event means to the engine (the main window
// procedure), the close path with its states and the Yes/No question, window dragging, maximise and
// restore, dropped files, and the screen saver's permission.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Minimise, maximise and restore as the window system reports them (after the fact; a refused
// change is undone). Return 0 when refused.
int32_t HandleMinimize(WindowRecord* record);
int32_t HandleMaximize(WindowRecord* record);
void HandleRestore(WindowRecord* record);
// Size or position changed: a pending restore clears the maximised flag and records the restore
// for the frame step's thread; while maximised the client size is kept. True when the restore was
// taken. The main thread never changes the display placement itself.
bool HandleWindowPosChanged(WindowRecord* record);
// On the frame step's thread, at the start of a frame: saves the windowed display the first time
// the maximised flag is seen; a recorded restore puts it back and makes the screen buffer again
// for the main window's logical size (on failure the old buffer stays, with its size, and the
// failure is reported: 100010 for a side above 8192, 104030 without memory); an ended maximise
// takes the sizing frame off unless the project lets the player size the window.
void ApplyMaximiseAndRestore();

// Keeps the dropped files, converted to code page 932: at most 65536, names that do not convert
// back to the same path or are longer than 260 bytes are skipped.
void StoreDroppedFiles(const std::vector<std::string>& paths_utf8);

// Window dragging (a script command switches it): on or off, and the layer whose pixels are the
// drag area.
void SetWindowDrag(bool enabled, std::string_view layer_path_sjis);
// Whether a left-button press at the client point starts a window move: dragging on, the point
// inside the window and on a pixel of the drag layer that is not fully transparent.
bool IsWindowDragPoint(const WindowRecord* record, int32_t client_x, int32_t client_y);
// The platform's drag test (main thread).
bool EngineDragTest(platform::WindowId window, int32_t x, int32_t y);

// The desktop's screen saver may start only in a screen-saver build or when the project allows it.
void ApplyScreenSaverPermission();

// Takes every queued event and hands it to its window; the quit event clears the running flag.
void PumpMessages();

// Sets the quit flag, marks the main window as closing and posts it a close request.
bool RequestQuit();

}  // namespace korvel
