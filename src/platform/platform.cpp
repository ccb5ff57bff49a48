// Backend selection and the free functions of the platform layer, which forward to the active
// backend; also the dialog log and the conversion to local time, which both backends share.
#include "platform/platform.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/backend.h"
#include "platform/gpu_device.h"
#include "platform/fonts.h"
#include "platform/frame_overlay.h"
#include "platform/movie_player.h"
#include "platform/process.h"
#include "platform/sound_device.h"
#include "platform/text_encoding.h"

namespace korvel::platform {
namespace {

struct PlatformState {
  std::unique_ptr<Backend> backend;
  BackendKind kind = BackendKind::kHeadless;
};

PlatformState g_platform;
std::atomic<int> g_abort_status{0};
std::mutex g_log_mutex;

Backend* Active() { return g_platform.backend.get(); }

// One line per dialog: line breaks become a visible "\n", carriage returns are dropped.
std::string OneLine(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    if (c == '\n') {
      out += "\\n";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

struct EditCounter {
  EditCallback on_edit = nullptr;
  void* context = nullptr;
  int presses = 0;
};

void CountEdit(void* context) {
  auto* counter = static_cast<EditCounter*>(context);
  ++counter->presses;
  if (counter->on_edit != nullptr) counter->on_edit(counter->context);
}

}  // namespace

// ---- Selection ----------------------------------------------------------------------------------

bool InitPlatform() {
  BackendKind kind = BackendKind::kSdl;
  const char* choice = std::getenv("KORVEL_PLATFORM");
  if (choice != nullptr && *choice != '\0') {
    if (std::strcmp(choice, "headless") == 0) {
      kind = BackendKind::kHeadless;
    } else if (std::strcmp(choice, "sdl") != 0) {
      std::fprintf(stderr, "korvel: KORVEL_PLATFORM=%s is neither headless nor sdl; using sdl\n",
                   choice);
    }
  }
  return InitPlatformWith(kind);
}

bool InitPlatformWith(BackendKind kind) {
  if (Active() != nullptr) ShutdownPlatform();
  SetHeadlessAbortStatus(0);
  ClearEventQueue();
  ClearKeyboardSnapshot();
  BindMainThread();
  if (kind == BackendKind::kSdl) {
    std::unique_ptr<Backend> sdl = MakeSdlBackend();
    if (sdl->Init()) {
      g_platform.backend = std::move(sdl);
      g_platform.kind = BackendKind::kSdl;
      return true;
    }
    std::fprintf(stderr, "korvel: no display could be opened (%s); running headless\n",
                 sdl->InitError().c_str());
  }
  std::unique_ptr<Backend> headless = MakeHeadlessBackend();
  if (!headless->Init()) {
    SetHeadlessAbortStatus(2);
    UnbindMainThread();
    return false;
  }
  g_platform.backend = std::move(headless);
  g_platform.kind = BackendKind::kHeadless;
  return true;
}

void ShutdownPlatform() {
  if (Active() == nullptr) return;
  ServeMainThreadRequests();
  StopMovie();
  ResetFrameOverlays();
  CloseSoundDevice();
  g_platform.backend->Shutdown();
  UnbindMainThread();
  g_platform.backend.reset();
  g_platform.kind = BackendKind::kHeadless;
  ClearEventQueue();
  ClearKeyboardSnapshot();
  // Faces the engine's dialogs left idle go with the platform.
  ShutdownPlatformFonts();
}

BackendKind ActiveBackend() { return g_platform.kind; }
bool IsHeadless() { return g_platform.kind == BackendKind::kHeadless; }

void WakeBackendMainThread() {
  if (Backend* b = Active()) b->WakeMainThread();
}

void SetHeadlessAbortStatus(int status) { g_abort_status.store(status); }
int HeadlessAbortStatus() { return g_abort_status.load(); }

// ---- Time ---------------------------------------------------------------------------------------

uint32_t NowMs() {
  Backend* b = Active();
  return b != nullptr ? b->NowMs() : RealNowMs();
}

void SleepMs(uint32_t ms) {
  if (Backend* b = Active()) {
    b->SleepMs(ms);
  } else {
    RealSleepMs(ms);
  }
}

void SetClockThread(bool owner) {
  if (Backend* b = Active()) b->SetClockThread(owner);
}

void JoinClockThread(void (*registered)(void*), void* context) {
  if (Backend* b = Active()) {
    b->JoinClockThread(registered, context);
  } else {
    registered(context);
  }
}

void AdvanceClockForTest(uint32_t ms) {
  if (Backend* b = Active()) b->AdvanceClockForTest(ms);
}

int64_t RealUnixTimeMs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

LocalTime LocalTimeFromUnixMs(int64_t unix_ms) {
  int64_t seconds = unix_ms / 1000;
  int64_t ms = unix_ms % 1000;
  if (ms < 0) {
    ms += 1000;
    seconds -= 1;
  }
  const auto t = static_cast<time_t>(seconds);
  tm local{};
  localtime_r(&t, &local);
  LocalTime out{};
  out.year = local.tm_year + 1900;
  out.month = local.tm_mon + 1;
  out.day_of_week = local.tm_wday;
  out.day = local.tm_mday;
  out.hour = local.tm_hour;
  out.minute = local.tm_min;
  out.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // SYSTEMTIME has no leap second
  out.milliseconds = static_cast<int>(ms);
  return out;
}

LocalTime GetLocalTime() {
  Backend* b = Active();
  return LocalTimeFromUnixMs(b != nullptr ? b->UnixTimeMs() : RealUnixTimeMs());
}

// ---- Windows ------------------------------------------------------------------------------------

WindowId CreateWindow(const WindowDesc& desc) {
  Backend* b = Active();
  return b != nullptr ? b->CreateWindow(desc) : kNoWindow;
}

void DestroyWindow(WindowId window) {
  if (Backend* b = Active()) b->DestroyWindow(window);
}

void ShowWindow(WindowId window, ShowCommand command) {
  if (Backend* b = Active()) b->ShowWindow(window, command);
}

bool IsWindowVisible(WindowId window) {
  Backend* b = Active();
  return b != nullptr && b->IsWindowVisible(window);
}

bool IsWindowMinimized(WindowId window) {
  Backend* b = Active();
  return b != nullptr && b->IsWindowMinimized(window);
}

void SetWindowTitle(WindowId window, std::string_view title_sjis) {
  if (Backend* b = Active()) b->SetWindowTitle(window, title_sjis);
}

void SetWindowResizable(WindowId window, bool resizable) {
  if (Backend* b = Active()) b->SetWindowResizable(window, resizable);
}

void SetWindowPosition(WindowId window, int32_t x, int32_t y) {
  if (Backend* b = Active()) b->SetWindowPosition(window, x, y);
}

void SetWindowClientSize(WindowId window, int32_t width, int32_t height) {
  if (Backend* b = Active()) b->SetWindowClientSize(window, width, height);
}

bool GetWindowRect(WindowId window, Rect* rect) {
  Backend* b = Active();
  return b != nullptr && b->GetWindowRect(window, rect);
}

bool GetClientRect(WindowId window, Rect* rect) {
  Backend* b = Active();
  return b != nullptr && b->GetClientRect(window, rect);
}

bool ScreenToClient(WindowId window, int32_t* x, int32_t* y) {
  Backend* b = Active();
  return b != nullptr && b->ScreenToClient(window, x, y);
}

void RaiseWindow(WindowId window) {
  if (Backend* b = Active()) b->RaiseWindow(window);
}

bool GetWorkArea(Rect* area) {
  Backend* b = Active();
  return b != nullptr && b->GetWorkArea(area);
}

DisplayMode GetDesktopMode() {
  Backend* b = Active();
  return b != nullptr ? b->GetDesktopMode() : DisplayMode{};
}

void PresentFrameRects(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                       int32_t pitch, uint64_t frame, std::span<const Rect> changed) {
  // An overlay (a playing movie) changes pixels the engine's rectangle does not know of.
  if (HasFrameOverlay(window)) {
    PresentFrame(window, bgra, width, height, pitch, frame);
    return;
  }
  if (Backend* b = Active()) {
    b->PresentFrameRects(window, bgra, width, height, pitch, frame, changed);
  }
}

bool DrawFrameInPlace(WindowId window, int32_t width, int32_t height, uint64_t frame, bool whole,
                      FrameDrawFn draw, void* context) {
  // An overlay (a playing movie) is laid over a copy of the frame, never over the window's own.
  if (draw == nullptr || width < 1 || height < 1 || HasFrameOverlay(window)) return false;
  Backend* b = Active();
  return b != nullptr && b->DrawFrameInPlace(window, width, height, frame, whole, draw, context);
}

std::vector<MonitorInfo> Backend::GetMonitors() {
  const DisplayMode mode = GetDesktopMode();
  Rect area;
  if (!GetWorkArea(&area)) area = Rect{0, 0, mode.width, mode.height};
  return {MonitorInfo{Rect{0, 0, mode.width, mode.height}, area}};
}

std::vector<DisplayMode> Backend::GetDisplayModes(int32_t monitor) {
  if (monitor != 0) return {};
  return {GetDesktopMode()};
}

std::vector<MonitorInfo> GetMonitors() {
  Backend* b = Active();
  if (b == nullptr) return {};
  std::vector<MonitorInfo> monitors = b->GetMonitors();
  if (monitors.size() > static_cast<size_t>(kMaxMonitors)) monitors.resize(kMaxMonitors);
  return monitors;
}

std::vector<DisplayMode> GetDisplayModes(int32_t monitor) {
  Backend* b = Active();
  return b != nullptr ? b->GetDisplayModes(monitor) : std::vector<DisplayMode>{};
}

bool EnterFullScreen(WindowId window, int32_t monitor, const DisplayMode& mode) {
  Backend* b = Active();
  return b != nullptr && b->EnterFullScreen(window, monitor, mode);
}

void LeaveFullScreen(WindowId window) {
  if (Backend* b = Active()) b->LeaveFullScreen(window);
}

void SetWindowBorderless(WindowId window, bool borderless) {
  if (Backend* b = Active()) b->SetWindowBorderless(window, borderless);
}

void SetWindowMaximizable(WindowId window, bool maximizable) {
  if (Backend* b = Active()) b->SetWindowMaximizable(window, maximizable);
}

void SetWindowOrder(WindowId window, WindowOrder order, WindowId other) {
  if (Backend* b = Active()) b->SetWindowOrder(window, order, other);
}

void FlashWindow(WindowId window, uint32_t flags, uint32_t count) {
  if (Backend* b = Active()) b->FlashWindow(window, flags, count);
}

bool SetWindowShape(WindowId window, const std::vector<Rect>& rects) {
  Backend* b = Active();
  return b != nullptr && b->SetWindowShape(window, rects);
}

void PresentFrame(WindowId window, const uint8_t* bgra, int32_t width, int32_t height,
                  int32_t pitch, uint64_t frame) {
  if (Backend* b = Active()) {
    bgra = ApplyFrameOverlays(window, bgra, width, height, &pitch);
    b->PresentFrame(window, bgra, width, height, pitch, frame);
  }
}

void SetWindowMenuBar(WindowId window, int32_t height) {
  if (Backend* b = Active()) b->SetWindowMenuBar(window, height < 0 ? 0 : height);
}

int32_t WindowMenuBarHeight(WindowId window) {
  Backend* b = Active();
  return b != nullptr ? std::max(b->MenuBarHeight(window), 0) : 0;
}

void PresentMenuBar(WindowId window, int32_t width) {
  Backend* b = Active();
  const int32_t height = WindowMenuBarHeight(window);
  if (b == nullptr || width <= 0 || width > 16384 || height <= 0) return;
  std::vector<uint8_t> strip(static_cast<size_t>(width) * 4 * static_cast<size_t>(height), 0);
  DrawStripOverlays(window, strip.data(), width, height, width * 4);
  b->PresentMenuBar(window, strip.data(), width, height, width * 4);
}

// ---- Events and input ---------------------------------------------------------------------------

bool PollEvent(Event* event) {
  if (IsMainThread()) {
    ServeMainThreadRequests();
    if (Backend* b = Active()) b->PumpEvents();
  }
  if (TakeTerminationRequest()) {
    Event terminate;
    terminate.kind = EventKind::kTerminate;
    PostEvent(std::move(terminate));
  }
  return PopEvent(event);
}

void GetCursorPos(int32_t* x, int32_t* y) {
  *x = 0;
  *y = 0;
  if (Backend* b = Active()) b->GetCursorPos(x, y);
}

void SetCursorPos(int32_t x, int32_t y) {
  if (Backend* b = Active()) b->SetCursorPos(x, y);
}

void ShowCursor(bool show) {
  if (Backend* b = Active()) b->ShowCursor(show);
}

void SetDragTest(DragTest test) {
  if (Backend* b = Active()) b->SetDragTest(test);
}

void AllowScreenSaver(bool allow) {
  if (Backend* b = Active()) b->AllowScreenSaver(allow);
}

bool JoysticksAvailable() {
  Backend* b = Active();
  return b != nullptr && b->JoysticksAvailable();
}

void BeginFrame(uint64_t frame) {
  if (Backend* b = Active()) b->BeginFrame(frame);
}

uint64_t FrameLimit() {
  Backend* b = Active();
  return b != nullptr ? b->FrameLimit() : 0;
}

// ---- Dialogs ------------------------------------------------------------------------------------

void LogDialog(std::string_view title_sjis, std::string_view text_sjis,
               std::string_view answer_utf8) {
  const std::string line = "korvel: dialog: " + OneLine(Cp932ToUtf8(title_sjis)) + " | " +
                           OneLine(Cp932ToUtf8(text_sjis)) + " | " + OneLine(answer_utf8) + "\n";
  std::lock_guard lock(g_log_mutex);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

int32_t MessageBox(WindowId owner, std::string_view title_sjis, std::string_view text_sjis,
                   uint32_t flags) {
  Backend* b = Active();
  const int32_t result =
      b != nullptr ? b->MessageBox(owner, title_sjis, text_sjis, flags) : kIdCancel;
  LogDialog(title_sjis, text_sjis, std::to_string(result));
  return result;
}

int32_t ErrorDialog(WindowId owner, std::string_view title_sjis, std::string_view text_sjis,
                    int edit_button, EditCallback on_edit, void* context) {
  EditCounter counter;
  counter.on_edit = on_edit;
  counter.context = context;
  Backend* b = Active();
  const int32_t result =
      b != nullptr ? b->ErrorDialog(owner, title_sjis, text_sjis, edit_button, CountEdit, &counter)
                   : kIdExit;
  std::string answers;
  for (int i = 0; i < counter.presses; ++i) answers += std::to_string(kIdEdit) + " ";
  answers += std::to_string(result);
  LogDialog(title_sjis, text_sjis, answers);
  return result;
}

std::unique_ptr<GpuDevice> Backend::MakeGpuDevice(WindowId /*window*/) { return nullptr; }

std::unique_ptr<GpuDevice> CreateGpuDevice(WindowId window) {
  Backend* b = Active();
  return WrapGpuDevice(b != nullptr ? b->MakeGpuDevice(window) : nullptr);
}
Backend* ActiveBackendObject() { return Active(); }

}  // namespace korvel::platform
