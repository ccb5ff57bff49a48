// The SDL backend: its records (touched on the main thread only) and the backend class, whose
// methods live in the sdl_*.cpp files by topic. Every method may be called from any thread; SDL
// work is handed to the main thread.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

#include "platform/backend.h"

namespace korvel::platform::sdl {

inline constexpr int kMaxJoysticks = 16;

struct Window {
  SDL_Window* handle = nullptr;
  int32_t engine_index = 0;
  bool accept_drops = true;
  int32_t bar_height = 0;  // menu bar strip above the client area
  // The window surface holds the last presented frame and the screen shows it: a frame that
  // differs only in a rectangle may then hand over that part alone. Exposure and resizing end it.
  bool surface_current = false;
};

struct Joystick {
  SDL_Joystick* handle = nullptr;
  SDL_JoystickID id = -1;
};

struct State {
  std::vector<Window> windows;  // indexed by WindowId; ids are not reused
  // Files of a drop in progress (SDL_DROPFILE until SDL_DROPCOMPLETE).
  std::vector<std::string> drop_paths;
  WindowId drop_window = kNoWindow;
  Joystick joysticks[kMaxJoysticks];
  bool joysticks_ready = false;
  // The engine's drag test, installed as SDL's hit test on every window; the point of the last
  // press it took, for the kDragStart event that follows.
  DragTest drag_test = nullptr;
  bool japanese_layout = false;  // the keyboard layout, checked at start and when it changes
  int32_t drag_x = 0, drag_y = 0;
  std::string init_error;
  // Cursors made so far (standard ones by SystemCursor, the last one made from an image).
  SDL_Cursor* system_cursors[kSystemCursorCount] = {};
  SDL_Cursor* image_cursor = nullptr;
};

extern State g_sdl;

// The record of a live window, or null.
Window* FindWindow(WindowId window);
// The WindowId of an SDL window id, or kNoWindow.
WindowId WindowFromSdlId(uint32_t sdl_id);
// Fills the window fields of an event.
void AddressEvent(Event* event, WindowId window);
// Turns one SDL event into platform events.
void TranslateEvent(const SDL_Event& event);
void CloseJoysticks();
// Checks whether the keyboard layout is Japanese (its OEM keys have other codes).
void CheckKeyboardLayout();
// Installs (or removes, without a drag test) SDL's hit test on a window.
void InstallHitTest(SDL_Window* handle);
// Releases the OpenGL context of a window's GPU device before the window goes (destroying a GL
// window unloads the GL library); the device then draws nothing.
void DetachGlDevice(SDL_Window* handle);
// Keeps the X connection alive through an error no client can avoid: a window that asked for the
// clipboard and went away before the answer reached it.
void FilterX11Errors();
// Frees the cursors made so far (main thread, before SDL quits).
void FreeCursors();
// The tray icon's share of the event pump (main thread): its window's events, the tip's delay.
void PumpTrayEvents();
// Takes the tray icon away and closes its connection (main thread, before SDL quits).
void CloseTray();
// Code page 932 text as UTF-8 for SDL, with "\r\n" reduced to "\n".
std::string SdlText(std::string_view sjis);

class SdlBackend final : public Backend {
 public:
  BackendKind Kind() const override { return BackendKind::kSdl; }
  bool Init() override;
  void Shutdown() override;
  std::string InitError() const override { return g_sdl.init_error; }

  uint32_t NowMs() override { return RealNowMs(); }
  void SleepMs(uint32_t ms) override { RealSleepMs(ms); }
  void SetClockThread(bool /*owner*/) override {}
  void JoinClockThread(void (*registered)(void*), void* context) override { registered(context); }
  void AdvanceClockForTest(uint32_t /*ms*/) override {}
  void WakeMainThread() override {}

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
  void PresentFrame(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                    int32_t pitch, uint64_t frame) override;
  void SetWindowMenuBar(WindowId window, int32_t height) override;
  int32_t MenuBarHeight(WindowId window) override;
  void PresentMenuBar(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                      int32_t pitch) override;
  void PresentFrameRects(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                         int32_t pitch, uint64_t frame, std::span<const Rect> changed) override;
  bool DrawFrameInPlace(WindowId window, int32_t width, int32_t height, uint64_t frame, bool whole,
                        FrameDrawFn draw, void* context) override;

  std::vector<MonitorInfo> GetMonitors() override;
  std::vector<DisplayMode> GetDisplayModes(int32_t monitor) override;
  bool EnterFullScreen(WindowId window, int32_t monitor, const DisplayMode& mode) override;
  void LeaveFullScreen(WindowId window) override;
  void SetWindowBorderless(WindowId window, bool borderless) override;
  void SetWindowOrder(WindowId window, WindowOrder order, WindowId other) override;
  void FlashWindow(WindowId window, uint32_t flags, uint32_t count) override;
  bool SetWindowShape(WindowId window, const std::vector<Rect>& rects) override;

  void PumpEvents() override;
  void GetCursorPos(int32_t* x, int32_t* y) override;
  void SetCursorPos(int32_t x, int32_t y) override;
  void ShowCursor(bool show) override;
  void SetDragTest(DragTest test) override;
  void AllowScreenSaver(bool allow) override;
  bool JoysticksAvailable() override { return g_sdl.joysticks_ready; }
  void BeginFrame(uint64_t /*frame*/) override {}
  uint64_t FrameLimit() override { return 0; }

  std::unique_ptr<GpuDevice> MakeGpuDevice(WindowId window) override;
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
  bool ShowTrayIcon(WindowId owner, const uint8_t* bgra, std::string_view tip_sjis) override;
  void RemoveTrayIcon() override;
};

}  // namespace korvel::platform::sdl
