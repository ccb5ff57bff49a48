// The headless backend: its records, the backend class (its methods live in the headless_*.cpp
// files by topic) and the parsers of the control files.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"

namespace korvel::platform::headless {

// ---- Records ------------------------------------------------------------------------------------

enum class InputAction : uint8_t {
  kKeyDown, kKeyUp, kMouseMove, kMouseDown, kMouseUp, kWheel, kFocusLost, kFocusGained, kClose,
  kDrop, kJoyAxis, kJoyButton, kJoyAdded, kJoyRemoved, kMinimize, kMaximize, kRestore,
  kMenuBar,
};

// One line of the input file: a, b, c are the numbers of the event (key code; x, y; button code;
// joystick index, axis or button, value or 1/0).
struct InputLine {
  uint64_t frame = 0;
  InputAction action = InputAction::kKeyDown;
  int32_t a = 0, b = 0, c = 0;
  std::vector<std::string> paths;
};

enum class AnswerKind : uint8_t { kCode, kText, kMenu };

struct Answer {
  AnswerKind kind = AnswerKind::kCode;
  int32_t code = 0;  // result code or menu command
  std::string text;  // text answer, UTF-8
  std::string raw;   // the line as written
};

struct Window {
  bool alive = false;
  std::string title;  // code page 932
  int32_t x = 0, y = 0, width = 0, height = 0;  // client origin (screen) and size
  int32_t restore_x = 0, restore_y = 0, restore_width = 0, restore_height = 0;
  bool visible = false, minimized = false, maximized = false, resizable = false;
  int32_t engine_index = 0;
  bool borderless = false, maximizable = true, topmost = false, full_screen = false;
  int32_t full_screen_monitor = -1;
  DisplayMode full_screen_mode;
  int64_t z = 0;  // stacking order among windows of one layer: higher is nearer the front
  uint32_t flash_flags = 0, flash_count = 0, flash_calls = 0;
  bool shaped = false;
  std::vector<Rect> shape;
  int32_t menu_bar_height = 0;  // reserved above the client area
  // What frames drawn in place (DrawFrameInPlace) left: `picture_current` while nothing else was
  // presented to the window since.
  std::vector<uint8_t> picture;
  int32_t picture_width = 0, picture_height = 0;
  bool picture_current = false;
};

struct Monitor {
  MonitorInfo info;
  std::vector<DisplayMode> modes;
};

struct State {
  std::mutex mutex;
  std::vector<Window> windows;  // indexed by WindowId; ids are not reused
  WindowId active = kNoWindow;
  int32_t cursor_x = 0, cursor_y = 0;
  bool cursor_shown = true;
  std::deque<Answer> answers;
  std::vector<InputLine> input;  // sorted by frame, file order kept within a frame
  size_t next_input = 0;
  std::string dump_dir;
  uint64_t frame_limit = 0;
  DragTest drag_test = nullptr;
  bool screen_saver_allowed = false;
  std::vector<Monitor> monitors;  // KORVEL_MONITORS, else one 1920 x 1080 monitor
  int64_t z_top = 0, z_bottom = 0;
  std::string clipboard;  // code page 932
  bool clipboard_has_text = false;
  HeadlessCursorShape cursor_shape;
  bool image_cursor_fails = false;
};

extern State g_state;

// A screen or client coordinate computed from two others: the sum (or difference) in 64 bits,
// held to the 32-bit range, so input-file coordinates near the limits cannot overflow.
inline int32_t CoordinateSum(int64_t a, int64_t b) {
  const int64_t sum = a + b;
  return sum < INT32_MIN ? INT32_MIN : sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

// ---- Parsers (true on success; `empty` for blank and comment lines) ---------------------------

bool ParseInputLine(std::string_view line, InputLine* out, bool* empty, std::string* error);
bool ParseAnswerLine(std::string_view line, Answer* out, bool* empty, std::string* error);
// A monitor table as KORVEL_MONITORS gives it; false with the problem.
bool ParseMonitorTable(std::string_view text, std::vector<Monitor>* out, std::string* error);
// The table without KORVEL_MONITORS.
std::vector<Monitor> DefaultMonitors();
// Decimal, or hexadecimal after "0x"; the whole text must be the number and fit the range.
bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t* value);

// Reads KORVEL_CLOCK_START, KORVEL_FRAMES, KORVEL_DUMP, KORVEL_INPUT and KORVEL_ANSWERS into the
// state and the clock; false after a line on stderr when one is malformed.
bool LoadControl();
// Writes a BGRA frame as an RGBA PNG; false with the reason.
bool WriteFramePng(const std::string& path, const uint8_t* bgra, int32_t width, int32_t height,
                   int32_t pitch, std::string* error);

// ---- Clock (headless_clock.cpp) -----------------------------------------------------------------

void InitClock(uint32_t start);
// Releases every waiting sleeper for good.
void ShutdownClock();
uint32_t ClockNow();
// Milliseconds the virtual clock has run since the platform started (64-bit, no wrap).
uint64_t ClockElapsed();
void ClockSleep(uint32_t ms);
// `registered` (if given) runs once the joining thread is on the clock, before it waits for a turn.
void ClockSetOwner(bool owner, void (*registered)(void*) = nullptr, void* context = nullptr);
void ClockAdvance(uint32_t ms);
void ClockWakeMain();

// ---- Windows and input (headless_windows.cpp, headless_input.cpp) ------------------------------

// Fills the window fields of `event` for `window` (kNoWindow when it does not exist). Lock held.
void AddressEventLocked(Event* event, WindowId window);
// The live window with engine index 0, else kNoWindow. Lock held.
WindowId MainWindowLocked();
// Makes `window` the active one, posting the kActivate pair; kNoWindow deactivates. Lock held.
void ActivateLocked(WindowId window);
// ShowWindow with the lock held.
void ShowWindowLocked(WindowId window, ShowCommand command);
void ApplyInput(uint64_t frame);

// ---- The backend --------------------------------------------------------------------------------

class HeadlessBackend final : public Backend {
 public:
  BackendKind Kind() const override { return BackendKind::kHeadless; }
  bool Init() override;
  void Shutdown() override;

  uint32_t NowMs() override { return ClockNow(); }
  void SleepMs(uint32_t ms) override { ClockSleep(ms); }
  void SetClockThread(bool owner) override { ClockSetOwner(owner); }
  void JoinClockThread(void (*registered)(void*), void* context) override {
    ClockSetOwner(true, registered, context);
  }
  void AdvanceClockForTest(uint32_t ms) override { ClockAdvance(ms); }
  int64_t UnixTimeMs() override;
  void WakeMainThread() override { ClockWakeMain(); }

  WindowId CreateWindow(const WindowDesc& desc) override;
  void DestroyWindow(WindowId window) override;
  void ShowWindow(WindowId window, ShowCommand command) override;
  bool IsWindowVisible(WindowId window) override;
  bool IsWindowMinimized(WindowId window) override;
  void SetWindowTitle(WindowId window, std::string_view title_sjis) override;
  void SetWindowResizable(WindowId window, bool resizable) override;
  void SetWindowPosition(WindowId window, int32_t x, int32_t y) override;
  void SetWindowClientSize(WindowId window, int32_t width, int32_t height) override;
  bool GetWindowRect(WindowId window, Rect* rect) override;
  bool GetClientRect(WindowId window, Rect* rect) override;
  bool ScreenToClient(WindowId window, int32_t* x, int32_t* y) override;
  void RaiseWindow(WindowId window) override;
  bool GetWorkArea(Rect* area) override;
  DisplayMode GetDesktopMode() override;
  void SetWindowMenuBar(WindowId window, int32_t height) override;
  int32_t MenuBarHeight(WindowId window) override;
  void PresentFrame(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                    int32_t pitch, uint64_t frame) override;
  bool DrawFrameInPlace(WindowId window, int32_t width, int32_t height, uint64_t frame, bool whole,
                        FrameDrawFn draw, void* context) override;

  std::vector<MonitorInfo> GetMonitors() override;
  std::vector<DisplayMode> GetDisplayModes(int32_t monitor) override;
  bool EnterFullScreen(WindowId window, int32_t monitor, const DisplayMode& mode) override;
  void LeaveFullScreen(WindowId window) override;
  void SetWindowBorderless(WindowId window, bool borderless) override;
  void SetWindowMaximizable(WindowId window, bool maximizable) override;
  void SetWindowOrder(WindowId window, WindowOrder order, WindowId other) override;
  void FlashWindow(WindowId window, uint32_t flags, uint32_t count) override;
  bool SetWindowShape(WindowId window, const std::vector<Rect>& rects) override;

  void PumpEvents() override {}
  void GetCursorPos(int32_t* x, int32_t* y) override;
  void SetCursorPos(int32_t x, int32_t y) override;
  void ShowCursor(bool show) override;
  void SetDragTest(DragTest test) override;
  void AllowScreenSaver(bool allow) override;
  bool JoysticksAvailable() override { return true; }
  void BeginFrame(uint64_t frame) override { ApplyInput(frame); }
  uint64_t FrameLimit() override;

  int32_t MessageBox(WindowId owner, std::string_view title_sjis, std::string_view text_sjis,
                     uint32_t flags) override;
  int32_t ErrorDialog(WindowId owner, std::string_view title_sjis, std::string_view text_sjis,
                      int edit_button, EditCallback on_edit, void* context) override;
  bool SetClipboardText(std::string_view text_sjis) override;
  bool GetClipboardText(std::string* text_sjis) override;
  bool SetSystemCursor(SystemCursor cursor) override;
  bool SetImageCursor(const uint8_t* bgra, int32_t width, int32_t height, int32_t hot_x,
                      int32_t hot_y) override;
  int32_t InputDialog(WindowId owner, const InputDialogRequest& request,
                      std::string* answer_sjis) override;
};

}  // namespace korvel::platform::headless
