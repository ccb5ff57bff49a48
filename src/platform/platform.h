// The platform layer: the small set of services the engine needs from the machine, with the meaning
// Windows gives them where scripts can see it (virtual-key codes, message-box results, a wrapping
// millisecond clock). Two backends implement it: SDL (real windows) and headless (tests).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::platform {

using WindowId = int32_t;
inline constexpr WindowId kNoWindow = -1;

// ---- Backend selection -------------------------------------------------------------------------

enum class BackendKind : uint8_t { kHeadless, kSdl };

// Chooses the backend from KORVEL_PLATFORM (headless|sdl, default sdl). The SDL backend falls back
// to headless, with one line on stderr, when no display can be opened. Returns false (with a line on
// stderr) only when the headless control files are malformed; the caller then ends with status 2.
bool InitPlatform();
// Same, with the kind given explicitly (tests).
bool InitPlatformWith(BackendKind kind);
void ShutdownPlatform();
BackendKind ActiveBackend();
bool IsHeadless();

// ---- Time ---------------------------------------------------------------------------------------

// Milliseconds, wrapping at 2^32 (timeGetTime's meaning). Headless: a virtual clock.
uint32_t NowMs();
// Sleeps. Headless: the clock thread advances the virtual clock; any other thread waits until the
// clock has reached its wake-up time. On the main thread, pending main-thread requests are served
// while waiting.
void SleepMs(uint32_t ms);
// Headless: the calling thread joins (true) or leaves (false) the threads that run on the virtual
// clock: the frame-step thread, the main thread, the sound thread. They take turns; when the running
// one sleeps, the clock jumps to the earliest wake-up among them, so runs are repeatable. Other
// threads' sleeps wait until the clock reaches their wake-up time; with no thread on the clock, a
// sleeping thread advances it. A thread that ends leaves the clock first. SDL: nothing.
void SetClockThread(bool owner);
// SetClockThread(true) for a thread another clock thread starts and waits for: `registered(context)`
// runs as soon as the new thread is on the clock, before it waits for its turn, so the starter can
// stop waiting and go on holding the turn (waiting for the turn itself would stall both).
void JoinClockThread(void (*registered)(void*), void* context);
// Headless only: moves the virtual clock forward (tests).
void AdvanceClockForTest(uint32_t ms);

struct LocalTime {
  int year, month, day_of_week, day, hour, minute, second, milliseconds;
};
// The local time now. Headless: 2000-01-01 00:00:00 UTC plus the virtual clock's time.
LocalTime GetLocalTime();
// The local time of a moment given in milliseconds since 1970-01-01 00:00:00 UTC.
LocalTime LocalTimeFromUnixMs(int64_t unix_ms);

// ---- Windows ------------------------------------------------------------------------------------

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct WindowDesc {
  std::string title;        // code page 932
  int32_t x = 0, y = 0;     // outer top-left in screen coordinates
  int32_t client_width = 0, client_height = 0;
  bool resizable = false;
  bool borderless = false;
  bool topmost = false;
  bool utility = false;     // no taskbar button (WS_EX_TOOLWINDOW)
  bool accept_drops = true;
  bool popup_menu = false;  // a menu's own window: above every other, never takes the focus
  int32_t engine_index = 0;  // the engine's window number 0..3, echoed in events
  bool opengl = false;       // drawn through the GPU device (made without when it cannot be)
};

// Windows are created hidden.
WindowId CreateWindow(const WindowDesc& desc);
void DestroyWindow(WindowId window);
enum class ShowCommand : uint8_t { kHide, kShow, kMinimize, kRestore, kMaximize };
void ShowWindow(WindowId window, ShowCommand command);
bool IsWindowVisible(WindowId window);
bool IsWindowMinimized(WindowId window);
void SetWindowTitle(WindowId window, std::string_view title_sjis);
void SetWindowResizable(WindowId window, bool resizable);
void SetWindowPosition(WindowId window, int32_t x, int32_t y);
void SetWindowClientSize(WindowId window, int32_t width, int32_t height);
// Outer rectangle and client rectangle (client: 0, 0, width, height).
bool GetWindowRect(WindowId window, Rect* rect);
bool GetClientRect(WindowId window, Rect* rect);
// Screen to client coordinates of a window.
bool ScreenToClient(WindowId window, int32_t* x, int32_t* y);
// Brings a window to the front and gives it the focus (SetForegroundWindow).
void RaiseWindow(WindowId window);
// The usable desktop area (SPI_GETWORKAREA) and the desktop mode.
bool GetWorkArea(Rect* area);
struct DisplayMode {
  int32_t width = 0, height = 0, bits_per_pixel = 32, refresh_hz = 60;
};
DisplayMode GetDesktopMode();
// Shows a composed frame: rows top-down, bytes blue, green, red, alpha. `frame` numbers the dump.
void PresentFrame(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                  int32_t pitch, uint64_t frame);
// The same frame, of which only the `changed` rectangles (right and bottom exclusive) differ from
// the frame presented last at this size: the window system is handed those parts only when the
// window still shows the last frame; otherwise the whole frame. Empty rectangles and the parts
// outside the frame are skipped.
void PresentFrameRects(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                       int32_t pitch, uint64_t frame, std::span<const Rect> changed);
inline void PresentFrameRect(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                             int32_t pitch, uint64_t frame, const Rect& changed) {
  PresentFrameRects(window, bgra, width, height, pitch, frame, std::span<const Rect>(&changed, 1));
}

// A frame drawn straight into the window system's picture of a window, with no copy between: the
// picture's pixels (the frame's layout, rows `pitch` bytes apart) and whether the drawer must draw
// all of it (`whole`: it holds something else) or only what changed since the last frame drawn
// this way. The drawer returns the rectangles it wrote (at most `capacity`, into `rects`); those
// are shown, or the whole picture when `whole`.
struct FrameDrawTarget {
  uint8_t* pixels = nullptr;
  int32_t pitch = 0;
  bool whole = true;
};
using FrameDrawFn = int32_t (*)(void* context, const FrameDrawTarget& target, Rect* rects,
                                int32_t capacity);
inline constexpr int32_t kFrameDrawRects = 16;
// Calls `draw` once, on the thread that owns the windows, when the window's picture is width x
// height in the frame's layout and nothing is laid over the frame (no movie overlay, no menu bar);
// `whole` asks for a whole drawing anyway. False, with `draw` not called, otherwise: the frame
// then goes through PresentFrame.
bool DrawFrameInPlace(WindowId window, int32_t width, int32_t height, uint64_t frame, bool whole,
                      FrameDrawFn draw, void* context);

// ---- Monitors, display modes and window decoration ---------------------------------------------

inline constexpr int32_t kMaxMonitors = 16;

// A monitor: its rectangle on the desktop and the usable part of it (without panels).
struct MonitorInfo {
  Rect bounds;
  Rect work_area;
};
// The monitors in the system's order (SDL's display index); at most kMaxMonitors. Headless: the
// table of KORVEL_MONITORS, else one 1920 x 1080 monitor.
std::vector<MonitorInfo> GetMonitors();
// The display modes monitor `monitor` offers (empty for an unknown monitor).
std::vector<DisplayMode> GetDisplayModes(int32_t monitor);
// Full screen: the window covers monitor `monitor` in display mode `mode` (its width, height and
// depth). False when the mode cannot be set; the window then stays as it was.
bool EnterFullScreen(WindowId window, int32_t monitor, const DisplayMode& mode);
// Back to a normal window and the desktop's display mode.
void LeaveFullScreen(WindowId window);
// A window without caption and frame (a pop-up), or with them again.
void SetWindowBorderless(WindowId window, bool borderless);
// Whether the window offers a maximise button (recorded; SDL windows keep theirs).
void SetWindowMaximizable(WindowId window, bool maximizable);
// Z-order: kTop above other normal windows, kBottom below them, kTopmost above every normal
// window, kNotTopmost back among them, kBehind just behind window `other`.
enum class WindowOrder : uint8_t { kTop, kBottom, kTopmost, kNotTopmost, kBehind };
void SetWindowOrder(WindowId window, WindowOrder order, WindowId other);
// Flashes the caption and taskbar button (FlashWindowEx's flags and count).
void FlashWindow(WindowId window, uint32_t flags, uint32_t count);
// The window's visible shape: the union of the rectangles, in client coordinates (right and bottom
// exclusive); an empty list hides the whole window. False when the window system has no shapes.
bool SetWindowShape(WindowId window, const std::vector<Rect>& rects);
// ---- Menu bar -----------------------------------------------------------------------------------

// Reserves `height` pixels above the window's client area for its menu bar (0 removes it), as
// Windows' menu sits outside the client area: the client size, client coordinates and mouse events
// exclude it (points over the bar have y < 0), and the frame is shown below it.
void SetWindowMenuBar(WindowId window, int32_t height);
// The height of the strip reserved above the window's client area (0: none).
int32_t WindowMenuBarHeight(WindowId window);
// Shows the strip, `width` pixels wide, as the window's menu bar overlay draws it (CPU drawing).
void PresentMenuBar(WindowId window, int32_t width);

// ---- Events -------------------------------------------------------------------------------------

// Events carry the meaning of the Windows messages the engine handles.
enum class EventKind : uint8_t {
  kNone,
  kCloseButton,   // the player asked to close a window (WM_SYSCOMMAND SC_CLOSE)
  kClose,         // the engine asked to close a window (WM_CLOSE, posted)
  kQuit,          // the message loop is to end (WM_QUIT, posted)
  kActivate,      // value: 1 active, 0 inactive (WM_ACTIVATE)
  kKeyDown,       // value: virtual-key code (WM_KEYDOWN / WM_SYSKEYDOWN)
  kKeyUp,         // value: virtual-key code
  kMouseMove,     // x, y: client coordinates
  kMouseDown,     // value: 1 left, 2 right, 4 middle (virtual-key codes); x, y client
  kMouseUp,       // as kMouseDown
  kMouseWheel,    // value: delta, 120 per notch, positive away from the user
  kDropFiles,     // paths: UTF-8
  kMinimize,      // WM_SYSCOMMAND SC_MINIMIZE
  kMaximize,      // WM_SYSCOMMAND SC_MAXIMIZE
  kRestore,       // WM_SYSCOMMAND SC_RESTORE
  kSized,         // x, y: new client size (WM_SIZE)
  kMoved,         // x, y: new client origin in screen coordinates (WM_MOVE)
  kExposed,       // the window needs repainting (WM_PAINT)
  kCommand,       // value: menu command identifier (WM_COMMAND)
  kRaise,         // another start of this game asked to be brought to the front
  kTerminate,     // SIGTERM or SIGINT: quit through the normal path
  kJoystickAxis,  // value: joystick index; x: axis; y: position -32768..32767
  kJoystickButton,  // value: joystick index; x: button; y: 1 down, 0 up
  kJoystickAdded,   // value: joystick index
  kJoystickRemoved,
  kDragStart,     // a left-button press began a window move (WM_NCLBUTTONDOWN HTCAPTION); x, y
                  // client
  kMovieEnd,      // value: 1 when the playing movie reached its end or was stopped (MM_MCINOTIFY)
  kMenuBarChoice,  // value: a command the player chose from the menu bar (headless input `menu`)
  kTrayIcon,      // a click on the tray icon: value kTrayLeftDown, kTrayLeftDoubleClick or
                  // kTrayRightDown (tray_icon.h); x, y: the pointer in screen coordinates
};

struct Event {
  EventKind kind = EventKind::kNone;
  WindowId window = kNoWindow;
  int32_t engine_index = -1;  // the window's WindowDesc::engine_index, -1 without a window
  int32_t value = 0;
  int32_t x = 0, y = 0;
  std::vector<std::string> paths;
};

// Takes the next event, if any. Never blocks. On the main thread it also serves pending
// main-thread requests first.
bool PollEvent(Event* event);
// Queues an event; safe from any thread (also from the engine's own threads for kClose, kQuit).
void PostEvent(Event event);

// ---- Input --------------------------------------------------------------------------------------

// The keyboard snapshot: 256 bytes indexed by virtual-key code, bit 7 set while the key is down (the
// mouse buttons at VK_LBUTTON 1, VK_RBUTTON 2, VK_MBUTTON 4), bit 0 toggled by each press.
void GetKeyboardState(uint8_t keys[256]);
// Replaces the snapshot (the engine clears it when no engine window has the focus).
void SetKeyboardState(const uint8_t keys[256]);
// The cursor in screen coordinates.
void GetCursorPos(int32_t* x, int32_t* y);
void SetCursorPos(int32_t x, int32_t y);
void ShowCursor(bool show);

// Window drag areas: `test` is asked on the main thread, for each left-button press in an engine
// window, whether the client point (x, y) is a drag area. True hands the press to the window
// system, which moves the window (the caption's meaning), and kDragStart is posted instead of
// kMouseDown. Null removes the test.
using DragTest = bool (*)(WindowId window, int32_t x, int32_t y);
void SetDragTest(DragTest test);

// Whether the desktop's screen saver may start while the engine runs (SC_SCREENSAVE's answer).
void AllowScreenSaver(bool allow);

// Headless: applies the scripted input of this frame (KORVEL_INPUT) before its input poll. SDL:
// nothing.
void BeginFrame(uint64_t frame);
// Headless: KORVEL_FRAMES, 0 when unset or not headless.
uint64_t FrameLimit();

// ---- Joysticks ----------------------------------------------------------------------------------

inline constexpr int32_t kJoystickSlots = 16;

// One joystick as joyGetPosEx reports it: x and y 0..65535 (32767 centred), buttons bit k for
// button k + 1.
struct JoystickPosition {
  uint32_t x = 32767, y = 32767;
  uint32_t buttons = 0;
};

// True when joysticks can be read at all (SDL's joystick subsystem started; headless always).
bool JoysticksAvailable();
// The position of the joystick in slot 0..15; false when no joystick is plugged in that slot.
// Joysticks take the first free slot when plugged and keep it until unplugged.
bool ReadJoystick(int32_t slot, JoystickPosition* position);
// An axis value -32768..32767 as a joyGetPosEx position: clamp(value + 32767, 0, 65535), so a
// centred stick reads 32767 and presses no direction.
uint32_t JoystickAxisPosition(int32_t value);

// ---- Dialogs ------------------------------------------------------------------------------------

// Windows message-box flags and results, as scripts and the Parts use them.
enum : uint32_t {
  kMbOk = 0x0, kMbOkCancel = 0x1, kMbAbortRetryIgnore = 0x2, kMbYesNoCancel = 0x3, kMbYesNo = 0x4,
  kMbRetryCancel = 0x5, kMbButtonsMask = 0xF,
  kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconWarning = 0x30, kMbIconInformation = 0x40,
  kMbIconMask = 0xF0,
  kMbDefButton2 = 0x100, kMbDefButton3 = 0x200, kMbDefButtonMask = 0xF00,
  kMbSystemModal = 0x1000,
};
enum : int32_t {
  kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdYes = 6, kIdNo = 7,
  kIdEdit = 1033, kIdExit = 1034,
};

// A modal message box; texts in code page 932. Returns the Windows result code. Headless: the next
// answer of KORVEL_ANSWERS; with none left the run cannot go on (see HeadlessAbortStatus).
int32_t MessageBox(WindowId owner, std::string_view title_sjis, std::string_view text_sjis,
                   uint32_t flags);

// The error dialog: a read-only text with the buttons "編集(&E)" (kIdEdit, only when `edit_button`
// is 1 = enabled, 2 = shown disabled, 0 = absent) and "終了(&X)" (kIdExit). Edit does not end the
// dialog: `on_edit` runs and the dialog stays. Returns kIdExit. Headless: answers are read until
// 1034 or none is left.
using EditCallback = void (*)(void* context);
int32_t ErrorDialog(WindowId owner, std::string_view title_sjis, std::string_view text_sjis,
                    int edit_button, EditCallback on_edit, void* context);

// Every dialog is also logged as `korvel: dialog: <title> | <text> | <answer>` on stderr.
// Dialogs outside this header (text input, popup menu) log through this; line breaks in the texts
// are written as "\n" so each dialog stays one line.
void LogDialog(std::string_view title_sjis, std::string_view text_sjis,
               std::string_view answer_utf8);

// Headless: 2 once a dialog found no answer or a control file was malformed, else 0.
int HeadlessAbortStatus();

// ---- Main-thread requests -----------------------------------------------------------------------

// True on the main thread, the one that called InitPlatform (where SDL's windows live).
bool IsMainThread();
// Runs `fn(context)` on the main thread and waits for it; runs it at once on the main thread.
void RunOnMainThread(void (*fn)(void* context), void* context);
// Serves pending requests (the main thread calls this in every loop it runs).
void ServeMainThreadRequests();
// The calling thread's count of engine-lock holds, kept by the engine lock. No thread may wait for
// the main thread while it holds that lock (the main thread may be waiting for it): in debug builds
// RunOnMainThread ends the program with a message when it is called with a hold counted.
void NoteEngineLockHold(int delta);
int EngineLockHolds();

}  // namespace korvel::platform
