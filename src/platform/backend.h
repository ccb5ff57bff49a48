// The interface each platform backend implements; the free functions of platform.h forward to the
// active one. Backends also use the shared services declared at the end (event queue, keyboard
// snapshot, main-thread requests, dialog log).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/cursor_shapes.h"
#include "platform/input_dialog.h"
#include "platform/platform.h"

namespace korvel::platform {

// Milliseconds since 1970-01-01 00:00:00 UTC of the real clock.
int64_t RealUnixTimeMs();

class GpuDevice;

class Backend {
 public:
  virtual ~Backend() = default;
  virtual BackendKind Kind() const = 0;
  // Opens the backend. False: SDL found no display; headless found a malformed control file (it
  // has printed the reason).
  virtual bool Init() = 0;
  virtual void Shutdown() = 0;
  // Why Init failed, for the fall-back line on stderr.
  virtual std::string InitError() const { return {}; }

  virtual uint32_t NowMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
  virtual void SetClockThread(bool owner) = 0;
  virtual void JoinClockThread(void (*registered)(void*), void* context) = 0;
  virtual void AdvanceClockForTest(uint32_t ms) = 0;
  // Milliseconds since 1970-01-01 00:00:00 UTC that local time is made from (real time unless the
  // backend keeps its own).
  virtual int64_t UnixTimeMs() { return RealUnixTimeMs(); }
  // A main-thread request was queued: a main thread waiting in SleepMs must wake up to serve it.
  virtual void WakeMainThread() = 0;

  virtual WindowId CreateWindow(const WindowDesc& desc) = 0;
  virtual void DestroyWindow(WindowId window) = 0;
  virtual void ShowWindow(WindowId window, ShowCommand command) = 0;
  virtual bool IsWindowVisible(WindowId window) = 0;
  virtual bool IsWindowMinimized(WindowId window) = 0;
  virtual void SetWindowTitle(WindowId window, std::string_view title_sjis) = 0;
  virtual void SetWindowResizable(WindowId window, bool resizable) = 0;
  virtual void SetWindowPosition(WindowId window, int32_t x, int32_t y) = 0;
  virtual void SetWindowClientSize(WindowId window, int32_t width, int32_t height) = 0;
  virtual bool GetWindowRect(WindowId window, Rect* rect) = 0;
  virtual bool GetClientRect(WindowId window, Rect* rect) = 0;
  virtual bool ScreenToClient(WindowId window, int32_t* x, int32_t* y) = 0;
  virtual void RaiseWindow(WindowId window) = 0;
  virtual bool GetWorkArea(Rect* area) = 0;
  virtual DisplayMode GetDesktopMode() = 0;
  virtual void PresentFrame(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                            int32_t pitch, uint64_t frame) = 0;
  virtual void SetWindowMenuBar(WindowId /*window*/, int32_t /*height*/) {}
  virtual void PresentMenuBar(WindowId /*window*/, const uint8_t* /*bgra*/, int32_t /*width*/,
                              int32_t /*height*/, int32_t /*pitch*/) {}
  virtual int32_t MenuBarHeight(WindowId /*window*/) { return 0; }

  // Monitors and window decoration; the defaults stand for one desktop-sized monitor and a window
  // system without these services.
  virtual std::vector<MonitorInfo> GetMonitors();
  virtual std::vector<DisplayMode> GetDisplayModes(int32_t monitor);
  virtual bool EnterFullScreen(WindowId /*window*/, int32_t /*monitor*/,
                               const DisplayMode& /*mode*/) { return false; }
  virtual void LeaveFullScreen(WindowId /*window*/) {}
  virtual void SetWindowBorderless(WindowId /*window*/, bool /*borderless*/) {}
  virtual void SetWindowMaximizable(WindowId /*window*/, bool /*maximizable*/) {}
  virtual void SetWindowOrder(WindowId /*window*/, WindowOrder /*order*/, WindowId /*other*/) {}
  virtual void FlashWindow(WindowId /*window*/, uint32_t /*flags*/, uint32_t /*count*/) {}
  virtual bool SetWindowShape(WindowId /*window*/, const std::vector<Rect>& /*rects*/) {
    return false;
  }

  virtual void PresentFrameRects(WindowId window, const uint8_t* bgra, int32_t width,
                                 int32_t height, int32_t pitch, uint64_t frame,
                                 std::span<const Rect> /*changed*/) {
    PresentFrame(window, bgra, width, height, pitch, frame);
  }
  // Draws a frame straight into the window's picture (see platform::DrawFrameInPlace); false
  // when the backend keeps no such picture.
  virtual bool DrawFrameInPlace(WindowId /*window*/, int32_t /*width*/, int32_t /*height*/,
                                uint64_t /*frame*/, bool /*whole*/, FrameDrawFn /*draw*/,
                                void* /*context*/) {
    return false;
  }

  // Main thread: moves the native events into the event queue.
  virtual void PumpEvents() = 0;
  virtual void GetCursorPos(int32_t* x, int32_t* y) = 0;
  virtual void SetCursorPos(int32_t x, int32_t y) = 0;
  virtual void ShowCursor(bool show) = 0;
  virtual void SetDragTest(DragTest test) = 0;
  virtual void AllowScreenSaver(bool allow) = 0;
  virtual bool JoysticksAvailable() = 0;
  virtual void BeginFrame(uint64_t frame) = 0;
  virtual uint64_t FrameLimit() = 0;

  // The GPU device of a window made with OpenGL; none by default.
  virtual std::unique_ptr<GpuDevice> MakeGpuDevice(WindowId /*window*/);

  virtual int32_t MessageBox(WindowId owner, std::string_view title_sjis,
                             std::string_view text_sjis, uint32_t flags) = 0;
  // Returns kIdExit; `on_edit` runs for each press of an enabled Edit button.
  virtual int32_t ErrorDialog(WindowId owner, std::string_view title_sjis,
                              std::string_view text_sjis, int edit_button, EditCallback on_edit,
                              void* context) = 0;

  // Clipboard (platform/clipboard.h), cursor shapes (platform/cursor_shapes.h) and the text-input
  // dialog (platform/input_dialog.h).
  virtual bool SetClipboardText(std::string_view text_sjis) = 0;
  virtual bool GetClipboardText(std::string* text_sjis) = 0;
  virtual bool SetSystemCursor(SystemCursor cursor) = 0;
  virtual bool SetImageCursor(const uint8_t* bgra, int32_t width, int32_t height, int32_t hot_x,
                              int32_t hot_y) = 0;
  virtual int32_t InputDialog(WindowId owner, const InputDialogRequest& request,
                              std::string* answer_sjis) = 0;
  // The notification-area icon (platform/tray_icon.h); none by default.
  virtual bool ShowTrayIcon(WindowId /*owner*/, const uint8_t* /*bgra*/,
                            std::string_view /*tip_sjis*/) {
    return false;
  }
  virtual void RemoveTrayIcon() {}
};

std::unique_ptr<Backend> MakeHeadlessBackend();
std::unique_ptr<Backend> MakeSdlBackend();

// ---- Shared services for the backends ----------------------------------------------------------

// The backend in use, or null before InitPlatform.
Backend* ActiveBackendObject();

// The event queue (PostEvent adds; PollEvent takes through PopEvent).
bool PopEvent(Event* event);
void ClearEventQueue();

// The keyboard snapshot: a key or mouse button went down or up. A press (up to down) toggles bit 0.
void NoteKeyTransition(int virtual_key, bool down);
void ClearKeyboardSnapshot();

// The joystick table behind ReadJoystick: backends note plugging, axes and buttons by slot.
// Plugging (either way) centres the axes and releases the buttons; axes other than 0 (x) and 1 (y)
// and buttons beyond 31 are ignored.
void ResetJoystickTable();
void NoteJoystickPlugged(int32_t slot, bool plugged);
void NoteJoystickAxis(int32_t slot, int32_t axis, int32_t value);
void NoteJoystickButton(int32_t slot, int32_t button, bool down);

// The calling thread becomes the main thread (InitPlatform) or no thread is (ShutdownPlatform,
// after serving what is still queued).
void BindMainThread();
void UnbindMainThread();
// Called when a request is queued: wakes a main thread that waits inside the active backend.
void WakeBackendMainThread();

// Sleeps in real time; on the main thread, serves main-thread requests while waiting.
void RealSleepMs(uint32_t ms);
// Milliseconds of the monotonic clock, wrapping.
uint32_t RealNowMs();
// True while a main-thread request waits to be served.
bool MainThreadRequestPending();

// Sets the headless abort status (2) that HeadlessAbortStatus() reports; 0 clears it.
void SetHeadlessAbortStatus(int status);

// Runs `fn` on the main thread (at once when already there) and waits for it.
template <typename F>
void OnMainThread(F&& fn) {
  using Fn = std::remove_reference_t<F>;
  RunOnMainThread([](void* context) { (*static_cast<Fn*>(context))(); }, &fn);
}

}  // namespace korvel::platform
