// Services of the headless backend beyond platform.h: answers for the engine's own dialogs (text
// input, popup menu), ending a run that cannot go on, and what tests need to look inside (virtual
// windows, answers and input added by code, threads waiting for the virtual clock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace korvel::platform {

// ---- For the engine -----------------------------------------------------------------------------

// The next answer as the answer file gives it ("6", "text:...", "menu:3"); false when none is left.
bool TakeHeadlessAnswer(std::string* answer);
// The next answer for the text-input dialog (`text:`) or a popup menu (`menu:`). False when none is
// left or the next one is of another kind: the run then cannot go on (HeadlessAbortRun was called).
bool TakeHeadlessTextAnswer(std::string* text_utf8);
bool TakeHeadlessMenuAnswer(int32_t* command);
// Ends a headless run that cannot go on: HeadlessAbortStatus() becomes 2, `why` goes to stderr and
// kQuit is posted.
void HeadlessAbortRun(std::string_view why);

// ---- For tests ----------------------------------------------------------------------------------

struct HeadlessWindowInfo {
  std::string title;  // UTF-8
  int32_t x = 0, y = 0, width = 0, height = 0;  // client origin in screen coordinates, client size
  bool visible = false, minimized = false, maximized = false, resizable = false;
  int32_t engine_index = 0;
  bool borderless = false, maximizable = true, topmost = false, full_screen = false;
  int32_t full_screen_monitor = -1;
  DisplayMode full_screen_mode;
  int64_t z = 0;  // stacking order: higher is nearer the front
  uint32_t flash_flags = 0, flash_count = 0, flash_calls = 0;
  bool shaped = false;  // a shape was set; `shape` empty then hides the window
  std::vector<Rect> shape;
  int32_t menu_bar_height = 0;  // reserved above the client area, which keeps its size
};
// False when the window does not exist (never created or destroyed).
bool GetHeadlessWindowInfo(WindowId window, HeadlessWindowInfo* info);
WindowId HeadlessActiveWindow();
bool HeadlessCursorShown();
bool HeadlessScreenSaverAllowed();

// Adds one line as the answer file or the input file would hold it; false with the problem.
bool QueueHeadlessAnswer(std::string_view line, std::string* error);
bool QueueHeadlessInput(std::string_view line, std::string* error);
size_t HeadlessAnswersLeft();
// Replaces the monitor table, written as KORVEL_MONITORS is; false with the problem.
bool SetHeadlessMonitors(std::string_view spec, std::string* error);

// Blocks until at least `count` threads wait in SleepMs for the virtual clock (or the platform shut
// down), so a test can advance the clock knowing they are waiting.
void WaitForHeadlessSleepers(int count);

// How long a clock thread waits for its turn while the running one neither sleeps nor leaves,
// before it reports the stall and goes on (5000 ms; InitPlatform resets it).
void SetHeadlessTurnLimitForTest(uint32_t ms);

}  // namespace korvel::platform
